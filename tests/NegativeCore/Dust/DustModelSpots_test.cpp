// Spots from the dust model's probability map: thresholds by sensitivity, 8-connected
// components, compact spots and hair chains, the acceptance test, and the ranked cap.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "Dust/DustModel.h"

namespace {

struct Map {
  int64_t width, height;
  std::vector<float> prob;

  Map(int64_t w, int64_t h, float value = 0) : width(w), height(h), prob(w * h, value) {}
  void set(int64_t x, int64_t y, float v) { prob[y * width + x] = v; }
  // A filled rectangle of columns x … x + w − 1 and rows y … y + h − 1.
  void fill(int64_t x, int64_t y, int64_t w, int64_t h, float v) {
    for (int64_t j = y; j < y + h; ++j)
      for (int64_t i = x; i < x + w; ++i) set(i, j, v);
  }
  std::vector<Spot> spots(double sensitivity, int64_t maxSpots = 4000,
                          const DustModel::AcceptTest& accept = {}) const {
    return DustModel::spotsFromProbability(
        prob, width, height, maxSpots, accept ? accept : [](double, double) { return true; },
        sensitivity);
  }
};

// Per sensitivity: the threshold, the least peak and the least size of a kept component.
struct Limits {
  double sensitivity;
  float threshold;
  float peakMin;
  int64_t minSize;
};

class SpotThresholds : public testing::TestWithParam<Limits> {};

TEST_P(SpotThresholds, SizePeakAndThresholdDecideWhatIsKept) {
  const Limits l = GetParam();
  const float below = std::nextafter(l.peakMin, 0.0f);
  auto blob = [&](int64_t size, float peak, float rest) {
    Map map(200, 20);
    for (int64_t i = 0; i < size; ++i) map.set(10 + i % 6, 5 + i / 6, i == 0 ? peak : rest);
    return map.spots(l.sensitivity).size();
  };
  const float rest = std::nextafter(l.threshold, 1.0f);
  EXPECT_EQ(blob(l.minSize, l.peakMin, rest), 1u);
  EXPECT_EQ(blob(l.minSize - 1, l.peakMin, rest), 0u);
  EXPECT_EQ(blob(l.minSize, below, rest), 0u);
  // Pixels at exactly the threshold do not belong to the component, so it is too small.
  EXPECT_EQ(blob(l.minSize, l.peakMin, l.threshold), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sensitivities, SpotThresholds,
                         testing::Values(Limits{0.5, 0.5f, 0.8f, 12}, Limits{0, 0.75f, 0.95f, 24},
                                         Limits{1, 0.25f, 0.65f, 4}, Limits{2, 0.2f, 0.35f, 4}));

TEST(SpotsFromProbability, EmptyAndUniformMaps) {
  EXPECT_TRUE(Map(100, 100, 0).spots(0.5).empty());
  EXPECT_TRUE(Map(0, 0).spots(0.5).empty());
  const auto spots = Map(100, 100, 1).spots(0.5);
  ASSERT_EQ(spots.size(), 1u);
  EXPECT_DOUBLE_EQ(spots[0].x, 0.5);
  EXPECT_DOUBLE_EQ(spots[0].y, 0.5);
  EXPECT_NEAR(spots[0].r, (std::hypot(49.5, 49.5) + 2.2) / 100, 1e-12);
  EXPECT_NEAR(spots[0].r, 0.722, 0.001);
  EXPECT_EQ(spots[0].score, 1.0);
  EXPECT_FALSE(spots[0].group || spots[0].sx || spots[0].sy || spots[0].kind || spots[0].feather ||
               spots[0].opacity);
}

TEST(SpotsFromProbability, ComponentsAreEightConnected) {
  Map plus(40, 40);  // 5 pixels: one component at sensitivity 1 (least size 4)
  for (auto [x, y] : {std::pair{10, 9}, {9, 10}, {10, 10}, {11, 10}, {10, 11}}) plus.set(x, y, 1);
  ASSERT_EQ(plus.spots(1).size(), 1u);
  EXPECT_DOUBLE_EQ(plus.spots(1)[0].x, 10.5 / 40);

  Map diagonal(40, 40);  // four pixels touching at corners only
  for (int i = 0; i < 4; ++i) diagonal.set(5 + i, 5 + i, 1);
  const auto spots = diagonal.spots(1);
  ASSERT_EQ(spots.size(), 1u);
  EXPECT_DOUBLE_EQ(spots[0].x, 7.0 / 40);
  EXPECT_DOUBLE_EQ(spots[0].y, 7.0 / 40);
}

TEST(SpotsFromProbability, ScoreGrowsWithThePeakAboveTheThreshold) {
  Map map(60, 60);
  map.fill(10, 10, 4, 4, 0.7f);
  map.set(11, 11, 0.8f);
  const auto spots = map.spots(1);  // threshold 0.25, range 0.72
  ASSERT_EQ(spots.size(), 1u);
  EXPECT_NEAR(*spots[0].score, (0.8f - 0.25f) / (0.97f - 0.25f), 1e-6);
  const double extent = std::hypot(1.5, 1.5);
  EXPECT_NEAR(spots[0].r, (extent + 2.2) / 60, 1e-12);
}

TEST(SpotsFromProbability, ElongatedComponentsBecomeChainsFromOneEnd) {
  Map map(200, 50);
  map.fill(20, 20, 60, 3, 1);  // 60 × 3 pixels: n = 180, extent ≈ 29.5
  const auto spots = map.spots(0.5);
  ASSERT_GE(spots.size(), 5u);
  const double extent = std::hypot(29.5, 1.0);
  const double radius = std::max(180 / (2 * extent) * 0.5 + 2.5, 4.0);
  std::set<Uuid> ids;
  for (size_t k = 0; k < spots.size(); ++k) {
    ids.insert(spots[k].id);
    EXPECT_EQ(spots[k].group, spots[0].group);
    EXPECT_DOUBLE_EQ(spots[k].r, radius / 200);
    EXPECT_EQ(spots[k].score, 1.0);
    if (k > 0) {
      // In order from the first end, and no two points closer than 1.3 radii.
      const double dx = (spots[k].x - spots[k - 1].x) * 200;
      EXPECT_GT(dx, 0);
      EXPECT_GE(std::hypot(dx, (spots[k].y - spots[k - 1].y) * 50), 1.3 * radius);
    }
  }
  EXPECT_TRUE(spots[0].group.has_value());
  EXPECT_EQ(ids.size(), spots.size());
  EXPECT_DOUBLE_EQ(spots[0].x, 20.5 / 200);
}

TEST(SpotsFromProbability, AcceptanceTestSeesTheNormalisedCentroid) {
  Map map(100, 50);
  map.fill(10, 10, 4, 4, 1);  // centroid (11.5, 11.5): normalised (0.12, 0.24)
  map.fill(60, 30, 4, 4, 1);
  std::vector<std::pair<double, double>> asked;
  const auto spots = map.spots(0.5, 4000, [&](double x, double y) {
    asked.emplace_back(x, y);
    return x > 0.5;
  });
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_DOUBLE_EQ(asked[0].first, 12.0 / 100);
  EXPECT_DOUBLE_EQ(asked[0].second, 12.0 / 50);
  ASSERT_EQ(spots.size(), 1u);
  EXPECT_DOUBLE_EQ(spots[0].x, 62.0 / 100);
}

// One-pixel-wide horizontal lines at sensitivity 1 give chains of a point every 6 pixels:
// 19 pixels give 4 spots, 43 give 8, 67 give 12. Their ranks are peak · √pixels.
Map rankedGroups(std::initializer_list<std::pair<int64_t, float>> lines) {
  Map map(120, 40);
  int64_t row = 2;
  for (auto [length, peak] : lines) {
    map.fill(5, row, length, 1, peak);
    row += 4;
  }
  map.fill(5, row, 2, 2, 0.65f);  // a compact spot ranked last: 0.65 · √4
  return map;
}

TEST(SpotsFromProbability, GroupsGoOutWholeByRankUntilOneDoesNotFit) {
  const auto map = rankedGroups({{19, 1.0f}, {43, 0.66f}});
  const auto all = map.spots(1);
  ASSERT_EQ(all.size(), 13u);
  EXPECT_DOUBLE_EQ(all[0].y, 2.5 / 40);
  EXPECT_DOUBLE_EQ(all[4].y, 6.5 / 40);
  EXPECT_FALSE(all[12].group);
  // Under a cap of 10 the group of 8 does not fit after the 4, and nothing after it is tried.
  const auto capped = map.spots(1, 10);
  ASSERT_EQ(capped.size(), 4u);
  for (const auto& spot : capped) EXPECT_DOUBLE_EQ(spot.y, 2.5 / 40);
}

TEST(SpotsFromProbability, AGroupLargerThanTheCapIsPassedOver) {
  const auto map = rankedGroups({{67, 1.0f}, {19, 0.66f}});
  ASSERT_EQ(map.spots(1).size(), 17u);
  const auto capped = map.spots(1, 10);
  ASSERT_EQ(capped.size(), 5u);  // the 4-spot chain and the compact spot, not an empty list
  EXPECT_DOUBLE_EQ(capped[0].y, 6.5 / 40);
  EXPECT_FALSE(capped[4].group);
}

}  // namespace
