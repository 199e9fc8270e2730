#include "Dust/DustCandidates.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace DustDetector {

namespace {

// Points bucketed in square cells, for counting neighbours within a fixed distance.
class PointGrid {
 public:
  PointGrid(double cell, double width, double height)
      : cell_(cell),
        columns_(cellCount(width, cell)),
        rows_(cellCount(height, cell)),
        cells_(static_cast<size_t>(columns_ * rows_)) {}

  void add(double x, double y) { cells_[cellIndex(x, y)].push_back({x, y}); }

  // Points closer than `distance` to (x, y).
  int64_t countCloser(double x, double y, double distance) const {
    const int64_t c0 = clampCell(std::floor((x - distance) / cell_), columns_);
    const int64_t c1 = clampCell(std::floor((x + distance) / cell_), columns_);
    const int64_t r0 = clampCell(std::floor((y - distance) / cell_), rows_);
    const int64_t r1 = clampCell(std::floor((y + distance) / cell_), rows_);
    int64_t count = 0;
    for (int64_t r = r0; r <= r1; ++r)
      for (int64_t c = c0; c <= c1; ++c)
        for (const auto& p : cells_[static_cast<size_t>(r * columns_ + c)])
          if (std::hypot(p.x - x, p.y - y) < distance) ++count;
    return count;
  }

 private:
  struct Point {
    double x;
    double y;
  };

  static int64_t cellCount(double extent, double cell) {
    return std::max<int64_t>(1, static_cast<int64_t>(std::ceil(extent / cell)) + 1);
  }
  static int64_t clampCell(double c, int64_t count) {
    if (!(c > 0)) return 0;
    if (c >= static_cast<double>(count - 1)) return count - 1;
    return static_cast<int64_t>(c);
  }
  size_t cellIndex(double x, double y) const {
    return static_cast<size_t>(clampCell(std::floor(y / cell_), rows_) * columns_ +
                               clampCell(std::floor(x / cell_), columns_));
  }

  double cell_;
  int64_t columns_;
  int64_t rows_;
  std::vector<std::vector<Point>> cells_;
};

}  // namespace

double lineAngleDifference(double a, double b) {
  double d = std::fmod(std::fabs(a - b), std::numbers::pi);
  if (d > std::numbers::pi / 2) d = std::numbers::pi - d;
  return d;
}

bool isOnLine(const Candidate& candidate, const std::vector<Segment>& segments, int64_t longSide) {
  if (!candidate.centre) return false;
  const Centroid c = *candidate.centre;
  const auto own = std::find_if(segments.begin(), segments.end(),
                                [&](const Segment& s) { return s.cx == c.x && s.cy == c.y; });
  if (own == segments.end()) return false;
  const double reach = 0.06 * static_cast<double>(longSide);
  const auto alike = std::count_if(segments.begin(), segments.end(), [&](const Segment& s) {
    return std::hypot(s.cx - c.x, s.cy - c.y) < reach &&
           lineAngleDifference(s.theta, own->theta) < 0.35;
  });
  return alike > 3;
}

std::vector<Candidate> pruneLines(std::vector<Candidate> candidates,
                                  const std::vector<Segment>& segments, int64_t longSide) {
  std::erase_if(candidates, [&](const Candidate& c) { return isOnLine(c, segments, longSide); });
  return candidates;
}

Centroid meanPosition(const std::vector<Spot>& spots) {
  Centroid mean;
  if (spots.empty()) return mean;
  for (const Spot& s : spots) {
    mean.x += s.x;
    mean.y += s.y;
  }
  mean.x /= static_cast<double>(spots.size());
  mean.y /= static_cast<double>(spots.size());
  return mean;
}

std::vector<size_t> busyIndices(const std::vector<Candidate>& candidates,
                                const std::vector<Seed>& seeds, int64_t width, int64_t height,
                                int64_t busyFound, int64_t busyBlobs) {
  const double w = static_cast<double>(width);
  const double h = static_cast<double>(height);
  const double reach = 0.03 * static_cast<double>(std::max(width, height));
  const double cell = std::max(reach, 1.0);

  std::vector<Centroid> positions;
  positions.reserve(candidates.size());
  PointGrid found(cell, w, h);
  for (const Candidate& c : candidates) {
    Centroid p = meanPosition(c.spots);
    p.x *= w;
    p.y *= h;
    positions.push_back(p);
    found.add(p.x, p.y);
  }
  PointGrid blobs(cell, w, h);
  for (const Seed& s : seeds) blobs.add(static_cast<double>(s.x), static_cast<double>(s.y));

  std::vector<size_t> busy;
  for (size_t i = 0; i < positions.size(); ++i) {
    const Centroid p = positions[i];
    const int64_t others = found.countCloser(p.x, p.y, reach) - 1;  // itself is at distance 0
    if (others >= busyFound || blobs.countCloser(p.x, p.y, reach) >= busyBlobs) busy.push_back(i);
  }
  return busy;
}

std::vector<Spot> strongestSpots(std::vector<Candidate> candidates, int64_t maxSpots) {
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.strength > b.strength; });
  std::vector<Spot> spots;
  for (Candidate& c : candidates) {
    if (static_cast<int64_t>(spots.size() + c.spots.size()) > maxSpots) break;
    spots.insert(spots.end(), std::make_move_iterator(c.spots.begin()),
                 std::make_move_iterator(c.spots.end()));
  }
  return spots;
}

}  // namespace DustDetector
