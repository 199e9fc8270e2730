#include "Finishing/PrintMapping.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace PrintMapping {

namespace {

// The scan point in its straightened frame, normalised: turned about the scan's centre in pixels.
Point straightened(const Frame& frame, double x, double y) {
  const double w = static_cast<double>(frame.sourceWidth);
  const double h = static_cast<double>(frame.sourceHeight);
  const double theta = frame.angle * std::numbers::pi / 180.0;
  const double cx = w / 2, cy = h / 2;
  const double dx = x * w - cx, dy = y * h - cy;
  return {(cx + dx * std::cos(theta) - dy * std::sin(theta)) / w,
          (cy + dx * std::sin(theta) + dy * std::cos(theta)) / h};
}

}  // namespace

Point toPrint(const Frame& frame, double x, double y) {
  const Point s = straightened(frame, x, y);
  return {(s.x - frame.crop.x) / frame.crop.w * static_cast<double>(frame.width),
          (s.y - frame.crop.y) / frame.crop.h * static_cast<double>(frame.height)};
}

double scale(const Frame& frame) {
  return static_cast<double>(frame.width) / (frame.crop.w * static_cast<double>(frame.sourceWidth));
}

double length(const Frame& frame, double fractionOfLongSide) {
  return fractionOfLongSide * static_cast<double>(std::max(frame.sourceWidth, frame.sourceHeight)) *
         scale(frame);
}

}  // namespace PrintMapping
