#include "Finishing/FilmEffects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Finishing/ExposureStep.h"
#include "Support/ParallelFor.h"
#include "Support/PixelMath.h"
#include "Tone/BoxBlur.h"
#include "Tone/Luminance.h"

namespace FilmEffects {

namespace {

// Value noise: a hashed lattice value in −1…about 1 for each integer cell corner.
float latticeValue(int64_t i, int64_t j, uint32_t seed) {
  uint32_t n = static_cast<uint32_t>(i) * 374761393u + static_cast<uint32_t>(j) * 668265263u;
  n ^= seed;
  n ^= n >> 13;
  n *= 1274126177u;
  n = (n & 0xFFFFFFu) ^ (n >> 16);
  return static_cast<float>(n) / 8388607.0f - 1.0f;
}

// The lattice values of the two cell rows j and j + 1 that one print row samples, for the cells
// first…first + count − 1.
struct LatticeRows {
  int64_t first = 0;
  std::vector<float> top, bottom;

  void fill(int64_t firstCell, int64_t cells, int64_t j, uint32_t seed) {
    first = firstCell;
    top.resize(static_cast<size_t>(cells));
    bottom.resize(static_cast<size_t>(cells));
    for (int64_t c = 0; c < cells; ++c) {
      top[static_cast<size_t>(c)] = latticeValue(firstCell + c, j, seed);
      bottom[static_cast<size_t>(c)] = latticeValue(firstCell + c, j + 1, seed);
    }
  }

  // Smoothly interpolated noise at X on this row, sy the row's vertical fraction.
  float noise(double X, float sy) const {
    const auto i = static_cast<int64_t>(X);  // positions are never negative: trunc is floor
    const float sx = PixelMath::smoothstep<float>(static_cast<float>(X - static_cast<double>(i)));
    const auto k = static_cast<size_t>(i - first);
    return (1 - sy) * ((1 - sx) * top[k] + sx * top[k + 1]) +
           sy * ((1 - sx) * bottom[k] + sx * bottom[k + 1]);
  }
};

// One octave of grain for one print row, sampled at scale · X with X = (x + 0.5) · frequency.
struct Octave {
  double frequency = 0;  // cells per print pixel
  double scale = 1;
  uint32_t seed = 0;
  LatticeRows rows;
  float sy = 0;

  void prepare(int64_t y, int64_t width) {
    const double Y = position(y);
    const double j = std::floor(Y);
    sy = PixelMath::smoothstep<float>(static_cast<float>(Y - j));
    const auto first = static_cast<int64_t>(std::floor(position(0)));
    const auto last = static_cast<int64_t>(std::floor(position(width - 1))) + 1;
    rows.fill(first, last - first + 1, static_cast<int64_t>(j), seed);
  }

  double position(int64_t pixel) const {
    return scale * ((static_cast<double>(pixel) + 0.5) * frequency);
  }

  float at(int64_t x) const { return rows.noise(position(x), sy); }
};

}  // namespace

void apply(PrintImage& print, const ConversionSettings& settings) {
  if (settings.glowAmount > 0.5)
    halation(print, settings.mode == FilmMode::bwNegative, settings.glowAmount, settings.glowSize);
  if (std::abs(settings.vignetteAmount) > 0.5)
    vignette(print, settings.vignetteAmount, settings.vignetteMidpoint, settings.vignetteFeather);
  if (settings.grainAmount > 0.5)
    grain(print, settings.grainAmount, settings.grainSize, settings.grainRoughness);
}

void halation(PrintImage& print, bool mono, double amount, double size) {
  const int64_t width = print.width, height = print.height;
  if (width <= 0 || height <= 0) return;
  const float a = static_cast<float>(std::clamp(amount, 0.0, 100.0) / 100);
  const double reach = (size <= 0 ? 0.005 : 0.005 + 0.055 * std::min(size, 100.0) / 100) *
                       static_cast<double>(std::max(width, height)) * 0.5;
  const auto radius = static_cast<int64_t>(std::fmin(std::fmax(reach, 1.0), 1e9));

  // Highlights from luminance 0.6 up; nothing to spread when there are none.
  std::vector<float> highlights = Adjustments::luminance(width, height, print.rgb);
  if (std::none_of(highlights.begin(), highlights.end(), [](float v) { return v > 0.6f; })) return;
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    for (int64_t i = begin * width; i < end * width; ++i) {
      const float s = PixelMath::smoothstep<float>(
          std::clamp((highlights[i] - 0.6f) / 0.39999998f, 0.0f, 1.0f));
      highlights[i] = s * s;
    }
  });
  const std::vector<float> near = Adjustments::boxBlur(highlights, width, height, radius, 3);
  const std::vector<float> far = Adjustments::boxBlur(highlights, width, height, 3 * radius, 3);

  const float tint[3] = {1.0f, mono ? 1.0f : 0.72f, mono ? 1.0f : 0.5f};
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      float* c = print.row(y);
      for (int64_t i = y * width; i < (y + 1) * width; ++i, c += 3) {
        const float g = std::min(a * (0.6f * near[i] + 0.4f * far[i]) * 1.6f, 1.0f);
        if (!(g > 0.0005f)) continue;
        for (int k = 0; k < 3; ++k) c[k] = 1 - (1 - c[k]) * (1 - g * tint[k]);
      }
    }
  });
}

