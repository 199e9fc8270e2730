// The classic spot finder: exact finds on grainless scans (position, radius, score, the size,
// border, polarity, colour and ceiling rules, each rejection test and its switch), chains and the
// spot limit, the three entries' acceptance, and a realistic grainy negative with specks of many
// sizes. Tests that change the detector tuning put the old value back when they end.
#include "Dust/DustSpotFinder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <thread>

#include "Dust/DustDetectorTuning.h"
#include "TestSupport/DustyScan.h"

namespace {

using DustDetector::Tuning;
using DustyScan::FlatScan;

std::vector<Spot> wholeFrame(const FlatScan& scan, float polarity = 1, bool colour = false,
                             std::optional<float> ceiling = std::nullopt, int64_t maxSpots = 1500) {
  return DustDetector::findSpotsWholeFrame(scan.width(), scan.height(), scan.pixels(), maxSpots,
                                           colour, ceiling, polarity, 0.5);
}

// Restores the tuning after each test that changes it.
class WithTuning : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = DustDetector::tuning(); }
  void TearDown() override { DustDetector::setTuning(saved_); }
  static void change(const std::function<void(Tuning&)>& f) { DustDetector::updateTuning(f); }

 private:
  Tuning saved_;
};

std::set<std::optional<Uuid>> groupsOf(const std::vector<Spot>& spots) {
  std::set<std::optional<Uuid>> groups;
  for (const Spot& s : spots) groups.insert(s.group);
  return groups;
}

// A diagonal line two pixels thick, going down to the right from (x, y).
void addDiagonal(FlatScan& scan, int64_t x, int64_t y, int64_t length, float density) {
  for (int64_t k = 0; k < length; ++k) scan.add(x + k, y + k, 1, 2, density);
}

TEST(SpotFinder, OneSpeckOnAFlatScanGivesOneSpotAtItsCentroid) {
  FlatScan scan(200, 160);
  scan.add(100, 80, 2, 2, 0.5f);  // pixels 100–101 × 80–81, centroid (100.5, 80.5)
  for (const bool colour : {false, true}) {
    const auto spots = wholeFrame(scan, 1, colour);
    ASSERT_EQ(spots.size(), 1u) << "colour " << colour;
    const Spot& s = spots[0];
    EXPECT_DOUBLE_EQ(s.x, 101.0 / 200);
    EXPECT_DOUBLE_EQ(s.y, 81.0 / 160);
    EXPECT_DOUBLE_EQ(s.r, (std::sqrt(0.5) + 1.8) / 200);
    // Contrast, both top-hats and a sharp peak: 4 of 5 votes; colour adds a vote for a neutral
    // speck and counts 6.
    EXPECT_DOUBLE_EQ(*s.score, colour ? 5.0 / 6 : 4.0 / 5);
    EXPECT_FALSE(s.group);
    EXPECT_FALSE(s.sx || s.sy || s.kind || s.feather || s.opacity);
  }
}

TEST(SpotFinder, SizeGuardAndComponentSizes) {
  struct Case {
    const char* what;
    int64_t width, height;
    int64_t x, y, w, h;
    size_t spots;
  };
  const Case cases[] = {
      {"63 wide", 63, 500, 30, 200, 2, 2, 0},
      {"64 × 64", 64, 64, 31, 31, 2, 2, 1},
      {"two pixels", 200, 160, 100, 80, 2, 1, 0},
      {"three pixels", 200, 160, 100, 80, 3, 1, 1},
      {"touches the first column", 200, 160, 0, 80, 2, 2, 0},
      {"touches the last column", 200, 160, 198, 80, 2, 2, 0},
      {"touches the first row", 200, 160, 100, 0, 2, 2, 0},
      {"touches the last row", 200, 160, 100, 158, 2, 2, 0},
      {"one pixel inside the border", 200, 160, 1, 1, 2, 2, 1},
      // Axis-aligned bars on a 2400-pixel scan: 1500 pixels are within the 1920 allowed,
      // 2000 are not.
      {"bar of 1500 pixels", 2400, 300, 900, 150, 500, 3, 1},
      {"bar of 2000 pixels", 2400, 300, 900, 150, 500, 4, 0},
  };
  for (const Case& c : cases) {
    FlatScan scan(c.width, c.height);
    scan.add(c.x, c.y, c.w, c.h, 0.5f);
    EXPECT_EQ(groupsOf(wholeFrame(scan)).size(), c.spots) << c.what;
  }
}

