// The refinement of dust finds over hand-made spot lists: repeats on neighbouring frames,
// blank-frame specks with their sources, finds that existing repairs cover, and the groups.
#include "Rendering/DustAcrossFrames.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace DustAcrossFrames;

Spot at(double x, double y, double r, std::optional<double> score = 0.4) {
  Spot spot = makeSpot(x, y, r);
  spot.score = score;
  return spot;
}

std::vector<Spot> list(std::initializer_list<Spot> spots) { return spots; }

TEST(DustAcrossFrames, RepeatsOnTwoSamplesConfirmAFind) {
  struct Case {
    const char* name;
    double r;
    std::vector<std::vector<Spot>> samples;
    std::optional<double> score;
  };
  // The find sits at (0.5, 0.5); sample spots are placed at a distance along x.
  const auto near = [](double d) { return at(0.5 + d, 0.5, 0.05); };
  const std::vector<Case> cases = {
      {"two of three", 0.001, {{near(0.001)}, {near(-0.002)}, {}}, 1},
      {"one of three", 0.001, {{near(0.001)}, {}, {near(0.3)}}, 0.4},
      {"two spots in one sample count once", 0.001, {{near(0.001), near(0.002)}, {}}, 0.4},
      {"radius 0.001 reaches 0.004", 0.001, {{near(0.0039)}, {near(-0.0039)}}, 1},
      {"radius 0.001, beyond 0.004", 0.001, {{near(0.0041)}, {near(-0.0041)}}, 0.4},
      {"radius 0.01 reaches 0.02", 0.01, {{near(0.0195)}, {near(-0.0195)}}, 1},
      {"radius 0.01, beyond 0.02", 0.01, {{near(0.0205)}, {near(0.0205)}}, 0.4},
      {"only one sample list", 0.01, {{near(0.001), near(0.002)}}, 0.4},
      {"no sample lists", 0.01, {}, 0.4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Spot> finds = {at(0.5, 0.5, c.r), at(0.1, 0.1, c.r, std::nullopt)};
    confirmRepeats(finds, c.samples);
    EXPECT_EQ(finds[0].score, c.score);
    EXPECT_EQ(finds[1].score, std::nullopt);
  }
}

// Distances are shares of each side, whatever the scan's aspect.
TEST(DustAcrossFrames, DistancesAreTakenInNormalisedCoordinates) {
  std::vector<Spot> finds = {at(0.5, 0.5, 0.001)};
  confirmRepeats(finds, {{at(0.5, 0.503, 0.001)}, {at(0.503, 0.5, 0.001)}});
  EXPECT_EQ(finds[0].score, 1);
}

TEST(DustAcrossFrames, BlankFrameSpecksInsideTheCropAndAwayFromFindsAreAdded) {
  const CropView view{1000, 800, 0, {0.125, 0.25, 0.5, 0.5}};
  const std::vector<Spot> finds = {at(0.5, 0.5, 0.01)};
  struct Case {
    const char* name;
    Spot speck;
    bool added;
  };
  const std::vector<Case> cases = {
      {"inside, far from finds", at(0.3, 0.3, 0.005), true},
      {"outside the crop", at(0.05, 0.5, 0.005), false},
      {"on the crop's left edge", at(0.125, 0.5, 0.005), false},
      {"on the crop's bottom edge", at(0.3, 0.75, 0.005), false},
      {"within 1.5 x the find's radius", at(0.514, 0.5, 0.005), false},
      {"beyond 1.5 x the find's radius", at(0.516, 0.5, 0.005), true},
      {"within 1.5 x its own larger radius", at(0.5, 0.5 + 0.04, 0.03), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(blankFrameAdditions({c.speck}, finds, view).size(), c.added ? 1u : 0u);
  }
  // Two specks close to each other are both added, in order.
  const std::vector<Spot> pair = {at(0.3, 0.3, 0.005), at(0.301, 0.3, 0.005)};
  EXPECT_EQ(blankFrameAdditions(pair, finds, view), pair);
}

// The crop test straightens the speck; the comparison with finds does not.
TEST(DustAcrossFrames, OnlyTheCropTestStraightensTheSpeck) {
  // Turned 90° about the centre of a square scan, (0.9, 0.5) lands at (0.5, 0.9).
  const CropView view{1000, 1000, 90, {0.4, 0.8, 0.2, 0.15}};
  EXPECT_EQ(blankFrameAdditions({at(0.9, 0.5, 0.005)}, {}, view).size(), 1u);
  EXPECT_TRUE(blankFrameAdditions({at(0.5, 0.9, 0.005)}, {}, view).empty());
  EXPECT_TRUE(blankFrameAdditions({at(0.9, 0.5, 0.005)}, {at(0.9, 0.5, 0.005)}, view).empty());
}

TEST(DustAcrossFrames, SourcesKeepClearOfFindsSpecksAndRepairsInThatOrder) {
  const std::vector<Spot> finds = {at(0.2, 0.2, 0.01)};
  const std::vector<Spot> repairs = {at(0.8, 0.8, 0.02)};
  std::vector<Spot> additions = {at(0.4, 0.4, 0.01), at(0.6, 0.6, 0.01)};
  std::vector<std::vector<Spot>> seen;
  giveSources(additions, finds, repairs, [&](const Spot& spot, const std::vector<Spot>& clear) {
    seen.push_back(clear);
    return Healer::SourcePoint{spot.x + 0.05, spot.y};
  });
  ASSERT_EQ(seen.size(), 2u);
  for (const auto& clear : seen) {
    ASSERT_EQ(clear.size(), 4u);
    EXPECT_EQ(clear[0].id, finds[0].id);
    EXPECT_EQ(clear[1].id, additions[0].id);
    EXPECT_EQ(clear[2].id, additions[1].id);
    EXPECT_EQ(clear[3].id, repairs[0].id);
  }
  // The second search sees the first speck's source already set, not yet its own.
  EXPECT_FALSE(seen[0][1].sx.has_value());
  EXPECT_DOUBLE_EQ(seen[1][1].sx.value_or(0), 0.45);
  EXPECT_FALSE(seen[1][2].sx.has_value());
  EXPECT_DOUBLE_EQ(additions[1].sx.value_or(0), 0.65);
  EXPECT_DOUBLE_EQ(additions[1].sy.value_or(0), 0.6);
}

TEST(DustAcrossFrames, RepairsCoverSpotsWithinTheLargerRadius) {
  const std::vector<Spot> repairs = {at(0.5, 0.5, 0.02)};
  struct Case {
    const char* name;
    Spot spot;
    bool kept;
  };
  const std::vector<Case> cases = {
      {"inside the repair", at(0.51, 0.5, 0.005), false},
      {"beyond the repair", at(0.521, 0.5, 0.005), true},
      {"its own radius reaches the repair", at(0.53, 0.5, 0.04), false},
      {"the larger radius falls short", at(0.535, 0.5, 0.03), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(withoutCovered({c.spot}, repairs).size(), c.kept ? 1u : 0u);
  }
  const std::vector<Spot> spots = {at(0.1, 0.1, 0.01), at(0.5, 0.5, 0.01), at(0.9, 0.9, 0.01)};
  EXPECT_EQ(withoutCovered(spots, repairs), list({spots[0], spots[2]}));
}

TEST(DustAcrossFrames, HairChainsGroupAtTheirFirstSpot) {
  const Uuid chain = Uuid::random();
  Spot a = at(0.1, 0.1, 0.01);
  Spot h1 = at(0.2, 0.2, 0.005);
  Spot b = at(0.3, 0.3, 0.01);
  Spot h2 = at(0.21, 0.21, 0.005);
  Spot twin = at(0.4, 0.4, 0.01);
  twin.id = a.id;  // a spot without a group goes by its id
  h1.group = h2.group = chain;
  const auto groups = grouped({a, h1, b, h2, twin});
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0], list({a, twin}));
  EXPECT_EQ(groups[1], list({h1, h2}));
  EXPECT_EQ(groups[2], list({b}));
  EXPECT_TRUE(grouped({}).empty());
}

TEST(DustAcrossFrames, RefineRunsTheStepsInOrder) {
  Finds finds;
  finds.view = {1000, 800, 0, {0.05, 0.05, 0.9, 0.9}};
  const Spot repeated = at(0.3, 0.3, 0.002);
  const Spot covered = at(0.7, 0.7, 0.003);
  finds.scan = {repeated, covered};
  finds.samples = {{at(0.301, 0.3, 0.002)}, {at(0.3, 0.301, 0.002)}};
  const Spot speck = at(0.5, 0.2, 0.004);
  // Near the repeated find: left out; under a repair: dropped after its source is found.
  finds.blankFrame = {speck, at(0.3, 0.302, 0.004), at(0.71, 0.7, 0.002)};
  finds.repairs = {at(0.7, 0.7, 0.02)};
  int searches = 0;
  const auto groups =
      refine(finds, [&](const Spot& spot, const std::vector<Spot>&) {
        ++searches;
        return Healer::SourcePoint{spot.x, spot.y + 0.03};
      });
  EXPECT_EQ(searches, 2);
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0][0].id, repeated.id);
  EXPECT_EQ(groups[0][0].score, 1);
  EXPECT_EQ(groups[1][0].id, speck.id);
  EXPECT_EQ(groups[1][0].score, 0.4);
  EXPECT_DOUBLE_EQ(groups[1][0].sy.value_or(0), 0.23);
}

}  // namespace
