// The white-balance pick: the spot's print values in density terms, the cast read as temperature
// and tint, the looks' own bias taken off, the sample square, and every way to get no result.
#include "MeasuringAids/WhiteBalancePick.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "Print/Pipeline.h"

namespace {

constexpr double tolerance = 1e-3;

LinearImage uniform(int64_t width, int64_t height, std::array<float, 3> rgb) {
  LinearImage image(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      float* p = image.mutableRow(y) + 4 * x;
      p[0] = rgb[0], p[1] = rgb[1], p[2] = rgb[2], p[3] = 1;
    }
  return image;
}

// A slide spot of full transmission (density 0) over a measurement that puts channel c's
// normalised density at exactly t[c]; slides invert it, so the print values are 1 − t.
struct Spot {
  LinearImage scan = uniform(32, 32, {1, 1, 1});
  FilmAnalysis analysis;
  ConversionSettings settings;

  explicit Spot(std::array<float, 3> t, FilmMode mode = FilmMode::positive) {
    for (int c = 0; c < 3; ++c) {
      analysis.dMin[c] = -static_cast<double>(t[c]);
      analysis.dMax[c] = analysis.dMin[c] + 1;
    }
    settings.mode = mode;
  }
  // Print values p directly (within float rounding of 1 − p).
  static Spot printing(std::array<float, 3> p) { return Spot({1 - p[0], 1 - p[1], 1 - p[2]}); }

