// Auto-crop: the profile walk of edgeDepth, the cell grid, the masks and the acceptance limits,
// on synthetic scans drawn cell by cell, and on a synthetic light-table camera scan.
#include "Conversion/AutoCrop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "Conversion/Decoder.h"
#include "TestSupport/LightTableScan.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

// Linear grey of a density.
float grey(double density) { return float(std::pow(10.0, -density)); }

// An image whose pixel (x, y) has the grey of density(x, y), the same in every channel.
LinearImage drawn(int64_t width, int64_t height,
                  const std::function<double(int64_t, int64_t)>& density) {
  LinearImage image(width, height);
  for (int64_t y = 0; y < height; ++y) {
    float* p = image.mutableRow(y);
    for (int64_t x = 0; x < width; ++x, p += 4) {
      p[0] = p[1] = p[2] = grey(density(x, y));
      p[3] = 1;
    }
  }
  return image;
}

// A picture of densities 0.6…1.4 that never repeats a row or column exactly.
double picture(int64_t x, int64_t y) {
  return 1.0 + 0.4 * std::sin(0.031 * double(x) + 0.7) * std::cos(0.023 * double(y) + 0.3);
}

constexpr double base = 0.3;    // film base
constexpr double holder = 3.0;  // opaque

std::vector<float> profile(std::initializer_list<std::pair<size_t, float>> runs) {
  std::vector<float> values;
  for (const auto& [count, value] : runs) values.insert(values.end(), count, value);
  return values;
}

TEST(AutoCropEdgeDepth, HolderBorderEndsOnePastTheLastOpaquePair) {
  const size_t n = 400;
  // 30 opaque rows, then picture.
  EXPECT_EQ(AutoCrop::edgeDepth(profile({{30, 1.0f}, {370, 0.0f}}), profile({{400, 0.0f}})), 30u);
  // A single opaque row at the very start counts; an isolated one further in does not.
  EXPECT_EQ(AutoCrop::edgeDepth(profile({{1, 1.0f}, {399, 0.0f}}), std::vector<float>(n, 0)), 1u);
  EXPECT_EQ(
      AutoCrop::edgeDepth(profile({{10, 0.0f}, {1, 1.0f}, {389, 0.0f}}), std::vector<float>(n, 0)),
      0u);
  // Opaque rows beyond the outer 30 % are never a border.
  EXPECT_EQ(AutoCrop::edgeDepth(profile({{130, 0.0f}, {10, 1.0f}, {260, 0.0f}}),
                                std::vector<float>(n, 0)),
            0u);
  // Too short a profile: nothing to trim.
  EXPECT_EQ(AutoCrop::edgeDepth(profile({{16, 1.0f}}), profile({{16, 0.0f}})), 0u);
}

