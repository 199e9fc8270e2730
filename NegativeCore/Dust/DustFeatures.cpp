#include "Dust/DustFeatures.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

#include "Dust/DustPlanes.h"
#include "Dust/DustShape.h"
#include "Support/PixelMath.h"

namespace DustFeatures {

namespace {

struct Lookup {
  const Maps& maps;

  double at(const std::vector<float>& plane, double x, double y) const {
    const int64_t ix = PixelMath::clampedIndex(x, maps.w);
    const int64_t iy = PixelMath::clampedIndex(y, maps.h);
    return plane[static_cast<size_t>(iy * maps.w + ix)];
  }
};

struct Point {
  double x;
  double y;
};

// The largest d on the grid of offsets −ρ, −ρ + q, … ≤ ρ in both directions, q = max(ρ/3, 1).
// Each offset is one fused multiply-add; at most seven of them fit.
double peakAround(const Lookup& look, Point p, double rho) {
  const double q = std::max(rho / 3, 1.0);
  double peak = -std::numeric_limits<double>::infinity();
  for (int i = 0; i <= 8; ++i) {
    const double u = std::fma(static_cast<double>(i), q, -rho);
    if (!(u <= rho)) break;
    for (int j = 0; j <= 8; ++j) {
      const double v = std::fma(static_cast<double>(j), q, -rho);
      if (!(v <= rho)) break;
      peak = std::max(peak, look.at(look.maps.d, p.x + u, p.y + v));
    }
  }
  return peak;
}

// The values of a plane at eight points on a circle, φ = j·π/4.
std::vector<double> circleSamples(const Lookup& look, const std::vector<float>& plane, Point c,
                                  double radius) {
  std::vector<double> values;
  for (int j = 0; j < 8; ++j) {
    const double phi = j * std::numbers::pi / 4;
    values.push_back(look.at(plane, c.x + radius * std::cos(phi), c.y + radius * std::sin(phi)));
  }
  return values;
}

double meanOf(const std::vector<double>& values) {
  double sum = 0;
  for (const double v : values) sum += v;
  return sum / static_cast<double>(values.size());
}

// Means over the points of the peak (the largest d near each point), the ring of `fine`
// around it, the texture beside it and its sharpness, and the largest peak.
struct PointMeasures {
  double peak = 0;
  double background = 0;
  double texture = 0;
  double sharpness = 0;
  double highestPeak = 0;
};

PointMeasures measurePoints(const Lookup& look, const std::vector<Point>& points, double rho,
                            double s) {
  std::vector<double> peaks, rings, textures, sharpness;
  const double ringRadius = 3 * s + rho + 1;
  for (const Point p : points) {
    peaks.push_back(peakAround(look, p, rho));
    rings.push_back(meanOf(circleSamples(look, look.maps.fine, p, ringRadius)));
    textures.push_back(look.at(look.maps.std, p.x + rho + 4 * s, p.y));
    sharpness.push_back(look.at(look.maps.d, p.x, p.y) - look.at(look.maps.fine, p.x, p.y));
  }
  return {meanOf(peaks), meanOf(rings), meanOf(textures), meanOf(sharpness),
          *std::max_element(peaks.begin(), peaks.end())};
}

Point meanOf(const std::vector<Point>& points) {
  Point mean{0, 0};
  for (const Point p : points) {
    mean.x += p.x;
    mean.y += p.y;
  }
  mean.x /= static_cast<double>(points.size());
  mean.y /= static_cast<double>(points.size());
  return mean;
}

// Centres closer than 0.03 of the long side to the candidate's, less its own (never below 0).
double neighboursOf(const Maps& maps, Point centre,
                    const std::vector<std::pair<double, double>>& centres) {
  int64_t near = 0;
  for (const auto& [x, y] : centres)
    if (std::hypot(x * static_cast<double>(maps.w) - centre.x,
                   y * static_cast<double>(maps.h) - centre.y) <
        0.03 * static_cast<double>(maps.longEdge))
      ++near;
  return static_cast<double>(std::max<int64_t>(near - 1, 0));
}

// Length, thinness and curvature of the points' layout.
struct Shape {
  double length = 0;
  double thinness = 0;
  double curvature = 1;
};

Shape shapeOf(const std::vector<Point>& points, Point centre, double rho) {
  DustDetector::Moments m;
  for (const Point p : points) {
    m.sxx += (p.x - centre.x) * (p.x - centre.x);
    m.syy += (p.y - centre.y) * (p.y - centre.y);
    m.sxy += (p.x - centre.x) * (p.y - centre.y);
  }
  const double n = static_cast<double>(points.size());
  m.sxx /= n;
  m.syy /= n;
  m.sxy /= n;
  const double l1 = m.largestEigenvalue();
  const double l2 = m.smallestEigenvalue();
  double path = 0;
  double chord = 1;
  if (points.size() > 1) {
    for (size_t i = 1; i < points.size(); ++i)
      path += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    chord = std::hypot(points.back().x - points.front().x, points.back().y - points.front().y);
  }
  Shape shape;
  shape.length = std::max(4 * std::sqrt(l1), 2 * rho);
  shape.thinness = std::sqrt(l2) / std::max(std::sqrt(l1), 0.5);
  shape.curvature = chord > 0 ? std::min(path / chord, 5.0) : 1.0;
  return shape;
}

}  // namespace

Maps buildMaps(int64_t width, int64_t height, const float* pixels) {
  Maps maps;
  maps.w = std::max<int64_t>(width, 0);
  maps.h = std::max<int64_t>(height, 0);
  maps.longEdge = std::max(maps.w, maps.h);
  const auto count = static_cast<size_t>(maps.w * maps.h);
  if (count == 0) return maps;
  const double s = static_cast<double>(maps.longEdge) / 2400;
  const int64_t r1 = std::max<int64_t>(4, static_cast<int64_t>(8 * s));
  const int64_t r2 = std::max<int64_t>(12, static_cast<int64_t>(32 * s));
  const int64_t w = maps.w;
  const int64_t h = maps.h;

  std::vector<float> scratch(count);
  maps.d.resize(count);
  DustDetector::densityPlane(w, h, pixels, maps.d.data());
  maps.mean.resize(count);
  DustDetector::boxPasses(maps.d.data(), maps.mean.data(), scratch.data(), w, h, r1, 2);
  maps.std.resize(count);
  for (size_t i = 0; i < count; ++i) maps.std[i] = maps.d[i] * maps.d[i];
  DustDetector::boxPasses(maps.std.data(), maps.std.data(), scratch.data(), w, h, r1, 2);
  for (size_t i = 0; i < count; ++i)
    maps.std[i] = std::sqrt(std::max(0.0f, maps.std[i] - maps.mean[i] * maps.mean[i]));
  maps.wide.resize(count);
  DustDetector::boxPasses(maps.d.data(), maps.wide.data(), scratch.data(), w, h, r2, 2);
  maps.fine.resize(count);
  DustDetector::boxPasses(maps.d.data(), maps.fine.data(), scratch.data(), w, h, 1, 1);
  return maps;
}

std::vector<float> features(const Maps& maps, const std::vector<Spot>& spots,
                            const std::vector<std::pair<double, double>>& centres) {
  if (spots.empty()) throw std::invalid_argument("DustFeatures::features: no spots");
  if (maps.w <= 0 || maps.h <= 0 || maps.d.size() != static_cast<size_t>(maps.w * maps.h))
    throw std::invalid_argument("DustFeatures::features: maps without pixels");
  const Lookup look{maps};
  const double L = static_cast<double>(maps.longEdge);
  const double s = L / 2400;

  std::vector<Point> points;
  double rho = 0;
  for (const Spot& spot : spots) {
    points.push_back({spot.x * static_cast<double>(maps.w), spot.y * static_cast<double>(maps.h)});
    rho = std::max(rho, spot.r);
  }
  rho *= L;

  const PointMeasures at = measurePoints(look, points, rho, s);
  const Point centre = meanOf(points);
  const std::vector<double> wideRing = circleSamples(look, maps.wide, centre, 40 * s + rho);
  const double wMin = *std::min_element(wideRing.begin(), wideRing.end());
  const double wMax = *std::max_element(wideRing.begin(), wideRing.end());
  const double wC = look.at(maps.wide, centre.x, centre.y);
  const Shape shape = shapeOf(points, centre, rho);

  const double lift = at.peak - at.background;
  const std::vector<double> values{
      spots.size() > 1 ? 1.0 : 0.0,
      std::log(shape.length / s + 1),
      std::log(rho / s + 1),
      10 * lift,
      10 * at.texture,
      lift / std::max(at.texture, 0.002),
      at.background,
      10 * (wMax - wMin),
      10 * (wC - at.background),
      neighboursOf(maps, centre, centres),
      10 * at.sharpness,
      shape.thinness,
      shape.curvature,
      at.highestPeak,
      lift / std::max(at.highestPeak - wMin, 0.01),
  };
  std::vector<float> result;
  for (const double v : values) result.push_back(static_cast<float>(v));
  return result;
}

const std::vector<std::string>& featureNames() {
  static const std::vector<std::string> names{
      "isHair",          "logLength",  "logRadius", "lift",     "texture",
      "liftOverTexture", "background", "edgeStep",  "darkRing", "neighbours",
      "sharpness",       "thinness",   "curvature", "peak",     "liftOverPeak"};
  return names;
}

}  // namespace DustFeatures
