// Film effects: the thresholds that switch them on, the vignette's reach and strength, and
// grain that depends only on position and settings.
#include "Finishing/FilmEffects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "TestSupport/Exposure.h"

namespace {

PrintImage ramp(int64_t width, int64_t height) {
  PrintImage print(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        print.rgb[(y * width + x) * 3 + c] = static_cast<float>((x + 2 * y + 7 * c) % 97) / 96.0f;
  return print;
}

PrintImage grey(int64_t width, int64_t height, float value) {
  return PrintImage(width, height, std::vector<float>(width * height * 3, value));
}

TEST(FilmEffects, ThresholdsSwitchEachEffect) {
  struct Case {
    double vignette, grain, glow;
    bool changes;
  };
  for (const Case& c : {Case{0, 0, 0, false}, Case{-0.5, 0.5, 0.5, false}, Case{0.5, 0, 0, false},
                        Case{-0.6, 0, 0, true}, Case{0.6, 0, 0, true}, Case{0, 0.6, 0, true},
                        Case{0, 0, 0.6, true}}) {
    ConversionSettings settings;
    settings.vignetteAmount = c.vignette;
    settings.grainAmount = c.grain;
    settings.glowAmount = c.glow;
    settings.vignetteMidpoint = 0;  // so that a small amount shows
    PrintImage print = ramp(120, 80);
    const std::vector<float> before = print.rgb;
    FilmEffects::apply(print, settings);
    EXPECT_EQ(print.rgb != before, c.changes) << c.vignette << " " << c.grain << " " << c.glow;
  }
}

TEST(FilmEffects, VignetteDarkensCornersByTwoStopsAndSparesTheCentre) {
  const int64_t width = 300, height = 200;
  PrintImage print = grey(width, height, 0.5f);
  FilmEffects::vignette(print, -100, 50, 50);
  auto at = [&](int64_t x, int64_t y) { return print.rgb[(y * width + x) * 3]; };
  const float quarter = exposedByDefinition(0.5f, -2);
  EXPECT_NEAR(std::pow(quarter, 2.2f), std::pow(0.5f, 2.2f) / 4, 1e-6);
  for (auto [x, y] : {std::pair<int64_t, int64_t>{0, 0},
                      {width - 1, 0},
                      {0, height - 1},
                      {width - 1, height - 1}})
    EXPECT_NEAR(at(x, y), quarter, 2e-6);
  EXPECT_EQ(at(width / 2, height / 2), 0.5f);
  EXPECT_EQ(at(width / 2 + 30, height / 2 + 20), 0.5f);  // d ≈ 0.2, inside 0.26125
  EXPECT_LT(at(width / 2 + 80, height / 2), 0.5f);       // d ≈ 0.38
  EXPECT_GT(at(width / 2 + 80, height / 2), quarter);

  // Lightening, with the same reach, never goes above 1.
  PrintImage light = grey(width, height, 0.9f);
  FilmEffects::vignette(light, 100, 50, 50);
  EXPECT_EQ(light.rgb[0], 1.0f);
  EXPECT_EQ(light.rgb[(100 * width + 150) * 3], 0.9f);

  // Midpoint 0 and feather 0: the darkening starts at the centre.
  PrintImage early = grey(width, height, 0.5f);
  FilmEffects::vignette(early, -100, 0, 0);
  EXPECT_LT(early.rgb[(100 * width + 152) * 3], 0.5f);
  EXPECT_NEAR(early.rgb[0], quarter, 2e-6);  // beyond the outer 0.3
}

// A dark print with a bright square in the middle.
PrintImage brightSquare(int64_t width, int64_t height, float dark) {
  PrintImage print = grey(width, height, dark);
  for (int64_t y = height / 2 - 10; y < height / 2 + 10; ++y)
    for (int64_t x = width / 2 - 10; x < width / 2 + 10; ++x)
      for (int c = 0; c < 3; ++c) print.rgb[(y * width + x) * 3 + c] = 1.0f;
  return print;
}

TEST(FilmEffects, HalationGlowsAroundHighlightsOnly) {
  const int64_t width = 200, height = 150;
  // Nothing above luminance 0.6: nothing to glow.
  PrintImage dim = ramp(width, height);
  for (float& v : dim.rgb) v *= 0.59f;
  const std::vector<float> before = dim.rgb;
  FilmEffects::halation(dim, false, 100, 100);
  EXPECT_EQ(dim.rgb, before);

  // Beside the square: red-orange on colour film (blue at half of red's strength), neutral on
  // black and white; far away nothing.
  const int64_t beside = (height / 2 * width + width / 2 + 14) * 3;
  PrintImage colour = brightSquare(width, height, 0);
  FilmEffects::halation(colour, false, 100, 30);
  EXPECT_GT(colour.rgb[beside], 0.01f);
  EXPECT_FLOAT_EQ(colour.rgb[beside + 1], 0.72f * colour.rgb[beside]);
  EXPECT_FLOAT_EQ(colour.rgb[beside + 2], 0.5f * colour.rgb[beside]);
  EXPECT_EQ(colour.rgb[0], 0.0f);

  PrintImage mono = brightSquare(width, height, 0.2f);
  FilmEffects::halation(mono, true, 100, 30);
  EXPECT_GT(mono.rgb[beside], 0.2f);
  EXPECT_EQ(mono.rgb[beside + 1], mono.rgb[beside]);
  EXPECT_EQ(mono.rgb[beside + 2], mono.rgb[beside]);

  // A larger size reaches further.
  PrintImage small = brightSquare(width, height, 0), large = small;
  FilmEffects::halation(small, false, 100, 0);
  FilmEffects::halation(large, false, 100, 100);
  const int64_t further = (height / 2 * width + width / 2 + 20) * 3;
  EXPECT_EQ(small.rgb[further], 0.0f);
  EXPECT_GT(large.rgb[further], 0.0f);
}

// The grain of one pixel, written out directly from its definition.
float hashed(int64_t i, int64_t j, uint32_t seed) {
  uint32_t n = static_cast<uint32_t>(i) * 374761393u + static_cast<uint32_t>(j) * 668265263u;
  n ^= seed;
  n ^= n >> 13;
  n *= 1274126177u;
  n = (n & 0xFFFFFFu) ^ (n >> 16);
  return static_cast<float>(n) / 8388607.0f - 1.0f;
}

float noise(double X, double Y, uint32_t seed) {
  const double i = std::floor(X), j = std::floor(Y);
  const float fx = static_cast<float>(X - i), fy = static_cast<float>(Y - j);
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const auto ii = static_cast<int64_t>(i), jj = static_cast<int64_t>(j);
  return (1 - sy) * ((1 - sx) * hashed(ii, jj, seed) + sx * hashed(ii + 1, jj, seed)) +
         sy * ((1 - sx) * hashed(ii, jj + 1, seed) + sx * hashed(ii + 1, jj + 1, seed));
}

float grained(float c, float l, int64_t x, int64_t y, int64_t longSide, double amount, double size,
              double roughness) {
  const float k = static_cast<float>(std::min(amount, 100.0) / 100 * 0.16);
  const double f = (size <= 0 ? 3000 : 3000 - 2500 * std::min(size, 100.0) / 100) / longSide;
  const float rho = static_cast<float>(roughness / 100);
  const double X = (x + 0.5) * f, Y = (y + 0.5) * f;
  float n = 2.2f * noise(X, Y, 0x9e37);
  if (rho > 0) n = (1 - 0.5f * rho) * n + rho * 2.2f * noise(2.3 * X, 2.3 * Y, 0x7f4a);
  n = n / static_cast<float>(std::sqrt(std::max(f, 1.0)));
  return std::clamp(c + k * n * (3 * l * (1 - l) + 0.25f), 0.0f, 1.0f);
}

TEST(FilmEffects, GrainFollowsItsDefinitionAndRepeatsExactly) {
  struct Case {
    int64_t width, height;
    double amount, size, roughness;
  };
  for (const Case& c : {Case{240, 160, 100, 25, 50}, Case{90, 200, 40, 0, 0},
                        Case{64, 64, 300, 100, 100}, Case{4000, 3, 60, 10, 30}}) {
    const PrintImage original = grey(c.width, c.height, 0.5f);
    PrintImage print = original;
    FilmEffects::grain(print, c.amount, c.size, c.roughness);
    const float l = 0.2126f * 0.5f + 0.7152f * 0.5f + 0.0722f * 0.5f;
    const int64_t longSide = std::max(c.width, c.height);
    for (int64_t y = 0; y < c.height; y += 7)
      for (int64_t x = 0; x < c.width; x += 5) {
        const float expected = grained(0.5f, l, x, y, longSide, c.amount, c.size, c.roughness);
        const float* p = print.rgb.data() + (y * c.width + x) * 3;
        ASSERT_EQ(p[0], expected) << x << "," << y;
        ASSERT_EQ(p[1], p[0]);  // neutral
        ASSERT_EQ(p[2], p[0]);
      }
    EXPECT_NE(print.rgb, original.rgb);

    // Renders at the same time on several threads give the same grain.
    std::vector<PrintImage> copies(4, original);
    std::vector<std::thread> threads;
    for (PrintImage& copy : copies)
      threads.emplace_back(
          [&copy, &c] { FilmEffects::grain(copy, c.amount, c.size, c.roughness); });
    for (std::thread& t : threads) t.join();
    for (const PrintImage& copy : copies) EXPECT_EQ(copy.rgb, print.rgb);
  }
}

TEST(FilmEffects, GrainStaysWithinRange) {
  for (float value : {0.0f, 1.0f, 0.02f, 0.98f}) {
    PrintImage print = grey(200, 100, value);
    FilmEffects::grain(print, 100, 0, 100);
    for (float v : print.rgb) ASSERT_TRUE(v >= 0 && v <= 1) << v;
  }
}

}  // namespace