TEST(SpotFinder, PolarityChoosesDenserOrLessDenseSpecks) {
  FlatScan scan(200, 160);
  scan.add(50, 50, 2, 2, 0.5f);
  scan.add(150, 100, 2, 2, -0.2f);
  const auto dense = wholeFrame(scan, 1);
  ASSERT_EQ(dense.size(), 1u);
  EXPECT_DOUBLE_EQ(dense[0].x, 51.0 / 200);
  const auto light = wholeFrame(scan, -1);
  ASSERT_EQ(light.size(), 1u);
  EXPECT_DOUBLE_EQ(light[0].x, 151.0 / 200);
  EXPECT_DOUBLE_EQ(light[0].y, 101.0 / 160);
}

TEST(SpotFinder, ColourSpecksStrongInOneChannelAreDroppedUnlessOverTheCeiling) {
  FlatScan scan(200, 160);
  scan.add(100, 80, 2, 2, 1.0f, {1, 0.1f, 0.1f});  // red dye only: channel ratio 0.1
  EXPECT_TRUE(wholeFrame(scan, 1, true).empty());
  EXPECT_EQ(wholeFrame(scan, 1, false).size(), 1u);  // without colour evidence it counts
  // Its density at the peak is above 0.6, so a ceiling of 0.55 lets it through.
  const auto over = wholeFrame(scan, 1, true, 0.55f);
  ASSERT_EQ(over.size(), 1u);
  EXPECT_DOUBLE_EQ(*over[0].score, 1.0);  // 4 votes and 2 for the ceiling, of 6
}

TEST(SpotFinder, ASpeckOverTheCeilingGainsTwoVotes) {
  FlatScan scan(200, 160);
  scan.add(100, 80, 2, 2, 0.5f);  // density 1.0 at the peak
  const auto under = wholeFrame(scan, 1, false, 1.01f);
  ASSERT_EQ(under.size(), 1u);
  EXPECT_DOUBLE_EQ(*under[0].score, 0.8);
  const auto over = wholeFrame(scan, 1, false, 0.99f);
  ASSERT_EQ(over.size(), 1u);
  EXPECT_DOUBLE_EQ(*over[0].score, 1.0);
}

class SpotFinderTests : public WithTuning {};

// A speck in the middle of a small less dense patch: its ring lies far below the wide background.
FlatScan haloScan() {
  FlatScan scan(200, 160);
  scan.add(94, 74, 12, 12, -0.5f);
  scan.add(100, 80, 2, 2, 0.5f);
  return scan;
}

// A speck 11 pixels beside a deep step down of the background density.
FlatScan stepScan() {
  FlatScan scan(200, 160);
  scan.add(112, 0, 88, 160, -1.2f);
  scan.add(100, 80, 2, 2, 0.5f);
  return scan;
}

TEST_F(SpotFinderTests, RingTestDropsAHaloedSpeckUnlessOffOrOverTheCeiling) {
  const FlatScan scan = haloScan();
  EXPECT_TRUE(wholeFrame(scan).empty());
  EXPECT_EQ(wholeFrame(scan, 1, false, 0.45f).size(), 1u);
  change([](Tuning& t) { t.useRing = false; });
  EXPECT_EQ(wholeFrame(scan).size(), 1u);
}

TEST_F(SpotFinderTests, EdgeTestDropsASpeckBesideABackgroundStepUnlessOffOrOverTheCeiling) {
  const FlatScan scan = stepScan();
  EXPECT_TRUE(wholeFrame(scan).empty());
  EXPECT_EQ(wholeFrame(scan, 1, false, 0.9f).size(), 1u);
  change([](Tuning& t) { t.useEdge = false; });
  EXPECT_EQ(wholeFrame(scan).size(), 1u);
}

TEST(SpotFinder, AnAxisAlignedBarBecomesOneChainOfSpacedSpots) {
  FlatScan scan(2400, 300);
  scan.add(900, 150, 500, 3, 0.5f);
  const auto spots = wholeFrame(scan);
  ASSERT_GT(spots.size(), 100u);
  ASSERT_EQ(groupsOf(spots).size(), 1u);
  ASSERT_TRUE(spots[0].group);
  // Thickness w = n/ext with ext twice the farthest pixel's distance from the centroid.
  const double ext = 2 * std::hypot(249.5, 1.0);
  const double rho = std::max(0.5 * (1500 / ext) + 1.8, 2.5);
  for (size_t i = 0; i < spots.size(); ++i) {
    const Spot& s = spots[i];
    EXPECT_DOUBLE_EQ(s.r, rho / 2400);
    EXPECT_DOUBLE_EQ(*s.score, 1.0);  // all five votes, the axis among them
    EXPECT_GE(s.x * 2400, 900);
    EXPECT_LE(s.x * 2400, 1400);
    EXPECT_GE(s.y * 300, 150);
    EXPECT_LE(s.y * 300, 153);
    for (size_t j = 0; j < i; ++j)
      EXPECT_GE(std::hypot((s.x - spots[j].x) * 2400, (s.y - spots[j].y) * 300), 0.8 * rho);
  }
}

