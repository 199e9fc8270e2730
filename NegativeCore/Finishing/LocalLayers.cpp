#include "Finishing/LocalLayers.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "Color/LuminanceWeights.h"
#include "Finishing/DodgeBurn.h"
#include "Finishing/ExposureStep.h"
#include "Record/ConversionSettings.h"
#include "Support/ParallelFor.h"
#include "Support/PixelMath.h"
#include "Tone/Adjustments.h"

namespace LocalLayers {

namespace {

// The blend's factors, settled once per layer.
struct Blend {
  bool exposes = false;  // the gain 2^stops differs from 1
  float exposure = 1;    // the exposure step's factor
  float contrast = 0;    // toward the smoothstep S-curve, −1…1
  float saturation = 1;  // around the pixel's luminance, 0…2
  bool monochrome = false;

  Blend(const LocalAdjustment& adjust, FilmMode mode) {
    const auto stops = static_cast<float>(std::clamp(adjust.exposure, -3.0, 3.0));
    exposes = std::exp2(stops) != 1.0f;
    exposure = ExposureStep::factor(stops);
    contrast = static_cast<float>(std::clamp(adjust.contrast, -100.0, 100.0) / 100);
    saturation = static_cast<float>(1 + std::clamp(adjust.saturation, -100.0, 100.0) / 100);
    monochrome = mode == FilmMode::bwNegative;
  }

  // The adjusted value of one source pixel, in place.
  void adjust(float* c) const {
    if (exposes)
      for (int i = 0; i < 3; ++i) c[i] = ExposureStep::apply(c[i], exposure);
    if (contrast != 0)
      for (int i = 0; i < 3; ++i) {
        const float v = std::clamp(c[i], 0.0f, 1.0f);
        c[i] = v + contrast * (PixelMath::smoothstep<float>(v) - v);
      }
    if (saturation != 1 && !monochrome) {
      const float l = LuminanceWeights::luminanceOf(c[0], c[1], c[2]);
      for (int i = 0; i < 3; ++i) c[i] = l + saturation * (c[i] - l);
    }
  }
};

// The print with the layer's tone controls run on it, when the layer has any that act.
std::optional<PrintImage> tonedCopy(const PrintImage& print, const LocalAdjustment& adjust,
                                    FilmMode mode) {
  if (!adjust.hasToneControls()) return std::nullopt;
  ConversionSettings settings;
  settings.mode = mode;
  static_cast<ToneControls&>(settings) = adjust;
  settings.grainReduction = 0;
  PrintImage toned = print;
  Adjustments::apply(toned, settings);
  return toned;
}

// Mixes the adjusted source into the print by the mask, row by row. Each pixel of the source is
// read before the same pixel of the print is written, so the source may be the print itself.
void blend(PrintImage& print, const PrintImage& source, const std::vector<float>& mask,
           const Blend& factors) {
  const int64_t width = print.width;
  parallelForRows(print.height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      const float* m = mask.data() + y * width;
      const float* s = source.row(y);
      float* p = print.row(y);
      for (int64_t x = 0; x < width; ++x) {
        if (!(m[x] > 0)) continue;
        float c[3] = {s[x * 3], s[x * 3 + 1], s[x * 3 + 2]};
        factors.adjust(c);
        for (int i = 0; i < 3; ++i)
          p[x * 3 + i] = p[x * 3 + i] + m[x] * (std::clamp(c[i], 0.0f, 1.0f) - p[x * 3 + i]);
      }
    }
  });
}

}  // namespace

void apply(PrintImage& print, const std::vector<LocalLayer>& layers, int64_t sourceWidth,
           int64_t sourceHeight, FilmMode mode, double angle, const NormRect& crop) {
  if (print.width <= 0 || print.height <= 0) return;
  for (const LocalLayer& layer : layers) {
    if (!layer.visible || layer.shapes.empty() || layer.adjust.isNeutral()) continue;
    const std::vector<float> mask = DodgeBurn::coverageMask(layer.shapes, print.width, print.height,
                                                            sourceWidth, sourceHeight, angle, crop);
    if (std::none_of(mask.begin(), mask.end(), [](float v) { return v > 0; })) continue;
    const std::optional<PrintImage> toned = tonedCopy(print, layer.adjust, mode);
    blend(print, toned ? *toned : print, mask, Blend(layer.adjust, mode));
  }
}

}  // namespace LocalLayers
