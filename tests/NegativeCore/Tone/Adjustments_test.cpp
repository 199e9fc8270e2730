// The tone controls on a print and the plain border.
#include "Tone/Adjustments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "Record/ConversionSettings.h"
#include "Support/PlanePool.h"
#include "Tone/BoxBlur.h"
#include "Tone/Luminance.h"
#include "Tone/PlaneSupport.h"

namespace {

using Plane = std::vector<float>;
using namespace Adjustments;

// Smooth colour gradients with noise and a bright patch: every control finds work.
PrintImage testPrint(int64_t width, int64_t height, unsigned seed = 1) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
  PrintImage print(width, height);
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      const float u = static_cast<float>(x) / static_cast<float>(width);
      const float v = static_cast<float>(y) / static_cast<float>(height);
      const float patch = std::abs(u - 0.6f) < 0.1f ? 0.45f : 0.0f;
      float* p = print.row(y) + 3 * x;
      p[0] = std::clamp(0.1f + 0.7f * u + patch + noise(engine), 0.0f, 1.0f);
      p[1] = std::clamp(0.2f + 0.5f * v + patch + noise(engine), 0.0f, 1.0f);
      p[2] = std::clamp(0.6f - 0.4f * u + patch + noise(engine), 0.0f, 1.0f);
    }
  }
  return print;
}

PrintImage after(const PrintImage& original, const std::function<void(PrintImage&)>& step) {
  PrintImage print = original;
  step(print);
  return print;
}

float smooth(float t) { return t * t * (3.0f - 2.0f * t); }
float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

Plane channelOf(const PrintImage& print, int c) {
  Plane plane(static_cast<size_t>(print.width * print.height));
  for (size_t i = 0; i < plane.size(); ++i) plane[i] = print.rgb[3 * i + c];
  return plane;
}

TEST(Adjustments, SlidersWithinHalfAPointChangeNothing) {
  const PrintImage original = testPrint(90, 60);
  using Field = double ConversionSettings::*;
  struct Case {
    Field field;
    double value;
  };
  const Case cases[] = {
      {&ConversionSettings::grainReduction, 0.5}, {&ConversionSettings::grainReduction, -40},
      {&ConversionSettings::dehaze, 0.4},         {&ConversionSettings::dehaze, -0.5},
      {&ConversionSettings::highlights, 0.5},     {&ConversionSettings::shadows, -0.3},
      {&ConversionSettings::whites, 0.45},        {&ConversionSettings::blacks, -0.49},
      {&ConversionSettings::clarity, -0.5},       {&ConversionSettings::sharpness, 0.5},
      {&ConversionSettings::sharpness, -20},      {&ConversionSettings::blackMist, 0.2},
      {&ConversionSettings::blackMist, -100},
  };
  for (const Case& c : cases) {
    ConversionSettings settings;
    settings.*c.field = c.value;
    const PrintImage print = after(original, [&](PrintImage& p) { apply(p, settings); });
    EXPECT_EQ(print.rgb, original.rgb) << c.value;
  }
}

TEST(Adjustments, ApplyRunsTheControlsInTheirOrder) {
  const PrintImage original = testPrint(120, 80);
  ConversionSettings settings;
  settings.mode = FilmMode::bwNegative;
  settings.grainReduction = 50;
  settings.dehaze = 30;
  settings.highlights = -20;
  settings.blacks = 0.6;
  settings.clarity = 40;
  settings.sharpness = 60;
  settings.blackMist = 25;
  const PrintImage applied = after(original, [&](PrintImage& p) { apply(p, settings); });
  const PrintImage stepByStep = after(original, [&](PrintImage& p) {
    grainReduction(p, true, 50);
    dehaze(p, 30);
    toneRegions(p, -20, 0, 0, 0.6);
    clarity(p, 40);
    sharpen(p, 60);
    blackMist(p, 25);
  });
  EXPECT_EQ(applied.rgb, stepByStep.rgb);
  const PrintImage reordered = after(original, [&](PrintImage& p) {
    blackMist(p, 25);
    grainReduction(p, true, 50);
    dehaze(p, 30);
    toneRegions(p, -20, 0, 0, 0.6);
    clarity(p, 40);
    sharpen(p, 60);
  });
  EXPECT_NE(applied.rgb, reordered.rgb);
  EXPECT_EQ(after(original, [](PrintImage& p) { clarityThunk(p, 40); }).rgb,
            after(original, [](PrintImage& p) { clarity(p, 40); }).rgb);
}

