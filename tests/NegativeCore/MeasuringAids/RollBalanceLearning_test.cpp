// Roll balance: learning red's and blue's relation to green from several frames, imposing it on
// one measurement, and the driver applying it to every fresh measurement of colour film.
#include <gtest/gtest.h>

#include <vector>

#include "Conversion/FilmAnalysis.h"
#include "Driver/Converter.h"
#include "Record/RollBalance.h"

namespace {

FilmAnalysis analysis(std::array<double, 3> dMin, std::array<double, 3> dMax) {
  FilmAnalysis a;
  a.dMin = dMin;
  a.dMax = dMax;
  a.baseTransmission = {0.7, 0.35, 0.18};
  a.samples = 1234;
  a.crop = {0.1, 0.05, 0.8, 0.9};
  a.autoCropped = true;
  return a;
}

// A frame whose red base lies redOffset from green's and whose ranges are 1.2 (red), 1.0
// (green) and 1.1 (blue) times greenRange.
FilmAnalysis frame(double redOffset, double greenRange = 1.0, double blueOffset = 0.3) {
  const double g0 = 0.5;
  return analysis(
      {g0 + redOffset, g0, g0 + blueOffset},
      {g0 + redOffset + 1.2 * greenRange, g0 + greenRange, g0 + blueOffset + 1.1 * greenRange});
}

TEST(RollBalanceLearn, TakesTheUpperMedianOfEachChannel) {
  struct Case {
    std::vector<double> redOffsets;
    double expected;
  };
  for (const Case& c : {Case{{0.10, 0.20}, 0.20}, Case{{0.10, 0.30, 0.20}, 0.20},
                        Case{{0.4, 0.1, 0.3, 0.2}, 0.3}, Case{{0.2, 0.2, 0.9, -0.5, 0.2}, 0.2}}) {
    std::vector<FilmAnalysis> frames;
    for (double offset : c.redOffsets) frames.push_back(frame(offset));
    const auto balance = RollBalance::learn(frames);
    ASSERT_TRUE(balance);
    EXPECT_NEAR(balance->offsets[0], c.expected, 1e-12);
    EXPECT_NEAR(balance->offsets[2], 0.3, 1e-12);
    EXPECT_EQ(balance->offsets[1], 0);
    EXPECT_NEAR(balance->ratios[0], 1.2, 1e-12);
    EXPECT_EQ(balance->ratios[1], 1);
    EXPECT_NEAR(balance->ratios[2], 1.1, 1e-12);
    EXPECT_EQ(balance->frames, static_cast<int64_t>(frames.size()));
  }
}

TEST(RollBalanceLearn, NeedsTwoFrames) {
  EXPECT_FALSE(RollBalance::learn({}));
  EXPECT_FALSE(RollBalance::learn({frame(0.1)}));
  EXPECT_TRUE(RollBalance::learn({frame(0.1), frame(0.1)}));
}

TEST(RollBalanceLearn, GreenRangeCountsAsAtLeastTwoHundredths) {
  // Green spans 0.01: red's range of 0.012 counts as 0.012 / 0.02.
  const auto balance = RollBalance::learn({frame(0.1, 0.01), frame(0.1, 0.01)});
  ASSERT_TRUE(balance);
  EXPECT_NEAR(balance->ratios[0], 0.6, 1e-12);
  EXPECT_NEAR(balance->ratios[2], 0.55, 1e-12);
}

TEST(RollBalanceApply, RebuildsRedAndBlueFromGreen) {
  const RollBalance balance{{0.2, 0, 0.4}, {1.5, 1, 0.5}, 3};
  const FilmAnalysis original = analysis({0.9, 0.6, 0.1}, {1.2, 1.4, 2.0});
  const FilmAnalysis balanced = balance.apply(original);
  EXPECT_DOUBLE_EQ(balanced.dMin[0], 0.8);
  EXPECT_DOUBLE_EQ(balanced.dMax[0], 0.8 + 0.8 * 1.5);
  EXPECT_DOUBLE_EQ(balanced.dMin[2], 1.0);
  EXPECT_DOUBLE_EQ(balanced.dMax[2], 1.0 + 0.8 * 0.5);
  FilmAnalysis rest = balanced;
  rest.dMin[0] = original.dMin[0], rest.dMax[0] = original.dMax[0];
  rest.dMin[2] = original.dMin[2], rest.dMax[2] = original.dMax[2];
  EXPECT_EQ(rest, original) << "green and everything else stay as they are";
}

TEST(RollBalanceApply, EdgeCases) {
  const FilmAnalysis original = analysis({0.9, 0.6, 0.1}, {1.2, 1.4, 2.0});

  const FilmAnalysis copies = RollBalance{{0, 0, 0}, {1, 1, 1}, 2}.apply(original);
  EXPECT_EQ(copies.dMin, (std::array{0.6, 0.6, 0.6}));
  EXPECT_EQ(copies.dMax, (std::array{1.4, 1.4, 1.4}));

  const FilmAnalysis odd = RollBalance{{0.1, 0.7, 0.2}, {1, 3, 1}, 2}.apply(original);
  EXPECT_EQ(odd.dMin[1], 0.6) << "green is never rebuilt";
  EXPECT_EQ(odd.dMax[1], 1.4);

  const FilmAnalysis narrow = analysis({0.5, 0.5, 0.5}, {0.52, 0.51, 0.52});
  const FilmAnalysis widened = RollBalance{{0.1, 0, 0.1}, {2, 1, 1}, 2}.apply(narrow);
  EXPECT_DOUBLE_EQ(widened.dMax[0], 0.6 + 0.02 * 2) << "green's range counts as 0.02";

  EXPECT_EQ(RollBalance({{0.1, 0}, {1, 1, 1}, 2}).apply(original), original);
  EXPECT_EQ(RollBalance({{0.1, 0, 0.1}, {}, 2}).apply(original), original);
}

TEST(RollBalance, LearnedFromARollReproducesItsFrames) {
  // Frames of one roll, green measured differently on each, red and blue in a fixed relation.
  std::vector<FilmAnalysis> roll;
  for (double range : {0.8, 1.1, 1.3, 0.95}) roll.push_back(frame(0.25, range, 0.45));
  const auto balance = RollBalance::learn(roll);
  ASSERT_TRUE(balance);
  for (const FilmAnalysis& a : roll) {
    const FilmAnalysis balanced = balance->apply(a);
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(balanced.dMin[c], a.dMin[c], 1e-12);
      EXPECT_NEAR(balanced.dMax[c], a.dMax[c], 1e-12);
    }
  }
}

