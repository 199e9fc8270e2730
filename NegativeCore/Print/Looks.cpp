#include "Print/Looks.h"

#include "Print/FilmPresets.h"

namespace {

LookParameters frontier() {
  return {.contrast = 1.325f,
          .saturation = 0.98f,
          .highlightRolloff = 0.67f,
          .highlightKnee = 0.72f,
          .blackLift = 0.086f,
          .shadowTint = {-0.007f, -0.004f, -0.024f},
          .midTint = {0.048f, 0.031f, 0.033f},
          .skinHueShift = 0,
          .highlightTint = {0.012f, -0.006f, -0.009f},
          .whiteLevel = 0.934f,
          .hueBands = {{28, 24, 1.2f, 0.87f}, {112, 34, 0.5f, 0.91f}, {222, 30, -1.9f, 0.83f}},
          .balance = {35, 10}};
}

LookParameters noritsu() {
  return {.contrast = 0.92f,
          .saturation = 0.88f,
          .highlightRolloff = 0.25f,
          .highlightKnee = 0.8f,
          .blackLift = 0.018f,
          .shadowTint = {-0.004f, 0.01f, -0.002f},
          .midTint = {0.014f, 0.002f, -0.014f},
          .skinHueShift = -5,
          .highlightTint = {0, 0, 0},
          .whiteLevel = 1,
          .hueBands = {},
          .balance = {0, 0}};
}

}  // namespace

LookParameters parameters(ScannerLook look) {
  switch (look) {
    case ScannerLook::frontier:
      return frontier();
    case ScannerLook::noritsu:
      return noritsu();
    case ScannerLook::neutral:
      break;
  }
  return LookParameters::neutral();
}

namespace DraftLooks {

LookParameters look() {
  return {.contrast = 1.06f,
          .saturation = 1.04f,
          .highlightRolloff = 0.6f,
          .highlightKnee = 0.7f,
          .blackLift = 0.035f,
          .shadowTint = {0.016f, 0.014f, -0.014f},
          .midTint = {0.028f, 0.008f, -0.024f},
          .skinHueShift = 0,
          .highlightTint = {0.016f, -0.002f, -0.014f},
          .whiteLevel = 0.945f,
          .hueBands = {{28, 24, 2, 1.15f},
                       {0, 18, 3, 1.06f},
                       {112, 34, -14, 0.82f},
                       {222, 30, -13, 0.75f}},
          .balance = {0, 0}};
}

}  // namespace DraftLooks

std::vector<LookParameters> lookList(const ConversionSettings& settings) {
  std::vector<LookParameters> looks;
  if (settings.mode == FilmMode::bwNegative) return looks;
  LookParameters scanner = parameters(settings.look);
  if (!scanner.isNeutral()) looks.push_back(std::move(scanner));
  if (std::optional<LookParameters> preset = presetLookParameters(settings);
      preset && !preset->isNeutral())
    looks.push_back(std::move(*preset));
  return looks;
}
