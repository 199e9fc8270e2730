#include "Tone/BoxBlur.h"

#include <algorithm>

#include "Support/ParallelFor.h"
#include "Support/PixelMath.h"
#include "Support/PlanePool.h"
#include "Tone/PlaneSupport.h"

namespace Adjustments {

namespace {

using PixelMath::clampIndex;

// Row pass of K adjacent rows. The K running sums are independent chains, so interleaving
// them lets their additions overlap; each row's own order of operations is unchanged.
template <int K>
void rowKernel(const float* in, float* out, int64_t width, int64_t n, int64_t y0) {
  const int64_t last = width - 1;
  const float* src[K];
  float* dst[K];
  float sum[K];
  for (int j = 0; j < K; ++j) {
    src[j] = in + (y0 + j) * width;
    dst[j] = out + (y0 + j) * width;
    sum[j] = 0.0f;
  }
  for (int64_t i = -n; i <= n; ++i) {
    const int64_t p = clampIndex(i, last);
    for (int j = 0; j < K; ++j) sum[j] += src[j][p];
  }
  // Sums first, divisions after: the division loop vectorises, the chain does not.
  for (int64_t x = 0; x < width; ++x) {
    const int64_t add = std::min(x + n + 1, last);
    const int64_t sub = std::max<int64_t>(x - n, 0);
    for (int j = 0; j < K; ++j) {
      dst[j][x] = sum[j];
      sum[j] += src[j][add] - src[j][sub];
    }
  }
  const float divisor = static_cast<float>(2 * n + 1);
  for (int j = 0; j < K; ++j)
    for (int64_t x = 0; x < width; ++x) dst[j][x] = dst[j][x] / divisor;
}

// A block's rows lie a whole row apart in memory, too far for the hardware prefetcher: the
// kernel asks for the rows it will read and write a few steps ahead.
constexpr int64_t kPrefetchRows = 8;

void prefetchRows(const float* nextIn, float* nextOut, int64_t count) {
  for (int64_t j = 0; j < count; j += 16) {  // one cache line holds 16 floats
    __builtin_prefetch(nextIn + j);
    __builtin_prefetch(nextOut + j, 1);
  }
}

// Column pass of at most boxBlurColumnBlock adjacent columns; the inner loop over the block's
// columns is independent per column and vectorises.
void columnBlockKernel(const float* in, float* out, int64_t width, int64_t height, int64_t n,
                       int64_t x0, int64_t count) {
  const int64_t last = height - 1;
  float sum[boxBlurColumnBlock];
  for (int64_t j = 0; j < count; ++j) sum[j] = 0.0f;
  for (int64_t i = -n; i <= n; ++i) {
    const float* row = in + clampIndex(i, last) * width + x0;
    for (int64_t j = 0; j < count; ++j) sum[j] += row[j];
  }
  const float divisor = static_cast<float>(2 * n + 1);
  for (int64_t y = 0; y < height; ++y) {
    prefetchRows(in + std::min(y + n + 1 + kPrefetchRows, last) * width + x0,
                 out + std::min(y + kPrefetchRows, last) * width + x0, count);
    const float* add = in + std::min(y + n + 1, last) * width + x0;
    const float* sub = in + std::max<int64_t>(y - n, 0) * width + x0;
    float* dst = out + y * width + x0;
    for (int64_t j = 0; j < count; ++j) {
      dst[j] = sum[j] / divisor;
      sum[j] += add[j] - sub[j];
    }
  }
}

}  // namespace

void boxBlurRowPass(const float* in, float* out, int64_t width, int64_t, int64_t radius,
                    int64_t y) {
  if (width <= 0) return;
  rowKernel<1>(in, out, width, std::max<int64_t>(radius, 0), y);
}

void boxBlurColumnPass(const float* in, float* out, int64_t width, int64_t height, int64_t radius,
                       int64_t x) {
  if (height <= 0) return;
  const int64_t n = std::max<int64_t>(radius, 0);
  const int64_t last = height - 1;
  const float* column = in + x;
  float* dst = out + x;
  float sum = 0.0f;
  for (int64_t i = -n; i <= n; ++i) sum += column[clampIndex(i, last) * width];
  const float divisor = static_cast<float>(2 * n + 1);
  for (int64_t y = 0; y < height; ++y) {
    dst[y * width] = sum / divisor;
    sum += column[std::min(y + n + 1, last) * width] - column[std::max<int64_t>(y - n, 0) * width];
  }
}

void boxBlurColumnBlockPass(const float* in, float* out, int64_t width, int64_t height,
                            int64_t radius, int64_t x, int64_t count) {
  if (height <= 0) return;
  const int64_t n = std::max<int64_t>(radius, 0);
  for (int64_t start = x; start < x + count; start += boxBlurColumnBlock)
    columnBlockKernel(in, out, width, height, n, start,
                      std::min(boxBlurColumnBlock, x + count - start));
}

void boxBlurRows(const float* in, float* out, int64_t width, int64_t height, int64_t radius) {
  if (width <= 0) return;
  const int64_t n = std::max<int64_t>(radius, 0);
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        int64_t y = begin;
        for (; y + 4 <= end; y += 4) rowKernel<4>(in, out, width, n, y);
        for (; y < end; ++y) rowKernel<1>(in, out, width, n, y);
      },
      smallPlaneRows(width, height));
}

