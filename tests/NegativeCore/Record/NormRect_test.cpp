// Rect operations and crop aspects.
#include "Record/NormRect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TestSupport/LocaleGuard.h"

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

void expectNear(const NormRect& actual, const NormRect& expected, const char* what) {
  EXPECT_NEAR(actual.x, expected.x, 1e-12) << what;
  EXPECT_NEAR(actual.y, expected.y, 1e-12) << what;
  EXPECT_NEAR(actual.w, expected.w, 1e-12) << what;
  EXPECT_NEAR(actual.h, expected.h, 1e-12) << what;
}

TEST(NormRect, ClampedKeepsTheRectInsideWithAMinimumSide) {
  const struct {
    NormRect in;
    NormRect out;
  } cases[] = {
      {{0.9, 0.9, 0.5, 0.5}, {0.5, 0.5, 0.5, 0.5}},
      {{0.3, 0.4, 0, 0.2}, {0.3, 0.4, 0.02, 0.2}},
      {{-0.2, -1, 3, 0.5}, {0, 0, 1, 0.5}},
      {{0.99, 0.2, 0.001, 0.001}, {0.98, 0.2, 0.02, 0.02}},
      {{nan, nan, nan, nan}, {0, 0, 0.02, 0.02}},
  };
  for (const auto& c : cases) expectNear(c.in.clamped(0.02), c.out, c.in.description().c_str());
}

TEST(NormRect, InsetEdgesAndFullness) {
  expectNear(NormRect{0.1, 0.2, 0.5, 0.4}.inset(0.1), {0.15, 0.24, 0.4, 0.32}, "inset");
  const NormRect r{0.1, 0.2, 0.5, 0.4};
  EXPECT_DOUBLE_EQ(r.maxX(), 0.6);
  EXPECT_DOUBLE_EQ(r.maxY(), 0.6000000000000001);
  EXPECT_TRUE(NormRect::full.isFull());
  EXPECT_TRUE((NormRect{0.0000005, 0, 0.9999995, 1}.isFull()));
  EXPECT_FALSE((NormRect{0.00001, 0, 0.99999, 1}.isFull()));
  EXPECT_FALSE((NormRect{0, 0, 1, 0.99}.isFull()));
}

TEST(NormRect, QuarterTurnsAndMirrors) {
  const NormRect r{0.1, 0.2, 0.5, 0.3};
  expectNear(NormRect{0, 0, 0.5, 0.25}.rotated(1), {0.75, 0, 0.25, 0.5}, "one turn");
  expectNear(r.rotated(1), {0.5, 0.1, 0.3, 0.5}, "one turn");
  expectNear(r.rotated(2), {0.4, 0.5, 0.5, 0.3}, "two turns");
  expectNear(r.rotated(3), {0.2, 0.4, 0.3, 0.5}, "three turns");
  expectNear(r.rotated(-1), r.rotated(3), "minus one");
  expectNear(r.rotated(5), r.rotated(1), "five");
  expectNear(r.rotated(1).rotated(1).rotated(1).rotated(1), r, "four single turns");
  expectNear(r.mirroredHorizontally(), {0.4, 0.2, 0.5, 0.3}, "horizontal");
  expectNear(r.mirroredVertically(), {0.1, 0.5, 0.5, 0.3}, "vertical");
}

TEST(NormRect, PixelRect) {
  const struct {
    NormRect rect;
    int64_t width, height;
    PixelRect pixels;
  } cases[] = {
      {{0.999, 0, 0.001, 1}, 100, 100, {99, 0, 1, 100}},
      {{0.25, 0.5, 0.5, 0.25}, 8, 4, {2, 2, 4, 1}},
      {{0.125, 0.125, 0.25, 0.25}, 4, 4, {1, 1, 1, 1}},  // 0.5 rounds away from zero
      {{0, 0, 1, 1}, 6000, 4000, {0, 0, 6000, 4000}},
      {{-5, 2, 1e300, 0}, 10, 10, {0, 9, 10, 1}},
      {{nan, 0, nan, 1}, 10, 10, {0, 0, 1, 10}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.rect.pixelRect(c.width, c.height), c.pixels) << c.rect.description();
}

TEST(NormRect, FittedToAnAspect) {
  const struct {
    NormRect rect;
    CropAspect aspect;
    int64_t width, height;
    NormRect out;
  } cases[] = {
      {{0, 0, 1, 1}, CropAspect::r1x1, 6000, 4000, {1.0 / 6, 0, 2.0 / 3, 1}},
      {{0, 0, 1, 1}, CropAspect::r3x2, 4000, 6000, {0, 0, 1, 1}},
      {{0, 0, 1, 1}, CropAspect::r3x2, 4000, 4000, {0, 1.0 / 6, 1, 2.0 / 3}},
      {{0.1, 0.1, 0.4, 0.8}, CropAspect::r5x4, 1000, 1000, {0.1, 0.25, 0.4, 0.5}},
      {{0.2, 0.3, 0.1, 0.1}, CropAspect::free, 100, 50, {0.2, 0.3, 0.1, 0.1}},
  };
  for (const auto& c : cases)
    expectNear(c.rect.fitted(c.aspect, c.width, c.height), c.out, toString(c.aspect).c_str());
}

TEST(NormRect, CropAspectRatiosAndDescription) {
  EXPECT_EQ(ratio(CropAspect::free), std::nullopt);
  EXPECT_EQ(ratio(CropAspect::r3x2), 1.5);
  EXPECT_EQ(ratio(CropAspect::r4x3), 1.3333333333333333);
  EXPECT_EQ(ratio(CropAspect::r1x1), 1.0);
  EXPECT_EQ(ratio(CropAspect::r5x4), 1.25);
  EXPECT_EQ(ratio(CropAspect::r7x5), 1.4);

  LocaleGuard german("de_DE.UTF-8");
  EXPECT_EQ((NormRect{0.1, 0.2, 0.5, 0.12345}.description()), "x 0.100 y 0.200 w 0.500 h 0.123");
}

}  // namespace