void vignette(PrintImage& print, double amount, double midpoint, double feather) {
  const int64_t width = print.width, height = print.height;
  if (width <= 0 || height <= 0) return;
  const double mid = std::clamp(midpoint, 0.0, 100.0) / 100;
  const double phi = std::clamp(feather, 0.0, 100.0) / 100;
  const double inner = mid * (1 - 0.9 * phi) * 0.95;
  const double outer = std::max(inner + 0.05, mid + (1 - mid) * (0.3 + 0.7 * phi));
  const float stops = static_cast<float>(std::clamp(amount, -100.0, 100.0) / 100 * 2);
  const double halfWidth = static_cast<double>(width) / 2;
  const double halfHeight = static_cast<double>(height) / 2;

  parallelForRows(height, [&](int64_t begin, int64_t end) {
    std::vector<float> change(static_cast<size_t>(width)), scratch(static_cast<size_t>(width));
    for (int64_t y = begin; y < end; ++y) {
      const double dy = (static_cast<double>(y) + 0.5 - halfHeight) / halfHeight;
      bool changes = false;
      for (int64_t x = 0; x < width; ++x) {
        const double dx = (static_cast<double>(x) + 0.5 - halfWidth) / halfWidth;
        const double d = std::sqrt((dx * dx + dy * dy) / 2);
        const float w = PixelMath::smoothstep<float>(
            static_cast<float>(std::clamp((d - inner) / (outer - inner), 0.0, 1.0)));
        change[static_cast<size_t>(x)] = w > 0 ? stops * w : ExposureStep::untouched;
        changes = changes || w > 0;
      }
      if (changes) ExposureStep::applyRow(print.row(y), change.data(), width, scratch.data());
    }
  });
}

void grain(PrintImage& print, double amount, double size, double roughness) {
  const int64_t width = print.width, height = print.height;
  if (width <= 0 || height <= 0) return;
  const float k = static_cast<float>(std::min(amount, 100.0) / 100 * 0.16);
  const double frequency = (size <= 0 ? 3000 : 3000 - 2500 * std::min(size, 100.0) / 100) /
                           static_cast<double>(std::max(width, height));
  if (!std::isfinite(frequency)) return;
  const float rough = static_cast<float>(std::clamp(roughness, 0.0, 100.0) / 100);
  const float norm = static_cast<float>(std::sqrt(std::max(frequency, 1.0)));

  parallelForRows(height, [&](int64_t begin, int64_t end) {
    Octave fine{frequency, 1.0, 0x9e37u, {}, 0}, coarse{frequency, 2.3, 0x7f4au, {}, 0};
    for (int64_t y = begin; y < end; ++y) {
      fine.prepare(y, width);
      if (rough > 0) coarse.prepare(y, width);
      float* c = print.row(y);
      for (int64_t x = 0; x < width; ++x, c += 3) {
        float n = 2.2f * fine.at(x);
        if (rough > 0) n = (1 - 0.5f * rough) * n + rough * 2.2f * coarse.at(x);
        n = n / norm;
        const float l = 0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2];
        const float delta = k * n * (3 * l * (1 - l) + 0.25f);
        for (int i = 0; i < 3; ++i) c[i] = std::clamp(c[i] + delta, 0.0f, 1.0f);
      }
    }
  });
}

}  // namespace FilmEffects
