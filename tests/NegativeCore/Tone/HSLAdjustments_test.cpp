// Per-band hue, saturation and luminance shifts on a print.
#include "Record/HSLAdjustments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "Print/PrintImage.h"
#include "Tone/HSLPixel.h"

namespace {

using List = std::vector<double>;

List band(size_t index, double value) {
  List list(8, 0.0);
  list[index] = value;
  return list;
}

PrintImage onePixel(float r, float g, float b) { return PrintImage(1, 1, {r, g, b}); }

PrintImage randomPrint(int64_t width, int64_t height) {
  std::mt19937 engine(9);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<float> rgb(static_cast<size_t>(width * height * 3));
  for (float& v : rgb) v = unit(engine);
  return PrintImage(width, height, std::move(rgb));
}

TEST(HSLAdjustments, NeutralListsAndGreyPixelsStayBitIdentical) {
  const HSLAdjustments neutral;
  EXPECT_TRUE(neutral.isNeutral());
  EXPECT_EQ(HSLAdjustments::bandCenters,
            (std::array<double, 8>{0, 30, 60, 120, 180, 240, 280, 320}));

  const PrintImage original = randomPrint(64, 48);
  PrintImage print = original;
  HSLAdjustments::apply(print, neutral.hue, neutral.saturation, neutral.luminance);
  EXPECT_EQ(print.rgb, original.rgb);

  // Grey pixels (chroma at most 0.0001) keep their values whatever the lists hold.
  PrintImage grey(3, 1, {0.5f, 0.5f, 0.5f, 0.2f, 0.20005f, 0.2f, 0, 0, 0});
  const PrintImage greyBefore = grey;
  const List all(8, 100.0);
  HSLAdjustments::apply(grey, all, all, all);
  EXPECT_EQ(grey.rgb, greyBefore.rgb);

  HSLAdjustments changed;
  changed.luminance[5] = -3;
  EXPECT_FALSE(changed.isNeutral());
}

TEST(HSLAdjustments, BlendsNeighbouringBands) {
  struct Case {
    const char* what;
    float r, g, b;  // the pixel
    List hue, saturation, luminance;
    float er, eg, eb;  // expected
  };
  const List zero(8, 0.0);
  const Case cases[] = {
      // Pure red (hue 0) takes band 0 only: +100 turns it by 30°.
      {"red, own band", 1, 0, 0, band(0, 100), zero, zero, 1, 0.5f, 0},
      {"red, next band", 1, 0, 0, band(1, 100), zero, zero, 1, 0, 0},
      // Hue 15° lies halfway between bands 0 and 1 (weight 0.5): saturation −100 on band 0
      // halves the saturation.
      {"15°, band 0", 1, 0.25f, 0, zero, band(0, -100), zero, 1, 0.625f, 0.5f},
      {"15°, band 1", 1, 0.25f, 0, zero, band(1, -100), zero, 1, 0.625f, 0.5f},
      // Hue 340° lies halfway between band 7 (320°) and band 0 (360°).
      {"340°, band 7", 1, 0, 1.0f / 3, zero, band(7, -100), zero, 1, 0.5f, 2.0f / 3},
      {"340°, band 0", 1, 0, 1.0f / 3, zero, band(0, -100), zero, 1, 0.5f, 2.0f / 3},
      {"340°, band 6", 1, 0, 1.0f / 3, zero, band(6, -100), zero, 1, 0, 1.0f / 3},
      // Saturation −100 makes a band's pure colour grey; luminance +100 brightens a saturated
      // colour by 0.8 stop.
      {"green to grey", 0, 0.6f, 0, zero, band(3, -100), zero, 0.6f, 0.6f, 0.6f},
      {"blue brighter", 0, 0, 0.5f, zero, zero, band(5, 100), 0, 0, 0.5f * std::exp2(0.8f)},
      {"blue clamps at 1", 0, 0, 0.9f, zero, zero, band(5, 100), 0, 0, 1},
      // Hue −100 on cyan (180°) turns it to 150°, past the green centre.
      {"cyan turned", 0, 1, 1, band(4, -100), zero, zero, 0, 1, 0.5f},
  };
  for (const Case& c : cases) {
    PrintImage print = onePixel(c.r, c.g, c.b);
    HSLAdjustments::apply(print, c.hue, c.saturation, c.luminance);
    EXPECT_NEAR(print.rgb[0], c.er, 1e-6f) << c.what;
    EXPECT_NEAR(print.rgb[1], c.eg, 1e-6f) << c.what;
    EXPECT_NEAR(print.rgb[2], c.eb, 1e-6f) << c.what;
  }
}

TEST(HSLAdjustments, ShortListsCountAsZerosForMissingBands) {
  PrintImage shortLists = onePixel(0.1f, 0.8f, 0.3f);
  PrintImage padded = shortLists;
  HSLAdjustments::apply(shortLists, {0, 0, 0, 40}, {}, {10});
  HSLAdjustments::apply(padded, band(3, 40), List(8, 0.0), band(0, 10));
  EXPECT_EQ(shortLists.rgb, padded.rgb);
}

TEST(HSLAdjustments, VectorRowsEqualTheScalarStepBitForBit) {
  std::mt19937 engine(21);
  std::uniform_real_distribution<double> slider(-100, 100);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < 6; ++round) {
    List hue(8), saturation(8), luminance(8);
    for (size_t b = 0; b < 8; ++b) {
      hue[b] = slider(engine);
      saturation[b] = slider(engine);
      luminance[b] = round == 1 ? 0.0 : slider(engine);
    }
    if (round == 2) hue[4] = 900;  // shifts beyond a turn
    if (round == 3) saturation = List(8, 0.0), hue = List(8, 0.0);
    PrintImage print(257, 9);  // not a whole number of vectors wide
    for (float& v : print.rgb) v = unit(engine);
    for (size_t i = 0; i < print.rgb.size(); i += 29) print.rgb[i] = print.rgb[i + 1];  // ties
    if (round == 4) {
      print.rgb[40] = std::numeric_limits<float>::infinity();
      print.rgb[100] = std::nanf("");
      print.rgb[200] = -0.5f;
      print.rgb[300] = 1.7f;
    }
    PrintImage scalar = print;
    HSLAdjustments::apply(print, hue, saturation, luminance);
    HSLPixel::Bands bands;
    for (size_t b = 0; b < 8; ++b)
      bands[b] = {static_cast<float>(hue[b] / 100 * 30), static_cast<float>(saturation[b] / 100),
                  static_cast<float>(luminance[b] / 100)};
    for (size_t i = 0; i < scalar.rgb.size(); i += 3) HSLPixel::adjust(&scalar.rgb[i], bands);
    EXPECT_EQ(std::memcmp(print.rgb.data(), scalar.rgb.data(), print.rgb.size() * sizeof(float)), 0)
        << "round " << round;
  }
}

}  // namespace
