#include "Model/SettingsParts.h"

#include <QStringList>
#include <algorithm>

namespace {

void copyPart(SettingsPart part, const ConversionSettings& s, ConversionSettings& d) {
  switch (part) {
    case SettingsPart::film:
      d.mode = s.mode;
      d.flatField = s.flatField;
      return;
    case SettingsPart::basic:
      d.contrast = s.contrast;
      d.exposure = s.exposure;
      d.saturation = s.saturation;
      d.clarity = s.clarity;
      d.highlights = s.highlights;
      d.shadows = s.shadows;
      d.whites = s.whites;
      d.blacks = s.blacks;
      d.sharpness = s.sharpness;
      d.dehaze = s.dehaze;
      d.blackMist = s.blackMist;
      return;
    case SettingsPart::colour:
      d.look = s.look;
      d.filmPreset = s.filmPreset;
      d.lookAmount = s.lookAmount;
      d.temperature = s.temperature;
      d.tint = s.tint;
      d.cmy = s.cmy;
      d.hsl = s.hsl;
      d.rollBalance = s.rollBalance;
      return;
    case SettingsPart::curves:
      d.curves = s.curves;
      return;
    case SettingsPart::effects:
      d.grainReduction = s.grainReduction;
      d.border = s.border;
      d.borderSize = s.borderSize;
      d.borderFrame = s.borderFrame;
      d.grainAmount = s.grainAmount;
      d.grainSize = s.grainSize;
      d.grainRoughness = s.grainRoughness;
      d.vignetteAmount = s.vignetteAmount;
      d.vignetteMidpoint = s.vignetteMidpoint;
      d.vignetteFeather = s.vignetteFeather;
      d.glowAmount = s.glowAmount;
      d.glowSize = s.glowSize;
      return;
    case SettingsPart::healing:
      d.spots = s.spots;
      d.dodgeBurn = s.dodgeBurn;
      d.layers = s.layers;
      d.redEyes = s.redEyes;
      return;
    case SettingsPart::crop:
      d.crop = s.crop;
      d.cropAspect = s.cropAspect;
      d.skewDegrees = s.skewDegrees;
      d.autoCrop = s.autoCrop;
      d.autoCropMargin = s.autoCropMargin;
      d.rotationQuarterTurns = s.rotationQuarterTurns;
      d.mirrored = s.mirrored;
      return;
    case SettingsPart::measurement:
      d.analysisInset = s.analysisInset;
      d.blackClip = s.blackClip;
      d.whiteClip = s.whiteClip;
      return;
    case SettingsPart::filmInfo:
      d.filmInfo = s.filmInfo;
      return;
  }
}

}  // namespace

namespace SettingsParts {

void copyParts(const std::set<SettingsPart>& parts, const ConversionSettings& source,
               ConversionSettings& destination) {
  for (SettingsPart part : parts) copyPart(part, source, destination);
}

std::vector<std::string> partNames(const std::set<SettingsPart>& parts) {
  std::vector<std::string> names;
  for (SettingsPart part : parts) names.push_back(toString(part));
  return names;
}

QString storedText(const std::set<SettingsPart>& parts) {
  std::vector<std::string> names = partNames(parts);
  std::sort(names.begin(), names.end());
  QStringList joined;
  for (const std::string& name : names) joined.append(QString::fromStdString(name));
  return joined.join(",");
}

std::set<SettingsPart> parseStoredText(const QString& text) {
  std::set<SettingsPart> parts;
  for (const QString& piece : text.split(',', Qt::SkipEmptyParts)) {
    if (const auto part = fromString<SettingsPart>(piece.toStdString())) parts.insert(*part);
  }
  return parts;
}

}  // namespace SettingsParts
