// The 16-bit Display P3 image, reduction to a long edge and output sharpening.
#include "Export/Exporter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

PrintImage filled(int64_t width, int64_t height, float value) {
  return PrintImage(width, height, std::vector<float>(width * height * 3, value));
}

TEST(Exporter, SixteenBitImageConvertsEverySample) {
  const std::vector<float> rgb = {-0.2f, 0.0f, 0.5f, 1.0f, 1.7f, nan, inf, -inf, 0.25f};
  const auto image = Exporter::makeCGImage(3, 1, rgb);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 1);
  EXPECT_EQ(image->samples, (std::vector<uint16_t>{0, 0, 32768, 65535, 65535, 0, 65535, 0, 16384}));

  EXPECT_FALSE(Exporter::makeCGImage(2, 2, rgb));
  EXPECT_FALSE(Exporter::makeCGImage(0, 3, {}));
  EXPECT_FALSE(Exporter::makeCGImage(-3, -1, rgb));
}

TEST(Exporter, ResizeKeepsSmallPrintsAndRoundsSizes) {
  PrintImage print = filled(300, 200, 0.5f);
  const float* before = print.rgb.data();
  PrintImage same = Exporter::resize(std::move(print), 300);
  EXPECT_EQ(same.rgb.data(), before);  // the same samples, not a copy
  EXPECT_EQ(Exporter::resize(filled(300, 200, 0.5f), 5000).width, 300);

  struct Case {
    int64_t width, height, longEdge, newWidth, newHeight;
  };
  for (const Case& c :
       {Case{3000, 2000, 1000, 1000, 667}, Case{3000, 2, 1, 1, 1},
        Case{2000, 3000, 1000, 667, 1000}, Case{101, 100, 100, 100, 99}, Case{50, 50, 0, 1, 1}}) {
    const PrintImage out = Exporter::resize(filled(c.width, c.height, 0.25f), c.longEdge);
    EXPECT_EQ(out.width, c.newWidth) << c.width << "x" << c.height;
    EXPECT_EQ(out.height, c.newHeight) << c.width << "x" << c.height;
    for (float v : out.rgb) ASSERT_FLOAT_EQ(v, 0.25f);
  }
}

TEST(Exporter, ResizeAveragesByCoveredArea) {
  // Five columns into two: each output pixel covers two and a half source columns.
  PrintImage print(5, 1);
  const float values[] = {0.0f, 0.2f, 0.4f, 0.6f, 1.0f};
  for (int x = 0; x < 5; ++x) print.rgb[3 * x] = print.rgb[3 * x + 1] = values[x];
  print.rgb[3 * 1 + 2] = nan;  // counts as 0
  const PrintImage out = Exporter::resize(print, 2);
  ASSERT_EQ(out.width, 2);
  ASSERT_EQ(out.height, 1);
  EXPECT_FLOAT_EQ(out.rgb[0], (0.0f + 0.2f + 0.5f * 0.4f) / 2.5f);
  EXPECT_FLOAT_EQ(out.rgb[3], (0.5f * 0.4f + 0.6f + 1.0f) / 2.5f);
  EXPECT_FLOAT_EQ(out.rgb[2], 0.0f);
  EXPECT_FALSE(std::isnan(out.rgb[5]));
}

TEST(Exporter, SharpeningNoneLeavesEverySampleAlone) {
  PrintImage print(3, 1, {-0.5f, 2.0f, nan, 0.1f, 0.2f, 0.3f, inf, 1.0f, 0.0f});
  const std::vector<float> before = print.rgb;
  Exporter::sharpen(print, OutputSharpening::none);
  for (size_t i = 0; i < before.size(); ++i) {
    if (std::isnan(before[i])) {
      EXPECT_TRUE(std::isnan(print.rgb[i]));
    } else {
      EXPECT_EQ(print.rgb[i], before[i]);
    }
  }
}

TEST(Exporter, SharpeningRaisesEdgeContrastWithinRange) {
  for (OutputSharpening s :
       {OutputSharpening::screen, OutputSharpening::matte, OutputSharpening::glossy}) {
    SCOPED_TRACE(toString(s));
    // A vertical edge from 0.3 to 0.7, with values outside 0…1 and a NaN far from it.
    PrintImage print(40, 30);
    for (int64_t y = 0; y < 30; ++y)
      for (int64_t x = 0; x < 40; ++x)
        for (int c = 0; c < 3; ++c) print.row(y)[3 * x + c] = x < 20 ? 0.3f : 0.7f;
    print.row(2)[0] = 1.6f;
    print.row(25)[3 * 35 + 1] = nan;
    Exporter::sharpen(print, s);

    for (float v : print.rgb) {
      ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << v;
    }
    const float* middle = print.row(15);
    EXPECT_LT(middle[3 * 19], 0.3f);  // the dark side darkens at the edge
    EXPECT_GT(middle[3 * 20], 0.7f);  // the bright side brightens
    EXPECT_GE(middle[3 * 19], 0.3f - 0.15f);
    EXPECT_FLOAT_EQ(middle[3 * 5], 0.3f);  // flat areas stay as they were
    EXPECT_FLOAT_EQ(middle[3 * 30], 0.7f);
    // The same change goes to all three channels.
    EXPECT_FLOAT_EQ(middle[3 * 19], middle[3 * 19 + 2]);
    // The NaN counted as 0: it disturbs only its neighbourhood, not its row and column.
    EXPECT_FLOAT_EQ(print.row(25)[3 * 25], 0.7f);
    EXPECT_FLOAT_EQ(print.row(10)[3 * 35], 0.7f);
  }
}

TEST(Exporter, JpegQualityIsClampedThenRounded) {
  EXPECT_EQ(Exporter::jpegQualityPercent(0.1), 30);
  EXPECT_EQ(Exporter::jpegQualityPercent(0.3), 30);
  EXPECT_EQ(Exporter::jpegQualityPercent(0.92), 92);
  EXPECT_EQ(Exporter::jpegQualityPercent(0.895), 90);
  EXPECT_EQ(Exporter::jpegQualityPercent(1.5), 100);
  EXPECT_EQ(Exporter::jpegQualityPercent(std::nan("")), 30);
}

}  // namespace