TEST(RollBalance, DriverAppliesItExceptToBlackAndWhiteNegatives) {
  LinearImage scan(64, 48);
  for (int64_t y = 0; y < 48; ++y)
    for (int64_t x = 0; x < 64; ++x) {
      float* p = scan.mutableRow(y) + 4 * x;
      const float t = 0.05f + 0.6f * static_cast<float>(x + y) / 112;
      p[0] = 0.9f * t, p[1] = 0.5f * t, p[2] = 0.3f * t, p[3] = 1;
    }
  const RollBalance balance{{0.3, 0, 0.6}, {1.1, 1, 0.9}, 5};
  for (const FilmMode mode : {FilmMode::colorNegative, FilmMode::positive, FilmMode::bwNegative}) {
    ConversionSettings settings;
    settings.mode = mode;
    const FilmAnalysis unbalanced = Converter::analyze(scan, settings);
    settings.rollBalance = balance;
    const FilmAnalysis expected =
        mode == FilmMode::bwNegative ? unbalanced : balance.apply(unbalanced);
    EXPECT_EQ(Converter::analyze(scan, settings), expected) << toString(mode);
    EXPECT_EQ(Converter::analyzeWithoutRollBalance(scan, settings), unbalanced) << toString(mode);
  }
}

}  // namespace