TEST(Adjustments, AmountsAreClampedToTheirRanges) {
  const PrintImage original = testPrint(100, 70);
  using Control = std::function<void(PrintImage&, double)>;
  struct Case {
    const char* name;
    Control control;
    double beyond, limit, inside;
  };
  const Case cases[] = {
      {"sharpness", sharpen, 200, 150, 100},
      {"grain", [](PrintImage& p, double a) { grainReduction(p, false, a); }, 150, 100, 60},
      {"black mist", blackMist, 400, 100, 50},
      {"dehaze", dehaze, 180, 100, 50},
      {"dehaze negative", dehaze, -150, -100, -50},
      {"clarity", clarity, -300, -100, -50},
      {"sharpness not a number", sharpen, std::nan(""), 0, 50},
  };
  for (const Case& c : cases) {
    const Plane beyond = after(original, [&](PrintImage& p) { c.control(p, c.beyond); }).rgb;
    EXPECT_EQ(beyond, after(original, [&](PrintImage& p) { c.control(p, c.limit); }).rgb) << c.name;
    EXPECT_NE(beyond, after(original, [&](PrintImage& p) { c.control(p, c.inside); }).rgb)
        << c.name;
  }
}

TEST(Adjustments, SharpnessRadiusFollowsTheLongSide) {
  // Long side 2400 blurs with radius 1; 6000 with radius 2 (1.5 rounds up).
  for (const auto& [width, radius] : {std::pair<int64_t, int64_t>{2400, 1}, {6000, 2}}) {
    const PrintImage original = testPrint(width, 3);
    const PrintImage sharpened = after(original, [](PrintImage& p) { sharpen(p, 100); });
    const Plane lum = luminance(width, 3, original.rgb);
    for (const int64_t r : {radius, radius + 1}) {
      const Plane blurred = boxBlur(lum, width, 3, r, 2);
      Plane expected = original.rgb;
      for (size_t i = 0; i < lum.size(); ++i) {
        const float d = std::clamp(1.2f * (lum[i] - blurred[i]), -0.2f, 0.2f);
        for (int c = 0; c < 3; ++c) expected[3 * i + c] = clamp01(expected[3 * i + c] + d);
      }
      EXPECT_EQ(sharpened.rgb == expected, r == radius) << width << " radius " << r;
    }
  }
}

TEST(Adjustments, ToneRegionsShiftBlackPixels) {
  // On black, ρ is 1 and u is 0: every channel moves by δ, then clamps.
  struct Case {
    double highlights, shadows, whites, blacks;
    float expected;
  };
  const Case cases[] = {
      {0, 100, 0, 0, 0.28f},    {0, 0, 0, 100, 0.14f}, {0, 50, 0, 50, 0.28f * 0.5f + 0.14f * 0.5f},
      {100, 0, 100, 0, 0.0f},  // highlight and white masks are empty on black
      {0, -100, 0, -100, 0.0f},
  };
  for (const Case& c : cases) {
    PrintImage print(30, 20);
    toneRegions(print, c.highlights, c.shadows, c.whites, c.blacks);
    for (float v : print.rgb) ASSERT_FLOAT_EQ(v, c.expected);
  }
}

