#include "Print/Pipeline.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <mutex>
#include <vector>

#include "Print/Looks.h"
#include "Print/PaperCurve.h"
#include "Support/ParallelFor.h"
#include "Support/VectorMath.h"

namespace Pipeline {

namespace {

// Pixels per block of the pixel loop: the block's planes stay in the first-level cache while
// the vector maths passes over them.
constexpr int64_t blockPixels = 256;
// Above this the paper curve's exponential overflows; the curve is then 0 either way.
constexpr float largestExponent = 88.0f;

struct TunableStore {
  std::mutex lock;
  Tunables values;
};

TunableStore& store() {
  static TunableStore instance;
  return instance;
}

// Everything of a render that does not depend on the pixel.
struct Preparation {
  std::array<float, 3> dMin;
  std::array<float, 3> range;
  std::array<float, 3> offset;
  float expShift;
  float paperContrast;
  bool useMatrix;
  std::array<float, 9> matrix;
  bool saturate;
  float saturation;
  bool mono;
  bool inverted;
  std::vector<LookParameters> looks;
  PaperCurve curve{k};
};

float luminance(float r, float g, float b) { return 0.229f * r + 0.6917f * g + 0.0793f * b; }

// A value whose density is taken from its logarithm: above 10⁻⁶ and finite.
bool hasDensity(float v) { return v > 1e-6f && v <= FLT_MAX; }

std::array<float, 3> colourOffsets(const ConversionSettings& settings,
                                   const std::vector<LookParameters>& looks,
                                   const Tunables& tunables) {
  if (settings.mode == FilmMode::bwNegative) return {0, 0, 0};
  std::array<float, 3> offset{};
  // A missing filtration value counts as neutral.
  for (size_t c = 0; c < 3; ++c)
    offset[c] = (c < settings.cmy.size() ? static_cast<float>(settings.cmy[c]) : 1.0f) - 1.0f;
  std::pair<float, float> balance{0, 0};
  for (const LookParameters& look : looks) {
    balance.first += look.balance.first;
    balance.second += look.balance.second;
  }
  if (settings.mode == FilmMode::colorNegative) {
    balance.first += tunables.colorNegativeBalance.first;
    balance.second += tunables.colorNegativeBalance.second;
  }
  const float T =
      static_cast<float>(std::clamp(settings.temperature + balance.first, -150.0, 150.0) / 100);
  const float N =
      static_cast<float>(std::clamp(settings.tint + balance.second, -150.0, 150.0) / 100);
  const float tShift = temperatureScale * T;
  const float nShift = tintScale * N;
  offset[0] -= tShift;
  offset[1] += nShift;
  offset[2] += tShift;
  return offset;
}

bool isIdentity(const std::array<float, 9>& m) {
  return m == std::array<float, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1};
}

Preparation prepare(const FilmAnalysis& analysis, const ConversionSettings& settings,
                    const Tunables& tunables) {
  Preparation p;
  for (size_t c = 0; c < 3; ++c) {
    p.dMin[c] = static_cast<float>(analysis.dMin[c]);
    p.range[c] = static_cast<float>(analysis.dMax[c] - analysis.dMin[c]);
  }
  p.looks = lookList(settings);
  p.offset = colourOffsets(settings, p.looks, tunables);
  p.expShift = static_cast<float>(-densityPerStop * std::clamp(settings.exposure, -5.0, 5.0));
  float lookContrast = 1;
  for (const LookParameters& look : p.looks) lookContrast *= look.contrast;
  p.paperContrast = static_cast<float>(settings.contrast * lookContrast);
  p.useMatrix = settings.mode == FilmMode::colorNegative && !isIdentity(tunables.matrix);
  p.matrix = tunables.matrix;
  p.saturation = static_cast<float>(settings.saturation);
  p.mono = settings.mode == FilmMode::bwNegative;
  p.saturate = p.saturation != 1 && !p.mono;
  p.inverted = settings.mode == FilmMode::positive;
  return p;
}

// The planes of one block: R, G and B, blockPixels values each.
struct Planes {
  alignas(64) float c[3][blockPixels];
};

// Channel values of n RGBA pixels, mixed to luminance for black-and-white negatives; the
// logarithm planes get the values that have a density and 1 for the rest.
void loadValues(const Preparation& p, const float* in, int64_t n, Planes& values, Planes& logs) {
  if (p.mono) {
    for (int64_t i = 0; i < n; ++i)
      values.c[0][i] = values.c[1][i] = values.c[2][i] =
          luminance(in[4 * i], in[4 * i + 1], in[4 * i + 2]);
  } else {
    for (int64_t i = 0; i < n; ++i) {
      values.c[0][i] = in[4 * i];
      values.c[1][i] = in[4 * i + 1];
      values.c[2][i] = in[4 * i + 2];
    }
  }
  for (int c = 0; c < 3; ++c)
    for (int64_t i = 0; i < n; ++i) {
      const float v = values.c[c][i];
      logs.c[c][i] = hasDensity(v) ? v : 1.0f;
    }
}

// From the values and their logarithms to the exponent of the paper curve, left in `logs`.
void paperExponents(const Preparation& p, const Planes& values, Planes& logs, int64_t n) {
  for (int c = 0; c < 3; ++c)
    for (int64_t i = 0; i < n; ++i) {
      const float D = hasDensity(values.c[c][i]) ? -logs.c[c][i] : 6.0f;
      const float d = (D - p.dMin[c]) / p.range[c];
      logs.c[c][i] = p.inverted ? 1 - d : d;
    }
  if (p.useMatrix) {
    const auto& m = p.matrix;
    for (int64_t i = 0; i < n; ++i) {
      const float eR = logs.c[0][i] - 0.5f;
      const float eG = logs.c[1][i] - 0.5f;
      const float eB = logs.c[2][i] - 0.5f;
      logs.c[0][i] = m[0] * eR + m[1] * eG + m[2] * eB + 0.5f;
      logs.c[1][i] = m[3] * eR + m[4] * eG + m[5] * eB + 0.5f;
      logs.c[2][i] = m[6] * eR + m[7] * eG + m[8] * eB + 0.5f;
    }
  }
  for (int c = 0; c < 3; ++c)
    for (int64_t i = 0; i < n; ++i) {
      const float v = p.paperContrast * (logs.c[c][i] - p.offset[c] - p.expShift - 0.5f) + 0.5f;
      const float t = -p.curve.k * (v - 0.5f);
      // Also catches NaN, which prints as 0 like the overflowed curve.
      logs.c[c][i] = t < largestExponent ? t : largestExponent;
    }
}

// The paper curve from its exponentials, into `values`.
void paperValues(const Preparation& p, const Planes& exps, Planes& values, int64_t n) {
  for (int c = 0; c < 3; ++c)
    for (int64_t i = 0; i < n; ++i)
      values.c[c][i] = (1 / (1 + exps.c[c][i]) - p.curve.lo) / p.curve.span;
}

void applyLooks(const Preparation& p, Planes& values, int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    float r = values.c[0][i];
    float g = values.c[1][i];
    float b = values.c[2][i];
    for (const LookParameters& look : p.looks) {
      r = look.applyTone(r);
      g = look.applyTone(g);
      b = look.applyTone(b);
      look.applyColor(r, g, b, luminance(r, g, b));
    }
    values.c[0][i] = r;
    values.c[1][i] = g;
    values.c[2][i] = b;
  }
}

