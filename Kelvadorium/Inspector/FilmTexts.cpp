#include "Inspector/FilmTexts.h"

#include "Print/FilmPresets.h"
#include "ViewKit/PrintfText.h"

namespace FilmTexts {

QString filmModeLabel(FilmMode mode) {
  switch (mode) {
    case FilmMode::colorNegative:
      return "Colour negative";
    case FilmMode::bwNegative:
      return "B&W negative";
    case FilmMode::positive:
      return "Positive / slide";
  }
  return {};
}

namespace {
QString presetLabel(BuiltInPreset preset) {
  switch (preset) {
    case BuiltInPreset::flat:
      return "Soft";
    case BuiltInPreset::normal:
      return "Standard";
    case BuiltInPreset::highContrast:
      return "Punchy";
    case BuiltInPreset::merivaldoonMono1:
      return "Kelvadorium Merivaldoon Mono 1";
  }
  return {};
}
}  // namespace

std::vector<std::pair<BuiltInPreset, QString>> presetsFor(FilmMode mode) {
  std::vector<std::pair<BuiltInPreset, QString>> offered;
  for (BuiltInPreset preset : allCases<BuiltInPreset>()) {
    if (isAvailable(preset, mode)) offered.emplace_back(preset, presetLabel(preset));
  }
  return offered;
}

QString filmLookName(const std::optional<std::string>& id) {
  const std::optional<FilmPreset> preset = FilmPresets::preset(id);
  return preset ? QString::fromStdString(preset->title()) : QString("None");
}

QString scannerName(ScannerLook look) {
  switch (look) {
    case ScannerLook::neutral:
      return "Neutral";
    case ScannerLook::frontier:
      return "Frontier Style";
    case ScannerLook::noritsu:
      return "Noritsu Style";
  }
  return {};
}

QString rollBalanceLine(long long frames) {
  return PrintfText::format("Using the roll's colour balance (%lld frames)", {frames});
}

QString frameCountLine(long long frames) {
  return frames == 1 ? QString("1 frame would be used.")
                     : PrintfText::format("%lld frames would be used.", {frames});
}

QString flatFieldOffHelp(size_t targets) {
  const QString whom = targets < 2 ? QString("this scan")
                                   : PrintfText::format("the %lld selected scans",
                                                        {static_cast<long long>(targets)});
  return "Stop using Even Light Correction for " + whom;
}

QString chooseMenuTitle(bool hasBlankFrame) {
  return hasBlankFrame ? "Change…" : "Choose Blank Frame…";
}

QString forTargetsTitle(size_t targets) {
  return targets < 2 ? QString("For This Scan…")
                     : PrintfText::format("For the %lld Selected Scans…",
                                          {static_cast<long long>(targets)});
}

QString blankFrameHelp(const QString& path, bool exists) {
  return exists ? path : "Not found: " + path;
}

QString densityText(const FilmAnalysis& analysis, bool monochrome) {
  const auto& lo = analysis.dMin;
  const auto& hi = analysis.dMax;
  if (monochrome) return PrintfText::format("%.2f – %.2f", {lo[0], hi[0]});
  return PrintfText::format("R %.2f–%.2f  G %.2f–%.2f  B %.2f–%.2f",
                            {lo[0], hi[0], lo[1], hi[1], lo[2], hi[2]});
}

}  // namespace FilmTexts