TEST(Adjustments, DehazeKeepsTheHazeColourAndAddsAVeil) {
  // Everything at or below luminance 0.5, so the haze level is its floor 0.5.
  PrintImage print = testPrint(80, 60);
  for (float& v : print.rgb) v *= 0.5f;
  for (int64_t x = 0; x < 80; x += 7) std::fill_n(print.row(30) + 3 * x, 3, 0.5f);
  const PrintImage cleared = after(print, [](PrintImage& p) { dehaze(p, 80); });
  for (int64_t x = 0; x < 80; x += 7)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(cleared.row(30)[3 * x + c], 0.5f);
  EXPECT_NE(cleared.rgb, print.rgb);

  // Adding haze pulls toward 0.92 × 0.5, by 0.55 × (0.65 (1 − L) + 0.35) at −100.
  PrintImage blackAndWhite(2, 1, {0, 0, 0, 1, 1, 1});
  PrintImage dark(100, 100);  // many black pixels keep the haze level at 0.5
  std::copy(blackAndWhite.rgb.begin(), blackAndWhite.rgb.end(), dark.rgb.begin());
  dehaze(dark, -100);
  const float veil = 0.92f * 0.5f;
  EXPECT_NEAR(dark.rgb[0], 0.55f * veil, 1e-6f);
  const float lWhite = 0.229f + 0.6917f + 0.0793f;
  const float kWhite = 0.55f * (0.65f * (1 - lWhite) + 0.35f);
  EXPECT_NEAR(dark.rgb[3], 1 + kWhite * (veil - 1), 1e-6f);
}

TEST(Adjustments, GrainReductionOnMonochromeKeepsChroma) {
  const PrintImage original = testPrint(200, 120);
  const PrintImage mono = after(original, [](PrintImage& p) { grainReduction(p, true, 80); });
  int compared = 0;
  for (size_t i = 0; i < mono.rgb.size(); i += 3) {
    const float* before = &original.rgb[i];
    const float* now = &mono.rgb[i];
    if (std::any_of(now, now + 3, [](float v) { return v <= 0.0f || v >= 1.0f; })) continue;
    ASSERT_NEAR(now[0] - before[0], now[1] - before[1], 1e-6f);
    ASSERT_NEAR(now[0] - before[0], now[2] - before[2], 1e-6f);
    ++compared;
  }
  EXPECT_GT(compared, 20000);
  EXPECT_NE(mono.rgb, original.rgb);
  EXPECT_NE(mono.rgb, after(original, [](PrintImage& p) { grainReduction(p, false, 80); }).rgb);
}

// The controls that combine several blurred planes row by row must give what the plain plane
// formulas give. The sizes take the reduced blur path for most of their blurs.
TEST(Adjustments, RowWiseControlsMatchThePlaneFormulas) {
  const PrintImage original = testPrint(1800, 80, 4);
  const int64_t w = original.width, h = original.height;
  const Plane lum = luminance(w, h, original.rgb);
  const size_t n = lum.size();

  {  // Grain reduction in colour, amount 100: radius 4, chroma radius 8 (reduced).
    const float s = 1.0f;
    const int64_t r = 4;
    Plane squares(n), a(n), b(n);
    for (size_t i = 0; i < n; ++i) squares[i] = lum[i] * lum[i];
    const Plane mean = boxBlur(lum, w, h, r, 1), meanSq = boxBlur(squares, w, h, r, 1);
    const float eps = (0.055f * s) * (0.055f * s) + 0.000001f;
    for (size_t i = 0; i < n; ++i) {
      const float var = std::max(meanSq[i] - mean[i] * mean[i], 0.0f);
      a[i] = var / (var + eps);
      b[i] = mean[i] - a[i] * mean[i];
    }
    const Plane meanA = boxBlur(a, w, h, r, 1), meanB = boxBlur(b, w, h, r, 1);
    Plane expected = original.rgb;
    for (int c = 0; c < 3; ++c) {
      Plane chroma = channelOf(original, c);
      for (size_t i = 0; i < n; ++i) chroma[i] -= lum[i];
      const Plane smoothChroma = boxBlur(chroma, w, h, 2 * r, 2);
      for (size_t i = 0; i < n; ++i) {
        float& v = expected[3 * i + c];
        const float q = meanA[i] * lum[i] + meanB[i];
        v = clamp01(v + (q - lum[i]) + 0.8f * s * (smoothChroma[i] - chroma[i]));
      }
    }
    EXPECT_EQ(after(original, [](PrintImage& p) { grainReduction(p, false, 100); }).rgb, expected);
  }
  {  // Black mist, amount 60: radii 21 and 63.
    const float s = 0.6f;
    Plane expected = original.rgb;
    for (int c = 0; c < 3; ++c) {
      const Plane channel = channelOf(original, c);
      Plane source(n);
      for (size_t i = 0; i < n; ++i) {
        const float m = smooth(clamp01((lum[i] - 0.55f) / 0.45f));
        source[i] = m * m * channel[i];
      }
      const Plane nearGlow = boxBlur(source, w, h, 21, 3), farGlow = boxBlur(source, w, h, 63, 3);
      const Plane softened = boxBlur(channel, w, h, 21, 2);
      for (size_t i = 0; i < n; ++i) {
        const float glow = 0.55f * nearGlow[i] + 0.45f * farGlow[i];
        const float alpha = 0.3f * s * (0.75f * lum[i] + 0.25f);
        const float u = channel[i] + alpha * (softened[i] - channel[i]);
        const float gamma = std::min(2.0f * s * glow, 1.0f);
        expected[3 * i + c] =
            clamp01(0.012f * s * (1.0f - lum[i]) + 1.0f - (1.0f - u) * (1.0f - gamma));
      }
    }
    EXPECT_EQ(after(original, [](PrintImage& p) { blackMist(p, 60); }).rgb, expected);
  }
  {  // Dehaze, amount 70: the dark plane blurred with radius 27.
    const float s = 0.7f;
    Plane dark(n);
    for (size_t i = 0; i < n; ++i)
      dark[i] = std::min({original.rgb[3 * i], original.rgb[3 * i + 1], original.rgb[3 * i + 2]});
    const Plane darkBlurred = boxBlur(dark, w, h, 27, 2);
    Plane samples;
    for (size_t i = 0; i < n; i += n / 20000) samples.push_back(lum[i]);
    std::sort(samples.begin(), samples.end());
    const float haze = std::max(samples[static_cast<size_t>((samples.size() - 1) * 0.995)], 0.5f);
    Plane expected = original.rgb;
    for (size_t i = 0; i < n; ++i) {
      const float t = std::max(1.0f - 0.9f * s * darkBlurred[i] / haze, 0.3f);
      for (int c = 0; c < 3; ++c)
        expected[3 * i + c] = clamp01(haze + (expected[3 * i + c] - haze) / t);
    }
    EXPECT_EQ(after(original, [](PrintImage& p) { dehaze(p, 70); }).rgb, expected);
  }
}

