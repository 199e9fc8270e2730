// Making repairs: a single spot, and the chain of spots along a brushed stroke.
#include "Record/SpotPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

TEST(SpotPath, MakeSpotHasAFreshIdAndOnlyWhatWasGiven) {
  const Spot a = makeSpot(0.25, 0.5, 0.01);
  const Spot b = makeSpot(0.25, 0.5, 0.01, 0.3, 0.55);
  EXPECT_NE(a.id, b.id);
  EXPECT_NE(a.id, Uuid());
  EXPECT_EQ(a.x, 0.25);
  EXPECT_EQ(a.y, 0.5);
  EXPECT_EQ(a.r, 0.01);
  EXPECT_FALSE(a.sx || a.sy || a.group || a.kind || a.feather || a.opacity || a.score);
  EXPECT_EQ(b.sx, 0.3);
  EXPECT_EQ(b.sy, 0.55);
}

// Counts on a 1000 × 500 image, so one pixel is 0.001 across and 0.002 down.
TEST(SpotPath, PlacesSpotsEverySpacingAndTheEndWhenItLiesBeyond) {
  struct Case {
    const char* name;
    std::vector<std::pair<double, double>> points;
    double r;  // spacing = max(r·1000·0.6, 1) pixels
    size_t count;
  };
  const double tenPixels = 10.0 / 600;
  const std::vector<Case> cases{
      {"no points", {}, 0.01, 0},
      {"one point twice", {{0.4, 0.4}}, 0.01, 2},
      {"1 pixel apart, spacing 6: start and end", {{0.1, 0.1}, {0.101, 0.1}}, 0.01, 2},
      {"100 pixels, spacing 10", {{0.1, 0.2}, {0.2, 0.2}}, tenPixels, 11},
      {"103 pixels: the end is 3 beyond", {{0.1, 0.2}, {0.203, 0.2}}, tenPixels, 11},
      {"104 pixels: the end is 4 beyond", {{0.1, 0.2}, {0.204, 0.2}}, tenPixels, 12},
      {"close points passed over",
       {{0.1, 0.2}, {0.102, 0.2}, {0.104, 0.2}, {0.12, 0.2}},
       tenPixels,
       3},
      {"a bend, measured straight", {{0.1, 0.2}, {0.13, 0.2}, {0.13, 0.26}}, tenPixels, 7},
      {"tiny radius: spacing 1 pixel", {{0.1, 0.2}, {0.11, 0.2}}, 0.0001, 11},
  };
  for (const Case& c : cases) {
    const std::vector<Spot> spots = alongPath(c.points, 1000, 500, c.r);
    ASSERT_EQ(spots.size(), c.count) << c.name;
    std::set<Uuid> ids;
    for (const Spot& s : spots) {
      ids.insert(s.id);
      EXPECT_EQ(s.group, spots[0].group) << c.name;
      EXPECT_EQ(s.r, c.r);
      EXPECT_FALSE(s.sx || s.sy || s.kind || s.feather || s.opacity || s.score);
    }
    EXPECT_EQ(ids.size(), spots.size()) << c.name;
    if (!spots.empty()) {
      EXPECT_TRUE(spots[0].group.has_value());
      EXPECT_EQ(spots.front().x, c.points.front().first);
      EXPECT_EQ(spots.front().y, c.points.front().second);
    }
  }

  // Spots along the straight path sit 10 pixels apart.
  const std::vector<Spot> line = alongPath({{0.1, 0.2}, {0.204, 0.2}}, 1000, 500, tenPixels);
  for (size_t i = 1; i + 1 < line.size(); ++i)
    EXPECT_NEAR((line[i].x - line[i - 1].x) * 1000, 10.0, 1e-9);
  EXPECT_EQ(line.back().x, 0.204);
}

TEST(SpotPath, StrokesDoNotShareGroups) {
  const auto a = alongPath({{0.1, 0.1}, {0.2, 0.1}}, 100, 100, 0.05);
  const auto b = alongPath({{0.1, 0.1}, {0.2, 0.1}}, 100, 100, 0.05);
  EXPECT_NE(a[0].group, b[0].group);
}

TEST(SpotPath, EndsOnPointsFarOutsideTheImage) {
  const auto spots = alongPath({{0.5, 0.5}, {1e18, 0.5}}, 100, 100, 0.01);
  EXPECT_GE(spots.size(), 2u);
}

}  // namespace
