#include "Conversion/Geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Support/ParallelFor.h"

namespace {

double radians(double degrees) { return degrees * std::numbers::pi / 180; }

// The rotation of one resampling: the scan's size and centre, cos and sin of the angle.
struct Rotation {
  int64_t width;
  int64_t height;
  float cx;
  float cy;
  float cosine;
  float sine;
};

// Output pixels per block: their source positions are computed together, then sampled.
constexpr int64_t blockPixels = 64;

// Source positions of one block of output pixels: the top-left neighbour and the fractions.
struct Positions {
  int32_t x0[blockPixels];
  int32_t y0[blockPixels];
  float fx[blockPixels];
  float fy[blockPixels];
};

// Positions of the n output pixels from firstColumn on, in the row at dy from the centre, limited
// to the scan (NaN takes 0, so the integer conversion stays defined). Vectorises.
void sourcePositions(const Rotation& rot, float firstColumn, float dy, int64_t n, Positions& at) {
  // Locals, so that the stores into `at` cannot be taken to change them.
  const float cx = rot.cx;
  const float cy = rot.cy;
  const float c = rot.cosine;
  const float s = rot.sine;
  const float lastX = static_cast<float>(rot.width - 1);
  const float lastY = static_cast<float>(rot.height - 1);
  for (int k = 0; k < static_cast<int>(n); ++k) {
    const float dx = firstColumn + static_cast<float>(k) + 0.5f - cx;
    const float sx = std::min(std::max(0.0f, cx + dx * c + dy * s - 0.5f), lastX);
    const float sy = std::min(std::max(0.0f, cy - dx * s + dy * c - 0.5f), lastY);
    const int32_t x0 = static_cast<int32_t>(sx);
    const int32_t y0 = static_cast<int32_t>(sy);
    at.x0[k] = x0;
    at.y0[k] = y0;
    at.fx[k] = sx - static_cast<float>(x0);
    at.fy[k] = sy - static_cast<float>(y0);
  }
}

// Bilinear samples of all four channels at the n positions.
void sample(const float* __restrict source, const Rotation& rot, const Positions& at, int64_t n,
            float* __restrict out) {
  const int64_t rowValues = rot.width * 4;
  for (int64_t k = 0; k < n; ++k) {
    const int64_t x0 = at.x0[k];
    const int64_t y0 = at.y0[k];
    const int64_t x1 = std::min(x0 + 1, rot.width - 1);
    const int64_t y1 = std::min(y0 + 1, rot.height - 1);
    const float* p00 = source + y0 * rowValues + x0 * 4;
    const float* p10 = source + y0 * rowValues + x1 * 4;
    const float* p01 = source + y1 * rowValues + x0 * 4;
    const float* p11 = source + y1 * rowValues + x1 * 4;
    const float fx = at.fx[k];
    const float fy = at.fy[k];
    for (int c = 0; c < 4; ++c) {
      const float top = p00[c] + fx * (p10[c] - p00[c]);
      const float bottom = p01[c] + fx * (p11[c] - p01[c]);
      out[k * 4 + c] = top + fy * (bottom - top);
    }
  }
}

// Bilinear resampling of the output rows [begin, end) of the cut, a column block at a time:
// the rows of one block read neighbouring source rows, which stay in the first-level cache.
void resampleRows(const LinearImage& source, const Rotation& rot, const PixelRect& cut,
                  float* output, int64_t begin, int64_t end) {
  Positions at;
  for (int64_t j = 0; j < cut.w; j += blockPixels) {
    const int64_t n = std::min(blockPixels, cut.w - j);
    // Column numbers are whole numbers below 2^24, so this sum is exact.
    const float firstColumn = static_cast<float>(cut.x + j);
    for (int64_t i = begin; i < end; ++i) {
      const float dy = static_cast<float>(cut.y + i) + 0.5f - rot.cy;
      sourcePositions(rot, firstColumn, dy, n, at);
      sample(source.pixels(), rot, at, n, output + (i * cut.w + j) * 4);
    }
  }
}

LinearImage copyCut(const LinearImage& image, const PixelRect& cut) {
  LinearImage output(cut.w, cut.h);
  for (int64_t i = 0; i < cut.h; ++i) {
    const float* from = image.row(cut.y + i) + cut.x * 4;
    std::copy(from, from + cut.w * 4, output.mutableRow(i));
  }
  return output;
}

LinearImage resample(const LinearImage& image, double angle, const PixelRect& cut) {
  const double theta = radians(angle);
  const Rotation rot{image.width(),
                     image.height(),
                     static_cast<float>(image.width()) / 2,
                     static_cast<float>(image.height()) / 2,
                     static_cast<float>(std::cos(theta)),
                     static_cast<float>(std::sin(theta))};
  LinearImage output(cut.w, cut.h);
  float* pixels = output.mutablePixels();
  parallelForRows(cut.h, [&](int64_t begin, int64_t end) {
    resampleRows(image, rot, cut, pixels, begin, end);
  });
  return output;
}

}  // namespace

NormPoint straightenedPoint(int64_t width, int64_t height, double x, double y, double angle) {
  const double W = static_cast<double>(width);
  const double H = static_cast<double>(height);
  const double theta = radians(angle);
  const double dx = x * W - W / 2;
  const double dy = y * H - H / 2;
  return {(W / 2 + dx * std::cos(theta) - dy * std::sin(theta)) / W,
          (H / 2 + dx * std::sin(theta) + dy * std::cos(theta)) / H};
}

NormPoint unstraightenedPoint(int64_t width, int64_t height, double x, double y, double angle) {
  const double W = static_cast<double>(width);
  const double H = static_cast<double>(height);
  const double theta = radians(angle);
  const double dx = x * W - W / 2;
  const double dy = y * H - H / 2;
  return {(W / 2 + dx * std::cos(theta) + dy * std::sin(theta)) / W,
          (H / 2 - dx * std::sin(theta) + dy * std::cos(theta)) / H};
}

bool isInsideCrop(int64_t width, int64_t height, double angle, NormPoint point,
                  const NormRect& rect) {
  const NormPoint p = straightenedPoint(width, height, point.x, point.y, angle);
  return rect.x < p.x && p.x < rect.x + rect.w && rect.y < p.y && p.y < rect.y + rect.h;
}

namespace Geometry {

LinearImage straightenAndCrop(const LinearImage& image, double angle, const NormRect& rect) {
  const PixelRect cut = rect.clamped(0.02).pixelRect(image.width(), image.height());
  // An angle that is not finite cannot turn anything; it is read as no turn.
  if (!std::isfinite(angle) || std::fabs(angle) < 0.001) {
    if (cut == PixelRect{0, 0, image.width(), image.height()}) return image;
    return copyCut(image, cut);
  }
  return resample(image, angle, cut);
}

}  // namespace Geometry
