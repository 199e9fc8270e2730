#include "Dust/DustShape.h"

#include <algorithm>
#include <cmath>

namespace DustDetector {

namespace {

double halfTrace(const Moments& m) { return (m.sxx + m.syy) / 2; }

double discriminantRoot(const Moments& m) {
  const double half = halfTrace(m);
  return std::sqrt(std::max(0.0, half * half - (m.sxx * m.syy - m.sxy * m.sxy)));
}

}  // namespace

double Moments::largestEigenvalue() const {
  return std::max(0.0, halfTrace(*this) + discriminantRoot(*this));
}

double Moments::smallestEigenvalue() const {
  return std::max(0.0, halfTrace(*this) - discriminantRoot(*this));
}

double Moments::orientation() const { return 0.5 * std::atan2(2 * sxy, sxx - syy); }

Centroid centroidOf(const std::vector<int64_t>& pixels, int64_t width) {
  Centroid c;
  if (pixels.empty()) return c;
  double sx = 0;
  double sy = 0;
  for (const int64_t i : pixels) {
    sx += static_cast<double>(i % width);
    sy += static_cast<double>(i / width);
  }
  const double n = static_cast<double>(pixels.size());
  c.x = sx / n;
  c.y = sy / n;
  return c;
}

Moments momentsOf(const std::vector<int64_t>& pixels, int64_t width, Centroid centre) {
  Moments m;
  if (pixels.empty()) return m;
  for (const int64_t i : pixels) {
    const double dx = static_cast<double>(i % width) - centre.x;
    const double dy = static_cast<double>(i / width) - centre.y;
    m.sxx += dx * dx;
    m.syy += dy * dy;
    m.sxy += dx * dy;
  }
  const double n = static_cast<double>(pixels.size());
  m.sxx /= n;
  m.syy /= n;
  m.sxy /= n;
  return m;
}

std::vector<int64_t> spacedPixels(const std::vector<int64_t>& pixels, int64_t width,
                                  double spacing) {
  std::vector<int64_t> kept;
  for (const int64_t i : pixels) {
    const int64_t x = i % width;
    const int64_t y = i / width;
    const bool farFromAll = std::all_of(kept.begin(), kept.end(), [&](int64_t k) {
      const double dx = static_cast<double>(x - k % width);
      const double dy = static_cast<double>(y - k / width);
      return std::sqrt(dx * dx + dy * dy) >= spacing;
    });
    if (farFromAll) kept.push_back(i);
  }
  return kept;
}

Spot chainSpot(int64_t px, int64_t py, int64_t width, int64_t height, double rho, Uuid group,
               double score) {
  Spot spot;
  spot.id = Uuid::random();
  spot.x = (static_cast<double>(px) + 0.5) / static_cast<double>(width);
  spot.y = (static_cast<double>(py) + 0.5) / static_cast<double>(height);
  spot.r = rho / static_cast<double>(std::max(width, height));
  spot.group = group;
  spot.score = score;
  return spot;
}

}  // namespace DustDetector