TEST_F(SpotFinderTests, ThinStraightLinesAreLeftToTheHairFinderUnlessStraightHairsIsOn) {
  FlatScan scan(2400, 600);
  addDiagonal(scan, 1000, 200, 100, 0.5f);
  EXPECT_TRUE(wholeFrame(scan).empty());
  change([](Tuning& t) { t.straightHairs = true; });
  const auto spots = wholeFrame(scan);
  EXPECT_EQ(groupsOf(spots).size(), 1u);
  EXPECT_GT(spots.size(), 10u);
}

TEST_F(SpotFinderTests, SideTestDropsAnElongatedFindBesideADenserBandUnlessOff) {
  FlatScan scan(2400, 300);
  scan.add(900, 150, 500, 3, 0.5f);
  scan.add(900, 161, 500, 10, 0.5f);  // where the side points 11.5 pixels below the bar fall
  EXPECT_TRUE(wholeFrame(scan).empty());
  change([](Tuning& t) { t.useHair = false; });
  EXPECT_EQ(groupsOf(wholeFrame(scan)).size(), 1u);
}

TEST_F(SpotFinderTests, ChainsAlongALineOfSegmentsArePruned) {
  change([](Tuning& t) {
    t.straightHairs = true;
    t.useBusy = false;
  });
  FlatScan one(2400, 600);
  addDiagonal(one, 1000, 200, 20, 0.5f);
  EXPECT_EQ(groupsOf(wholeFrame(one)).size(), 1u);
  // Six dashes 37 pixels apart: each has at least three others within 0.06 of the long side.
  FlatScan dashed(2400, 600);
  for (int64_t k = 0; k < 6; ++k) addDiagonal(dashed, 1000 + 26 * k, 200 + 26 * k, 20, 0.5f);
  EXPECT_TRUE(wholeFrame(dashed).empty());
}

TEST_F(SpotFinderTests, PreSmoothingSpreadsASpeckBeforeItIsMeasured) {
  FlatScan scan(200, 160);
  scan.add(100, 80, 2, 2, 0.5f);
  const double sharp = wholeFrame(scan).at(0).r;
  change([](Tuning& t) { t.preSmooth = 1; });
  const auto smoothed = wholeFrame(scan);
  ASSERT_EQ(smoothed.size(), 1u);
  EXPECT_GT(smoothed[0].r, sharp);
  EXPECT_DOUBLE_EQ(smoothed[0].x, 101.0 / 200);
}

TEST(SpotFinder, EntriesAcceptFindsByCropByTestOrAll) {
  FlatScan scan(400, 200);
  scan.add(100, 100, 2, 2, 0.5f);  // normalised centre (0.2525, 0.505)
  scan.add(300, 100, 2, 2, 0.5f);  // (0.7525, 0.505)
  auto xs = [](const std::vector<Spot>& spots) {
    std::vector<double> x;
    for (const Spot& s : spots) x.push_back(s.x);
    std::sort(x.begin(), x.end());
    return x;
  };
  EXPECT_EQ(xs(wholeFrame(scan)), (std::vector<double>{101.0 / 400, 301.0 / 400}));

  std::vector<std::pair<double, double>> asked;
  const auto accepted = DustDetector::findSpotsAccepting(
      400, 200, scan.pixels(), 1500, false, std::nullopt,
      [&](double x, double y) {
        asked.emplace_back(x, y);
        return x > 0.5;
      },
      1, 0.5);
  EXPECT_EQ(xs(accepted), (std::vector<double>{301.0 / 400}));
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_TRUE(std::count(asked.begin(), asked.end(), std::pair(101.0 / 400, 101.0 / 200)));

  ConversionSettings settings;
  const NormRect left{0.1, 0.1, 0.4, 0.8};
  auto inCrop = [&](const NormRect& crop) {
    return xs(DustDetector::findSpots(400, 200, scan.pixels(), 1500, false, std::nullopt, settings,
                                      1, 0.5, crop));
  };
  EXPECT_EQ(inCrop(left), (std::vector<double>{101.0 / 400}));
  // Straightened by 20° about the centre, the left speck moves up by about 52 pixels: above a
  // crop that starts at 0.4 of the height.
  settings.skewDegrees = 20;
  EXPECT_TRUE(inCrop({0.1, 0.4, 0.4, 0.5}).empty());
  EXPECT_EQ(inCrop({0.1, 0.1, 0.4, 0.5}), (std::vector<double>{101.0 / 400}));
}

