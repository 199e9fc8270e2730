// The shared plane operations: luminance and the running-sum box blur in all its forms.
#include "Tone/BoxBlur.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "Tone/Luminance.h"

namespace {

using Plane = std::vector<float>;
using namespace Adjustments;

// Values spread over several orders of magnitude, so that any change in the order of the float
// additions shows in the last bits.
Plane randomPlane(int64_t width, int64_t height, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Plane plane(static_cast<size_t>(width * height));
  for (float& v : plane) v = unit(engine) * std::pow(10.0f, 3.0f * unit(engine) - 1.0f);
  return plane;
}

bool bitIdentical(const Plane& a, const Plane& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(Luminance, WeighsTheChannels) {
  const Plane rgb = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0.5f, 0.5f, 0.5f};
  const Plane lum = luminance(2, 2, rgb);
  ASSERT_EQ(lum.size(), 4u);
  EXPECT_EQ(lum[0], 0.229f);
  EXPECT_EQ(lum[1], 0.6917f);
  EXPECT_EQ(lum[2], 0.0793f);
  EXPECT_NEAR(lum[3], 0.5f, 1e-7f);
}

TEST(BoxBlur, RowAndColumnPassesAverageAClampedWindow) {
  struct Case {
    Plane values;
    int64_t radius;
    Plane expected;
  };
  const Case cases[] = {
      {{1, 2, 3, 4, 5}, 1, {4.0f / 3, 2, 3, 4, 14.0f / 3}},
      // A window wider than the row repeats the end values.
      {{1, 2, 3}, 5, {20.0f / 11, 22.0f / 11, 24.0f / 11}},
      {{1, 2, 3}, 0, {1, 2, 3}},
      {{7}, 3, {7}},
  };
  for (const Case& c : cases) {
    const auto n = static_cast<int64_t>(c.values.size());
    Plane out(c.values.size());
    boxBlurRowPass(c.values.data(), out.data(), n, 1, c.radius, 0);
    EXPECT_EQ(out, c.expected) << "row, radius " << c.radius;
    // The same values down the middle column of a three-column plane.
    Plane column(c.values.size() * 3, -1.0f);
    for (int64_t y = 0; y < n; ++y) column[y * 3 + 1] = c.values[y];
    Plane columnOut(column.size(), 0.0f);
    boxBlurColumnPass(column.data(), columnOut.data(), 3, n, c.radius, 1);
    for (int64_t y = 0; y < n; ++y) {
      EXPECT_EQ(columnOut[y * 3 + 1], c.expected[y]) << "column, radius " << c.radius;
      EXPECT_EQ(columnOut[y * 3], 0.0f) << "a column pass writes only its own column";
    }
  }
}

TEST(BoxBlur, BlockColumnPassEqualsOneColumnPassBitForBit) {
  struct Case {
    int64_t width, height, radius, x, count;
  };
  const Case cases[] = {
      {130, 90, 1, 0, 130},   {130, 90, 7, 3, 64}, {130, 90, 20, 0, 65}, {130, 90, 45, 17, 1},
      {130, 90, 200, 60, 70}, {130, 1, 3, 0, 130}, {5, 300, 12, 0, 5},   {130, 90, 0, 10, 9},
  };
  for (const Case& c : cases) {
    const Plane in = randomPlane(c.width, c.height, 7);
    Plane single(in.size(), 0.0f);
    Plane block(in.size(), 0.0f);
    for (int64_t x = c.x; x < c.x + c.count; ++x)
      boxBlurColumnPass(in.data(), single.data(), c.width, c.height, c.radius, x);
    boxBlurColumnBlockPass(in.data(), block.data(), c.width, c.height, c.radius, c.x, c.count);
    EXPECT_TRUE(bitIdentical(single, block))
        << c.width << "x" << c.height << " r" << c.radius << " x" << c.x << " n" << c.count;
  }
}

TEST(BoxBlur, WholePlanePassesEqualTheSingleKernels) {
  for (const int64_t radius : {1, 4, 33}) {
    const int64_t width = 517, height = 203;  // rows not a multiple of the interleave
    const Plane in = randomPlane(width, height, 11);
    Plane rows(in.size()), rowsOneByOne(in.size());
    boxBlurRows(in.data(), rows.data(), width, height, radius);
    for (int64_t y = 0; y < height; ++y)
      boxBlurRowPass(in.data(), rowsOneByOne.data(), width, height, radius, y);
    EXPECT_TRUE(bitIdentical(rows, rowsOneByOne)) << "rows, radius " << radius;

    Plane columns(in.size()), columnsOneByOne(in.size());
    boxBlurColumns(in.data(), columns.data(), width, height, radius);
    for (int64_t x = 0; x < width; ++x)
      boxBlurColumnPass(in.data(), columnsOneByOne.data(), width, height, radius, x);
    EXPECT_TRUE(bitIdentical(columns, columnsOneByOne)) << "columns, radius " << radius;
  }
}

TEST(BoxBlur, ChoosesTheReducedPathFromRadiusAndSize) {
  struct Case {
    int64_t width, height, radius, passes;
    int64_t factor;  // 0: full size
    int64_t reducedRadius;
  };
  const Case cases[] = {
      {60, 60, 8, 2, 2, 4},     // 60 div 2 = 30 ≥ 8: factor 2, radius (8 + 1) div 2
      {15, 60, 8, 2, 0, 0},     // 15 div 2 = 7 < 8: full size
      {60, 60, 7, 1, 0, 0},     // radius below 8
      {300, 200, 40, 3, 8, 5},  // factor min(40, 35) div 4, radius (40 + 4) div 8
      {61, 59, 12, 1, 3, 4},    // edges cut at the plane's edge
      {64, 64, 35, 2, 8, 4},    // 64 div 8 = 8 still reduces
  };
  for (const Case& c : cases) {
    const Plane in = randomPlane(c.width, c.height, 3);
    const Plane blurred = boxBlur(in, c.width, c.height, c.radius, c.passes);
    Plane expected;
    if (c.factor == 0) {
      expected = boxBlurFullSize(in, c.width, c.height, c.radius, c.passes);
    } else {
      const int64_t rw = (c.width + c.factor - 1) / c.factor;
      const int64_t rh = (c.height + c.factor - 1) / c.factor;
      const Plane reduced = boxBlurReduce(in, c.width, c.height, c.factor);
      ASSERT_EQ(reduced.size(), static_cast<size_t>(rw * rh));
      expected = boxBlurExpand(boxBlurFullSize(reduced, rw, rh, c.reducedRadius, c.passes), rw, rh,
                               c.width, c.height, c.factor);
      EXPECT_FALSE(
          bitIdentical(blurred, boxBlurFullSize(in, c.width, c.height, c.radius, c.passes)));
    }
    EXPECT_TRUE(bitIdentical(blurred, expected)) << c.width << "x" << c.height << " r" << c.radius;
  }
}

TEST(BoxBlur, BlurredPlaneRowsEqualTheBlur) {
  struct Case {
    int64_t width, height, radius, passes;
  };
  // Reduced and full size, and no pass at all.
  for (const Case& c : {Case{300, 200, 20, 2}, Case{300, 200, 5, 3}, Case{90, 40, 12, 0}}) {
    const Plane in = randomPlane(c.width, c.height, 17);
    const Plane expected = boxBlur(in, c.width, c.height, c.radius, c.passes);
    const auto source = [&](int64_t y, float* row) {
      std::copy_n(in.data() + y * c.width, c.width, row);  // as a computed plane would
      return static_cast<const float*>(row);
    };
    const BlurredPlane fromRows(source, c.width, c.height, c.radius, c.passes);
    const BlurredPlane fromPlane(in, c.width, c.height, c.radius, c.passes);
    Plane scratch(static_cast<size_t>(c.width));
    for (int64_t y = 0; y < c.height; ++y) {
      const Plane row(expected.begin() + y * c.width, expected.begin() + (y + 1) * c.width);
      const float* a = fromRows.row(y, scratch.data());
      ASSERT_TRUE(std::equal(row.begin(), row.end(), a)) << "rows, y " << y;
      const float* b = fromPlane.row(y, scratch.data());
      ASSERT_TRUE(std::equal(row.begin(), row.end(), b)) << "plane, y " << y;
    }
    Plane moved = in;
    EXPECT_TRUE(bitIdentical(
        BlurredPlane(std::move(moved), c.width, c.height, c.radius, c.passes).plane(), expected));
  }
}

TEST(BoxBlur, ZeroPassesAndZeroRadius) {
  const Plane in = randomPlane(20, 10, 5);
  EXPECT_TRUE(bitIdentical(boxBlur(in, 20, 10, 5, 0), in));
  // The blur raises a radius of 0 (or below) to 1.
  EXPECT_TRUE(bitIdentical(boxBlur(in, 20, 10, 0, 1), boxBlurFullSize(in, 20, 10, 1, 1)));
  EXPECT_TRUE(bitIdentical(boxBlur(in, 20, 10, -4, 1), boxBlurFullSize(in, 20, 10, 1, 1)));
  EXPECT_TRUE(boxBlur({}, 0, 0, 10, 2).empty());
}

TEST(BoxBlur, ReduceAveragesCutEdgeBlocks) {
  // 5 × 3 plane, factor 2: a 3 × 2 reduced plane; the right column and bottom row of blocks
  // hold fewer values.
  const Plane in = {1,  2,  3,  4,  5,   //
                    6,  7,  8,  9,  10,  //
                    11, 12, 13, 14, 15};
  const Plane reduced = boxBlurReduce(in, 5, 3, 2);
  const Plane expected = {(1 + 2 + 6 + 7) / 4.0f, (3 + 4 + 8 + 9) / 4.0f, (5 + 10) / 2.0f,
                          (11 + 12) / 2.0f,       (13 + 14) / 2.0f,       15};
  EXPECT_EQ(reduced, expected);
}

TEST(BoxBlur, ExpandInterpolatesFromBlockCentres) {
  // A reduced row 0, 1, 2 at factor 2: output x reads (x + 0.5)/2 − 0.5, clamped to 0…2.
  const Plane reduced = {0, 1, 2, 0, 1, 2};
  const Plane out = boxBlurExpand(reduced, 3, 2, 6, 4, 2);
  const Plane row = {0, 0.25f, 0.75f, 1.25f, 1.75f, 2};
  for (int64_t y = 0; y < 4; ++y)
    EXPECT_EQ(Plane(out.begin() + y * 6, out.begin() + y * 6 + 6), row) << "row " << y;

  const Plane column = boxBlurExpand({0, 4}, 1, 2, 1, 4, 2);
  EXPECT_EQ(column, (Plane{0, 1, 3, 4}));
}

TEST(BoxBlur, KeepsAConstantPlaneOnEitherPath) {
  for (const int64_t radius : {3, 8, 20, 90}) {
    const Plane in(static_cast<size_t>(123 * 77), 0.375f);
    const Plane out = boxBlur(in, 123, 77, radius, 3);
    for (float v : out) ASSERT_NEAR(v, 0.375f, 1e-6f) << "radius " << radius;
  }
}

}  // namespace
