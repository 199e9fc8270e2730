#include "Record/BuiltInPreset.h"

#include "Record/ConversionSettings.h"

namespace {

void applyMono(ConversionSettings& s) {
  s.contrast = 1.0;
  s.curves.rgb.points = {{0, 0},         {0.027, 0.035}, {0.151, 0.11},  {0.443, 0.341},
                         {0.678, 0.678}, {0.851, 0.906}, {0.949, 0.969}, {1, 1}};
  s.clarity = 10;
  s.blackMist = 12;
  s.grainAmount = 12;
  s.grainSize = 40;
  s.grainRoughness = 60;
  s.vignetteAmount = -40;
  s.vignetteMidpoint = 35;
  s.vignetteFeather = 70;
  s.glowAmount = 30;
  s.glowSize = 40;
}

}  // namespace

void apply(BuiltInPreset preset, ConversionSettings& settings) {
  switch (preset) {
    case BuiltInPreset::flat:
      settings.contrast = 0.85;
      settings.saturation = 0.9;
      break;
    case BuiltInPreset::normal:
      settings.contrast = 1.0;
      settings.saturation = 1.0;
      break;
    case BuiltInPreset::highContrast:
      settings.contrast = 1.25;
      settings.saturation = 1.1;
      break;
    case BuiltInPreset::merivaldoonMono1:
      applyMono(settings);
      break;
  }
}

bool isMonochrome(BuiltInPreset preset) { return preset == BuiltInPreset::merivaldoonMono1; }

bool isAvailable(BuiltInPreset preset, FilmMode mode) {
  return !isMonochrome(preset) || mode == FilmMode::bwNegative;
}