// A 2400 × 1600 negative with grain and smooth picture densities, holding 31 specks: 24 isolated
// ones of five sizes, half denser and half less dense than their surroundings; two touching the
// edge; one too large; and four close together.
struct SpeckledNegative {
  std::vector<DustyScan::Speck> isolated;
  std::vector<DustyScan::Speck> atTheEdge;
  std::vector<DustyScan::Speck> tooLarge;
  std::vector<DustyScan::Speck> cluster;
  LinearImage image{1, 1};
};

const SpeckledNegative& speckledNegative() {
  static const SpeckledNegative scene = [] {
    SpeckledNegative s;
    const double radii[] = {1.5, 2.5, 3.5, 5, 7};
    int k = 0;
    for (int gy = 0; gy < 4; ++gy)
      for (int gx = 0; gx < 6; ++gx, ++k)
        s.isolated.push_back({250 + gx * 380 + 0.3 * gy, 220 + gy * 380 + 0.7 * gx, radii[k % 5],
                              (k % 2 ? 0.45f : -0.45f) * (1 + 0.1f * (k % 3))});
    s.atTheEdge = {{1.2, 700, 3, 0.5f}, {1800, 1598.8, 3, 0.5f}};
    s.tooLarge = {{1200, 790, 30, 0.5f}};
    s.cluster = {
        {820, 400, 2.5, 0.5f}, {850, 410, 2.5, 0.5f}, {830, 440, 2.5, 0.5f}, {860, 435, 2.5, 0.5f}};
    std::vector<DustyScan::Speck> all = s.isolated;
    for (const auto* group : {&s.atTheEdge, &s.tooLarge, &s.cluster})
      all.insert(all.end(), group->begin(), group->end());
    s.image = DustyScan::make({}, all);
    return s;
  }();
  return scene;
}

std::vector<Spot> findOn(const LinearImage& image, float polarity, double sensitivity,
                         bool colour = false) {
  return DustDetector::findSpotsWholeFrame(image.width(), image.height(), image.pixels(), 1500,
                                           colour, std::nullopt, polarity, sensitivity);
}

// The spot nearest to the speck's centre, and that distance in pixels.
std::pair<const Spot*, double> nearest(const std::vector<Spot>& spots,
                                       const DustyScan::Speck& speck) {
  std::pair<const Spot*, double> best{nullptr, INFINITY};
  for (const Spot& s : spots) {
    const double d = std::hypot(s.x * 2400 - speck.x, s.y * 1600 - speck.y);
    if (d < best.second) best = {&s, d};
  }
  return best;
}

std::vector<DustyScan::Speck> ofPolarity(const std::vector<DustyScan::Speck>& specks,
                                         float polarity) {
  std::vector<DustyScan::Speck> chosen;
  for (const auto& s : specks)
    if ((s.density > 0) == (polarity > 0)) chosen.push_back(s);
  return chosen;
}

// Whether a spot lies inside the box around the cluster's specks.
bool insideCluster(const Spot& s, const std::vector<DustyScan::Speck>& cluster) {
  const double x = s.x * 2400;
  const double y = s.y * 1600;
  double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
  for (const auto& c : cluster) {
    x0 = std::min(x0, c.x), x1 = std::max(x1, c.x);
    y0 = std::min(y0, c.y), y1 = std::max(y1, c.y);
  }
  return x > x0 && x < x1 && y > y0 && y < y1;
}

