#include "Conversion/AutoCrop.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "Color/LuminanceWeights.h"

namespace AutoCrop {

namespace {

constexpr int64_t gridTarget = 600;
constexpr int64_t minCells = 32;
constexpr double baseQuantile = 0.005;
constexpr double levelQuantile = 0.02;
constexpr double spreadQuantile = 0.1;
constexpr float clearShare = 0.85f;
constexpr float mixedShare = 0.35f;
constexpr float windowLimit = 0.45f;
constexpr double bandFraction = 0.12;
constexpr double minFrameArea = 0.35;
constexpr double maxAspect = 2.2;

struct Grid {
  int64_t cell = 1;  // pixels per cell side
  int64_t columns = 0;
  int64_t rows = 0;
  std::vector<float> density;  // row-major
};

// Percentile of a list: the element at index round(p·(n − 1)) of its ascending order, halves
// away from zero. Selects it in place (the list is reordered) instead of sorting all of it.
float quantile(float* begin, float* end, double p) {
  const size_t count = size_t(end - begin);
  const size_t index = size_t(std::round(std::clamp(p, 0.0, 1.0) * double(count - 1)));
  std::nth_element(begin, begin + index, end);
  return begin[index];
}

// Mean luminance of each cell as a density; a non-finite luminance adds 0 but still counts.
Grid cellDensities(const LinearImage& image) {
  Grid grid;
  const int64_t longSide = std::max(image.width(), image.height());
  grid.cell = longSide < gridTarget ? 1 : longSide / gridTarget;
  grid.columns = image.width() / grid.cell;
  grid.rows = image.height() / grid.cell;
  if (grid.columns < minCells || grid.rows < minCells) return grid;

  const int64_t b = grid.cell;
  const float divisor = float(b * b);
  grid.density.resize(size_t(grid.columns * grid.rows));
  std::vector<float> sums(size_t(grid.columns));
  for (int64_t r = 0; r < grid.rows; ++r) {
    std::fill(sums.begin(), sums.end(), 0.0f);
    for (int64_t y = r * b; y < r * b + b; ++y) {
      const float* pixel = image.row(y);
      for (int64_t c = 0; c < grid.columns; ++c) {
        float sum = sums[size_t(c)];
        for (int64_t x = 0; x < b; ++x, pixel += 4) {
          const float luminance = LuminanceWeights::luminanceOf(pixel[0], pixel[1], pixel[2]);
          if (std::isfinite(luminance)) sum += luminance;
        }
        sums[size_t(c)] = sum;
      }
    }
    float* out = grid.density.data() + r * grid.columns;
    for (int64_t c = 0; c < grid.columns; ++c)
      out[c] = -std::log10(std::max(sums[size_t(c)] / divisor, 1e-6f));
  }
  return grid;
}

struct Levels {
  float limit = 0;  // opaque above
  float base = 0;   // film base
};

// The film base and the opaque limit; none when too few cells lie within reach of the base.
std::optional<Levels> filmLevels(const std::vector<float>& density) {
  std::vector<float> values = density;
  float* all = values.data();
  Levels levels;
  levels.limit = quantile(all, all + values.size(), baseQuantile) + opaqueMargin;
  float* inRange =
      std::partition(all, all + values.size(), [&](float v) { return v <= levels.limit; });
  if (size_t(inRange - all) <= values.size() / 4) return std::nullopt;

  levels.base = quantile(all, inRange, levelQuantile);
  if (quantile(all, inRange, spreadQuantile) - levels.base > clearMargin) {
    // Bare light lies below the film base: measure the base above that cluster.
    const float floor = levels.base + clearMargin;
    float* aboveLight = std::partition(all, inRange, [&](float v) { return v <= floor; });
    levels.base = quantile(aboveLight, inRange, levelQuantile);
  }
  return levels;
}

std::vector<float> reversed(std::vector<float> profile) {
  std::reverse(profile.begin(), profile.end());
  return profile;
}

}  // namespace

std::vector<float> rowProfile(const std::vector<uint8_t>& flags, size_t columns, size_t rows) {
  std::vector<float> profile(rows, 0.0f);
  const size_t first = columns / 5, last = columns - columns / 5;
  if (last <= first || flags.size() < columns * rows) return profile;
  const float count = float(last - first);
  for (size_t r = 0; r < rows; ++r) {
    const uint8_t* row = flags.data() + r * columns;
    size_t flagged = 0;
    for (size_t c = first; c < last; ++c) flagged += row[c];
    profile[r] = float(flagged) / count;
  }
  return profile;
}

std::vector<float> columnProfile(const std::vector<uint8_t>& flags, size_t columns, size_t rows) {
  std::vector<float> profile(columns, 0.0f);
  const size_t first = rows / 5, last = rows - rows / 5;
  if (last <= first || flags.size() < columns * rows) return profile;
  const float count = float(last - first);
  std::vector<size_t> flagged(columns, 0);
  for (size_t r = first; r < last; ++r) {
    const uint8_t* row = flags.data() + r * columns;
    for (size_t c = 0; c < columns; ++c) flagged[c] += row[c];
  }
  for (size_t c = 0; c < columns; ++c) profile[c] = float(flagged[c]) / count;
  return profile;
}

float windowMean(const std::vector<float>& profile, long first, long last) {
  const long begin = std::max(first, 0L);
  const long end = std::min(last, long(profile.size()) - 1);
  if (begin > end) return 0.0f;
  float sum = 0.0f;
  for (long i = begin; i <= end; ++i) sum += profile[size_t(i)];
  return sum / float(end - begin + 1);
}

size_t edgeDepth(const std::vector<float>& opaque, const std::vector<float>& clear) {
  const std::vector<float>& P = opaque;
  const std::vector<float>& C = clear;
  const long n = long(std::min(P.size(), C.size()));
  const long end = long(searchFraction * double(n));
  if (end < 5) return 0;
  const long e = std::max(3L, long(bandFraction * double(n)));

  // Holder border: the last pair of opaque cells within the search range.
  long result = P[0] >= borderCoverage ? 1 : 0;
  for (long i = 0; i <= end - 2; ++i)
    if (P[i + 1] >= borderCoverage &&
        (P[i] >= borderCoverage || (i + 2 < n && P[i + 2] >= borderCoverage)))
      result = i + 2;

  // Transition: cells partly clear and partly opaque.
  const long d = n >= 80 ? n / 40 : 2;
  long j = result;
  while (j < std::min(result + d, n) && C[j] < clearShare && C[j] + P[j] >= mixedShare) ++j;

  // Rebate right beside the border.
  long k = j;
  while (k < std::min(result + e + 1, n) && C[k] >= clearShare) ++k;
  if (k - j >= 2 && k - result <= e && windowMean(C, k + 3, k + 7) < windowLimit) result = k;

  // Rebate further in, with picture on both sides; a later band replaces an earlier one.
  long l = result + 2;
  while (l < end) {
    if (C[l] < clearShare) {
      ++l;
      continue;
    }
    long m = l;
    while (m < n && C[m] >= clearShare) ++m;
    const long length = m - l;
    if (length >= 2 && length <= e && m < end + e && windowMean(C, l - 8, l - 4) < windowLimit &&
        windowMean(C, m + 3, m + 7) < windowLimit)
      result = m;
    l = m + 1;
  }
  return size_t(result);
}

Result detect(const LinearImage& image, FilmMode mode) {
  const Grid grid = cellDensities(image);
  if (grid.density.empty()) return {};
  const auto levels = filmLevels(grid.density);
  if (!levels) return {};

  const size_t g = size_t(grid.columns), u = size_t(grid.rows);
  std::vector<uint8_t> opaque(grid.density.size()), clear(grid.density.size());
  const bool clearCounts = mode != FilmMode::positive;
  const float clearBelow = levels->base + clearMargin;
  for (size_t i = 0; i < grid.density.size(); ++i) {
    opaque[i] = grid.density[i] > levels->limit;
    clear[i] = clearCounts && grid.density[i] < clearBelow;
  }

  const auto rowsOpaque = rowProfile(opaque, g, u), rowsClear = rowProfile(clear, g, u);
  const auto colsOpaque = columnProfile(opaque, g, u), colsClear = columnProfile(clear, g, u);
  const size_t top = edgeDepth(rowsOpaque, rowsClear);
  const size_t bottom = edgeDepth(reversed(rowsOpaque), reversed(rowsClear));
  const size_t left = edgeDepth(colsOpaque, colsClear);
  const size_t right = edgeDepth(reversed(colsOpaque), reversed(colsClear));
  if (top + bottom + left + right == 0 || left + right >= g || top + bottom >= u) return {};

  const double wf = double(g - left - right) / double(g);
  const double hf = double(u - top - bottom) / double(u);
  if (wf * hf < minFrameArea) return {};
  const double aspect = (wf * double(image.width())) / (hf * double(image.height()));
  if (std::max(aspect, 1.0 / aspect) > maxAspect) return {};
  return Result{NormRect{double(left) / double(g), double(top) / double(u), wf, hf}, true};
}

}  // namespace AutoCrop
