// Red-eye correction: which pixels a mark changes, and by how much.
#include "Finishing/RedEyeFix.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "TestSupport/FilledPrint.h"

namespace {

constexpr int64_t W = 40, H = 30;
const NormRect full{0, 0, 1, 1};

PrintImage filled(float r, float g, float b) { return filledPrint(W, H, r, g, b); }

const float* pixel(const PrintImage& print, int64_t x, int64_t y) {
  return print.rgb.data() + (y * W + x) * 3;
}

// A mark centred on pixel (20, 15) with a radius of 8 print pixels (0.2 of the long side 40).
RedEye markAt(double x = 20.5, double y = 15.5, double r = 0.2) {
  return RedEye{.x = x / W, .y = y / H, .r = r};
}

TEST(RedEyeFix, RedPixelsBecomeDarkNeutral) {
  struct Case {
    float r, g, b;
    float expected;
  };
  for (const Case& c :
       {Case{0.6f, 0.1f, 0.1f, 0.085f}, Case{1, 0, 0, 0}, Case{0.9f, 0.7f, 0.9f, 0.68f}}) {
    PrintImage print = filled(c.r, c.g, c.b);
    RedEyeFix::apply(print, {markAt()}, W, H, 0, full);
    const float* p = pixel(print, 20, 15);
    const bool red = c.r > 1.9f * ((c.g + c.b) / 2 + 0.03f);
    for (int i = 0; i < 3; ++i)
      EXPECT_NEAR(p[i], red ? c.expected : (&c.r)[i], 1e-6) << c.r << " " << c.g << " " << c.b;
  }
}

TEST(RedEyeFix, GatesLeaveOtherColoursAlone) {
  for (const PrintImage& original :
       {filled(0.5f, 0.5f, 0.5f), filled(0.8f, 0.5f, 0.4f), filled(0.05f, 0, 0),
        filled(0.33f, 0.15f, 0.15f)}) {  // grey, skin, dark red, red below the ratio gate
    PrintImage print = original;
    RedEyeFix::apply(print, {markAt(), markAt(5, 5, 1)}, W, H, 0, full);
    EXPECT_EQ(print.rgb, original.rgb);
  }
}

TEST(RedEyeFix, RimFadesAndNothingChangesBeyondTheRadius) {
  PrintImage print = filled(0.6f, 0.1f, 0.1f);
  RedEyeFix::apply(print, {markAt()}, W, H, 0, full);
  EXPECT_NEAR(pixel(print, 25, 15)[0], 0.085f, 1e-6);  // d = 5/8, inside the full core
  const float rim = pixel(print, 27, 15)[0];           // d = 7/8: partly corrected
  EXPECT_GT(rim, 0.085f);
  EXPECT_LT(rim, 0.6f);
  EXPECT_EQ(pixel(print, 28, 15)[0], 0.6f);  // d = 1
  EXPECT_EQ(pixel(print, 26, 21)[0], 0.6f);
}

TEST(RedEyeFix, TinyMarksStillCoverAPixelAndAHalf) {
  PrintImage print = filled(0.6f, 0.1f, 0.1f);
  RedEyeFix::apply(print, {markAt(20.5, 15.5, 0.0001)}, W, H, 0, full);
  EXPECT_NEAR(pixel(print, 20, 15)[0], 0.085f, 1e-6);
  EXPECT_LT(pixel(print, 21, 15)[0], 0.6f);  // d = 1/1.5
  EXPECT_EQ(pixel(print, 22, 15)[0], 0.6f);
  EXPECT_GT(pixel(print, 21, 16)[0], pixel(print, 21, 15)[0]);  // d = √2/1.5, on the rim
  EXPECT_EQ(pixel(print, 21, 17)[0], 0.6f);
}

TEST(RedEyeFix, MarksOffThePrintOrUnusableChangeNothing) {
  const PrintImage original = filled(0.6f, 0.1f, 0.1f);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const std::vector<RedEye>& marks :
       std::vector<std::vector<RedEye>>{{},
                                        {markAt(-20, 15)},
                                        {markAt(80, 15)},
                                        {RedEye{.x = nan, .y = 0.5, .r = 0.1}},
                                        {RedEye{.x = 0.5, .y = 0.5, .r = inf}},
                                        {RedEye{.x = 1e300, .y = -1e300, .r = 1e300}}}) {
    PrintImage print = original;
    RedEyeFix::apply(print, marks, W, H, 0, full);
    EXPECT_EQ(print.rgb, original.rgb);
  }
  PrintImage print = original;
  RedEyeFix::apply(print, {markAt()}, W, H, 0, NormRect{0, 0, 0, 0});
  EXPECT_EQ(print.rgb, original.rgb);

  // A mark partly off the print corrects the part inside.
  RedEyeFix::apply(print, {markAt(-2, 15)}, W, H, 0, full);
  EXPECT_NEAR(pixel(print, 0, 15)[0], 0.085f, 1e-6);
}

}  // namespace
