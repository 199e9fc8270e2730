#include "Conversion/Analyzer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Color/LuminanceWeights.h"
#include "Support/ParallelFor.h"
#include "Support/PlanePool.h"
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

// The densities of the finite samples, per channel in row order, on planes from the pool: the
// sampling writes every value it keeps, and a measurement after another takes their memory
// without new pages to fault.
struct Sampled {
  explicit Sampled(size_t slots)
      : densities{PlanePool::Plane(slots), PlanePool::Plane(slots), PlanePool::Plane(slots)} {}
  std::array<PlanePool::Plane, 3> densities;
  size_t count = 0;
  std::array<float, 3> maxima{0, 0, 0};
};

// Rows of the sampling grid in parallel: each grid row fills its own slot of `columns` values
// per channel and turns them into densities while they are in the cache; the slots are closed up
// in row order afterwards when a non-finite sample left a gap.
Sampled sample(const LinearImage& image, const Region& r, int64_t stride, bool blackAndWhite) {
  const int64_t columns = (r.x1 - r.x0 + stride - 1) / stride;
  const int64_t rows = (r.y1 - r.y0 + stride - 1) / stride;
  const auto slots = static_cast<size_t>(columns * rows);
  Sampled result(slots);
  std::vector<size_t> counts(static_cast<size_t>(rows));
  std::vector<std::array<float, 3>> rowMaxima(static_cast<size_t>(rows));
  parallelForRows(rows, [&](int64_t begin, int64_t end) {
    for (int64_t gridRow = begin; gridRow < end; ++gridRow) {
      const float* row = image.row(r.y0 + gridRow * stride);
      const auto first = static_cast<size_t>(gridRow * columns);
      float* red = result.densities[0].data() + first;
      float* green = result.densities[1].data() + first;
      float* blue = result.densities[2].data() + first;
      std::array<float, 3> maxima{0, 0, 0};
      size_t n = 0;
      for (int64_t x = r.x0; x < r.x1; x += stride) {
        float R = row[x * 4], G = row[x * 4 + 1], B = row[x * 4 + 2];
        if (!std::isfinite(R) || !std::isfinite(G) || !std::isfinite(B)) continue;
        maxima[0] = std::max(maxima[0], R);
        maxima[1] = std::max(maxima[1], G);
        maxima[2] = std::max(maxima[2], B);
        if (blackAndWhite) R = G = B = LuminanceWeights::luminanceOf(R, G, B);
        red[n] = std::max(R, transmissionFloor);
        green[n] = std::max(G, transmissionFloor);
        blue[n] = std::max(B, transmissionFloor);
        ++n;
      }
      for (float* values : {red, green, blue}) {
        VectorMath::log10(values, values, n);
        for (size_t i = 0; i < n; ++i) values[i] = -values[i];
      }
      counts[static_cast<size_t>(gridRow)] = n;
      rowMaxima[static_cast<size_t>(gridRow)] = maxima;
    }
  });
  for (const auto& maxima : rowMaxima)
    for (int c = 0; c < 3; ++c) result.maxima[c] = std::max(result.maxima[c], maxima[c]);
  for (int64_t gridRow = 0; gridRow < rows; ++gridRow) {
    const size_t n = counts[static_cast<size_t>(gridRow)];
    const auto first = static_cast<size_t>(gridRow * columns);
    if (result.count != first) {
      for (auto& plane : result.densities)
        std::copy(plane.data() + first, plane.data() + first + n, plane.data() + result.count);
    }
    result.count += n;
  }
  return result;
}

