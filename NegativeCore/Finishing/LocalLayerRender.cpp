#include "Finishing/LocalLayerRender.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "Finishing/DodgeBurn.h"
#include "Finishing/ExposureStep.h"
#include "Record/ConversionSettings.h"
#include "Support/ParallelFor.h"
#include "Tone/Adjustments.h"
#include "Tone/Luminance.h"

namespace LocalLayers {

namespace {

// The blend's factors, settled once per layer.
struct Blend {
  float stops = 0;       // exposure
  float contrast = 0;    // toward the smoothstep S-curve, −1…1
  float saturation = 1;  // around the pixel's luminance, 0…2
  bool monochrome = false;

  Blend(const LocalAdjustment& adjust, FilmMode mode)
      : stops(static_cast<float>(std::clamp(adjust.exposure, -3.0, 3.0))),
        contrast(static_cast<float>(std::clamp(adjust.contrast, -100.0, 100.0) / 100)),
        saturation(static_cast<float>(1 + std::clamp(adjust.saturation, -100.0, 100.0) / 100)),
        monochrome(mode == FilmMode::bwNegative) {}
};

// The print with the layer's tone controls run on it, when the layer has any that act.
std::optional<PrintImage> tonedCopy(const PrintImage& print, const LocalAdjustment& adjust,
                                    FilmMode mode) {
  if (!adjust.hasToneControls()) return std::nullopt;
  ConversionSettings settings;
  settings.mode = mode;
  settings.clarity = adjust.clarity;
  settings.highlights = adjust.highlights;
  settings.shadows = adjust.shadows;
  settings.whites = adjust.whites;
  settings.blacks = adjust.blacks;
  settings.sharpness = adjust.sharpness;
  settings.dehaze = adjust.dehaze;
  settings.blackMist = adjust.blackMist;
  settings.grainReduction = 0;
  PrintImage toned = print;
  Adjustments::apply(toned, settings);
  return toned;
}

// Mixes the adjusted source into the print by the mask, row by row. Each row reads its own row
// of the source before writing the print's, so the source may be the print itself.
void blend(PrintImage& print, const PrintImage& source, const std::vector<float>& mask,
           const Blend& factors) {
  const int64_t width = print.width;
  parallelForRows(print.height, [&](int64_t begin, int64_t end) {
    std::vector<float> work(static_cast<size_t>(width) * 3);
    const bool exposes = std::exp2(factors.stops) != 1.0f;  // gain 2^stops
    const float factor = ExposureStep::factor(factors.stops);
    for (int64_t y = begin; y < end; ++y) {
      const float* m = mask.data() + y * width;
      if (std::all_of(m, m + width, [](float v) { return v <= 0; })) continue;
      std::copy(source.row(y), source.row(y) + width * 3, work.begin());
      if (exposes)
        for (int64_t x = 0; x < width; ++x)
          if (m[x] > 0)
            for (int i = 0; i < 3; ++i)
              work[x * 3 + i] = ExposureStep::apply(work[x * 3 + i], factor);
      float* p = print.row(y);
      for (int64_t x = 0; x < width; ++x) {
        if (!(m[x] > 0)) continue;
        float* c = work.data() + x * 3;
        if (factors.contrast != 0)
          for (int i = 0; i < 3; ++i) {
            const float v = std::clamp(c[i], 0.0f, 1.0f);
            c[i] = v + factors.contrast * (v * v * (3 - 2 * v) - v);
          }
        if (factors.saturation != 1 && !factors.monochrome) {
          const float l = Adjustments::luminanceOf(c[0], c[1], c[2]);
          for (int i = 0; i < 3; ++i) c[i] = l + factors.saturation * (c[i] - l);
        }
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
