// Distances of a repair's pixels to its path. A brushed stroke across the frame has thousands
// of segments and a box as large as the image, so nothing here visits box × segments: each
// segment looks only at the pixels it can be near.
#include <algorithm>
#include <cmath>
#include <limits>

#include "Dust/HealerSteps.h"
#include "Support/ParallelFor.h"

namespace Healer {

namespace {

// Boxes of fewer pixels stay on the calling thread.
constexpr int64_t kSmallBox = 16384;

// The segments of a path as pairs of points; a path of one point is one segment of length 0.
struct Segment {
  Point a;
  Point b;
};

std::vector<Segment> segmentsOf(const std::vector<Point>& path) {
  std::vector<Segment> segments;
  if (path.size() == 1) segments.push_back({path[0], path[0]});
  for (size_t i = 1; i < path.size(); ++i) segments.push_back({path[i - 1], path[i]});
  return segments;
}

// Whole pixel index of a coordinate, limited to lo…hi in floating point first.
int64_t limitedIndex(double v, int64_t lo, int64_t hi) {
  if (!(v > static_cast<double>(lo))) return lo;
  if (v >= static_cast<double>(hi)) return hi;
  return static_cast<int64_t>(v);
}

}  // namespace

std::vector<double> distancePlane(const Box& box, const std::vector<Point>& path, double reach) {
  if (box.empty() || path.empty()) return {};
  const int64_t bw = box.width();
  const int64_t bh = box.height();
  std::vector<double> plane(static_cast<size_t>(bw * bh));
  const std::vector<Segment> segments = segmentsOf(path);

  // Pixel limits of each segment padded by the reach, one pixel wider on every side than the
  // centres that can lie within it.
  struct Span {
    int64_t x0, x1, y0, y1;
  };
  std::vector<Span> spans(segments.size());
  for (size_t s = 0; s < segments.size(); ++s) {
    const Segment& g = segments[s];
    spans[s] = {limitedIndex(std::floor(std::min(g.a.x, g.b.x) - reach) - 1, box.x0, box.x1 + 1),
                limitedIndex(std::ceil(std::max(g.a.x, g.b.x) + reach) + 1, box.x0 - 1, box.x1),
                limitedIndex(std::floor(std::min(g.a.y, g.b.y) - reach) - 1, box.y0, box.y1 + 1),
                limitedIndex(std::ceil(std::max(g.a.y, g.b.y) + reach) + 1, box.y0 - 1, box.y1)};
  }

  const auto fillRows = [&](int64_t begin, int64_t end) {
    std::fill(plane.begin() + begin * bw, plane.begin() + end * bw,
              std::numeric_limits<double>::infinity());
    for (size_t s = 0; s < segments.size(); ++s) {
      const Span& span = spans[s];
      const int64_t ya = std::max(span.y0, box.y0 + begin);
      const int64_t yb = std::min(span.y1, box.y0 + end - 1);
      for (int64_t y = ya; y <= yb; ++y) {
        double* row = plane.data() + (y - box.y0) * bw;
        const double py = static_cast<double>(y) + 0.5;
        for (int64_t x = span.x0; x <= span.x1; ++x) {
          const double d =
              segmentDistance(static_cast<double>(x) + 0.5, py, segments[s].a, segments[s].b);
          double& cell = row[x - box.x0];
          if (d < cell) cell = d;
        }
      }
    }
  };
  parallelForRows(bh, fillRows, bw * bh < kSmallBox ? bh + 1 : 2);
  return plane;
}

PathNeighbourhood::PathNeighbourhood(const std::vector<Point>& path, double limit)
    : path_(path), limit_(limit) {
  if (path_.empty()) return;
  if (path_.size() == 1) path_.push_back(path_[0]);
  const size_t segments = path_.size() - 1;

  // Every segment is filed in each cell its box, padded by the limit and one pixel, touches.
  const double pad = limit + 1.0;
  double minX = path_[0].x, maxX = minX, minY = path_[0].y, maxY = minY;
  for (const Point& p : path_) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  originX_ = minX - pad;
  originY_ = minY - pad;
  const double spanX = maxX + pad - originX_;
  const double spanY = maxY + pad - originY_;
  const double cells = static_cast<double>(segments) * 4.0 + 1024.0;
  cell_ = std::max(2.0 * pad, std::sqrt(spanX * spanY / cells));
  columns_ = static_cast<int64_t>(spanX / cell_) + 1;
  rows_ = static_cast<int64_t>(spanY / cell_) + 1;

  const auto cellRange = [&](double lo, double hi, double origin, int64_t count) {
    return std::pair{
        std::clamp<int64_t>(static_cast<int64_t>((lo - origin) / cell_), 0, count - 1),
        std::clamp<int64_t>(static_cast<int64_t>((hi - origin) / cell_), 0, count - 1)};
  };
  std::vector<std::pair<int64_t, int64_t>> filed;  // (cell, segment)
  for (size_t s = 0; s < segments; ++s) {
    const Point a = path_[s], b = path_[s + 1];
    const auto [cx0, cx1] =
        cellRange(std::min(a.x, b.x) - pad, std::max(a.x, b.x) + pad, originX_, columns_);
    const auto [cy0, cy1] =
        cellRange(std::min(a.y, b.y) - pad, std::max(a.y, b.y) + pad, originY_, rows_);
    for (int64_t cy = cy0; cy <= cy1; ++cy)
      for (int64_t cx = cx0; cx <= cx1; ++cx)
        filed.emplace_back(cy * columns_ + cx, static_cast<int64_t>(s));
  }
  cellStart_.assign(static_cast<size_t>(columns_ * rows_ + 1), 0);
  for (const auto& f : filed) ++cellStart_[f.first + 1];
  for (size_t i = 1; i < cellStart_.size(); ++i) cellStart_[i] += cellStart_[i - 1];
  cellSegments_.resize(filed.size());
  std::vector<int64_t> next(cellStart_.begin(), cellStart_.end() - 1);
  for (const auto& f : filed) cellSegments_[next[f.first]++] = f.second;
}

bool PathNeighbourhood::within(double x, double y) const {
  if (path_.empty()) return false;
  const double fx = (x - originX_) / cell_;
  const double fy = (y - originY_) / cell_;
  // Outside the padded extent of the whole path no segment is within the limit.
  if (!(fx >= 0 && fy >= 0 && fx < static_cast<double>(columns_) &&
        fy < static_cast<double>(rows_)))
    return false;
  const int64_t c = static_cast<int64_t>(fy) * columns_ + static_cast<int64_t>(fx);
  for (int64_t i = cellStart_[c]; i < cellStart_[c + 1]; ++i) {
    const int64_t s = cellSegments_[i];
    if (segmentDistance(x, y, path_[s], path_[s + 1]) <= limit_) return true;
  }
  return false;
}

}  // namespace Healer