TEST(Adjustments, BorderWidthAndColour) {
  // The framed print's memory may come back from an earlier step: fill it with ones first.
  PlanePool::give(std::vector<float>(static_cast<size_t>(702 * 502 * 3), 1.0f));
  const PrintImage black = border(700, 500, testPrint(700, 500).rgb, BorderStyle::black, 0);
  for (int64_t x = 0; x < black.width; ++x) ASSERT_EQ(black.rgb[3 * x], 0.0f);

  const PrintImage print = testPrint(40, 20);
  struct Case {
    BorderStyle style;
    double size;
    int64_t width;  // of the border in pixels; 0: print unchanged
  };
  const Case cases[] = {
      {BorderStyle::white, 0, 1},
      {BorderStyle::black, -3, 1},
      {BorderStyle::white, 5, 1},
      {BorderStyle::black, 12.5, 3},  // 2.5 rounds away from 0
      {BorderStyle::white, 80, 10},
      {BorderStyle::black, 50, 10},
      {BorderStyle::white, std::nan(""), 1},
      {BorderStyle::none, 20, 0},
      {BorderStyle::film, 20, 0},
  };
  for (const Case& c : cases) {
    const PrintImage framed = border(print.width, print.height, print.rgb, c.style, c.size);
    const int64_t b = c.width;
    ASSERT_EQ(framed.width, 40 + 2 * b) << c.size;
    ASSERT_EQ(framed.height, 20 + 2 * b) << c.size;
    if (b == 0) {
      EXPECT_EQ(framed.rgb, print.rgb);
      continue;
    }
    const float fill = c.style == BorderStyle::white ? 1.0f : 0.0f;
    for (int64_t y = 0; y < framed.height; ++y) {
      for (int64_t x = 0; x < framed.width; ++x) {
        const bool inside = x >= b && x < b + 40 && y >= b && y < b + 20;
        for (int ch = 0; ch < 3; ++ch) {
          const float expected = inside ? print.row(y - b)[3 * (x - b) + ch] : fill;
          ASSERT_EQ(framed.row(y)[3 * x + ch], expected) << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