TEST(AutoCropEdgeDepth, RebateBandBesideOrBeyondTheBorder) {
  struct Case {
    const char* what;
    std::vector<float> opaque, clear;
    size_t depth;
  };
  const std::vector<float> none(400, 0.0f);
  const Case cases[] = {
      {"rebate of 20 right after a 30-row border ends the trim", profile({{30, 1.0f}, {370, 0.0f}}),
       profile({{30, 0.0f}, {20, 1.0f}, {350, 0.0f}}), 50},
      {"a 48-row rebate is the longest allowed", profile({{30, 1.0f}, {370, 0.0f}}),
       profile({{30, 0.0f}, {48, 1.0f}, {322, 0.0f}}), 78},
      {"a 60-row rebate is too long", profile({{30, 1.0f}, {370, 0.0f}}),
       profile({{30, 0.0f}, {60, 1.0f}, {310, 0.0f}}), 30},
      {"a 49-row rebate is caught two rows in, as a band further in",
       profile({{30, 1.0f}, {370, 0.0f}}), profile({{30, 0.0f}, {49, 1.0f}, {321, 0.0f}}), 79},
      {"a rebate with clear rows after it is no rebate", profile({{30, 1.0f}, {370, 0.0f}}),
       profile({{30, 0.0f}, {20, 1.0f}, {3, 0.0f}, {10, 1.0f}, {337, 0.0f}}), 30},
      {"partly opaque transition rows before the rebate",
       profile({{30, 1.0f}, {5, 0.3f}, {365, 0.0f}}),
       profile({{30, 0.0f}, {5, 0.2f}, {20, 1.0f}, {345, 0.0f}}), 55},
      {"a band further in, with picture on both sides", none,
       profile({{60, 0.1f}, {15, 1.0f}, {325, 0.1f}}), 75},
      {"a band further in without picture before it", none,
       profile({{60, 0.5f}, {15, 1.0f}, {325, 0.1f}}), 0},
      {"a later band replaces an earlier one", none,
       profile({{20, 0.1f}, {10, 1.0f}, {30, 0.1f}, {10, 1.0f}, {330, 0.1f}}), 70},
      {"a band that starts beyond the outer 30 % is ignored", none,
       profile({{125, 0.1f}, {10, 1.0f}, {265, 0.1f}}), 0},
      {"a single clear row is no band", none, profile({{60, 0.1f}, {1, 1.0f}, {339, 0.1f}}), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(AutoCrop::edgeDepth(c.opaque, c.clear), c.depth) << c.what;
}

TEST(AutoCropEdgeDepth, WindowMeanCountsOnlyCellsInside) {
  const std::vector<float> p{1, 2, 3, 4};
  EXPECT_FLOAT_EQ(AutoCrop::windowMean(p, 1, 2), 2.5f);
  EXPECT_FLOAT_EQ(AutoCrop::windowMean(p, -3, 0), 1.0f);
  EXPECT_FLOAT_EQ(AutoCrop::windowMean(p, 3, 9), 4.0f);
  EXPECT_FLOAT_EQ(AutoCrop::windowMean(p, 5, 9), 0.0f);
  EXPECT_FLOAT_EQ(AutoCrop::windowMean(p, -9, -2), 0.0f);
}

TEST(AutoCropProfiles, ShareOfTheCentralBand) {
  // 10 × 5 grid: central columns 2…7, central rows 1…3.
  std::vector<uint8_t> flags(50, 0);
  for (size_t c = 0; c < 10; ++c) flags[c] = 1;                   // row 0 entirely
  flags[1 * 10 + 0] = flags[1 * 10 + 1] = flags[1 * 10 + 2] = 1;  // row 1: one central cell
  const auto rows = AutoCrop::rowProfile(flags, 10, 5);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_FLOAT_EQ(rows[0], 1.0f);
  EXPECT_FLOAT_EQ(rows[1], 1.0f / 6.0f);
  const auto columns = AutoCrop::columnProfile(flags, 10, 5);
  ASSERT_EQ(columns.size(), 10u);
  EXPECT_FLOAT_EQ(columns[0], 1.0f / 3.0f);  // row 0 lies outside the central rows
  EXPECT_FLOAT_EQ(columns[5], 0.0f);
}

TEST(AutoCropDetect, HolderEdgeAndRebateBand) {
  // 600 × 400, one cell a pixel. A holder of 30 rows on top, then 20 rows of rebate, picture
  // below; 24 holder columns left and right; nothing at the bottom.
  const auto image = drawn(600, 400, [](int64_t x, int64_t y) {
    if (y < 30 || x < 24 || x >= 576) return holder;
    if (y < 50) return base;
    return picture(x, y);
  });
  const auto result = AutoCrop::detect(image, FilmMode::colorNegative);
  ASSERT_TRUE(result.found);
  EXPECT_DOUBLE_EQ(result.rect.x, 24.0 / 600.0);
  EXPECT_DOUBLE_EQ(result.rect.y, 50.0 / 400.0);
  EXPECT_DOUBLE_EQ(result.rect.w, 552.0 / 600.0);
  EXPECT_DOUBLE_EQ(result.rect.h, 350.0 / 400.0);
}

TEST(AutoCropDetect, CellGridAveragesLargeScans) {
  // 3000 × 1500: 5 pixels a cell, grid 600 × 300. A holder 100 pixels (20 cells) at the left;
  // a non-finite pixel inside a picture cell counts as black and changes nothing.
  auto image =
      drawn(3000, 1500, [](int64_t x, int64_t y) { return x < 100 ? holder : picture(x, y); });
  image.mutableRow(700)[4 * 1500] = std::numeric_limits<float>::quiet_NaN();
  const auto result = AutoCrop::detect(image, FilmMode::colorNegative);
  ASSERT_TRUE(result.found);
  EXPECT_EQ(result.rect, (NormRect{20.0 / 600.0, 0, 580.0 / 600.0, 1}));
}

TEST(AutoCropDetect, SlidesTrimOnlyOpaqueBorders) {
  // A bright gap of 20 rows around a dense slide picture, then a holder of 30 rows at the top:
  // as a negative the gap is a rebate band; as a slide only the holder is trimmed.
  const auto image = drawn(600, 400, [](int64_t x, int64_t y) {
    if (y < 30) return holder;
    if (y < 50) return base;
    return picture(x, y);
  });
  const auto negative = AutoCrop::detect(image, FilmMode::colorNegative);
  const auto slide = AutoCrop::detect(image, FilmMode::positive);
  ASSERT_TRUE(negative.found);
  ASSERT_TRUE(slide.found);
  EXPECT_DOUBLE_EQ(negative.rect.y, 50.0 / 400.0);
  EXPECT_DOUBLE_EQ(slide.rect.y, 30.0 / 400.0);
}

TEST(AutoCropDetect, FramesNotFound) {
  struct Case {
    const char* what;
    int64_t width, height;
    std::function<double(int64_t, int64_t)> density;
  };
  const Case cases[] = {
      {"a 40 × 3000 scan has a grid of 8 columns", 40, 3000,
       [](int64_t x, int64_t y) { return y < 200 ? holder : picture(x, y); }},
      {"a uniform grey scan has no edges", 600, 400, [](int64_t, int64_t) { return 0.8; }},
      {"a frame of 50 % × 60 % is too small", 600, 400,
       [](int64_t x, int64_t y) {
         return (x < 150 || x >= 450 || y < 80 || y >= 320) ? 1.2 + holder : picture(x, y);
       }},
      {"most of the scan opaque: too few cells near the base", 600, 400,
       [](int64_t x, int64_t y) {
         return (x < 100 && y < 100) ? picture(x, y) : holder + 0.5 * picture(x, y);
       }},
  };
  for (const auto& c : cases) {
    const auto result =
        AutoCrop::detect(drawn(c.width, c.height, c.density), FilmMode::colorNegative);
    EXPECT_EQ(result, AutoCrop::Result{}) << c.what;
  }
}

TEST(AutoCropDetect, TooElongatedFrameNotFound) {
  // 900 × 600 (3:2): holders of 180 rows at top and bottom (the outer 30 %) and 22 columns at
  // the sides leave a frame of 95 % × 40 %, aspect 3.56.
  const auto image = drawn(900, 600, [](int64_t x, int64_t y) {
    if (y < 180 || y >= 420 || x < 22 || x >= 878) return holder;
    return picture(x, y);
  });
  const auto result = AutoCrop::detect(image, FilmMode::colorNegative);
  EXPECT_FALSE(result.found);
  EXPECT_EQ(result.rect, (NormRect{0, 0, 1, 1}));
}

TEST(AutoCropDetect, LightTableCameraScanWithinOnePercent) {
  const auto scan = makeLightTableScan(2400, 1600);
  const auto result = AutoCrop::detect(scan.image, FilmMode::colorNegative);
  ASSERT_TRUE(result.found);
  EXPECT_NEAR(result.rect.x, scan.frame.x, 0.01);
  EXPECT_NEAR(result.rect.y, scan.frame.y, 0.01);
  EXPECT_NEAR(result.rect.x + result.rect.w, scan.frame.x + scan.frame.w, 0.01);
  EXPECT_NEAR(result.rect.y + result.rect.h, scan.frame.y + scan.frame.h, 0.01);
}

TEST(AutoCropDetect, DecodedNegativeScansWithinOnePercent) {
  // The decoder's synthetic negative: dark surround, rebate at base density, grey steps. Its
  // thinnest step is put 0.15 above the base: a patch within 0.1 of the base counts as clear
  // film and would join the rebate.
  ScanFixtures::Negative negative;  // 600 × 400
  negative.firstLogExposure = 0.25;
  const NormRect drawn = negative.frameRect();
  TempDir dir;
  ScanFixtures::writeNegativeTiff(dir / "negative.tif", negative);
  ScanFixtures::writeNegativeDng(dir / "negative.dng", negative);
  for (const char* name : {"negative.tif", "negative.dng"}) {
    SCOPED_TRACE(name);
    const auto result =
        AutoCrop::detect(Decoder::decode(dir / name, 0, false, 1), FilmMode::colorNegative);
    ASSERT_TRUE(result.found);
    EXPECT_NEAR(result.rect.x, drawn.x, 0.01);
    EXPECT_NEAR(result.rect.y, drawn.y, 0.01);
    EXPECT_NEAR(result.rect.x + result.rect.w, drawn.x + drawn.w, 0.01);
    EXPECT_NEAR(result.rect.y + result.rect.h, drawn.y + drawn.h, 0.01);
  }
}

}  // namespace
