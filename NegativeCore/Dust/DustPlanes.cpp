#include "Dust/DustPlanes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "Color/LuminanceWeights.h"
#include "Support/LargePages.h"
#include "Support/Median.h"
#include "Support/ParallelFor.h"
#include "Support/VectorMath.h"
#include "Tone/BoxBlur.h"

namespace DustDetector {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// Planes smaller than this run their per-pixel loops on the calling thread.
constexpr int64_t kSmallPlane = 16384;

int64_t rowsForThreads(int64_t width, int64_t height) {
  return width * height < kSmallPlane ? height + 1 : 2;
}

// Density of a weighted sum whose log10 is already known.
inline float densityOf(float v, float log10v) {
  return (v <= 0.00001f || !std::isfinite(v)) ? 5.0f : -log10v;
}

// Fills out row by row with values of `weighted` (one per pixel), then turns them into
// densities with the vectorised log10.
template <typename Weighted>
void densityRows(int64_t width, int64_t height, float* out, const Weighted& weighted) {
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        std::vector<float> logs(static_cast<size_t>(width));
        for (int64_t y = begin; y < end; ++y) {
          float* row = out + y * width;
          for (int64_t x = 0; x < width; ++x) row[x] = weighted(y * width + x);
          VectorMath::log10(row, logs.data(), static_cast<size_t>(width));
          for (int64_t x = 0; x < width; ++x) row[x] = densityOf(row[x], logs[x]);
        }
      },
      rowsForThreads(width, height));
}

template <bool Maximum>
inline float pick(float a, float b) {
  if constexpr (Maximum)
    return a > b ? a : b;
  else
    return a < b ? a : b;
}

template <bool Maximum>
constexpr float neutral() {
  return Maximum ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
}

// van Herk/Gil-Werman over `count` interleaved lines of `length` values: value j of line c is
// at in[j·step + c]. The lines are padded by `n` neutral values at both ends, so that every
// window holds exactly 2n + 1 padded values and a clamped window's minimum is unchanged. Blocks
// of 2n + 1 padded values; suffix minima run backwards into `suffix`, prefix minima forwards,
// and each output is the smaller of the suffix at its window's start and the prefix at its end.
template <bool Maximum>
void filterLines(const float* in, float* out, int64_t length, int64_t step, int64_t count,
                 int64_t n, float* suffix) {
  const int64_t k = 2 * n + 1;
  const int64_t padded = length + 2 * n;
  const float empty = neutral<Maximum>();
  auto value = [&](int64_t j, int64_t c) {
    const int64_t s = j - n;
    return (s >= 0 && s < length) ? in[s * step + c] : empty;
  };
  int64_t position = (padded - 1) % k;  // place of padded index j inside its block
  for (int64_t j = padded - 1; j >= 0; --j) {
    float* h = suffix + j * count;
    if (j == padded - 1 || position == k - 1) {
      for (int64_t c = 0; c < count; ++c) h[c] = value(j, c);
    } else {
      const float* next = h + count;
      for (int64_t c = 0; c < count; ++c) h[c] = pick<Maximum>(next[c], value(j, c));
    }
    position = position == 0 ? k - 1 : position - 1;
  }
  float prefix[64];
  for (int64_t base = 0; base < count; base += 64) {
    const int64_t lanes = std::min<int64_t>(64, count - base);
    position = 0;
    for (int64_t j = 0; j < padded; ++j) {
      if (position == 0) {
        for (int64_t c = 0; c < lanes; ++c) prefix[c] = value(j, base + c);
      } else {
        for (int64_t c = 0; c < lanes; ++c)
          prefix[c] = pick<Maximum>(prefix[c], value(j, base + c));
      }
      if (j >= 2 * n) {
        const float* h = suffix + (j - 2 * n) * count + base;
        float* o = out + (j - 2 * n) * step + base;
        for (int64_t c = 0; c < lanes; ++c) o[c] = pick<Maximum>(h[c], prefix[c]);
      }
      position = position == k - 1 ? 0 : position + 1;
    }
  }
}

void filterLines(const float* in, float* out, int64_t length, int64_t step, int64_t count,
                 int64_t radius, bool maximum, float* suffix) {
  const int64_t n = std::max<int64_t>(radius, 0);
  if (maximum)
    filterLines<true>(in, out, length, step, count, n, suffix);
  else
    filterLines<false>(in, out, length, step, count, n, suffix);
}

constexpr int64_t kColumnBlock = 32;
constexpr int64_t kRowBlock = 16;

// A kRowBlock × kRowBlock tile turned about its diagonal: dst[x·dstStride + j] =
// src[j·srcStride + x]. The fixed size lets the compiler keep the tile in registers.
void turnTile(const float* src, int64_t srcStride, float* dst, int64_t dstStride) {
  float tile[kRowBlock][kRowBlock];
  for (int64_t j = 0; j < kRowBlock; ++j)
    for (int64_t x = 0; x < kRowBlock; ++x) tile[x][j] = src[j * srcStride + x];
  for (int64_t x = 0; x < kRowBlock; ++x)
    for (int64_t j = 0; j < kRowBlock; ++j) dst[x * dstStride + j] = tile[x][j];
}

}  // namespace

void Plane::Free::operator()(float* p) const { std::free(p); }

Plane::Plane(size_t count) {
  const size_t bytes = std::max<size_t>(count, 1) * sizeof(float);
  void* memory = nullptr;
  if (bytes >= kHugePage) {
    // Aligned to the huge page, so that the advice covers the whole plane.
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    memory = std::aligned_alloc(kHugePage, rounded);
    if (memory) LargePages::advise(memory, rounded);
  } else {
    memory = std::malloc(bytes);
  }
  if (!memory) throw std::bad_alloc();
  values_.reset(static_cast<float*>(memory));
}

