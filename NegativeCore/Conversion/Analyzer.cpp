#include "Conversion/Analyzer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "Color/LuminanceWeights.h"
#include "Support/ParallelFor.h"
#include "Support/VectorMath.h"

namespace {

constexpr float outlierMargin = 2.5f;
constexpr double robustBaseQuantile = 0.001;
constexpr double insetLimit = 0.45;
constexpr float transmissionFloor = 1e-6f;

struct Region {
  int64_t x0, x1, y0, y1;
};

// Integer part of a non-negative product, clamped in floating point first.
int64_t truncated(double value, int64_t limit) {
  return static_cast<int64_t>(std::clamp(value, 0.0, static_cast<double>(limit)));
}

Region insetRegion(int64_t width, int64_t height, double analysisInset) {
  const double inset = std::isnan(analysisInset) ? 0.0 : std::clamp(analysisInset, 0.0, insetLimit);
  Region r{};
  r.x0 = truncated(inset * width, width);
  r.x1 = std::max(truncated((1 - inset) * width, width), r.x0 + 1);
  r.y0 = truncated(inset * height, height);
  r.y1 = std::max(truncated((1 - inset) * height, height), r.y0 + 1);
  return r;
}

int64_t sampleStride(const Region& r, int64_t maxSamples) {
  const double area = static_cast<double>((r.x1 - r.x0) * (r.y1 - r.y0));
  const double s = std::sqrt(area / static_cast<double>(std::max<int64_t>(1, maxSamples)));
  return std::max<int64_t>(1, truncated(s, int64_t{1} << 40));
}

// Index round(p · (count − 1)), halves away from zero, with p clamped to 0…1.
size_t percentileIndex(double p, size_t count) {
  const double clamped = std::isnan(p) ? 0.0 : std::clamp(p, 0.0, 1.0);
  return static_cast<size_t>(std::llround(clamped * static_cast<double>(count - 1)));
}

using Lists = std::array<std::vector<float>, 3>;

struct Sampled {
  Lists lists;  // floored transmissions, turned into densities in place
  std::array<float, 3> maxima{0, 0, 0};
};

// One pass, rows outer and columns inner, on the calling thread.
Sampled sample(const LinearImage& image, const Region& r, int64_t stride, bool blackAndWhite) {
  Sampled result;
  const int64_t columns = (r.x1 - r.x0 + stride - 1) / stride;
  const int64_t rows = (r.y1 - r.y0 + stride - 1) / stride;
  for (auto& list : result.lists) list.reserve(static_cast<size_t>(columns * rows) + 1);
  auto& [maxR, maxG, maxB] = result.maxima;
  for (int64_t y = r.y0; y < r.y1; y += stride) {
    const float* row = image.row(y);
    for (int64_t x = r.x0; x < r.x1; x += stride) {
      float red = row[x * 4], green = row[x * 4 + 1], blue = row[x * 4 + 2];
      if (!std::isfinite(red) || !std::isfinite(green) || !std::isfinite(blue)) continue;
      maxR = std::max(maxR, red);
      maxG = std::max(maxG, green);
      maxB = std::max(maxB, blue);
      if (blackAndWhite) red = green = blue = LuminanceWeights::luminanceOf(red, green, blue);
      result.lists[0].push_back(std::max(red, transmissionFloor));
      result.lists[1].push_back(std::max(green, transmissionFloor));
      result.lists[2].push_back(std::max(blue, transmissionFloor));
    }
  }
  return result;
}

void toDensities(Lists& lists) {
  parallelFor(3, [&](int64_t c) {
    auto& list = lists[c];
    VectorMath::log10(list.data(), list.data(), list.size());
    for (float& value : list) value = -value;
  });
}

// Drops samples denser than the robust film base plus the margin in any channel, when enough
// remain and something was dropped.
void rejectOutliers(Lists& lists) {
  const size_t n = lists[0].size();
  const size_t k =
      static_cast<size_t>(std::llround(static_cast<double>(n - 1) * robustBaseQuantile));
  std::array<float, 3> limit{};
  parallelFor(3, [&](int64_t c) {
    std::vector<float> copy = lists[c];
    std::nth_element(copy.begin(), copy.begin() + static_cast<std::ptrdiff_t>(k), copy.end());
    limit[c] = copy[k] + outlierMargin;
  });
  std::vector<uint8_t> keep(n);
  size_t kept = 0;
  for (size_t i = 0; i < n; ++i) {
    keep[i] = lists[0][i] <= limit[0] && lists[1][i] <= limit[1] && lists[2][i] <= limit[2];
    kept += keep[i];
  }
  const bool enough = n < 2000 ? kept >= 100 : kept >= n / 20;
  if (!enough || kept == n) return;
  parallelFor(3, [&](int64_t c) {
    auto& list = lists[c];
    size_t out = 0;
    for (size_t i = 0; i < n; ++i)
      if (keep[i]) list[out++] = list[i];
    list.resize(out);
  });
}

}  // namespace

namespace Analyzer {

FilmAnalysis analyze(const LinearImage& image, const ConversionSettings& settings,
                     int64_t maxSamples) {
  const Region region = insetRegion(image.width(), image.height(), settings.analysisInset);
  const int64_t stride = sampleStride(region, maxSamples);
  Sampled sampled = sample(image, region, stride, settings.mode == FilmMode::bwNegative);
  Lists& lists = sampled.lists;
  toDensities(lists);
  if (!lists[0].empty()) rejectOutliers(lists);

  FilmAnalysis analysis;
  parallelFor(3, [&](int64_t c) {
    auto& list = lists[c];
    if (list.empty()) return;
    const size_t low = percentileIndex(settings.blackClip, list.size());
    const size_t high = percentileIndex(settings.whiteClip, list.size());
    // Selection instead of a sort: the first pick partitions around it, the second searches the
    // side it lies on.
    const auto at = [&](size_t i) { return list.begin() + static_cast<std::ptrdiff_t>(i); };
    std::nth_element(list.begin(), at(low), list.end());
    const float dMin = list[low];
    if (high > low) std::nth_element(at(low + 1), at(high), list.end());
    if (high < low) std::nth_element(list.begin(), at(high), at(low));
    float dMax = list[high];
    if (dMax - dMin < 0.02f) dMax = dMin + 0.02f;
    analysis.dMin[c] = dMin;
    analysis.dMax[c] = dMax;
  });
  for (int c = 0; c < 3; ++c) analysis.baseTransmission[c] = sampled.maxima[c];
  analysis.samples = static_cast<int64_t>(lists[0].size());
  return analysis;
}

}  // namespace Analyzer