// The values that sorted positions `ranks` (each below `count`) would hold, as std::nth_element
// would place them. A spread-out subsample brackets each rank between two of its values; one
// pass counts the values below, at the lower end and strictly inside each bracket, and only when
// the rank lies strictly inside are those values gathered and selected among. Flat patches
// repeat one value many times: they are counted, never gathered. A bracket that misses its rank
// (a subsample far from the whole) falls back to a selection over all values.
template <size_t N>
std::array<float, N> atRanks(const float* values, size_t count,
                             const std::array<size_t, N>& ranks) {
  const auto selectAll = [&] {
    std::vector<float> all(values, values + count);
    std::array<float, N> result{};
    for (size_t k = 0; k < N; ++k) {
      const auto at = all.begin() + static_cast<std::ptrdiff_t>(ranks[k]);
      std::nth_element(all.begin(), at, all.end());
      result[k] = *at;
    }
    return result;
  };
  constexpr size_t subsampleSize = 16384;
  if (count <= 16 * subsampleSize) return selectAll();

  const size_t step = count / subsampleSize;
  std::vector<float> subsample;
  subsample.reserve(count / step + 1);
  for (size_t i = 0; i < count; i += step) subsample.push_back(values[i]);
  const double last = static_cast<double>(subsample.size() - 1);
  const auto subsampleAt = [&](double position) {
    const auto at =
        subsample.begin() + static_cast<std::ptrdiff_t>(std::clamp(position, 0.0, last));
    std::nth_element(subsample.begin(), at, subsample.end());
    return *at;
  };
  std::array<float, N> low{}, high{};
  for (size_t k = 0; k < N; ++k) {
    const double q = static_cast<double>(ranks[k]) / static_cast<double>(count - 1);
    const double spread = 4 * std::sqrt(last * q * (1 - q)) + 8;
    low[k] = subsampleAt(std::floor(q * last - spread));
    high[k] = subsampleAt(std::ceil(q * last + spread));
  }
  // Counted in 32-bit lanes a block at a time, so the comparisons run as vectors.
  std::array<size_t, N> below{}, atLow{}, between{};
  constexpr size_t block = size_t{1} << 20;
  for (size_t first = 0; first < count; first += block) {
    const size_t last = std::min(count, first + block);
    for (size_t k = 0; k < N; ++k) {
      const float lo = low[k], hi = high[k];
      uint32_t under = 0, at = 0, within = 0;
      for (size_t i = first; i < last; ++i) {
        const float value = values[i];
        under += value < lo;
        at += value == lo;
        within += (lo < value) & (value < hi);
      }
      below[k] += under;
      atLow[k] += at;
      between[k] += within;
    }
  }
  // Each rank lies below its bracket (a miss), at its lower end, strictly inside, at its upper
  // end, or beyond (a miss).
  std::array<float, N> result{};
  std::array<size_t, N> insideRank{};
  std::array<bool, N> gather{};
  for (size_t k = 0; k < N; ++k) {
    const float lo = low[k], hi = high[k];
    if (ranks[k] < below[k]) return selectAll();
    size_t rank = ranks[k] - below[k];
    if (rank < atLow[k]) {
      result[k] = lo;
      continue;
    }
    rank -= atLow[k];
    if (rank < between[k]) {
      gather[k] = true;
      insideRank[k] = rank;
      continue;
    }
    if (lo == hi) return selectAll();
    const auto atHigh = static_cast<size_t>(std::count(values, values + count, hi));
    if (rank - between[k] >= atHigh) return selectAll();
    result[k] = hi;
  }
  if (std::none_of(gather.begin(), gather.end(), [](bool g) { return g; })) return result;
  // One pass gathers the values strictly inside every bracket that holds its rank there.
  std::array<std::vector<float>, N> inside;
  std::array<float*, N> out{};
  for (size_t k = 0; k < N; ++k) {
    if (!gather[k]) continue;
    inside[k].resize(between[k]);
    out[k] = inside[k].data();
  }
  for (size_t i = 0; i < count; ++i) {
    const float value = values[i];
    for (size_t k = 0; k < N; ++k)
      if (gather[k] && low[k] < value && value < high[k]) *out[k]++ = value;
  }
  for (size_t k = 0; k < N; ++k) {
    if (!gather[k]) continue;
    const auto at = inside[k].begin() + static_cast<std::ptrdiff_t>(insideRank[k]);
    std::nth_element(inside[k].begin(), at, inside[k].end());
    result[k] = *at;
  }
  return result;
}

// Drops samples denser than the robust film base plus the margin in any channel, when enough
// remain and something was dropped: each channel's list is closed up in place.
void rejectOutliers(Sampled& sampled) {
  const size_t n = sampled.count;
  const size_t k =
      static_cast<size_t>(std::llround(static_cast<double>(n - 1) * robustBaseQuantile));
  std::array<float, 3> limit{};
  parallelFor(3, [&](int64_t c) {
    limit[c] = atRanks<1>(sampled.densities[c].data(), n, {k})[0] + outlierMargin;
  });
  // One bit a sample; blocks of whole words, so each block writes only its own.
  std::vector<uint64_t> keep((n + 63) / 64);
  constexpr int64_t block = 1 << 16;
  const auto blocks = static_cast<int64_t>((n + block - 1) / block);
  std::vector<size_t> keptInBlock(static_cast<size_t>(blocks));
  const float *red = sampled.densities[0].data(), *green = sampled.densities[1].data(),
              *blue = sampled.densities[2].data();
  parallelForRows(blocks, [&](int64_t begin, int64_t end) {
    for (int64_t b = begin; b < end; ++b) {
      size_t count = 0;
      const auto last = std::min(n, static_cast<size_t>((b + 1) * block));
      for (auto i = static_cast<size_t>(b * block); i < last; ++i) {
        const bool kept = red[i] <= limit[0] && green[i] <= limit[1] && blue[i] <= limit[2];
        keep[i / 64] |= static_cast<uint64_t>(kept) << (i % 64);
        count += kept;
      }
      keptInBlock[static_cast<size_t>(b)] = count;
    }
  });
  size_t kept = 0;
  for (const size_t count : keptInBlock) kept += count;
  const bool enough = n < 2000 ? kept >= 100 : kept >= n / 20;
  if (!enough || kept == n) return;
  parallelFor(3, [&](int64_t c) {
    float* list = sampled.densities[c].data();
    size_t out = 0;
    for (size_t i = 0; i < n; ++i)
      if (keep[i / 64] >> (i % 64) & 1) list[out++] = list[i];
  });
  sampled.count = kept;
}

}  // namespace

namespace Analyzer {

FilmAnalysis analyze(const LinearImage& image, const ConversionSettings& settings,
                     int64_t maxSamples) {
  const Region region = insetRegion(image.width(), image.height(), settings.analysisInset);
  const int64_t stride = sampleStride(region, maxSamples);
  Sampled sampled = sample(image, region, stride, settings.mode == FilmMode::bwNegative);
  if (sampled.count > 0) rejectOutliers(sampled);

  FilmAnalysis analysis;
  const size_t count = sampled.count;
  parallelFor(3, [&](int64_t c) {
    if (count == 0) return;
    const size_t low = percentileIndex(settings.blackClip, count);
    const size_t high = percentileIndex(settings.whiteClip, count);
    const auto [dMin, atHigh] = atRanks<2>(sampled.densities[c].data(), count, {low, high});
    float dMax = atHigh;
    if (dMax - dMin < 0.02f) dMax = dMin + 0.02f;
    analysis.dMin[c] = dMin;
    analysis.dMax[c] = dMax;
  });
  for (int c = 0; c < 3; ++c) analysis.baseTransmission[c] = sampled.maxima[c];
  analysis.samples = static_cast<int64_t>(count);
  return analysis;
}

}  // namespace Analyzer
