// The dust feature maps and the fifteen features of a candidate, on grainless scans where the
// planes can be worked out by hand.
#include "Dust/DustFeatures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "TestSupport/DustyScan.h"

namespace {

using DustyScan::FlatScan;

enum Feature {
  isHair,
  logLength,
  logRadius,
  lift,
  texture,
  liftOverTexture,
  background,
  edgeStep,
  darkRing,
  neighbours,
  sharpness,
  thinness,
  curvature,
  peak,
  liftOverPeak
};

Spot spotAt(double x, double y, double r) {
  Spot s;
  s.id = Uuid::random();
  s.x = x;
  s.y = y;
  s.r = r;
  return s;
}

TEST(DustFeatures, NamesInOrder) {
  EXPECT_EQ(DustFeatures::featureNames(),
            (std::vector<std::string>{"isHair", "logLength", "logRadius", "lift", "texture",
                                      "liftOverTexture", "background", "edgeStep", "darkRing",
                                      "neighbours", "sharpness", "thinness", "curvature", "peak",
                                      "liftOverPeak"}));
}

TEST(DustFeatures, MapsUseRadiiTiedToTheLongSide) {
  // Clear film (density 0) with one pixel of density 1: each plane's reach shows its radius.
  const int64_t w = 2400, h = 1600, cx = 1200, cy = 800;
  FlatScan scan(w, h, 0);
  scan.add(cx, cy, 1, 1, 1);
  scan.add(10, 10, 1, 1, 9);  // far denser than the guard allows: density 5
  const auto maps = DustFeatures::buildMaps(w, h, scan.pixels());
  EXPECT_EQ(maps.w, w);
  EXPECT_EQ(maps.h, h);
  EXPECT_EQ(maps.longEdge, 2400);
  for (const auto* plane : {&maps.d, &maps.fine, &maps.mean, &maps.std, &maps.wide})
    ASSERT_EQ(plane->size(), static_cast<size_t>(w * h));
  auto at = [&](const std::vector<float>& p, int64_t dx) {
    return p[static_cast<size_t>(cy * w + cx + dx)];
  };
  EXPECT_NEAR(at(maps.d, 0), 1.0f, 1e-6f);
  EXPECT_EQ(maps.d[static_cast<size_t>(10 * w + 10)], 5.0f);
  // Two passes of radius r reach 2r: r1 = 8, r2 = 32; one pass of radius 1 reaches 1.
  struct Reach {
    const std::vector<float>* plane;
    int64_t reach;
  };
  for (const Reach r :
       {Reach{&maps.fine, 1}, Reach{&maps.mean, 16}, Reach{&maps.std, 16}, Reach{&maps.wide, 64}}) {
    EXPECT_GT(at(*r.plane, r.reach), 1e-6f) << r.reach;
    EXPECT_LT(std::fabs(at(*r.plane, r.reach + 1)), 1e-6f) << r.reach;
  }
  EXPECT_NEAR(at(maps.fine, 1), 1.0f / 9, 1e-6f);
  // Along x the triangle of two passes ends at 1/17², across it peaks at 17/17².
  EXPECT_NEAR(at(maps.mean, 16), 1.0f / (17 * 17 * 17), 2e-7f);

  // A 900-pixel long side keeps the smallest radii: 4 and 12.
  FlatScan small(900, 300, 0);
  small.add(450, 150, 1, 1, 1);
  const auto smallMaps = DustFeatures::buildMaps(900, 300, small.pixels());
  auto smallAt = [&](const std::vector<float>& p, int64_t dx) {
    return p[static_cast<size_t>(150 * 900 + 450 + dx)];
  };
  EXPECT_GT(smallAt(smallMaps.mean, 8), 1e-6f);
  EXPECT_LT(std::fabs(smallAt(smallMaps.mean, 9)), 1e-6f);
  EXPECT_GT(smallAt(smallMaps.wide, 24), 1e-6f);
  EXPECT_LT(std::fabs(smallAt(smallMaps.wide, 25)), 1e-6f);
}

TEST(DustFeatures, OneSpeckMeasuredByHand) {
  // Density 0.5 with a 2 × 2 speck of density 1.0 at pixels 100–101 × 80–81.
  FlatScan scan(200, 160, 0.5f);
  scan.add(100, 80, 2, 2, 0.5f);
  const auto maps = DustFeatures::buildMaps(200, 160, scan.pixels());
  const Spot spot = spotAt(101.0 / 200, 81.0 / 160, 3.0 / 200);
  const auto f = DustFeatures::features(maps, {spot}, {{spot.x, spot.y}});
  ASSERT_EQ(f.size(), 15u);
  const double s = 200.0 / 2400;  // scale of the long side; ρ = 3 pixels
  EXPECT_EQ(f[isHair], 0.0f);
  EXPECT_NEAR(f[logLength], std::log(6 / s + 1), 1e-5);  // 2ρ, no spread of points
  EXPECT_NEAR(f[logRadius], std::log(3 / s + 1), 1e-5);
  EXPECT_NEAR(f[peak], 1.0, 1e-5);
  EXPECT_NEAR(f[background], 0.5, 1e-5);  // the ring lies 4.25 pixels out, on flat film
  EXPECT_NEAR(f[lift], 10 * (1.0 - 0.5), 1e-4);
  // At pixel (101, 81) one pass of radius 1 sees 4 speck pixels of 9.
  EXPECT_NEAR(f[sharpness], 10 * (1.0 - (0.5 + 0.5 * 4 / 9.0)), 1e-4);
  EXPECT_EQ(f[neighbours], 0.0f);
  EXPECT_EQ(f[thinness], 0.0f);
  EXPECT_EQ(f[curvature], 0.0f);
  EXPECT_GT(f[texture], 0.0f);
  EXPECT_GT(f[darkRing], 0.0f);  // the wide plane holds some of the speck at its centre
  EXPECT_NEAR(f[liftOverPeak], 0.5 / std::max(1.0 - 0.5, 0.01), 0.05);
}

TEST(DustFeatures, ChainsNeighboursAndShape) {
  FlatScan scan(400, 300, 0.5f);
  const auto maps = DustFeatures::buildMaps(400, 300, scan.pixels());
  const double r = 2.0 / 400;
  auto px = [r](double x, double y) { return spotAt(x / 400, y / 300, r); };

  // Two spots at one place: no chord, curvature 1.
  auto twice = DustFeatures::features(maps, {px(100, 100), px(100, 100)}, {});
  EXPECT_EQ(twice[isHair], 1.0f);
  EXPECT_EQ(twice[curvature], 1.0f);
  EXPECT_EQ(twice[neighbours], 0.0f);  // no centres given: none near

  // A straight chain: curvature 1, thinness 0, length from its spread.
  const std::vector<Spot> straight = {px(100, 100), px(110, 100), px(120, 100), px(130, 100)};
  const auto line = DustFeatures::features(maps, straight, {});
  EXPECT_FLOAT_EQ(line[curvature], 1.0f);
  EXPECT_EQ(line[thinness], 0.0f);
  // Spread of 100, 110, 120, 130 about 115: λ1 = 125, length 4·√125.
  EXPECT_NEAR(line[logLength], std::log(4 * std::sqrt(125.0) / (400.0 / 2400) + 1), 1e-5);

  // An L-shaped chain bends: path 20 + 20 against a chord of 20·√2.
  const auto bent = DustFeatures::features(maps, {px(100, 100), px(120, 100), px(120, 120)}, {});
  EXPECT_NEAR(bent[curvature], 40 / (20 * std::sqrt(2.0)), 1e-5);
  EXPECT_GT(bent[thinness], 0.0f);

  // Neighbours: centres closer than 0.03 of the long side (12 pixels), less the candidate's own.
  const Spot lone = px(200, 150);
  auto centre = [](double x, double y) { return std::pair(x / 400, y / 300); };
  EXPECT_EQ(DustFeatures::features(maps, {lone}, {centre(200, 150)})[neighbours], 0.0f);
  EXPECT_EQ(DustFeatures::features(maps, {lone},
                                   {centre(200, 150), centre(210, 150), centre(200, 141),
                                    centre(213, 150)})[neighbours],
            2.0f);
}

TEST(DustFeatures, RefusesAnEmptyCandidateAndEmptyMaps) {
  FlatScan scan(50, 40);
  const auto maps = DustFeatures::buildMaps(50, 40, scan.pixels());
  EXPECT_THROW(DustFeatures::features(maps, {}, {}), std::invalid_argument);
  const auto none = DustFeatures::buildMaps(0, 0, nullptr);
  EXPECT_TRUE(none.d.empty());
  EXPECT_THROW(DustFeatures::features(none, {spotAt(0.5, 0.5, 0.01)}, {}), std::invalid_argument);
}

TEST(DustFeatures, LookupsClampPositionsOutsideTheImage) {
  FlatScan scan(50, 40, 0.5f);
  const auto maps = DustFeatures::buildMaps(50, 40, scan.pixels());
  for (const Spot& s : {spotAt(-3, 0.5, 0.01), spotAt(0.5, 1e300, 0.01), spotAt(NAN, NAN, 0.02),
                        spotAt(0.5, 0.5, INFINITY)}) {
    const auto f = DustFeatures::features(maps, {s}, {});
    EXPECT_EQ(f.size(), 15u);
  }
  const auto edge = DustFeatures::features(maps, {spotAt(-3, 0.5, 0.01)}, {});
  EXPECT_NEAR(edge[peak], 0.5, 1e-5);
}

}  // namespace
