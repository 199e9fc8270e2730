#include "Conversion/LanczosResampler.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

LinearImage filled(int64_t width, int64_t height, float (*value)(int64_t x, int64_t y, int c)) {
  LinearImage image(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x)
      for (int c = 0; c < 4; ++c) image.mutableRow(y)[x * 4 + c] = value(x, y, c);
  return image;
}

TEST(LanczosResampler, ExactSizesAndFlatFieldsStayFlat) {
  const LinearImage flat =
      filled(301, 199, [](int64_t, int64_t, int c) { return 0.1f + 0.2f * static_cast<float>(c); });
  for (const auto& [w, h] : {std::pair{150, 100}, {1, 1}, {301, 50}, {7, 199}, {600, 400}}) {
    const LinearImage out = LanczosResampler::resample(flat, w, h);
    ASSERT_EQ(out.width(), w);
    ASSERT_EQ(out.height(), h);
    for (int64_t y = 0; y < h; y += std::max<int64_t>(1, h / 7))
      for (int64_t x = 0; x < w; x += std::max<int64_t>(1, w / 7))
        for (int c = 0; c < 4; ++c)
          EXPECT_NEAR(out.row(y)[x * 4 + c], 0.1f + 0.2f * c, 1e-5) << w << "x" << h;
  }
}

TEST(LanczosResampler, SameSizeSharesThePixels) {
  const LinearImage image = filled(10, 10, [](int64_t x, int64_t, int) { return x * 0.1f; });
  EXPECT_TRUE(LanczosResampler::resample(image, 10, 10).sharesPixelsWith(image));
}

TEST(LanczosResampler, ShrinkingAveragesFineDetailInsteadOfAliasing) {
  // A one-pixel checkerboard shrunk by 3.3: a kernel that did not widen would sample it into
  // a moiré of near-black and near-white pixels; the widened one gives its mean everywhere.
  const LinearImage checker =
      filled(330, 330, [](int64_t x, int64_t y, int) { return ((x + y) % 2) ? 1.0f : 0.0f; });
  const LinearImage out = LanczosResampler::resample(checker, 100, 100);
  for (int64_t y = 2; y < 98; ++y)
    for (int64_t x = 2; x < 98; ++x) EXPECT_NEAR(out.row(y)[x * 4], 0.5f, 0.02) << x << "," << y;
}

TEST(LanczosResampler, RowSourceMatchesTheImageForm) {
  const LinearImage ramp = filled(97, 61, [](int64_t x, int64_t y, int c) {
    return std::sin(static_cast<float>(x) * 0.3f) + static_cast<float>(y) * 0.01f * c;
  });
  const LinearImage direct = LanczosResampler::resample(ramp, 40, 25);
  const LinearImage streamed = LanczosResampler::resample(
      97, 61,
      [&](int64_t y, float* scratch) {
        std::copy_n(ramp.row(y), 97 * 4, scratch);
        return scratch;
      },
      40, 25);
  for (size_t i = 0; i < direct.valueCount(); ++i)
    EXPECT_NEAR(direct.pixels()[i], streamed.pixels()[i], 1e-5);
}

TEST(LanczosResampler, HalvingATwoPixelPatternKeepsItsLevelAndPosition) {
  // Left half 1, right half 0: the halved image keeps the step in the middle and a mean of 0.5.
  const LinearImage step =
      filled(64, 4, [](int64_t x, int64_t, int) { return x < 32 ? 1.0f : 0.0f; });
  const LinearImage out = LanczosResampler::resample(step, 32, 2);
  EXPECT_NEAR(out.row(0)[4 * 4], 1.0f, 0.01);
  EXPECT_NEAR(out.row(0)[27 * 4], 0.0f, 0.01);
  EXPECT_NEAR(out.row(0)[15 * 4] + out.row(0)[16 * 4], 1.0f, 0.01);
}

TEST(LanczosResampler, HardEdgesDoNotRingAtAnyScale) {
  // A dense band, a clear band and a bright two-pixel line, as a step wedge or a sprocket hole
  // beside the film base: the outer lobes must not carry a value beyond its neighbours', which
  // would read as film denser or clearer than the scan holds. Levels in 0.002…0.9.
  const LinearImage scene = filled(240, 6, [](int64_t x, int64_t, int c) {
    if (c == 3) return 1.0f;
    if (x == 120 || x == 121) return 0.9f;
    return x < 80 ? 0.002f : 0.18f;
  });
  for (const int64_t width : {480, 239, 160, 120, 60, 37, 13}) {
    SCOPED_TRACE(width);
    const LinearImage out = LanczosResampler::resample(scene, width, 3);
    for (int64_t x = 0; x < width; ++x) {
      const float v = out.row(1)[x * 4];
      EXPECT_GE(v, 0.002f - 1e-6f) << x;
      EXPECT_LE(v, 0.9f + 1e-6f) << x;
      // Far from the bright line, nothing is clearer than the clear band.
      const double source = (x + 0.5) * 240.0 / static_cast<double>(width);
      if (std::abs(source - 121) > 3 * std::max(1.0, 240.0 / static_cast<double>(width)))
        EXPECT_LE(v, 0.18f + 1e-6f) << x;
    }
  }
}

}  // namespace
