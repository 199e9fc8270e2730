#include "Print/Pipeline.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "Color/LuminanceWeights.h"
#include "Print/Looks.h"
#include "Print/PaperCurve.h"
#include "Print/PrintKernel.h"
#include "Support/ParallelFor.h"
#include "Support/PlanePool.h"

namespace Pipeline {

namespace {

// Pixels per block of the pixel loop: the block's planes stay in the first-level cache between
// the vector steps and the looks.
constexpr int64_t blockPixels = 256;

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
  PrintKernel::Paper paper;
  std::vector<LookParameters> looks;
  bool saturate;
  float saturation;
};

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
  PrintKernel::Paper& paper = p.paper;
  for (size_t c = 0; c < 3; ++c) {
    paper.dMin[c] = static_cast<float>(analysis.dMin[c]);
    paper.range[c] = static_cast<float>(analysis.dMax[c] - analysis.dMin[c]);
  }
  p.looks = lookList(settings);
  paper.offset = colourOffsets(settings, p.looks, tunables);
  paper.expShift = static_cast<float>(-densityPerStop * std::clamp(settings.exposure, -5.0, 5.0));
  float lookContrast = 1;
  for (const LookParameters& look : p.looks) lookContrast *= look.contrast;
  paper.contrast = static_cast<float>(settings.contrast * lookContrast);
  paper.useMatrix = settings.mode == FilmMode::colorNegative && !isIdentity(tunables.matrix);
  paper.matrix = tunables.matrix;
  paper.mono = settings.mode == FilmMode::bwNegative;
  paper.inverted = settings.mode == FilmMode::positive;
  const PaperCurve curve(k);
  paper.k = curve.k;
  paper.lo = curve.lo;
  paper.span = curve.span;
  p.saturation = static_cast<float>(settings.saturation);
  p.saturate = p.saturation != 1 && !paper.mono;
  return p;
}

// The planes of one block: R, G and B, blockPixels values each.
struct Planes {
  alignas(64) float c[3][blockPixels];
};

void applyLooks(const std::vector<LookParameters>& looks, Planes& values, int64_t n) {
  for (int64_t i = 0; i < n; ++i) {
    float r = values.c[0][i];
    float g = values.c[1][i];
    float b = values.c[2][i];
    for (const LookParameters& look : looks) {
      r = look.applyTone(r);
      g = look.applyTone(g);
      b = look.applyTone(b);
      look.applyColor(r, g, b, LuminanceWeights::luminanceOf(r, g, b));
    }
    values.c[0][i] = r;
    values.c[1][i] = g;
    values.c[2][i] = b;
  }
}

void renderBlock(const Preparation& p, const float* in, float* out, int64_t n) {
  Planes values;
  const size_t count = static_cast<size_t>(n);
  PrintKernel::paper(p.paper, in, count, values.c[0], values.c[1], values.c[2]);
  if (!p.looks.empty()) applyLooks(p.looks, values, n);
  PrintKernel::finish(values.c[0], values.c[1], values.c[2], count, p.saturate, p.saturation, out);
}

// One row, block by block; each block is read whole before its print is written, so the print
// may be written over the row's own scan values as long as it starts no later than they do.
void renderRow(const Preparation& p, const float* in, float* out, int64_t width) {
  for (int64_t x = 0; x < width; x += blockPixels) {
    const int64_t n = std::min(blockPixels, width - x);
    renderBlock(p, in + 4 * x, out + 3 * x, n);
  }
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
  PrintImage print = PrintImage::forOverwrite(width, image.height());
  parallelForRows(image.height(), [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) renderRow(p, image.row(y), print.row(y), width);
  });
  return print;
}

// Row y of the print (3 × width values) is written over scan rows near 3y / 4, which must have
// been read by then. The rows go in waves, each wave in parallel: a wave starting at row b ends
// before 4b / 3, so its print ends where its own scan rows begin. The first rows, whose print
// would overlap their own scan, go through a small scratch plane copied into place at the end.
PrintImage render(LinearImage&& image, const FilmAnalysis& analysis,
                  const ConversionSettings& settings) {
  const int64_t width = image.width();
  const int64_t height = image.height();
  std::optional<std::vector<float>> plane = std::move(image).releasePlane();
  if (!plane) return render(std::as_const(image), analysis, settings);

  const Preparation p = prepare(analysis, settings, tunables());
  float* values = plane->data();
  const int64_t headRows = std::min(height, std::max<int64_t>(3, height / 64));
  PlanePool::Plane head(static_cast<size_t>(headRows * width * 3));
  parallelForRows(headRows, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y)
      renderRow(p, values + y * width * 4, head.data() + y * width * 3, width);
  });
  for (int64_t first = headRows; first < height;) {
    const int64_t last = std::min(height, first + first / 3);
    parallelForRows(last - first, [&](int64_t begin, int64_t end) {
      for (int64_t y = first + begin; y < first + end; ++y)
        renderRow(p, values + y * width * 4, values + y * width * 3, width);
    });
    first = last;
  }
  std::copy(head.data(), head.data() + head.size(), values);
  plane->resize(static_cast<size_t>(width * height * 3));
  return {width, height, std::move(*plane)};
}

}  // namespace Pipeline
