// The plane operations of the dust finders: density planes, box passes, the van Herk/Gil-Werman
// minimum and maximum filters against a plain window scan, and the robust statistics.
#include "Dust/DustPlanes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "Tone/BoxBlur.h"

namespace {

using namespace DustDetector;

std::vector<float> randomPlane(int64_t width, int64_t height, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<float> plane(static_cast<size_t>(width * height));
  for (float& v : plane) v = unit(engine);
  return plane;
}

// The filter as defined: the extreme of the clamped window along rows, then along columns.
std::vector<float> plainFilter(const std::vector<float>& in, int64_t width, int64_t height,
                               int64_t n, bool maximum) {
  auto extreme = [maximum](float a, float b) { return maximum ? std::max(a, b) : std::min(a, b); };
  std::vector<float> rows(in.size());
  std::vector<float> out(in.size());
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      float v = in[static_cast<size_t>(y * width + x)];
      for (int64_t i = std::max<int64_t>(0, x - n); i <= std::min(width - 1, x + n); ++i)
        v = extreme(v, in[static_cast<size_t>(y * width + i)]);
      rows[static_cast<size_t>(y * width + x)] = v;
    }
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      float v = rows[static_cast<size_t>(y * width + x)];
      for (int64_t i = std::max<int64_t>(0, y - n); i <= std::min(height - 1, y + n); ++i)
        v = extreme(v, rows[static_cast<size_t>(i * width + x)]);
      out[static_cast<size_t>(y * width + x)] = v;
    }
  return out;
}

TEST(DustPlanes, MinimumAndMaximumFiltersEqualAPlainWindowScan) {
  struct Case {
    int64_t width, height, radius;
  };
  // Radii of 0, smaller than, equal to and beyond the sides; widths across column blocks.
  const Case cases[] = {{1, 1, 3},    {7, 5, 0},    {9, 6, 1},   {40, 33, 3}, {33, 40, 5},
                        {100, 70, 8}, {70, 17, 16}, {5, 90, 40}, {129, 3, 2}, {300, 80, 8}};
  for (const Case& c : cases) {
    const auto in = randomPlane(c.width, c.height, static_cast<unsigned>(c.width * 31 + c.radius));
    for (const bool maximum : {false, true}) {
      std::vector<float> scratch(in.size()), out(in.size());
      minFilter(in.data(), out.data(), scratch.data(), c.width, c.height, c.radius, maximum);
      EXPECT_EQ(out, plainFilter(in, c.width, c.height, c.radius, maximum))
          << c.width << "x" << c.height << " radius " << c.radius << " max " << maximum;
    }
  }
}

TEST(DustPlanes, OpeningRemovesPeaksNarrowerThanItsWindow) {
  const int64_t w = 40, h = 30;
  std::vector<float> d(static_cast<size_t>(w * h), 1.0f);
  d[10 * w + 10] = 3.0f;            // one pixel
  for (int64_t y = 5; y < 25; ++y)  // a plateau 9 pixels wide
    for (int64_t x = 25; x < 34; ++x) d[static_cast<size_t>(y * w + x)] = 2.0f;
  std::vector<float> out(d.size()), s1(d.size()), s2(d.size());
  opening(d.data(), out.data(), s1.data(), s2.data(), w, h, 3);
  EXPECT_EQ(out[10 * w + 10], 1.0f);
  EXPECT_EQ(out[15 * w + 29], 2.0f);  // a 7 × 7 window fits inside the plateau
  EXPECT_EQ(out, plainFilter(plainFilter(d, w, h, 3, false), w, h, 3, true));
}

