#include "Finishing/DodgeBurn.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "Finishing/ExposureStep.h"
#include "Finishing/PrintMapping.h"
#include "Support/ParallelFor.h"
#include "Support/PixelMath.h"

namespace DodgeBurn {

namespace {

using PrintMapping::Point;

// A bound in pixels, from one pixel before the image to one past its end.
int64_t pixelIndex(double v, int64_t size) {
  return PixelMath::limitedIndex(v, -1.0, static_cast<double>(size));
}

// The map of one print and how a shape's weights enter it.
struct Canvas {
  float* map = nullptr;
  int64_t width = 0;
  int64_t height = 0;
  bool coverage = false;
  float strength = 0;

  void add(int64_t index, double weight) const {
    if (!(weight > 0)) return;
    const float w = static_cast<float>(weight);
    float& cell = map[index];
    cell = coverage ? std::max(cell, w) : cell + strength * w;
  }
};

bool hasOnlyFiniteValues(const DodgeBurnStroke& stroke) {
  return std::isfinite(stroke.radius) && std::isfinite(stroke.stops) &&
         std::isfinite(stroke.feather) && std::isfinite(stroke.rx.value_or(0)) &&
         std::isfinite(stroke.ry.value_or(0));
}

// The stroke's points that hold exactly two numbers, in print pixels; nothing when there are none
// or when a value is not finite.
std::optional<std::vector<Point>> placedPoints(const DodgeBurnStroke& stroke,
                                               const PrintMapping::Frame& frame) {
  if (!hasOnlyFiniteValues(stroke)) return std::nullopt;
  std::vector<Point> points;
  for (const std::vector<double>& p : stroke.points) {
    if (p.size() != 2) continue;
    const Point q = PrintMapping::toPrint(frame, p[0], p[1]);
    if (!std::isfinite(q.x) || !std::isfinite(q.y)) return std::nullopt;
    points.push_back(q);
  }
  if (points.empty()) return std::nullopt;
  return points;
}

// Weight 1 on the start side of the line through a, falling smoothly to 0 at b.
void drawLinear(const Canvas& canvas, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = std::max(dx * dx + dy * dy, 1.0);
  parallelForRows(canvas.height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      const double py = static_cast<double>(y) + 0.5;
      for (int64_t x = 0; x < canvas.width; ++x) {
        const double px = static_cast<double>(x) + 0.5;
        const double t = std::clamp(((px - a.x) * dx + (py - a.y) * dy) / length2, 0.0, 1.0);
        canvas.add(y * canvas.width + x, 1 - PixelMath::smoothstep<double>(t));
      }
    }
  });
}

// An ellipse about c with a soft edge; inverted, the outside. Without inversion only the
// ellipse's box can get weight, so only it is visited.
void drawRadial(const Canvas& canvas, const DodgeBurnStroke& stroke, Point c,
                const PrintMapping::Frame& frame) {
  const double rx = std::max(PrintMapping::length(frame, stroke.rx.value_or(stroke.radius)), 1.0);
  const double ry = std::max(PrintMapping::length(frame, stroke.ry.value_or(stroke.radius)), 1.0);
  if (!std::isfinite(rx) || !std::isfinite(ry)) return;
  const double feather = std::clamp(stroke.feather, 0.02, 1.0);
  const double inner = 1 - feather;
  const bool invert = stroke.invert.value_or(false);

  int64_t x0 = 0, x1 = canvas.width - 1, y0 = 0, y1 = canvas.height - 1;
  if (!invert) {
    x0 = std::max<int64_t>(x0, pixelIndex(std::floor(c.x - rx) - 1, canvas.width));
    x1 = std::min<int64_t>(x1, pixelIndex(std::ceil(c.x + rx) + 1, canvas.width));
    y0 = std::max<int64_t>(y0, pixelIndex(std::floor(c.y - ry) - 1, canvas.height));
    y1 = std::min<int64_t>(y1, pixelIndex(std::ceil(c.y + ry) + 1, canvas.height));
  }
  if (x1 < x0 || y1 < y0) return;

  parallelForRows(y1 - y0 + 1, [&](int64_t begin, int64_t end) {
    for (int64_t y = y0 + begin; y < y0 + end; ++y) {
      const double ny = (static_cast<double>(y) + 0.5 - c.y) / ry;
      for (int64_t x = x0; x <= x1; ++x) {
        const double nx = (static_cast<double>(x) + 0.5 - c.x) / rx;
        const double d2 = nx * nx + ny * ny;
        double w = 0;  // beyond the ellipse (d ≥ 1 exactly when d² ≥ 1)
        if (d2 < 1) {
          const double d = std::sqrt(d2);
          w = PixelMath::smoothstep<double>(d <= inner ? 1.0
                                            : d >= 1   ? 0.0
                                                       : 1 - (d - inner) / feather);
        }
        canvas.add(y * canvas.width + x, invert ? 1 - w : w);
      }
    }
  });
}

