#include "Tone/CurvePreset.h"

namespace {

using Points = std::vector<std::vector<double>>;

ToneCurves make(Points master, Points red = {{0, 0}, {1, 1}}, Points green = {{0, 0}, {1, 1}},
                Points blue = {{0, 0}, {1, 1}}) {
  ToneCurves result;
  result.rgb.points = std::move(master);
  result.red.points = std::move(red);
  result.green.points = std::move(green);
  result.blue.points = std::move(blue);
  return result;
}

}  // namespace

std::string_view displayName(CurvePreset preset) {
  switch (preset) {
    case CurvePreset::linear:
      return "Linear (reset)";
    case CurvePreset::gentleS:
      return "Gentle S (more contrast)";
    case CurvePreset::strongS:
      return "Strong S (punchy)";
    case CurvePreset::matte:
      return "Matte (faded blacks)";
    case CurvePreset::matteS:
      return "Matte S (faded + contrast)";
    case CurvePreset::crushedBlacks:
      return "Crushed Blacks";
    case CurvePreset::softHighlights:
      return "Soft Highlights";
    case CurvePreset::openShadows:
      return "Open Shadows";
    case CurvePreset::brightMids:
      return "Bright Midtones";
    case CurvePreset::darkMids:
      return "Dark Midtones";
    case CurvePreset::crossProcess:
      return "Cross Process (colour)";
    case CurvePreset::warmFade:
      return "Warm Fade (colour)";
  }
  return {};
}

bool isColor(CurvePreset preset) {
  return preset == CurvePreset::crossProcess || preset == CurvePreset::warmFade;
}

ToneCurves curves(CurvePreset preset) {
  switch (preset) {
    case CurvePreset::linear:
      return ToneCurves{};
    case CurvePreset::gentleS:
      return make({{0, 0}, {0.25, 0.21}, {0.75, 0.79}, {1, 1}});
    case CurvePreset::strongS:
      return make({{0, 0}, {0.25, 0.16}, {0.5, 0.5}, {0.75, 0.85}, {1, 1}});
    case CurvePreset::matte:
      return make({{0, 0.08}, {0.25, 0.27}, {0.75, 0.76}, {1, 0.97}});
    case CurvePreset::matteS:
      return make({{0, 0.09}, {0.22, 0.2}, {0.5, 0.5}, {0.78, 0.82}, {1, 0.97}});
    case CurvePreset::crushedBlacks:
      return make({{0, 0}, {0.12, 0}, {0.4, 0.34}, {1, 1}});
    case CurvePreset::softHighlights:
      return make({{0, 0}, {0.6, 0.62}, {0.85, 0.82}, {1, 0.94}});
    case CurvePreset::openShadows:
      return make({{0, 0}, {0.15, 0.22}, {0.4, 0.45}, {1, 1}});
    case CurvePreset::brightMids:
      return make({{0, 0}, {0.5, 0.58}, {1, 1}});
    case CurvePreset::darkMids:
      return make({{0, 0}, {0.5, 0.43}, {1, 1}});
    case CurvePreset::crossProcess:
      return make({{0, 0}, {0.25, 0.2}, {0.75, 0.8}, {1, 1}},
                  {{0, 0}, {0.3, 0.25}, {0.7, 0.78}, {1, 1}}, {{0, 0.02}, {0.5, 0.53}, {1, 1}},
                  {{0, 0.1}, {0.5, 0.46}, {1, 0.9}});
    case CurvePreset::warmFade:
      return make({{0, 0.06}, {0.5, 0.52}, {1, 0.97}}, {{0, 0.03}, {0.5, 0.53}, {1, 1}},
                  {{0, 0}, {1, 1}}, {{0, 0}, {0.5, 0.47}, {1, 0.95}});
  }
  return ToneCurves{};
}
