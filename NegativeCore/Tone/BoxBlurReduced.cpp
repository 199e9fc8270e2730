// The blur's reduced path (reduce, passes on the small plane, bilinear expansion) and the
// choice between it and the full-size passes.
#include <algorithm>

#include "Support/ParallelFor.h"
#include "Support/PlanePool.h"
#include "Tone/BoxBlur.h"
#include "Tone/PlaneSupport.h"

namespace Adjustments {

namespace {

// Reduction factor of the reduced path, or 0 when the passes run at full size.
int64_t reductionFactor(int64_t width, int64_t height, int64_t radius) {
  if (radius < 8) return 0;
  const int64_t factor = std::min<int64_t>(radius, 35) / 4;
  return (width / factor >= 8 && height / factor >= 8) ? factor : 0;
}

int64_t reducedSize(int64_t size, int64_t factor) { return (size + factor - 1) / factor; }

// Adds one input row into the sums of its reduced row, each block left to right. The common
// factors are unrolled; the order of the additions is the same for all.
template <int F>
void addBlocksFixed(const float* row, float* sums, int64_t blocks) {
  for (int64_t rx = 0; rx < blocks; ++rx) {
    float sum = sums[rx];
    for (int k = 0; k < F; ++k) sum += row[rx * F + k];
    sums[rx] = sum;
  }
}

void addBlocks(const float* row, float* sums, int64_t width, int64_t factor) {
  const int64_t whole = width / factor;
  switch (factor) {
    case 2:
      addBlocksFixed<2>(row, sums, whole);
      break;
    case 3:
      addBlocksFixed<3>(row, sums, whole);
      break;
    case 4:
      addBlocksFixed<4>(row, sums, whole);
      break;
    case 5:
      addBlocksFixed<5>(row, sums, whole);
      break;
    case 6:
      addBlocksFixed<6>(row, sums, whole);
      break;
    case 7:
      addBlocksFixed<7>(row, sums, whole);
      break;
    case 8:
      addBlocksFixed<8>(row, sums, whole);
      break;
    default:
      for (int64_t rx = 0; rx < whole; ++rx) {
        float sum = sums[rx];
        for (int64_t k = 0; k < factor; ++k) sum += row[rx * factor + k];
        sums[rx] = sum;
      }
  }
  if (whole * factor < width) {  // the block cut at the right edge
    float sum = sums[whole];
    for (int64_t x = whole * factor; x < width; ++x) sum += row[x];
    sums[whole] = sum;
  }
}

std::vector<float> reduceRows(const BlurredPlane::RowSource& source, int64_t width, int64_t height,
                              int64_t factor) {
  const int64_t reducedWidth = reducedSize(width, factor);
  const int64_t reducedHeight = reducedSize(height, factor);
  std::vector<float> reduced =
      PlanePool::takeZeroed(static_cast<size_t>(reducedWidth * reducedHeight));
  const auto reduceRow = [&](int64_t ry, float* scratch) {
    float* sums = reduced.data() + ry * reducedWidth;
    const int64_t y0 = ry * factor;
    const int64_t y1 = std::min(y0 + factor, height);
    // Each block is summed row by row, left to right within a row, then divided by its count.
    for (int64_t y = y0; y < y1; ++y) addBlocks(source(y, scratch), sums, width, factor);
    for (int64_t rx = 0; rx < reducedWidth; ++rx) {
      const int64_t columns = std::min((rx + 1) * factor, width) - rx * factor;
      sums[rx] = sums[rx] / static_cast<float>(columns * (y1 - y0));
    }
  };
  parallelForRows(
      reducedHeight,
      [&](int64_t begin, int64_t end) {
        std::vector<float> scratch(static_cast<size_t>(width));
        for (int64_t ry = begin; ry < end; ++ry) reduceRow(ry, scratch.data());
      },
      width * height < kSmallPlane ? reducedHeight + 1 : 2);
  return reduced;
}

BlurredPlane::RowSource planeRows(const float* plane, int64_t width) {
  return [plane, width](int64_t y, float*) { return plane + y * width; };
}

// Reduced-plane position of output coordinate i: the two neighbours and the fraction.
struct Tap {
  int64_t i0;
  int64_t i1;
  float t;
};

Tap expandTap(int64_t i, int64_t factor, int64_t reducedCount) {
  float s = (static_cast<float>(i) + 0.5f) / static_cast<float>(factor) - 0.5f;
  s = std::clamp(s, 0.0f, static_cast<float>(reducedCount - 1));
  const auto whole = static_cast<int64_t>(s);
  return {whole, std::min(whole + 1, reducedCount - 1), s - static_cast<float>(whole)};
}

// First half of the expansion: every reduced row interpolated to the full width.
std::vector<float> expandRows(const float* reduced, int64_t reducedWidth, int64_t reducedHeight,
                              int64_t width, int64_t factor) {
  std::vector<Tap> columns(static_cast<size_t>(width));
  for (int64_t x = 0; x < width; ++x) columns[x] = expandTap(x, factor, reducedWidth);
  std::vector<float> wide = PlanePool::take(static_cast<size_t>(reducedHeight * width));
  parallelForRows(
      reducedHeight,
      [&](int64_t begin, int64_t end) {
        for (int64_t ry = begin; ry < end; ++ry) {
          const float* src = reduced + ry * reducedWidth;
          float* dst = wide.data() + ry * width;
          for (int64_t x = 0; x < width; ++x) {
            const Tap& c = columns[x];
            dst[x] = (1.0f - c.t) * src[c.i0] + c.t * src[c.i1];
          }
        }
      },
      smallPlaneRows(width, reducedHeight));
  return wide;
}

// Second half: output row y blends its two interpolated rows.
void blendRow(const float* wide, int64_t reducedHeight, int64_t width, int64_t factor, int64_t y,
              float* dst) {
  const Tap r = expandTap(y, factor, reducedHeight);
  const float* top = wide + r.i0 * width;
  const float* bottom = wide + r.i1 * width;
  for (int64_t x = 0; x < width; ++x) dst[x] = (1.0f - r.t) * top[x] + r.t * bottom[x];
}

std::vector<float> blendAllRows(const float* wide, int64_t reducedHeight, int64_t width,
                                int64_t height, int64_t factor) {
  std::vector<float> out = PlanePool::take(static_cast<size_t>(width * height));
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y)
          blendRow(wide, reducedHeight, width, factor, y, out.data() + y * width);
      },
      smallPlaneRows(width, height));
  return out;
}

}  // namespace