  std::optional<PickedWhiteBalance> pick(double x = 0.5, double y = 0.5, int64_t n = 4) const {
    return pickWhiteBalance(scan, analysis, settings, x, y, n);
  }
};

TEST(WhiteBalancePick, ReadsTheCastInSliderUnits) {
  struct Case {
    std::array<float, 3> p;
    double temperature, tint;
  };
  for (const Case& c : {Case{{0.45f, 0.50f, 0.55f}, 50, 0}, Case{{0.5f, 0.6f, 0.5f}, 0, 100},
                        Case{{0.5f, 0.4f, 0.5f}, 0, -100}, Case{{0.35f, 0.5f, 0.65f}, 100, 0},
                        Case{{0.6f, 0.5f, 0.4f}, -100, 0}, Case{{0.5f, 0.52f, 0.5f}, 0, 25},
                        Case{{0.3f, 0.5f, 0.5f}, 100, 100}}) {
    const auto picked = Spot::printing(c.p).pick();
    ASSERT_TRUE(picked);
    EXPECT_NEAR(picked->temperature, c.temperature, tolerance) << c.p[0] << c.p[1] << c.p[2];
    EXPECT_NEAR(picked->tint, c.tint, tolerance) << c.p[0] << c.p[1] << c.p[2];
  }
}

TEST(WhiteBalancePick, TakesOffWhatTheLooksAddThemselves) {
  struct Case {
    ScannerLook look;
    std::optional<std::string> preset;
    double lookAmount;
    double temperature, tint;
  };
  // frontier adds (35, 10); portra160-moody adds (0, 20) at full strength.
  for (const Case& c : {Case{ScannerLook::neutral, std::nullopt, 100, 0, 0},
                        Case{ScannerLook::frontier, std::nullopt, 100, -35, -10},
                        Case{ScannerLook::frontier, "portra160-moody", 50, -35, -20},
                        Case{ScannerLook::neutral, "portra160-moody", 100, 0, -20},
                        Case{ScannerLook::neutral, "no-such-preset", 100, 0, 0}}) {
    for (const FilmMode mode : {FilmMode::colorNegative, FilmMode::positive}) {
      Spot spot({0.5f, 0.5f, 0.5f}, mode);
      spot.settings.look = c.look;
      spot.settings.filmPreset = c.preset;
      spot.settings.lookAmount = c.lookAmount;
      const auto picked = spot.pick();
      ASSERT_TRUE(picked);
      EXPECT_NEAR(picked->temperature, c.temperature, tolerance) << toString(c.look);
      EXPECT_NEAR(picked->tint, c.tint, tolerance) << toString(c.look);
    }
  }
}

TEST(WhiteBalancePick, ColourNegativeBalanceCountsForColourNegativesOnly) {
  Pipeline::setColorNegativeBalance({12, -4});
  const auto negative = Spot({0.5f, 0.5f, 0.5f}, FilmMode::colorNegative).pick();
  const auto slide = Spot({0.5f, 0.5f, 0.5f}, FilmMode::positive).pick();
  Pipeline::setColorNegativeBalance({0, 0});
  ASSERT_TRUE(negative && slide);
  EXPECT_NEAR(negative->temperature, -12, tolerance);
  EXPECT_NEAR(negative->tint, 4, tolerance);
  EXPECT_NEAR(slide->temperature, 0, tolerance);
  EXPECT_NEAR(slide->tint, 0, tolerance);
}

TEST(WhiteBalancePick, ColourNegativesPassTheColourMatrix) {
  // Normalised densities 0.4, 0.5, 0.6; the default matrix mixes them into print values
  // 0.388, 0.4805, 0.55 (row by row: the first row makes red).
  const auto picked = Spot({0.4f, 0.5f, 0.6f}, FilmMode::colorNegative).pick();
  ASSERT_TRUE(picked);
  EXPECT_NEAR(picked->temperature, (0.55 - 0.388) * 500, 0.01);
  EXPECT_NEAR(picked->tint, (0.4805 - (0.55 + 0.388) / 2) * 1250, 0.01);
}

TEST(WhiteBalancePick, FiltrationShiftsTheSpotBeforeTheTest) {
  Spot spot = Spot::printing({0.5f, 0.5f, 0.5f});
  spot.settings.cmy = {1.1, 1, 1};  // red prints 0.1 lower
  auto picked = spot.pick();
  ASSERT_TRUE(picked);
  EXPECT_NEAR(picked->temperature, 50, tolerance);
  EXPECT_NEAR(picked->tint, 62.5, tolerance);

  Spot dim = Spot::printing({0.12f, 0.5f, 0.5f});
  EXPECT_TRUE(dim.pick());
  dim.settings.cmy = {1.1, 1, 1};  // 0.02: too dark now
  EXPECT_FALSE(dim.pick());
}

TEST(WhiteBalancePick, SpotsTooDarkOrTooBrightGiveNothing) {
  // Print value 0.96 exactly is outside the window, the next value below inside.
  ASSERT_EQ(1 - 0.04f, 0.96f);
  EXPECT_FALSE(Spot({0.04f, 0.5f, 0.5f}).pick());
  EXPECT_TRUE(Spot({1 - std::nextafter(0.96f, 0.0f), 0.5f, 0.5f}).pick());
  EXPECT_FALSE(Spot({0.5f, 0.5f, 0.04f}).pick());
  // Around 0.04 at the dark end.
  EXPECT_TRUE(Spot::printing({0.5f, 0.0401f, 0.5f}).pick());
  EXPECT_FALSE(Spot::printing({0.5f, 0.0399f, 0.5f}).pick());
  EXPECT_FALSE(Spot::printing({0.5f, 0.5f, 1.2f}).pick());
  // A black spot has density 6, far beyond the dense end.
  Spot black = Spot::printing({0.5f, 0.5f, 0.5f});
  black.settings.mode = FilmMode::colorNegative;
  black.scan = uniform(32, 32, {0, 0, 0});
  EXPECT_FALSE(black.pick());
}

TEST(WhiteBalancePick, BlackAndWhiteNegativesNeverPick) {
  EXPECT_FALSE(Spot({0.5f, 0.5f, 0.5f}, FilmMode::bwNegative).pick());
  EXPECT_TRUE(Spot({0.5f, 0.5f, 0.5f}, FilmMode::colorNegative).pick());
}

TEST(WhiteBalancePick, PointsOutsideTheImageOrNotNumbersGiveNothing) {
  const Spot spot = Spot::printing({0.5f, 0.5f, 0.5f});  // 32 × 32
  constexpr double inf = std::numeric_limits<double>::infinity();
  const double nan = std::nan("");
  struct Case {
    double x, y;
    bool picks;
  };
  for (const Case& c :
       {Case{0, 0, true}, Case{0.999, 0.999, true},
        Case{-0.01, 0.5, true},  // −0.32 pixels truncates to column 0
        Case{0.5, -1.0 / 32, false}, Case{-1.0 / 32, 0.5, false}, Case{1, 0.5, false},
        Case{0.5, 1, false}, Case{nan, 0.5, false}, Case{0.5, nan, false}, Case{inf, 0.5, false},
        Case{0.5, -inf, false}, Case{1e300, 0.5, false}, Case{-1e300, 0.5, false},
        Case{0.5, 9.3e18, false}})
    EXPECT_EQ(spot.pick(c.x, c.y).has_value(), c.picks) << c.x << ", " << c.y;
}

TEST(WhiteBalancePick, AveragesTheSquareCutAtTheEdges) {
  // Red and blue transmissions change from pixel to pixel, so any other square gives another
  // mean and another temperature.
  const int64_t width = 40, height = 30;
  LinearImage scan(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      float* p = scan.mutableRow(y) + 4 * x;
      p[0] = std::pow(10.0f, -0.4f - 0.01f * static_cast<float>(x));
      p[1] = std::pow(10.0f, -0.5f);
      p[2] = std::pow(10.0f, -0.4f - 0.013f * static_cast<float>(y));
      p[3] = 1;
    }
  FilmAnalysis analysis;  // dMin 0, dMax 1
  ConversionSettings settings;
  settings.mode = FilmMode::positive;
  // The pick of a uniform image holding the mean over columns x0…x1 and rows y0…y1.
  const auto expected = [&](int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
    std::array<double, 3> sum{0, 0, 0};
    for (int64_t y = y0; y <= y1; ++y)
      for (int64_t x = x0; x <= x1; ++x)
        for (int c = 0; c < 3; ++c) sum[c] += scan.row(y)[4 * x + c];
    const double count = static_cast<double>((x1 - x0 + 1) * (y1 - y0 + 1));
    const LinearImage mean =
        uniform(1, 1,
                {static_cast<float>(sum[0] / count), static_cast<float>(sum[1] / count),
                 static_cast<float>(sum[2] / count)});
    return pickWhiteBalance(mean, analysis, settings, 0.5, 0.5, 0);
  };
  struct Case {
    double x, y;
    int64_t n, x0, x1, y0, y1;
  };
  for (const Case& c : {Case{0, 0, 4, 0, 4, 0, 4}, Case{0.5, 0.5, 4, 16, 24, 11, 19},
                        Case{0.999, 0.999, 4, 35, 39, 25, 29}, Case{0.5, 0.5, 0, 20, 20, 15, 15},
                        Case{0.5, 0.5, 1000, 0, 39, 0, 29}}) {
    const auto picked = pickWhiteBalance(scan, analysis, settings, c.x, c.y, c.n);
    const auto wanted = expected(c.x0, c.x1, c.y0, c.y1);
    ASSERT_TRUE(picked && wanted);
    EXPECT_NEAR(picked->temperature, wanted->temperature, 0.01) << c.x << ", " << c.y;
    EXPECT_NEAR(picked->tint, wanted->tint, 0.01) << c.x << ", " << c.y;
  }
}

}  // namespace
