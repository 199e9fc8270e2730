#include "Tone/BoxBlur.h"

#include <algorithm>

#include "Support/ParallelFor.h"
#include "Tone/PlaneCheck.h"

namespace Adjustments {

namespace {

int64_t clampIndex(int64_t i, int64_t last) { return i < 0 ? 0 : (i > last ? last : i); }

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
    const float* add = in + std::min(y + n + 1, last) * width + x0;
    const float* sub = in + std::max<int64_t>(y - n, 0) * width + x0;
    float* dst = out + y * width + x0;
    for (int64_t j = 0; j < count; ++j) {
      dst[j] = sum[j] / divisor;
      sum[j] += add[j] - sub[j];
    }
  }
}

// Reduction factor of the reduced path, or 0 when the passes run at full size.
int64_t reductionFactor(int64_t width, int64_t height, int64_t radius) {
  if (radius < 8) return 0;
  const int64_t factor = std::min<int64_t>(radius, 35) / 4;
  return (width / factor >= 8 && height / factor >= 8) ? factor : 0;
}

// Reduced-plane position of output coordinate i: whole part and fraction.
struct Tap {
  int64_t i0;
  int64_t i1;
  float t;
};

Tap expandTap(int64_t i, int64_t factor, int64_t reducedSize) {
  float s = (static_cast<float>(i) + 0.5f) / static_cast<float>(factor) - 0.5f;
  s = std::clamp(s, 0.0f, static_cast<float>(reducedSize - 1));
  const auto whole = static_cast<int64_t>(s);
  return {whole, std::min(whole + 1, reducedSize - 1), s - static_cast<float>(whole)};
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

std::vector<float> boxBlurFullSize(const std::vector<float>& plane, int64_t width, int64_t height,
                                   int64_t radius, int64_t passes) {
  requirePlaneSize("boxBlur", plane.size(), width, height, 1);
  if (passes <= 0 || plane.empty()) return plane;
  std::vector<float> rows(plane.size());
  std::vector<float> result(plane.size());
  const float* source = plane.data();
  for (int64_t pass = 0; pass < passes; ++pass) {
    boxBlurRows(source, rows.data(), width, height, radius);
    boxBlurColumns(rows.data(), result.data(), width, height, radius);
    source = result.data();
  }
  return result;
}

std::vector<float> boxBlur(const std::vector<float>& plane, int64_t width, int64_t height,
                           int64_t radius, int64_t passes) {
  requirePlaneSize("boxBlur", plane.size(), width, height, 1);
  if (passes <= 0 || plane.empty()) return plane;
  const int64_t factor = reductionFactor(width, height, radius);
  if (factor == 0)
    return boxBlurFullSize(plane, width, height, std::max<int64_t>(radius, 1), passes);

  const int64_t reducedWidth = (width + factor - 1) / factor;
  const int64_t reducedHeight = (height + factor - 1) / factor;
  const int64_t reducedRadius =
      std::max<int64_t>((radius + std::min<int64_t>(radius, 35) / 8) / factor, 1);
  const std::vector<float> reduced = boxBlurReduce(plane, width, height, factor);
  const std::vector<float> blurred =
      boxBlurFullSize(reduced, reducedWidth, reducedHeight, reducedRadius, passes);
  return boxBlurExpand(blurred, reducedWidth, reducedHeight, width, height, factor);
}

std::vector<float> boxBlurReduce(const std::vector<float>& plane, int64_t width, int64_t height,
                                 int64_t factor) {
  requirePlaneSize("boxBlurReduce", plane.size(), width, height, 1);
  factor = std::max<int64_t>(factor, 1);
  const int64_t reducedWidth = (width + factor - 1) / factor;
  const int64_t reducedHeight = (height + factor - 1) / factor;
  std::vector<float> reduced(static_cast<size_t>(reducedWidth * reducedHeight), 0.0f);
  const auto reduceRow = [&](int64_t ry) {
    float* sums = reduced.data() + ry * reducedWidth;
    const int64_t y0 = ry * factor;
    const int64_t y1 = std::min(y0 + factor, height);
    // Each block is summed row by row, left to right within a row.
    for (int64_t y = y0; y < y1; ++y) {
      const float* row = plane.data() + y * width;
      for (int64_t rx = 0; rx < reducedWidth; ++rx) {
        const int64_t x1 = std::min((rx + 1) * factor, width);
        for (int64_t x = rx * factor; x < x1; ++x) sums[rx] += row[x];
      }
    }
    for (int64_t rx = 0; rx < reducedWidth; ++rx) {
      const int64_t columns = std::min((rx + 1) * factor, width) - rx * factor;
      sums[rx] = sums[rx] / static_cast<float>(columns * (y1 - y0));
    }
  };
  if (width * height < kSmallPlane) {
    for (int64_t ry = 0; ry < reducedHeight; ++ry) reduceRow(ry);
  } else {
    parallelFor(reducedHeight, reduceRow);
  }
  return reduced;
}

std::vector<float> boxBlurExpand(const std::vector<float>& reduced, int64_t reducedWidth,
                                 int64_t reducedHeight, int64_t width, int64_t height,
                                 int64_t factor) {
  requirePlaneSize("boxBlurExpand", reduced.size(), reducedWidth, reducedHeight, 1);
  std::vector<float> out(static_cast<size_t>(std::max<int64_t>(width * height, 0)));
  if (out.empty() || reduced.empty()) return out;
  factor = std::max<int64_t>(factor, 1);

  std::vector<Tap> columns(static_cast<size_t>(width));
  for (int64_t x = 0; x < width; ++x) columns[x] = expandTap(x, factor, reducedWidth);

  // Horizontal interpolation of every reduced row to full width, then each output row blends
  // its two interpolated rows: the same bilinear value, computed once per reduced row.
  std::vector<float> wide(static_cast<size_t>(reducedHeight * width));
  const bool small = width * height < kSmallPlane;
  parallelForRows(
      reducedHeight,
      [&](int64_t begin, int64_t end) {
        for (int64_t ry = begin; ry < end; ++ry) {
          const float* src = reduced.data() + ry * reducedWidth;
          float* dst = wide.data() + ry * width;
          for (int64_t x = 0; x < width; ++x) {
            const Tap& c = columns[x];
            dst[x] = (1.0f - c.t) * src[c.i0] + c.t * src[c.i1];
          }
        }
      },
      small ? reducedHeight + 1 : 2);
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) {
          const Tap r = expandTap(y, factor, reducedHeight);
          const float* top = wide.data() + r.i0 * width;
          const float* bottom = wide.data() + r.i1 * width;
          float* dst = out.data() + y * width;
          for (int64_t x = 0; x < width; ++x) dst[x] = (1.0f - r.t) * top[x] + r.t * bottom[x];
        }
      },
      small ? height + 1 : 2);
  return out;
}

}  // namespace Adjustments