TEST(DustPlanes, DensityOfTheWeightedSumWithAGuardAtFive) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<float> pixels = {
      0.1f,     0.1f,     0.1f,     1,  // grey
      0,        0,        0,        1,  // black
      0.00001f, 0.00001f, 0.00001f, 1,  // at the guard
      1,        0,        0,        1,  // red only
      nan,      0.5f,     0.5f,     1,  // not a number
      inf,      0.5f,     0.5f,     1,  // infinite
  };
  std::vector<float> d(6);
  densityPlane(6, 1, pixels.data(), d.data());
  EXPECT_NEAR(d[0], 1.0f, 1e-6f);
  EXPECT_EQ(d[1], 5.0f);
  EXPECT_EQ(d[2], 5.0f);
  EXPECT_NEAR(d[3], -std::log10(0.229f), 1e-6f);
  EXPECT_EQ(d[4], 5.0f);
  EXPECT_EQ(d[5], 5.0f);

  std::vector<float> red(6);
  channelDensityPlane(6, 1, pixels.data(), 0, red.data());
  EXPECT_NEAR(red[0], 1.0f, 1e-6f);
  EXPECT_EQ(red[1], 5.0f);
  EXPECT_NEAR(red[3], 0.0f, 1e-7f);
  EXPECT_EQ(red[4], 5.0f);
  EXPECT_EQ(red[5], 5.0f);
}

TEST(DustPlanes, DensityOfAWidePlaneMatchesTheScalarFormula) {
  // Wide enough that rows go through the vectorised logarithm and several threads.
  const int64_t w = 301, h = 97;
  std::vector<float> pixels(static_cast<size_t>(w * h * 4));
  std::mt19937 engine(5);
  std::uniform_real_distribution<float> exponent(-6.0f, 1.0f);
  for (float& v : pixels) v = std::pow(10.0f, exponent(engine));
  std::vector<float> d(static_cast<size_t>(w * h));
  densityPlane(w, h, pixels.data(), d.data());
  for (size_t i = 0; i < d.size(); ++i) {
    const float* p = &pixels[4 * i];
    const float v = 0.229f * p[0] + 0.6917f * p[1] + 0.0793f * p[2];
    const float expected = v <= 0.00001f ? 5.0f : -std::log10(v);
    ASSERT_NEAR(d[i], expected, 4e-6f * std::max(1.0f, std::fabs(expected))) << i;
  }
}

TEST(DustPlanes, BoxPassesEqualTheToneBlurAtFullSizeBitForBit) {
  const int64_t w = 150, h = 120;
  const auto in = randomPlane(w, h, 9);
  for (const int64_t passes : {1, 2}) {
    for (const int64_t radius : {1, 2, 8, 32}) {
      std::vector<float> out(in.size()), scratch(in.size());
      boxPasses(in.data(), out.data(), scratch.data(), w, h, radius, passes);
      const auto expected = Adjustments::boxBlurFullSize(in, w, h, radius, passes);
      EXPECT_EQ(std::memcmp(out.data(), expected.data(), out.size() * sizeof(float)), 0)
          << "radius " << radius << " passes " << passes;
      // In place gives the same.
      std::vector<float> inPlace = in;
      boxPasses(inPlace.data(), inPlace.data(), scratch.data(), w, h, radius, passes);
      EXPECT_EQ(inPlace, out);
    }
  }
}

TEST(DustPlanes, RobustStatisticsTakeElementHalfOfTheSortedSamples) {
  std::vector<float> even = {4, 1, 3, 2};
  EXPECT_EQ(medianElement(even), 3.0f);  // element 2 of 1, 2, 3, 4
  std::vector<float> none;
  EXPECT_EQ(medianElement(none), 0.0f);

  // Every other value from index 0: 0, 2, 4, 6, 100 → median 4; deviations 4, 2, 0, 2, 96.
  const std::vector<float> plane = {0, 9, 2, 9, 4, 9, 6, 9, 100, 9};
  EXPECT_FLOAT_EQ(robustSigma(plane.data(), 10, 2), 1.4826f * 2);
  const std::vector<float> flat(50, 0.3f);
  EXPECT_EQ(robustSigma(flat.data(), 50, 1), 0.0001f);
}

}  // namespace
