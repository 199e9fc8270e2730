#include "Record/SpotPath.h"

#include <algorithm>
#include <cmath>

namespace {

struct PixelPoint {
  double x;
  double y;
};

// The stroke's path points in pixels: the first input point, then one point every `spacing`
// pixels measured straight from the last path point.
std::vector<PixelPoint> walk(const std::vector<PixelPoint>& input, double spacing) {
  std::vector<PixelPoint> path{input.front()};
  PixelPoint cur = input.front();
  for (size_t i = 1; i < input.size(); ++i) {
    const PixelPoint q = input[i];
    double dist = std::hypot(q.x - cur.x, q.y - cur.y);
    while (dist >= spacing) {
      cur = {cur.x + (q.x - cur.x) * spacing / dist, cur.y + (q.y - cur.y) * spacing / dist};
      path.push_back(cur);
      const double next = std::hypot(q.x - cur.x, q.y - cur.y);
      // Far outside any image a step can vanish in rounding; stop rather than loop forever.
      if (!(next < dist)) break;
      dist = next;
    }
  }
  return path;
}

}  // namespace

std::vector<Spot> alongPath(const std::vector<std::pair<double, double>>& points, int64_t width,
                            int64_t height, double r) {
  if (points.empty()) return {};
  const auto w = static_cast<double>(width);
  const auto h = static_cast<double>(height);
  const double spacing = std::max(r * std::max(w, h) * 0.6, 1.0);

  std::vector<PixelPoint> input;
  input.reserve(points.size());
  for (const auto& [x, y] : points) input.push_back({x * w, y * h});
  const std::vector<PixelPoint> path = walk(input, spacing);

  std::vector<std::pair<double, double>> normalised;
  normalised.reserve(path.size() + 1);
  normalised.push_back(points.front());
  for (size_t i = 1; i < path.size(); ++i) normalised.emplace_back(path[i].x / w, path[i].y / h);
  const PixelPoint end = input.back();
  const PixelPoint last = path.back();
  if (path.size() == 1 || std::hypot(end.x - last.x, end.y - last.y) > 0.3 * spacing)
    normalised.push_back(points.back());

  const Uuid group = Uuid::random();
  std::vector<Spot> spots;
  spots.reserve(normalised.size());
  for (const auto& [x, y] : normalised) {
    Spot spot = makeSpot(x, y, r);
    spot.group = group;
    spots.push_back(spot);
  }
  return spots;
}