void boxBlurColumns(const float* in, float* out, int64_t width, int64_t height, int64_t radius) {
  if (width <= 0 || height <= 0) return;
  const int64_t blocks = (width + boxBlurColumnBlock - 1) / boxBlurColumnBlock;
  const auto block = [&](int64_t b) {
    const int64_t x = b * boxBlurColumnBlock;
    boxBlurColumnBlockPass(in, out, width, height, radius, x,
                           std::min(boxBlurColumnBlock, width - x));
  };
  if (width * height < kSmallPlane) {
    for (int64_t b = 0; b < blocks; ++b) block(b);
  } else {
    parallelFor(blocks, block);
  }
}

void boxBlurPasses(const float* source, float* out, int64_t width, int64_t height, int64_t radius,
                   int64_t passes) {
  if (width <= 0 || height <= 0) return;
  if (passes <= 0) {
    if (source != out) std::copy_n(source, width * height, out);
    return;
  }
  PlanePool::Plane scratch(static_cast<size_t>(width * height));
  for (int64_t pass = 0; pass < passes; ++pass) {
    boxBlurRows(pass == 0 ? source : out, scratch.data(), width, height, radius);
    boxBlurColumns(scratch.data(), out, width, height, radius);
  }
}

void boxBlurPassesFromRows(const BlurredPlane::RowSource& source, float* out, int64_t width,
                           int64_t height, int64_t radius, int64_t passes) {
  if (width <= 0 || height <= 0) return;
  if (passes <= 0) {  // no pass: the rows as given
    parallelForRows(
        height,
        [&](int64_t begin, int64_t end) {
          for (int64_t y = begin; y < end; ++y) {
            float* slot = out + y * width;
            const float* row = source(y, slot);
            if (row != slot) std::copy_n(row, width, slot);
          }
        },
        smallPlaneRows(width, height));
    return;
  }
  const int64_t n = std::max<int64_t>(radius, 0);
  PlanePool::Plane scratch(static_cast<size_t>(width * height));
  // The first row pass, four rows at a time, straight from the source's rows.
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        std::vector<float> rows(static_cast<size_t>(4 * width));
        for (int64_t y = begin; y < end; y += 4) {
          const int64_t count = std::min<int64_t>(4, end - y);
          for (int64_t j = 0; j < count; ++j) {
            float* slot = rows.data() + j * width;
            const float* row = source(y + j, slot);
            if (row != slot) std::copy_n(row, width, slot);
          }
          float* dst = scratch.data() + y * width;
          if (count == 4) {
            rowKernel<4>(rows.data(), dst, width, n, 0);
          } else {
            for (int64_t j = 0; j < count; ++j) rowKernel<1>(rows.data(), dst, width, n, j);
          }
        }
      },
      smallPlaneRows(width, height));
  boxBlurColumns(scratch.data(), out, width, height, radius);
  for (int64_t pass = 1; pass < passes; ++pass) {
    boxBlurRows(out, scratch.data(), width, height, radius);
    boxBlurColumns(scratch.data(), out, width, height, radius);
  }
}

std::vector<float> boxBlurFullSize(const std::vector<float>& plane, int64_t width, int64_t height,
                                   int64_t radius, int64_t passes) {
  requirePlaneSize("boxBlur", plane.size(), width, height, 1);
  std::vector<float> result = PlanePool::take(plane.size());
  boxBlurPasses(plane.data(), result.data(), width, height, radius, passes);
  return result;
}

}  // namespace Adjustments
