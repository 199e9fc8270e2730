// Straightening and cropping, and the point mappings between a scan and its straightened frame.
#include "Conversion/Geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

// A width × height image whose pixel (x, y) holds (x, y, x + 10·y, 1).
LinearImage numberedImage(int64_t width, int64_t height) {
  LinearImage image(width, height);
  for (int64_t y = 0; y < height; ++y) {
    float* row = image.mutableRow(y);
    for (int64_t x = 0; x < width; ++x) {
      row[x * 4] = static_cast<float>(x);
      row[x * 4 + 1] = static_cast<float>(y);
      row[x * 4 + 2] = static_cast<float>(x + 10 * y);
      row[x * 4 + 3] = 1;
    }
  }
  return image;
}

std::array<float, 4> pixel(const LinearImage& image, int64_t x, int64_t y) {
  const float* p = image.row(y) + x * 4;
  return {p[0], p[1], p[2], p[3]};
}

TEST(Geometry, TinyAngleWithFullRectReturnsTheInputItself) {
  const LinearImage image = numberedImage(16, 8);
  for (double angle : {0.0, 0.0005, -0.0009}) {
    const LinearImage out = Geometry::straightenAndCrop(image, angle, NormRect::full);
    EXPECT_TRUE(out.sharesPixelsWith(image)) << angle;
  }
  // A rect that rounds to every pixel is still the whole frame.
  EXPECT_TRUE(Geometry::straightenAndCrop(image, 0, {0.01, 0, 0.99, 1}).sharesPixelsWith(image));
}

TEST(Geometry, UnrotatedCropCopiesThePixelRect) {
  const LinearImage image = numberedImage(8, 4);
  const LinearImage out = Geometry::straightenAndCrop(image, 0.0005, {0.25, 0.5, 0.5, 0.5});
  ASSERT_EQ(out.width(), 4);
  ASSERT_EQ(out.height(), 2);
  EXPECT_FALSE(out.sharesPixelsWith(image));
  for (int64_t y = 0; y < 2; ++y)
    for (int64_t x = 0; x < 4; ++x) EXPECT_EQ(pixel(out, x, y), pixel(image, x + 2, y + 2));

  // (0.9, 0.9, 0.5, 0.5) is moved inside first; a zero width becomes 0.02.
  const LinearImage moved = Geometry::straightenAndCrop(image, 0, {0.9, 0.9, 0.5, 0.5});
  EXPECT_EQ(moved.width(), 4);
  EXPECT_EQ(pixel(moved, 0, 0), pixel(image, 4, 2));
  const LinearImage thin = Geometry::straightenAndCrop(numberedImage(200, 10), 0, {0.5, 0, 0, 1});
  EXPECT_EQ(thin.width(), 4);
}

TEST(Geometry, QuarterTurnMovesTheTopLeftToTheTopRight) {
  const LinearImage image = numberedImage(4, 4);
  const LinearImage out = Geometry::straightenAndCrop(image, 90, NormRect::full);
  ASSERT_EQ(out.width(), 4);
  for (int64_t i = 0; i < 4; ++i)
    for (int64_t j = 0; j < 4; ++j) {
      const auto expected = pixel(image, i, 3 - j);
      const auto actual = pixel(out, j, i);
      for (int c = 0; c < 4; ++c) EXPECT_NEAR(actual[c], expected[c], 1e-5) << j << "," << i;
    }
}

TEST(Geometry, FiveDegreesRepeatsEdgePixelsInTheCorners) {
  // A frame of value 7 two pixels wide around a ramp: the corners of the turned print must come
  // from that frame, not from black or transparent padding.
  const int64_t width = 60;
  const int64_t height = 40;
  LinearImage image(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      const bool edge = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
      const float v = edge ? 7.0f : static_cast<float>(x) / width;
      float* p = image.mutableRow(y) + x * 4;
      p[0] = p[1] = p[2] = v;
      p[3] = 1;
    }
  const LinearImage out = Geometry::straightenAndCrop(image, 5, NormRect::full);
  ASSERT_EQ(out.width(), width);
  ASSERT_EQ(out.height(), height);
  for (auto [x, y] : {std::pair<int64_t, int64_t>{0, 0},
                      {width - 1, 0},
                      {0, height - 1},
                      {width - 1, height - 1}}) {
    const auto p = pixel(out, x, y);
    EXPECT_FLOAT_EQ(p[0], 7.0f) << x << "," << y;
    EXPECT_FLOAT_EQ(p[3], 1.0f);
  }
  // The centre stays where it was.
  EXPECT_NEAR(pixel(out, 30, 20)[0], pixel(image, 30, 20)[0], 0.02);
}

TEST(Geometry, NonFiniteAngleIsNoTurn) {
  const LinearImage image = numberedImage(8, 8);
  EXPECT_TRUE(Geometry::straightenAndCrop(image, NAN, NormRect::full).sharesPixelsWith(image));
  const LinearImage out = Geometry::straightenAndCrop(image, INFINITY, {0, 0, 0.5, 0.5});
  EXPECT_EQ(pixel(out, 3, 3), pixel(image, 3, 3));
}

TEST(Geometry, PointMappingsAreInverseAndTurnAboutTheCentre) {
  for (double angle : {-12.5, 0.0, 3.0, 45.0}) {
    const NormPoint centre = straightenedPoint(600, 400, 0.5, 0.5, angle);
    EXPECT_NEAR(centre.x, 0.5, 1e-12);
    EXPECT_NEAR(centre.y, 0.5, 1e-12);
    const NormPoint s = straightenedPoint(600, 400, 0.2, 0.7, angle);
    const NormPoint back = unstraightenedPoint(600, 400, s.x, s.y, angle);
    EXPECT_NEAR(back.x, 0.2, 1e-12) << angle;
    EXPECT_NEAR(back.y, 0.7, 1e-12) << angle;
  }
  // A quarter turn clockwise as displayed: right of centre goes below it.
  const NormPoint turned = straightenedPoint(400, 400, 0.75, 0.5, 90);
  EXPECT_NEAR(turned.x, 0.5, 1e-12);
  EXPECT_NEAR(turned.y, 0.75, 1e-12);
  // The turn is in pixels: in a 2:1 scan, a point 100 px right of centre lands 100 px below it.
  const NormPoint wide = straightenedPoint(400, 200, 0.75, 0.5, 90);
  EXPECT_NEAR(wide.x, 0.5, 1e-12);
  EXPECT_NEAR(wide.y, 1.0, 1e-12);
}

TEST(Geometry, IsInsideCropIsStrictAndStraightened) {
  double angle = 0;
  const NormRect rect{0.25, 0.25, 0.5, 0.5};
  EXPECT_TRUE(isInsideCrop(400, 200, angle, {0.5, 0.5}, rect));
  EXPECT_FALSE(isInsideCrop(400, 200, angle, {0.25, 0.5}, rect));
  EXPECT_FALSE(isInsideCrop(400, 200, angle, {0.5, 0.75}, rect));
  EXPECT_TRUE(isInsideCrop(400, 200, angle, {0.26, 0.74}, rect));
  // Turned a quarter clockwise in pixels: 80 px right of centre lands 80 px below it, outside
  // the rect in a scan 200 px high; 40 px lands inside.
  angle = 90;
  EXPECT_FALSE(isInsideCrop(400, 200, angle, {0.7, 0.5}, rect));
  EXPECT_TRUE(isInsideCrop(400, 200, angle, {0.6, 0.5}, rect));
}

}  // namespace
