// The clone-source searches: which candidate wins, what blocks one, the fallbacks, and the
// spatial index that keeps a long chain's checks from growing with its square.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "Dust/Healer.h"
#include "Dust/ReachGrid.h"
#include "Record/SpotPath.h"
#include "TestSupport/TexturedImage.h"

namespace {

constexpr int64_t kWidth = 240;
constexpr int64_t kHeight = 160;

LinearImage uniformImage(int64_t width, int64_t height, float v) {
  LinearImage image(width, height);
  std::fill(image.mutablePixels(), image.mutablePixels() + image.valueCount(), v);
  return image;
}

Spot pixelSpot(double x, double y, double radius) {
  return makeSpot(x / kWidth, y / kHeight, radius / kWidth);
}

Healer::SourcePoint search(const LinearImage& image, const Spot& spot,
                           const std::vector<Spot>& all) {
  return Healer::findSource(image.width(), image.height(), image.pixels(), spot, all);
}

void findGroup(const LinearImage& image, std::vector<Spot>& unit, const std::vector<Spot>& all) {
  Healer::findGroupSource(image.width(), image.height(), image.pixels(), unit, all);
}

// Source minus centre, in pixels.
std::pair<double, double> offset(const Spot& spot, Healer::SourcePoint source) {
  return {source.sx * kWidth - spot.x * kWidth, source.sy * kHeight - spot.y * kHeight};
}

TEST(FindSource, UniformImageTakesTheFirstCandidateTheEdgesAllow) {
  const LinearImage image = uniformImage(kWidth, kHeight, 0.3f);
  const double rho = 5;
  const double step = 2 * std::numbers::pi / 16;
  struct Case {
    double x, y;
    double expectedDx, expectedDy;
  };
  const std::vector<Case> cases{
      {100, 80, 3 * rho, 0},  // factor 3, direction 0
      {220, 80, 3 * rho * std::cos(2 * step), 3 * rho * std::sin(2 * step)},  // right edge
      {220, 150, -3 * rho, 0},                                                // bottom right
      {6, 6, 3 * rho * std::cos(step), 3 * rho * std::sin(step)},             // top left
  };
  for (const Case& c : cases) {
    const Spot spot = pixelSpot(c.x, c.y, rho);
    const auto [dx, dy] = offset(spot, search(image, spot, {spot}));
    EXPECT_NEAR(dx, c.expectedDx, 1e-9) << c.x << "," << c.y;
    EXPECT_NEAR(dy, c.expectedDy, 1e-9) << c.x << "," << c.y;
  }

  // Another spot (another id) at the very same place keeps candidates closer than 2.8ρ away:
  // none of them is.
  const Spot spot = pixelSpot(100, 80, rho);
  const Spot twin = pixelSpot(100, 80, rho);
  const auto [dx, dy] = offset(spot, search(image, spot, {spot, twin}));
  EXPECT_NEAR(dx, 3 * rho, 1e-9);
  EXPECT_NEAR(dy, 0, 1e-9);
}

TEST(FindSource, CornerSpotsLookAwayFromTheCorner) {
  const LinearImage image = texturedImage(kWidth, kHeight, 29);
  const double rho = 4;
  struct Case {
    double x, y;
    double signX, signY;  // the side the source must lie on, 0 for either
  };
  for (const Case& c : std::vector<Case>{{3, 3, 1, 1}, {236, 157, -1, -1}, {3, 157, 1, -1}}) {
    const Spot spot = pixelSpot(c.x, c.y, rho);
    const Healer::SourcePoint source = search(image, spot, {spot});
    const double qx = source.sx * kWidth, qy = source.sy * kHeight;
    EXPECT_GE(qx - 1.4 * rho, 0);
    EXPECT_GE(qy - 1.4 * rho, 0);
    EXPECT_LT(qx + 1.4 * rho, kWidth);
    EXPECT_LT(qy + 1.4 * rho, kHeight);
    EXPECT_GE((qx - c.x) * c.signX, -1e-9);
    EXPECT_GE((qy - c.y) * c.signY, -1e-9);
  }
}

TEST(FindSource, EveryCandidateBlockedGivesTheFallbackEvenBeyondTheEdge) {
  const LinearImage image = texturedImage(kWidth, kHeight, 31);
  const double rho = 6;
  const Spot spot = pixelSpot(230, 80, rho);  // 2.5ρ to the right lies outside the image
  std::vector<Spot> all{spot};
  for (int i = 0; i < 64; ++i) {
    const double angle = 2 * std::numbers::pi * i / 64;
    for (const double f : {3.0, 3.8, 5.0})
      all.push_back(pixelSpot(230 + rho * f * std::cos(angle), 80 + rho * f * std::sin(angle), 2));
  }
  const Healer::SourcePoint source = search(image, spot, all);
  EXPECT_DOUBLE_EQ(source.sx, (230 + 2.5 * rho) / kWidth);
  EXPECT_DOUBLE_EQ(source.sy, 80.0 / kHeight);
  EXPECT_GT(source.sx, 1.0);
}

TEST(FindSource, IgnoresOverallBrightness) {
  const LinearImage image = texturedImage(kWidth, kHeight, 37);
  LinearImage brighter = image;
  float* p = brighter.mutablePixels();
  for (size_t i = 0; i < brighter.valueCount(); ++i) p[i] *= 4.0f;
  for (const auto& [x, y] : std::vector<std::pair<double, double>>{{60, 50}, {170, 110}}) {
    const Spot spot = pixelSpot(x, y, 5);
    const Healer::SourcePoint a = search(image, spot, {spot});
    const Healer::SourcePoint b = search(brighter, spot, {spot});
    EXPECT_EQ(a.sx, b.sx);
    EXPECT_EQ(a.sy, b.sy);
  }
}

TEST(FindGroupSource, OneSpotGetsFindSourcesAnswerAndAnEmptyUnitNothing) {
  const LinearImage image = texturedImage(kWidth, kHeight, 41);
  const Spot spot = pixelSpot(120, 70, 5);
  const Spot other = pixelSpot(140, 70, 3);
  std::vector<Spot> unit{spot};
  findGroup(image, unit, {spot, other});
  const Healer::SourcePoint expected = search(image, spot, {spot, other});
  EXPECT_EQ(unit[0].sx, expected.sx);
  EXPECT_EQ(unit[0].sy, expected.sy);

  std::vector<Spot> empty;
  findGroup(image, empty, {spot});
  EXPECT_TRUE(empty.empty());
}

// A horizontal chain of closely spaced spots: offsets along it (directions 0 and 8) and those
// that stay within 2.52·N of it are rejected. On a uniform image every cost is 0, so the first
// acceptable offset wins: factor 3.2 in direction 3 (67.5°), unless another spot blocks it.
TEST(FindGroupSource, KeepsTheMovedChainClearOfItselfAndOfOtherSpots) {
  const LinearImage image = uniformImage(kWidth, kHeight, 0.2f);
  const double r = 4.0 / kWidth;
  std::vector<Spot> chain =
      alongPath({{60.0 / kWidth, 0.5}, {180.0 / kWidth, 0.5}}, kWidth, kHeight, r);
  ASSERT_GT(chain.size(), 40u);
  const double n = 4, step = 2 * std::numbers::pi / 16;

  auto offsetOf = [&](const std::vector<Spot>& unit) {
    return std::pair{unit[0].sx.value() * kWidth - unit[0].x * kWidth,
                     unit[0].sy.value() * kHeight - unit[0].y * kHeight};
  };
  std::vector<Spot> unit = chain;
  findGroup(image, unit, chain);
  auto [dx, dy] = offsetOf(unit);
  EXPECT_NEAR(dx, n * 3.2 * std::cos(3 * step), 1e-9);
  EXPECT_NEAR(dy, n * 3.2 * std::sin(3 * step), 1e-9);
  for (size_t i = 1; i < unit.size(); ++i) {  // one common offset for all
    EXPECT_NEAR(unit[i].sx.value() * kWidth - unit[i].x * kWidth, dx, 1e-9);
    EXPECT_NEAR(unit[i].sy.value() * kHeight - unit[i].y * kHeight, dy, 1e-9);
  }

  // A speck where the middle of the moved chain would land blocks that offset and the other
  // downward ones (within (N + 1.5)·1.4 of the moved chain); the first acceptable offset is
  // then direction 11, up and to the left.
  std::vector<Spot> all = chain;
  all.push_back(pixelSpot(120 + dx, 80 + dy, 1));
  unit = chain;
  findGroup(image, unit, all);
  std::tie(dx, dy) = offsetOf(unit);
  EXPECT_NEAR(dx, n * 3.2 * std::cos(11 * step), 1e-9);
  EXPECT_NEAR(dy, n * 3.2 * std::sin(11 * step), 1e-9);
}

TEST(FindGroupSource, EveryOffsetBlockedGivesTheFallback) {
  const LinearImage image = texturedImage(kWidth, kHeight, 43);
  // A chain across the whole width: every offset moves one of its ends out of the image.
  std::vector<Spot> unit = alongPath({{0.01, 0.5}, {0.99, 0.5}}, kWidth, kHeight, 5.0 / kWidth);
  const std::vector<Spot> all = unit;
  findGroup(image, unit, all);
  for (const Spot& s : unit) {
    EXPECT_NEAR(s.sx.value() * kWidth, s.x * kWidth + 2.5 * 5, 1e-9);
    EXPECT_NEAR(s.sy.value() * kHeight, s.y * kHeight, 1e-9);
  }
}

// Spots read from files may hold anything. Others whose centre or radius is not a number never
// block a candidate; a searched spot of such values gets some answer, and nothing crashes.
TEST(FindSource, CopesWithNonFiniteAndHugeSpots) {
  const LinearImage image = texturedImage(kWidth, kHeight, 53);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Spot spot = pixelSpot(100, 70, 5);
  const std::vector<Spot> garbage{makeSpot(nan, 0.4, 0.01), makeSpot(0.4, inf, 0.01),
                                  makeSpot(0.4, 0.4, nan), makeSpot(-1e300, 1e300, 0.01)};
  std::vector<Spot> all = garbage;
  all.push_back(spot);
  const Healer::SourcePoint clean = search(image, spot, {spot});
  const Healer::SourcePoint mixed = search(image, spot, all);
  EXPECT_EQ(clean.sx, mixed.sx);
  EXPECT_EQ(clean.sy, mixed.sy);

  for (const Spot& bad : garbage) {
    search(image, bad, all);
    std::vector<Spot> unit{bad, spot};
    findGroup(image, unit, all);
    unit = {spot, bad};
    findGroup(image, unit, all);
  }
  const Spot huge = makeSpot(0.5, 0.5, 1e300);
  const Healer::SourcePoint fallback = search(image, huge, {huge});
  EXPECT_EQ(fallback.sy, 0.5);
}

// The index must answer exactly like testing every disc, whatever the discs hold.
TEST(ReachGrid, AgreesWithTestingEveryDisc) {
  std::mt19937_64 random(47);
  std::uniform_real_distribution<double> position(-50, 350);
  std::uniform_real_distribution<double> reach(0, 10);  // about half the area covered
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<Healer::ReachGrid::Disc> discs;
  for (int i = 0; i < 1000; ++i)
    discs.push_back({position(random), position(random), reach(random)});
  discs.push_back({nan, 10, 5});
  discs.push_back({10, inf, 5});
  discs.push_back({400, 400, nan});
  discs.push_back({150, 150, -3});
  discs.push_back({1e5, 1e5, 2});

  for (const double typical : {8.0, 25.0, 1e-3, nan}) {
    const Healer::ReachGrid grid(discs, 0, 0, 300, 300, typical);
    for (int q = 0; q < 20000; ++q) {
      const double x = position(random), y = position(random);  // some outside the area
      bool expected = false;
      for (const auto& d : discs) expected = expected || std::hypot(d.x - x, d.y - y) < d.reach;
      ASSERT_EQ(grid.reaches(x, y), expected) << x << "," << y << " typical " << typical;
    }
  }
  // Discs whose reach covers the whole area from afar or from within.
  for (const Healer::ReachGrid::Disc& huge :
       {Healer::ReachGrid::Disc{100, 100, inf}, Healer::ReachGrid::Disc{-1e300, 20, 1e301}}) {
    const Healer::ReachGrid everywhere({huge}, 0, 0, 300, 300, 8);
    EXPECT_TRUE(everywhere.reaches(299, 1));
  }
  const Healer::ReachGrid nowhere({}, 0, 0, 300, 300, 8);
  EXPECT_FALSE(nowhere.reaches(10, 10));
}

}  // namespace
