// The curve editor's drag and double-click as functions over values, on a 200 × 200 graph
// (so 0.01 is 2 pt): what the first event grabs or adds, where the dragged point may go, and
// when a double-click removes a point.
#include "Inspector/CurveGestures.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using CurveGestures::Location;
using CurveGestures::Points;

constexpr double side = 200;

// A normalised point as a graph location, moved by (dx, dy) points.
Location at(double x, double y, double dx = 0, double dy = 0) {
  return {side * x + dx, side * (1 - y) + dy};
}

void expectPoints(const Points& got, const Points& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(got[i][0], want[i][0], 1e-9) << "point " << i;
    EXPECT_NEAR(got[i][1], want[i][1], 1e-9) << "point " << i;
  }
}

const Points three{{0, 0}, {0.5, 0.5}, {1, 1}};
const Points four{{0, 0}, {0.3, 0.4}, {0.6, 0.7}, {1, 1}};

struct DragCase {
  std::string name;
  Points sorted;
  std::optional<size_t> index;
  Location start;
  Location location;
  size_t wantIndex;
  Points want;
};

TEST(CurveGestures, DragGrabsAddsAndBoundsThePoint) {
  const std::vector<DragCase> cases{
      {"a press 5 pt from a point grabs it", three, std::nullopt, at(0.5, 0.5, 5), at(0.5, 0.5, 5),
       1, {{0, 0}, {0.525, 0.5}, {1, 1}}},
      {"a press 11.9 pt away still grabs", three, std::nullopt, at(0.5, 0.5, 0, -11.9),
       at(0.5, 0.5, 0, -11.9), 1, {{0, 0}, {0.5, 0.5595}, {1, 1}}},
      {"a press 15 pt from every point adds one at the press", three, std::nullopt,
       at(0.75, 0.5), at(0.75, 0.5), 2, {{0, 0}, {0.5, 0.5}, {0.75, 0.5}, {1, 1}}},
      // The new point in an old point's column is the one dragged (the old one stays put).
      {"a new point in an existing point's column drags itself", three, std::nullopt,
       at(0.5, 0.5, 0, -15), at(0.5, 0.5, 0, -15), 2,
       {{0, 0}, {0.5, 0.5}, {0.51, 0.575}, {1, 1}}},
      {"a press on the left edge adds at x 0.01", three, std::nullopt, at(0, 0.6), at(0, 0.6), 1,
       {{0, 0}, {0.01, 0.6}, {0.5, 0.5}, {1, 1}}},
      {"a press above the graph adds at y 1", three, std::nullopt, at(0.25, 1, 0, -30),
       at(0.25, 1, 0, -30), 1, {{0, 0}, {0.25, 1}, {0.5, 0.5}, {1, 1}}},
      {"a press on an empty curve adds the only point", {}, std::nullopt, at(0.4, 0.3),
       at(0.4, 0.3), 0, {{0.4, 0.3}}},
      {"equally near points: the lower index is grabbed", {{0, 0}, {0.5, 0.5}, {0.5, 0.5}, {1, 1}},
       std::nullopt, at(0.5, 0.5), at(0.5, 0.6), 1, {{0, 0}, {0.49, 0.6}, {0.5, 0.5}, {1, 1}}},
      {"past the right neighbour stops 0.01 short", four, 1, at(0.3, 0.4), at(0.9, 0.4), 1,
       {{0, 0}, {0.59, 0.4}, {0.6, 0.7}, {1, 1}}},
      {"past the left neighbour stops 0.01 short", four, 2, at(0.6, 0.7), at(0.1, 0.7), 2,
       {{0, 0}, {0.3, 0.4}, {0.31, 0.7}, {1, 1}}},
      {"the last point moves only vertically", three, 2, at(1, 1), at(0.25, 0.9), 2,
       {{0, 0}, {0.5, 0.5}, {1, 0.9}}},
      {"the first point moves only vertically", three, 0, at(0, 0), at(0.4, 0.2), 0,
       {{0, 0.2}, {0.5, 0.5}, {1, 1}}},
      {"a lone point moves freely", {{0.5, 0.5}}, 0, at(0.5, 0.5), at(0.9, 0.1), 0, {{0.9, 0.1}}},
      {"beyond the graph clamps to 0 … 1", four, 1, at(0.3, 0.4), at(0, 0, -80, 90), 1,
       {{0, 0}, {0.01, 0}, {0.6, 0.7}, {1, 1}}},
      {"crowded neighbours: hi wins over lo", {{0, 0}, {0.4, 0.3}, {0.41, 0.5}, {0.415, 0.6}, {1, 1}},
       2, at(0.41, 0.5), at(0.2, 0.5), 2, {{0, 0}, {0.4, 0.3}, {0.405, 0.5}, {0.415, 0.6}, {1, 1}}},
  };
  for (const DragCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto step = CurveGestures::drag(c.sorted, c.index, c.start, c.location, side, side);
    ASSERT_TRUE(step.has_value());
    EXPECT_EQ(step->index, c.wantIndex);
    expectPoints(step->points, c.want);
  }
}

TEST(CurveGestures, DragOverAChangedCurveOrWithoutAreaEditsNothing) {
  // The drag's point is past the end of a curve that shrank under it (an undo).
  EXPECT_FALSE(CurveGestures::drag(three, 3, at(0.7, 0.7), at(0.7, 0.8), side, side));
  EXPECT_FALSE(CurveGestures::drag({}, 0, at(0.7, 0.7), at(0.7, 0.8), side, side));
  // A graph of no area has no coordinates.
  EXPECT_FALSE(CurveGestures::drag(three, std::nullopt, {0, 0}, {0, 0}, 0, side));
  EXPECT_FALSE(CurveGestures::drag(three, 1, {0, 0}, {0, 0}, side, 0));
}

TEST(CurveGestures, DoubleClickRemovesOnlyANearInteriorPoint) {
  struct Case {
    std::string name;
    Points sorted;
    Location tap;
    std::optional<Points> want;
  };
  const std::vector<Case> cases{
      {"the middle of three", three, at(0.5, 0.5), Points{{0, 0}, {1, 1}}},
      {"13 pt from the middle", three, at(0.5, 0.5, 13), Points{{0, 0}, {1, 1}}},
      {"15 pt from the middle", three, at(0.5, 0.5, 15), std::nullopt},
      {"on the first point", three, at(0, 0), std::nullopt},
      {"on the last point", three, at(1, 1), std::nullopt},
      {"two points", {{0, 0}, {1, 1}}, at(0, 0), std::nullopt},
      {"the nearer of two interior points", four, at(0.6, 0.7, 3), Points{{0, 0}, {0.3, 0.4}, {1, 1}}},
      {"equally near interior points: the lower index", {{0, 0}, {0.5, 0.5}, {0.5, 0.5}, {1, 1}},
       at(0.5, 0.5), Points{{0, 0}, {0.5, 0.5}, {1, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto left = CurveGestures::removal(c.sorted, c.tap, side, side);
    ASSERT_EQ(left.has_value(), c.want.has_value());
    if (left) expectPoints(*left, *c.want);
  }
}

}  // namespace