// One segment of a brush path, with its direction precomputed.
struct Segment {
  Point a;
  double vx = 0, vy = 0, length2 = 0;

  Segment(Point from, Point to)
      : a(from), vx(to.x - from.x), vy(to.y - from.y), length2(vx * vx + vy * vy) {}

  // Lowers nearest[k] to the squared distance from (centres[k], py) when that is smaller, for
  // k in [from, to). Its square root is the distance to the point at the clamped projection, and
  // the smallest root is the root of the smallest square.
  void lowerNearest(double* nearest, const double* centres, int64_t from, int64_t to,
                    double py) const {
    const double ay = py - a.y;
    if (length2 > 0) {
      for (int64_t k = from; k < to; ++k) {
        const double px = centres[k];
        const double t = std::clamp(((px - a.x) * vx + ay * vy) / length2, 0.0, 1.0);
        const double dx = px - (a.x + t * vx), dy = py - (a.y + t * vy);
        nearest[k] = std::min(nearest[k], dx * dx + dy * dy);
      }
    } else {
      for (int64_t k = from; k < to; ++k) {
        const double dx = centres[k] - a.x;
        nearest[k] = std::min(nearest[k], dx * dx + ay * ay);
      }
    }
  }

  // Columns whose centres on the row at py can lie within reach of the segment: the part of the
  // segment inside the row's band, widened by reach. A pixel of margin (more for coordinates so
  // large that rounding exceeds it) keeps the range conservative. False when none can.
  bool columns(double py, double reach, int64_t first, int64_t last, int64_t width, int64_t& from,
               int64_t& to) const {
    const double bx = a.x + vx, by = a.y + vy;
    const double margin =
        1 + 1e-12 * std::max({std::abs(a.x), std::abs(a.y), std::abs(bx), std::abs(by)});
    const double low = py - reach - margin, high = py + reach + margin;
    if (std::max(a.y, by) < low || std::min(a.y, by) > high) return false;
    double t0 = 0, t1 = 1;
    if (vy != 0) {
      const double ta = (low - a.y) / vy, tb = (high - a.y) / vy;
      t0 = std::max(0.0, std::min(ta, tb));
      t1 = std::min(1.0, std::max(ta, tb));
    }
    const double xa = a.x + t0 * vx, xb = a.x + t1 * vx;
    from = std::max(first, pixelIndex(std::min(xa, xb) - reach - margin, width));
    to = std::min(last, pixelIndex(std::max(xa, xb) + reach + margin, width));
    return from <= to;
  }
};

