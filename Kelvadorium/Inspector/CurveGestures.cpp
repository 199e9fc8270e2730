#include "Inspector/CurveGestures.h"

#include <algorithm>
#include <cmath>

namespace CurveGestures {

namespace {

Point normalised(Location location, double w, double h) {
  return {location.x / w, 1 - location.y / h};
}

// The point of [first, last) nearest to p in normalised distance, the lower index on ties.
size_t nearest(const Points& points, size_t first, size_t last, Point p) {
  size_t best = first;
  double bestDistance = INFINITY;
  for (size_t i = first; i < last; ++i) {
    const double d = std::hypot(points[i][0] - p[0], points[i][1] - p[1]);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

double distanceInPoints(Point a, Point b, double w, double h) {
  return std::hypot(w * (a[0] - b[0]), h * (a[1] - b[1]));
}

bool hasArea(double w, double h) { return w > 0 && h > 0 && std::isfinite(w) && std::isfinite(h); }

}  // namespace

std::optional<Step> drag(Points sorted, std::optional<size_t> index, Location start,
                         Location location, double w, double h) {
  if (!hasArea(w, h)) return std::nullopt;
  const Point now = normalised(location, w, h);
  const double x = std::clamp(now[0], 0.0, 1.0);
  const double y = std::clamp(now[1], 0.0, 1.0);

  if (!index) {
    const Point s = normalised(start, w, h);
    const size_t k = nearest(sorted, 0, sorted.size(), s);
    if (!sorted.empty() && distanceInPoints(sorted[k], s, w, h) < grabRadius) {
      index = k;
    } else {
      const Point added{std::clamp(s[0], gap, 1 - gap), std::clamp(s[1], 0.0, 1.0)};
      // After every point of equal x, as a stable sort puts it: the dragged point is the new
      // one, never an older point in its column.
      const auto at = std::upper_bound(sorted.begin(), sorted.end(), added,
                                       [](const Point& a, const Point& b) { return a[0] < b[0]; });
      index = static_cast<size_t>(at - sorted.begin());
      sorted.insert(at, added);
    }
  }

  const size_t k = *index;
  const size_t n = sorted.size();
  if (k >= n) return std::nullopt;
  double moved = sorted[k][0];
  const bool endPoint = n > 1 && (k == 0 || k == n - 1);
  if (!endPoint) {
    const double lo = k > 0 ? sorted[k - 1][0] + gap : 0.0;
    const double hi = k + 1 < n ? sorted[k + 1][0] - gap : 1.0;
    moved = std::min(std::max(x, lo), hi);
  }
  sorted[k] = {moved, y};
  return Step{std::move(sorted), k};
}

std::optional<Points> removal(const Points& sorted, Location tap, double w, double h) {
  if (!hasArea(w, h) || sorted.size() < 3) return std::nullopt;
  const Point t = normalised(tap, w, h);
  const size_t k = nearest(sorted, 1, sorted.size() - 1, t);
  if (distanceInPoints(sorted[k], t, w, h) >= removeRadius) return std::nullopt;
  Points left = sorted;
  left.erase(left.begin() + static_cast<std::ptrdiff_t>(k));
  return left;
}

}  // namespace CurveGestures
