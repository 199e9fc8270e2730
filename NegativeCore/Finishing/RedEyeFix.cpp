#include "Finishing/RedEyeFix.h"

#include <algorithm>
#include <cmath>

#include "Finishing/PrintMapping.h"
#include "Support/ParallelFor.h"
#include "Support/PixelMath.h"

namespace RedEyeFix {

namespace {

// A bound in pixels, from two pixels before the image to one past its end.
int64_t pixelIndex(double v, int64_t size) {
  return PixelMath::limitedIndex(v, -2.0, static_cast<double>(size) + 1);
}

// How strongly one pixel at normalised distance d from the centre is corrected: the rim falloff
// times the level and ratio gates of its redness; 0 leaves it alone.
float strength(double d, double r, double m) {
  const double falloff = d < 0.75 ? 1.0 : PixelMath::smoothstepClamped<double>(1 - 4 * (d - 0.75));
  const double level = PixelMath::smoothstepClamped<double>((r - 0.06) / 0.12);
  const double ratio = PixelMath::smoothstepClamped<double>((r / (m + 0.03) - 1.9) / 0.8);
  return static_cast<float>(falloff * level * ratio);
}

void correct(PrintImage& print, double px, double py, double radius) {
  const int64_t x0 = std::max<int64_t>(0, pixelIndex(px - radius, print.width) - 1);
  const int64_t x1 = std::min<int64_t>(print.width - 1, pixelIndex(px + radius, print.width) + 1);
  const int64_t y0 = std::max<int64_t>(0, pixelIndex(py - radius, print.height) - 1);
  const int64_t y1 = std::min<int64_t>(print.height - 1, pixelIndex(py + radius, print.height) + 1);
  if (y1 < y0 || x1 < x0) return;
  parallelFor(y1 - y0 + 1, [&](int64_t row) {
    const int64_t y = y0 + row;
    float* pixels = print.row(y);
    const double ny = (static_cast<double>(y) + 0.5 - py) / radius;
    for (int64_t x = x0; x <= x1; ++x) {
      const double nx = (static_cast<double>(x) + 0.5 - px) / radius;
      const double d = std::sqrt(nx * nx + ny * ny);
      if (d >= 1) continue;
      float* c = pixels + x * 3;
      const double m = (static_cast<double>(c[1]) + static_cast<double>(c[2])) / 2;
      const float k = strength(d, c[0], m);
      if (!(k > 0)) continue;
      const double target = std::min(m, 0.5) * 0.85;
      for (int i = 0; i < 3; ++i) c[i] = static_cast<float>(c[i] + (target - c[i]) * k);
    }
  });
}

}  // namespace

void apply(PrintImage& print, const std::vector<RedEye>& marks, int64_t sourceWidth,
           int64_t sourceHeight, double angle, const NormRect& crop) {
  if (marks.empty() || print.width <= 0 || print.height <= 0) return;
  const PrintMapping::Frame frame{print.width,  print.height, sourceWidth,
                                  sourceHeight, angle,        crop};
  for (const RedEye& mark : marks) {
    const PrintMapping::Point centre = PrintMapping::toPrint(frame, mark.x, mark.y);
    const double radius = std::max(PrintMapping::length(frame, mark.r), 1.5);
    if (!std::isfinite(centre.x) || !std::isfinite(centre.y) || !std::isfinite(radius)) continue;
    correct(print, centre.x, centre.y, radius);
  }
}

}  // namespace RedEyeFix