// A path of round strokes: full weight within 0.35 of the radius, soft out to the outer radius.
// Each row keeps the smallest squared distance per pixel over the segments that can reach it,
// visiting only each segment's own columns, then weighs every touched pixel once.
void drawBrush(const Canvas& canvas, const DodgeBurnStroke& stroke,
               const std::vector<Point>& points, const PrintMapping::Frame& frame) {
  const double r = std::max(PrintMapping::length(frame, stroke.radius), 1.0);
  const double outer = std::max(stroke.feather, 1.0) * r;
  const double inner = 0.35 * r;
  if (!std::isfinite(outer)) return;

  double minX = points[0].x, maxX = points[0].x, minY = points[0].y, maxY = points[0].y;
  for (const Point& p : points) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const int64_t x0 = std::max<int64_t>(0, pixelIndex(minX - outer, canvas.width));
  const int64_t x1 = std::min<int64_t>(canvas.width - 1, pixelIndex(maxX + outer, canvas.width));
  const int64_t y0 = std::max<int64_t>(0, pixelIndex(minY - outer, canvas.height));
  const int64_t y1 = std::min<int64_t>(canvas.height - 1, pixelIndex(maxY + outer, canvas.height));
  if (x1 < x0 || y1 < y0) return;

  const size_t n = points.size();
  std::vector<Segment> segments;
  for (size_t i = 0; i < std::max<size_t>(1, n - 1); ++i)
    segments.emplace_back(points[i], points[std::min(i + 1, n - 1)]);

  constexpr double none = std::numeric_limits<double>::infinity();
  parallelForRows(y1 - y0 + 1, [&](int64_t begin, int64_t end) {
    const auto columns = static_cast<size_t>(x1 - x0 + 1);
    std::vector<double> nearest(columns, none), centres(columns);
    for (size_t k = 0; k < columns; ++k)
      centres[k] = static_cast<double>(x0 + static_cast<int64_t>(k)) + 0.5;
    for (int64_t y = y0 + begin; y < y0 + end; ++y) {
      const double py = static_cast<double>(y) + 0.5;
      int64_t touchedFrom = x1 + 1, touchedTo = x0 - 1;
      for (const Segment& segment : segments) {
        int64_t from = 0, to = 0;
        if (!segment.columns(py, outer, x0, x1, canvas.width, from, to)) continue;
        segment.lowerNearest(nearest.data(), centres.data(), from - x0, to - x0 + 1, py);
        touchedFrom = std::min(touchedFrom, from);
        touchedTo = std::max(touchedTo, to);
      }
      for (int64_t x = touchedFrom; x <= touchedTo; ++x) {
        double& m2 = nearest[static_cast<size_t>(x - x0)];
        const double m = std::sqrt(m2);
        if (m < outer) {
          const double t = m <= inner ? 1.0 : 1 - (m - inner) / (outer - inner);
          canvas.add(y * canvas.width + x, PixelMath::smoothstep<double>(t));
        }
        m2 = none;
      }
    }
  });
}

}  // namespace

std::vector<float> mask(const std::vector<DodgeBurnStroke>& strokes, int64_t width, int64_t height,
                        int64_t sourceWidth, int64_t sourceHeight, bool coverage, double angle,
                        const NormRect& crop) {
  if (width <= 0 || height <= 0) return {};
  std::vector<float> map(static_cast<size_t>(width * height), 0.0f);
  const PrintMapping::Frame frame{width, height, sourceWidth, sourceHeight, angle, crop};
  for (const DodgeBurnStroke& stroke : strokes) {
    const std::optional<std::vector<Point>> points = placedPoints(stroke, frame);
    if (!points) continue;
    const Canvas canvas{map.data(), width, height, coverage,
                        static_cast<float>(std::clamp(stroke.stops, -3.0, 3.0))};
    const DodgeShape shape = stroke.shape.value_or(DodgeShape::brush);
    if (shape == DodgeShape::linear && points->size() != 1)
      drawLinear(canvas, (*points)[0], (*points)[1]);
    else if (shape == DodgeShape::radial)
      drawRadial(canvas, stroke, (*points)[0], frame);
    else
      drawBrush(canvas, stroke, *points, frame);
  }
  return map;
}

std::vector<float> coverageMask(const std::vector<DodgeBurnStroke>& strokes, int64_t width,
                                int64_t height, int64_t sourceWidth, int64_t sourceHeight,
                                double angle, const NormRect& crop) {
  return mask(strokes, width, height, sourceWidth, sourceHeight, true, angle, crop);
}

void apply(PrintImage& print, const std::vector<DodgeBurnStroke>& strokes, int64_t sourceWidth,
           int64_t sourceHeight, double angle, const NormRect& crop) {
  if (strokes.empty() || print.width <= 0 || print.height <= 0) return;
  const std::vector<float> map =
      mask(strokes, print.width, print.height, sourceWidth, sourceHeight, false, angle, crop);
  const int64_t width = print.width;
  parallelForRows(print.height, [&](int64_t begin, int64_t end) {
    std::vector<float> stops(static_cast<size_t>(width)), scratch(static_cast<size_t>(width));
    for (int64_t y = begin; y < end; ++y) {
      const float* row = map.data() + y * width;
      bool changes = false;
      for (int64_t x = 0; x < width; ++x) {
        const float s = std::clamp(row[x], -3.0f, 3.0f);
        stops[static_cast<size_t>(x)] = s == 0.0f ? ExposureStep::untouched : s;
        changes = changes || s != 0.0f;
      }
      if (changes) ExposureStep::applyRow(print.row(y), stops.data(), width, scratch.data());
    }
  });
}

}  // namespace DodgeBurn
