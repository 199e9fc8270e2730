// The steps that judge the spot finder's candidates together: line pruning, the busy test and
// the strength-ordered result under the spot limit.
#include "Dust/DustCandidates.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

using namespace DustDetector;

Candidate single(double x, double y, float strength) {
  Spot s;
  s.id = Uuid::random();
  s.x = x;
  s.y = y;
  return {{s}, strength, std::nullopt};
}

Candidate chain(int spots, float strength, Centroid centre = {}) {
  Candidate c;
  const Uuid group = Uuid::random();
  for (int i = 0; i < spots; ++i) {
    Spot s;
    s.id = Uuid::random();
    s.group = group;
    c.spots.push_back(s);
  }
  c.strength = strength;
  c.centre = centre;
  return c;
}

TEST(SpotCandidates, StrongestFirstEqualStrengthsInOrderAndTheLimitNeverSplitsAChain) {
  const std::vector<Candidate> candidates = {single(0.1, 0, 1), chain(3, 5), single(0.2, 0, 2),
                                             single(0.3, 0, 2), single(0.4, 0, 5)};
  auto xs = [](const std::vector<Spot>& spots) {
    std::vector<double> x;
    for (const Spot& s : spots) x.push_back(s.group ? -1 : s.x);
    return x;
  };
  // Strength 5: the chain, then the single one found after it; 2: in their order; then 1.
  EXPECT_EQ(xs(strongestSpots(candidates, 100)),
            (std::vector<double>{-1, -1, -1, 0.4, 0.2, 0.3, 0.1}));
  EXPECT_TRUE(strongestSpots(candidates, 2).empty());  // the chain of 3 does not fit
  EXPECT_EQ(xs(strongestSpots(candidates, 3)), (std::vector<double>{-1, -1, -1}));
  EXPECT_EQ(xs(strongestSpots(candidates, 5)), (std::vector<double>{-1, -1, -1, 0.4, 0.2}));
  EXPECT_TRUE(strongestSpots(candidates, 0).empty());
}

TEST(SpotCandidates, BusyCandidatesHaveEnoughOthersOrSeedsNearby) {
  // 1000 × 500 pixels: "near" is closer than 30 pixels.
  const int64_t w = 1000, h = 500;
  auto at = [&](double px, double py) { return single(px / w, py / h, 1); };
  const std::vector<Candidate> four = {at(100, 100), at(120, 100), at(100, 120), at(120, 120),
                                       at(600, 300)};
  EXPECT_EQ(busyIndices(four, {}, w, h, 3, 6), (std::vector<size_t>{0, 1, 2, 3}));
  const std::vector<Candidate> three(four.begin() + 1, four.end());
  EXPECT_TRUE(busyIndices(three, {}, w, h, 3, 6).empty());

  // Seeds count whether or not they became candidates, the candidate's own seed included.
  std::vector<Seed> seeds = {{600, 300}, {610, 300}, {590, 300}, {600, 310}, {600, 290}};
  const std::vector<Candidate> lone = {at(600.5, 300.5)};
  EXPECT_TRUE(busyIndices(lone, seeds, w, h, 3, 6).empty());
  seeds.push_back({620, 310});
  EXPECT_EQ(busyIndices(lone, seeds, w, h, 3, 6), (std::vector<size_t>{0}));
  seeds.back() = {640, 310};  // 40 pixels away
  EXPECT_TRUE(busyIndices(lone, seeds, w, h, 3, 6).empty());

  // A chain's position is the mean of its spots.
  Candidate c = chain(2, 1);
  c.spots[0].x = 0.59, c.spots[0].y = 0.6;
  c.spots[1].x = 0.61, c.spots[1].y = 0.6;
  EXPECT_EQ(meanPosition(c.spots).x, 0.6);
  const std::vector<Candidate> near = {c, at(600, 300), at(610, 300), at(590, 310)};
  EXPECT_EQ(busyIndices(near, {}, w, h, 3, 6).size(), 4u);
}

TEST(SpotCandidates, ChainsOnALineOfSimilarSegmentsArePruned) {
  const double pi = std::numbers::pi;
  const int64_t L = 1000;  // segments count within 60 pixels
  std::vector<Segment> segments = {
      {100, 100, 0.1}, {130, 100, 0.1 + pi}, {100, 140, -0.1}, {150, 120, 0.3}};
  const Candidate onLine = chain(3, 1, {100, 100});
  EXPECT_TRUE(isOnLine(onLine, segments, L));  // four alike, its own included
  segments[3].theta = 0.5;                     // 0.4 rad from the candidate's own segment
  EXPECT_FALSE(isOnLine(onLine, segments, L));
  segments[3] = {170, 100, 0.1};  // 70 pixels away
  EXPECT_FALSE(isOnLine(onLine, segments, L));
  segments[3] = {150, 120, 0.3};
  // Only the first segment exactly at the centre counts as its own; without one, no line.
  EXPECT_FALSE(isOnLine(chain(3, 1, {100.5, 100}), segments, L));
  EXPECT_FALSE(isOnLine(single(0.1, 0.1, 1), segments, L));

  const auto kept = pruneLines({single(0.1, 0.1, 1), onLine, chain(2, 3, {500, 500})}, segments, L);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_FALSE(kept[0].centre);
  EXPECT_EQ(kept[1].strength, 3);
}

TEST(SpotCandidates, LineAnglesCompareModuloAHalfTurn) {
  const double pi = std::numbers::pi;
  EXPECT_NEAR(lineAngleDifference(0.1, pi - 0.1), 0.2, 1e-12);
  EXPECT_NEAR(lineAngleDifference(-pi / 2, pi / 2), 0.0, 1e-12);
  EXPECT_NEAR(lineAngleDifference(0, pi / 2), pi / 2, 1e-12);
  EXPECT_NEAR(lineAngleDifference(0.2, 0.2 + 2 * pi), 0.0, 1e-12);
}

}  // namespace