void densityPlane(int64_t width, int64_t height, const float* pixels, float* out) {
  densityRows(width, height, out, [pixels](int64_t i) {
    const float* p = pixels + 4 * i;
    return LuminanceWeights::luminanceOf(p[0], p[1], p[2]);
  });
}

void channelDensityPlane(int64_t width, int64_t height, const float* pixels, int channel,
                         float* out) {
  densityRows(width, height, out, [pixels, channel](int64_t i) { return pixels[4 * i + channel]; });
}

void boxPasses(const float* in, float* out, float* scratch, int64_t width, int64_t height,
               int64_t radius, int64_t passes) {
  if (passes <= 0) {
    if (in != out) std::memcpy(out, in, static_cast<size_t>(width * height) * sizeof(float));
    return;
  }
  const float* source = in;
  for (int64_t pass = 0; pass < passes; ++pass) {
    Adjustments::boxBlurRows(source, scratch, width, height, radius);
    Adjustments::boxBlurColumns(scratch, out, width, height, radius);
    source = out;
  }
}

void minRow(const float* in, float* out, int64_t width, int64_t radius, int64_t y, bool maximum,
            float* scratch) {
  if (width <= 0) return;
  filterLines(in + y * width, out + y * width, width, 1, 1, radius, maximum, scratch);
}

void minColumn(const float* in, float* out, int64_t width, int64_t height, int64_t radius,
               int64_t x, int64_t count, bool maximum, float* scratch) {
  if (height <= 0 || count <= 0) return;
  filterLines(in + x, out + x, height, width, count, radius, maximum, scratch);
}

void minFilter(const float* in, float* out, float* scratch, int64_t width, int64_t height,
               int64_t radius, bool maximum) {
  if (width <= 0 || height <= 0) return;
  const int64_t n = std::max<int64_t>(radius, 0);
  // Rows go through the column kernel in blocks of kRowBlock: each block is turned into
  // interleaved columns, filtered with the lanes side by side, and turned back.
  const int64_t rowBlocks = (height + kRowBlock - 1) / kRowBlock;
  const auto rowBlock = [&](int64_t b) {
    const int64_t y0 = b * kRowBlock;
    const int64_t rows = std::min(kRowBlock, height - y0);
    std::vector<float> lanes(static_cast<size_t>(width * rows));
    std::vector<float> filtered(lanes.size());
    std::vector<float> suffix(static_cast<size_t>((width + 2 * n) * rows));
    const int64_t fullTiles = rows == kRowBlock ? width / kRowBlock : 0;
    for (int64_t t = 0; t < fullTiles; ++t)
      turnTile(in + y0 * width + t * kRowBlock, width, lanes.data() + t * kRowBlock * kRowBlock,
               kRowBlock);
    for (int64_t j = 0; j < rows; ++j) {
      const float* row = in + (y0 + j) * width;
      for (int64_t x = fullTiles * kRowBlock; x < width; ++x)
        lanes[static_cast<size_t>(x * rows + j)] = row[x];
    }
    filterLines(lanes.data(), filtered.data(), width, rows, rows, n, maximum, suffix.data());
    for (int64_t t = 0; t < fullTiles; ++t)
      turnTile(filtered.data() + t * kRowBlock * kRowBlock, kRowBlock,
               scratch + y0 * width + t * kRowBlock, width);
    for (int64_t j = 0; j < rows; ++j) {
      float* row = scratch + (y0 + j) * width;
      for (int64_t x = fullTiles * kRowBlock; x < width; ++x)
        row[x] = filtered[static_cast<size_t>(x * rows + j)];
    }
  };
  const int64_t blocks = (width + kColumnBlock - 1) / kColumnBlock;
  const auto columnBlock = [&](int64_t b) {
    const int64_t x = b * kColumnBlock;
    const int64_t count = std::min(kColumnBlock, width - x);
    std::vector<float> suffix(static_cast<size_t>((height + 2 * n) * count));
    minColumn(scratch, out, width, height, n, x, count, maximum, suffix.data());
  };
  if (width * height < kSmallPlane) {
    for (int64_t b = 0; b < rowBlocks; ++b) rowBlock(b);
    for (int64_t b = 0; b < blocks; ++b) columnBlock(b);
  } else {
    parallelFor(rowBlocks, rowBlock);
    parallelFor(blocks, columnBlock);
  }
}

void opening(const float* in, float* out, float* scratch1, float* scratch2, int64_t width,
             int64_t height, int64_t radius) {
  minFilter(in, scratch2, scratch1, width, height, radius, false);
  minFilter(scratch2, out, scratch1, width, height, radius, true);
}

std::vector<float> strideSamples(const float* plane, int64_t count, int64_t stride) {
  std::vector<float> samples;
  const int64_t step = std::max<int64_t>(stride, 1);
  samples.reserve(static_cast<size_t>(count > 0 ? (count + step - 1) / step : 0));
  for (int64_t i = 0; i < count; i += step) samples.push_back(plane[i]);
  return samples;
}

float medianElement(std::vector<float>& samples) { return Median::ofValues<float>(samples); }

MedianAndDeviation medianAndDeviation(std::vector<float>& samples) {
  MedianAndDeviation result;
  result.median = medianElement(samples);
  for (float& v : samples) v = std::fabs(v - result.median);
  result.deviation = medianElement(samples);
  return result;
}

float robustSigma(const float* plane, int64_t count, int64_t stride) {
  std::vector<float> samples = strideSamples(plane, count, stride);
  return std::max(1.4826f * medianAndDeviation(samples).deviation, 0.0001f);
}

}  // namespace DustDetector