// At sensitivity 0 growth stops at 0.6 of a high seed threshold and a find is its speck: its
// centre lies within 2 pixels. At 0.5 the threshold is low enough for a find to take in grain
// next to the speck; it still covers the speck's centre. The inverted pass may also report the
// gap between the four dense specks of the cluster, which is less dense than its surroundings.
TEST_F(SpotFinderTests, GrainyNegativeGivesTheIsolatedInteriorSpecksOnly) {
  const SpeckledNegative& scene = speckledNegative();
  for (const double sensitivity : {0.0, 0.5}) {
    for (const float polarity : {1.0f, -1.0f}) {
      SCOPED_TRACE(::testing::Message()
                   << "sensitivity " << sensitivity << " polarity " << polarity);
      const auto spots = findOn(scene.image, polarity, sensitivity);
      std::set<const Spot*> matched;
      for (const auto& speck : ofPolarity(scene.isolated, polarity)) {
        const auto [spot, distance] = nearest(spots, speck);
        ASSERT_TRUE(spot);
        EXPECT_LE(distance, sensitivity == 0 ? 2.0 : spot->r * 2400)
            << "speck at " << speck.x << ", " << speck.y << " radius " << speck.radius;
        matched.insert(spot);
      }
      for (const Spot& s : spots) {
        if (matched.count(&s)) continue;
        EXPECT_TRUE(polarity < 0 && insideCluster(s, scene.cluster))
            << "unexpected find at " << s.x * 2400 << ", " << s.y * 1600;
      }
      EXPECT_LE(spots.size(), matched.size() + (polarity < 0 ? 1 : 0));
      for (const auto* group : {&scene.atTheEdge, &scene.tooLarge, &scene.cluster})
        for (const auto& speck : *group)
          EXPECT_GT(nearest(spots, speck).second, speck.radius + 10)
              << "speck at " << speck.x << ", " << speck.y;
      for (const Spot& s : spots) {
        EXPECT_FALSE(s.group);
        EXPECT_GT(*s.score, 0.0);
        EXPECT_LE(*s.score, 1.0);
      }
    }
  }
}

TEST_F(SpotFinderTests, GrainyNegativeGivesTheClusterWhenTheBusyTestIsOff) {
  const SpeckledNegative& scene = speckledNegative();
  change([](Tuning& t) { t.useBusy = false; });
  const auto spots = findOn(scene.image, 1, 0);
  for (const auto& speck : scene.cluster) EXPECT_LE(nearest(spots, speck).second, 2.0);
  EXPECT_EQ(spots.size(), ofPolarity(scene.isolated, 1).size() + scene.cluster.size());
}

TEST_F(SpotFinderTests, GrainyNegativeWithColourEvidenceGivesTheNeutralSpecks) {
  const SpeckledNegative& scene = speckledNegative();
  const auto spots = findOn(scene.image, 1, 0, true);
  const auto wanted = ofPolarity(scene.isolated, 1);
  EXPECT_EQ(spots.size(), wanted.size());
  for (const auto& speck : wanted) EXPECT_LE(nearest(spots, speck).second, 2.0);
}

TEST(SpotFinder, FaintSpecksOverTheCeilingPassAtALowerThreshold) {
  // Flat film base (density about 0.41) with grain; specks too faint for the usual acceptance
  // reach above a ceiling of 0.5 and are accepted against 0.55 of it.
  std::vector<DustyScan::Speck> specks;
  for (int k = 0; k < 6; ++k)
    specks.push_back({300 + 360 * k + 0.4, 800.6, 3, 0.12f + 0.015f * static_cast<float>(k)});
  DustyScan::Options options;
  options.picture = 0;
  const LinearImage image = DustyScan::make(options, specks);
  auto find = [&](std::optional<float> ceiling) {
    return DustDetector::findSpotsWholeFrame(2400, 1600, image.pixels(), 1500, false, ceiling, 1,
                                             0.5);
  };
  EXPECT_TRUE(find(std::nullopt).empty());
  const auto over = find(0.5f);
  ASSERT_EQ(over.size(), specks.size());
  for (const auto& speck : specks) {
    const auto [spot, distance] = nearest(over, speck);
    EXPECT_LE(distance, spot->r * 2400);
    EXPECT_DOUBLE_EQ(*spot->score, 1.0);
  }
}

TEST(SpotFinder, RunsAtOnceOnSeveralThreadsGiveTheSameFinds) {
  FlatScan scan(300, 200);
  scan.add(100, 80, 2, 2, 0.5f);
  scan.add(200, 120, 3, 2, 0.4f);
  auto positions = [](const std::vector<Spot>& spots) {
    std::vector<std::array<double, 4>> p;
    for (const Spot& s : spots) p.push_back({s.x, s.y, s.r, *s.score});
    return p;
  };
  const auto expected = positions(wholeFrame(scan));
  ASSERT_EQ(expected.size(), 2u);
  std::vector<std::vector<std::array<double, 4>>> results(4);
  std::vector<std::thread> threads;
  for (auto& result : results)
    threads.emplace_back([&scan, &result, &positions] { result = positions(wholeFrame(scan)); });
  for (auto& t : threads) t.join();
  for (const auto& result : results) EXPECT_EQ(result, expected);
}

}  // namespace
