// What the pointer does to a tone curve on the editor's graph, as functions over values: a drag
// grabs the point near its start (or adds one there) and moves it between its neighbours; a
// double-click removes the interior point under it. Locations are in the graph's own
// coordinates, w × h, y growing downwards; points are normalised, y growing upwards.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace CurveGestures {

using Point = std::array<double, 2>;
// The curve's usable points sorted by x, equal x in stored order (ToneCurve::sortedPoints).
using Points = std::vector<Point>;

struct Location {
  double x = 0;
  double y = 0;
};

// Within this distance in points of its start a drag grabs a point rather than adding one.
inline constexpr double grabRadius = 12;
// Within this distance in points a double-click removes an interior point.
inline constexpr double removeRadius = 14;
// How close a dragged point may come to its neighbours' x, and to the graph's sides when added.
inline constexpr double gap = 0.01;

// One change event of a drag.
struct Step {
  Points points;  // the list to store
  size_t index;   // the dragged point's index in it
};

// One change event: without an index (the drag's first event) the point within grabRadius of
// the start is grabbed, else a new point is added at the start; then the point at the index
// follows the location, clamped to the graph, between its neighbours, the end points of a curve
// of several points only vertically. None when the index names no point of the list (the
// curve changed under the drag) or the graph has no area.
std::optional<Step> drag(Points sorted, std::optional<size_t> index, Location start,
                         Location location, double w, double h);

// A double-click at the tap: the list without the interior point nearest to it when that lies
// within removeRadius; none when nothing is removed (fewer than three points, none near).
std::optional<Points> removal(const Points& sorted, Location tap, double w, double h);

}  // namespace CurveGestures