void applySaturation(float saturation, Planes& values, int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    const float L = luminance(values.c[0][i], values.c[1][i], values.c[2][i]);
    for (int c = 0; c < 3; ++c) values.c[c][i] = L + saturation * (values.c[c][i] - L);
  }
}

// 0…1, and 0 for anything not finite.
float printable(float v) { return v <= FLT_MAX ? std::min(std::max(0.0f, v), 1.0f) : 0.0f; }

void writePrint(Planes& values, float* out, int64_t n) {
  for (int c = 0; c < 3; ++c)
    for (int64_t i = 0; i < n; ++i) values.c[c][i] = printable(values.c[c][i]);
  for (int64_t i = 0; i < n; ++i) {
    out[3 * i] = values.c[0][i];
    out[3 * i + 1] = values.c[1][i];
    out[3 * i + 2] = values.c[2][i];
  }
}

void renderBlock(const Preparation& p, const float* in, float* out, int64_t n) {
  Planes values;
  Planes work;
  loadValues(p, in, n, values, work);
  for (int c = 0; c < 3; ++c) VectorMath::log10(work.c[c], work.c[c], static_cast<size_t>(n));
  paperExponents(p, values, work, n);
  for (int c = 0; c < 3; ++c) VectorMath::exp(work.c[c], work.c[c], static_cast<size_t>(n));
  paperValues(p, work, values, n);
  if (!p.looks.empty()) applyLooks(p, values, n);
  if (p.saturate) applySaturation(p.saturation, values, n);
  writePrint(values, out, n);
}

}  // namespace

Tunables tunables() {
  std::lock_guard guard(store().lock);
  return store().values;
}

std::array<float, 9> matrix() { return tunables().matrix; }

void setMatrix(const std::array<float, 9>& matrix) {
  std::lock_guard guard(store().lock);
  store().values.matrix = matrix;
}

std::pair<float, float> colorNegativeBalance() { return tunables().colorNegativeBalance; }

void setColorNegativeBalance(std::pair<float, float> balance) {
  std::lock_guard guard(store().lock);
  store().values.colorNegativeBalance = balance;
}

float density(bool inverted, float value, float dMin, float range, float offset) {
  const float D = hasDensity(value) ? -std::log10(value) : 6.0f;
  const float d = (D - dMin) / range;
  return (inverted ? 1 - d : d) - offset;
}

PrintImage render(const LinearImage& image, const FilmAnalysis& analysis,
                  const ConversionSettings& settings) {
  const Preparation p = prepare(analysis, settings, tunables());
  const int64_t width = image.width();
  PrintImage print(width, image.height());
  parallelForRows(image.height(), [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      const float* in = image.row(y);
      float* out = print.row(y);
      for (int64_t x = 0; x < width; x += blockPixels) {
        const int64_t n = std::min(blockPixels, width - x);
        renderBlock(p, in + 4 * x, out + 3 * x, n);
      }
    }
  });
  return print;
}

}  // namespace Pipeline