std::vector<float> boxBlurReduce(const std::vector<float>& plane, int64_t width, int64_t height,
                                 int64_t factor) {
  requirePlaneSize("boxBlurReduce", plane.size(), width, height, 1);
  return reduceRows(planeRows(plane.data(), width), width, height, std::max<int64_t>(factor, 1));
}

std::vector<float> boxBlurExpand(const std::vector<float>& reduced, int64_t reducedWidth,
                                 int64_t reducedHeight, int64_t width, int64_t height,
                                 int64_t factor) {
  requirePlaneSize("boxBlurExpand", reduced.size(), reducedWidth, reducedHeight, 1);
  if (width <= 0 || height <= 0 || reduced.empty())
    return PlanePool::takeZeroed(static_cast<size_t>(std::max<int64_t>(width * height, 0)));
  factor = std::max<int64_t>(factor, 1);
  const std::vector<float> wide =
      expandRows(reduced.data(), reducedWidth, reducedHeight, width, factor);
  return blendAllRows(wide.data(), reducedHeight, width, height, factor);
}

BlurredPlane::BlurredPlane(const std::vector<float>& plane, int64_t width, int64_t height,
                           int64_t radius, int64_t passes)
    : width_(width), height_(height) {
  requirePlaneSize("boxBlur", plane.size(), width, height, 1);
  factor_ = passes > 0 ? reductionFactor(width, height, radius) : 0;
  if (factor_ == 0) values_ = PlanePool::take(plane.size());
  blur(planeRows(plane.data(), width), plane.data(), radius, passes);
}

BlurredPlane::BlurredPlane(std::vector<float>&& plane, int64_t width, int64_t height,
                           int64_t radius, int64_t passes)
    : width_(width), height_(height) {
  requirePlaneSize("boxBlur", plane.size(), width, height, 1);
  factor_ = passes > 0 ? reductionFactor(width, height, radius) : 0;
  if (factor_ == 0) values_ = std::move(plane);
  const float* source = factor_ == 0 ? values_.data() : plane.data();
  blur(planeRows(source, width), source, radius, passes);
}

BlurredPlane::BlurredPlane(const RowSource& source, int64_t width, int64_t height, int64_t radius,
                           int64_t passes)
    : width_(width), height_(height) {
  factor_ = passes > 0 ? reductionFactor(width, height, radius) : 0;
  if (factor_ == 0) {
    values_ = PlanePool::take(static_cast<size_t>(std::max<int64_t>(width * height, 0)));
    boxBlurPassesFromRows(source, values_.data(), width, height, std::max<int64_t>(radius, 1),
                          passes);
    return;
  }
  blur(source, nullptr, radius, passes);
}

void BlurredPlane::blur(const RowSource& source, const float* sourcePlane, int64_t radius,
                        int64_t passes) {
  if (width_ <= 0 || height_ <= 0) return;
  if (factor_ == 0) {
    boxBlurPasses(sourcePlane, values_.data(), width_, height_, std::max<int64_t>(radius, 1),
                  passes);
    return;
  }
  const int64_t reducedWidth = reducedSize(width_, factor_);
  reducedHeight_ = reducedSize(height_, factor_);
  const int64_t reducedRadius =
      std::max<int64_t>((radius + std::min<int64_t>(radius, 35) / 8) / factor_, 1);
  PlanePool::Plane reduced(reduceRows(source, width_, height_, factor_));
  boxBlurPasses(reduced.data(), reduced.data(), reducedWidth, reducedHeight_, reducedRadius,
                passes);
  values_ = expandRows(reduced.data(), reducedWidth, reducedHeight_, width_, factor_);
}

BlurredPlane::~BlurredPlane() { PlanePool::give(std::move(values_)); }

const float* BlurredPlane::row(int64_t y, float* scratch) const {
  if (factor_ == 0) return values_.data() + y * width_;
  blendRow(values_.data(), reducedHeight_, width_, factor_, y, scratch);
  return scratch;
}

std::vector<float> BlurredPlane::plane() && {
  if (factor_ == 0) return std::move(values_);
  return blendAllRows(values_.data(), reducedHeight_, width_, height_, factor_);
}

std::vector<float> boxBlur(const std::vector<float>& plane, int64_t width, int64_t height,
                           int64_t radius, int64_t passes) {
  return BlurredPlane(plane, width, height, radius, passes).plane();
}

}  // namespace Adjustments
