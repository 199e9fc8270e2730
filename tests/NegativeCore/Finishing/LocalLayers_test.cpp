// Local adjustment layers: which layers act, the blend of exposure, contrast and saturation by
// the mask, and tone controls taken from a toned copy of the print.
#include "Finishing/LocalLayers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Finishing/DodgeBurn.h"
#include "Record/ConversionSettings.h"
#include "TestSupport/Exposure.h"
#include "TestSupport/FilledPrint.h"
#include "Tone/Adjustments.h"

namespace {

constexpr int64_t W = 48, H = 32;
const NormRect full{0, 0, 1, 1};

PrintImage filled(float r, float g, float b) { return filledPrint(W, H, r, g, b); }

// A varied print: every pixel a different colour, some values outside 0…1.
PrintImage varied() {
  PrintImage print(W, H);
  for (int64_t i = 0; i < W * H * 3; ++i)
    print.rgb[i] = static_cast<float>((i * 37) % 101) / 90.0f - 0.05f;
  return print;
}

// Weight 1 over the whole print (a linear shape whose ends coincide).
DodgeBurnStroke everywhere() { return DodgeBurnStroke::linear({0.5, 0.5}, {0.5, 0.5}, 2); }

// Weight 1 on the left half, falling across the middle quarter, 0 on the right.
DodgeBurnStroke leftSide() { return DodgeBurnStroke::linear({0.375, 0.5}, {0.625, 0.5}, -3); }

// An adjustment with one tone control set (tone controls cannot be named in an initializer).
LocalAdjustment with(double ToneControls::*member, double value) {
  LocalAdjustment adjust;
  adjust.*member = value;
  return adjust;
}

LocalLayer layer(LocalAdjustment adjust, std::vector<DodgeBurnStroke> shapes = {everywhere()}) {
  return LocalLayer{.name = "Layer", .shapes = std::move(shapes), .adjust = adjust};
}

PrintImage rendered(PrintImage print, const std::vector<LocalLayer>& layers,
                    FilmMode mode = FilmMode::colorNegative) {
  LocalLayers::apply(print, layers, W, H, mode, 0, full);
  return print;
}

TEST(LocalLayers, LayersThatCannotActChangeNothing) {
  const PrintImage original = varied();
  LocalLayer hidden = layer({.exposure = 1});
  hidden.visible = false;
  LocalLayer offPrint =
      layer({.exposure = 1}, {DodgeBurnStroke::radial({3, 3}, 0.1, 0.1, 0, 1, false)});
  for (const LocalLayer& l : {hidden, layer({.exposure = 1}, {}), layer({}), offPrint})
    EXPECT_EQ(rendered(original, {l}).rgb, original.rgb);

  // A value too small for the tone controls still passes the layer's own test: the covered
  // pixels are clamped to 0…1 and nothing else happens.
  const PrintImage clamped = rendered(original, {layer(with(&ToneControls::highlights, 0.3))});
  for (size_t i = 0; i < original.rgb.size(); ++i)
    ASSERT_EQ(clamped.rgb[i], std::clamp(original.rgb[i], 0.0f, 1.0f));
}

TEST(LocalLayers, ContrastBendsTowardTheSCurve) {
  struct Case {
    double contrast;
    float in, out;
  };
  for (const Case& c : {Case{100, 0.25f, 0.15625f}, Case{-100, 0.25f, 0.34375f}, Case{100, 0, 0},
                        Case{100, 0.5f, 0.5f}, Case{-100, 1, 1}, Case{250, 0.25f, 0.15625f}}) {
    const PrintImage print = rendered(filled(c.in, c.in, c.in), {layer({.contrast = c.contrast})});
    EXPECT_EQ(print.rgb[0], c.out) << c.contrast << " " << c.in;
  }
}

TEST(LocalLayers, ExposureIsClampedToThreeStops) {
  const float base = 0.2f;
  for (auto [exposure, stops] : {std::pair{5.0, 3.0f}, {-3.0, -3.0f}, {1.0, 1.0f}}) {
    const PrintImage print = rendered(filled(base, base, base), {layer({.exposure = exposure})});
    EXPECT_NEAR(print.rgb[0], exposedByDefinition(base, stops), 1e-6) << exposure;
  }
  const PrintImage darker = rendered(filled(base, base, base), {layer({.exposure = -3})});
  EXPECT_NEAR(std::pow(darker.rgb[0], 2.2f), std::pow(base, 2.2f) / 8, 1e-6);
}

TEST(LocalLayers, SaturationAroundLuminanceExceptOnBlackAndWhite) {
  const PrintImage colour = filled(0.6f, 0.3f, 0.2f);
  const float l = 0.229f * 0.6f + 0.6917f * 0.3f + 0.0793f * 0.2f;
  const PrintImage grey = rendered(colour, {layer({.saturation = -100})});
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(grey.rgb[c], l, 1e-6);
  EXPECT_EQ(rendered(colour, {layer({.saturation = -100})}, FilmMode::bwNegative).rgb, colour.rgb);
  const PrintImage vivid = rendered(colour, {layer({.saturation = 100})}, FilmMode::positive);
  EXPECT_NEAR(vivid.rgb[0], std::min(1.0f, l + 2 * (0.6f - l)), 1e-6);
}

TEST(LocalLayers, MaskMixesLinearlyAndOverlapsDoNotDouble) {
  const PrintImage original = filled(0.25f, 0.25f, 0.25f);
  const PrintImage once = rendered(original, {layer({.contrast = 100}, {leftSide()})});
  const std::vector<float> mask = DodgeBurn::coverageMask({leftSide()}, W, H, W, H, 0, full);
  for (int64_t x = 0; x < W; ++x) {
    const float expected = 0.25f + mask[x] * (0.15625f - 0.25f);
    EXPECT_FLOAT_EQ(once.rgb[x * 3], expected) << x;
  }
  EXPECT_EQ(once.rgb[0], 0.15625f);
  EXPECT_EQ(once.rgb[(W - 1) * 3], 0.25f);
  EXPECT_GT(once.rgb[W / 2 * 3], 0.15625f);
  EXPECT_LT(once.rgb[W / 2 * 3], 0.25f);

  EXPECT_EQ(
      rendered(original, {layer({.contrast = 100}, {leftSide(), leftSide(), everywhere()})}).rgb,
      rendered(original, {layer({.contrast = 100})}).rgb);

  // A second layer works on the first one's result.
  const PrintImage twice = rendered(original, {layer({.contrast = 100}), layer({.contrast = 100})});
  const float v = 0.15625f;
  EXPECT_EQ(twice.rgb[0], v + (v * v * (3 - 2 * v) - v));
}

TEST(LocalLayers, ToneControlsComeFromAToneCopyOfThePrint) {
  PrintImage original(W, H);
  for (int64_t y = 0; y < H; ++y)
    for (int64_t x = 0; x < W; ++x)
      for (int c = 0; c < 3; ++c)
        original.rgb[(y * W + x) * 3 + c] =
            0.1f + 0.8f * static_cast<float>((x * 7 + y * 3 + c) % 16) / 15;

  ConversionSettings settings;
  settings.shadows = 60;
  settings.clarity = 40;
  settings.sharpness = 80;
  PrintImage toned = original;
  Adjustments::apply(toned, settings);
  ASSERT_NE(toned.rgb, original.rgb);

  LocalAdjustment adjust = with(&ToneControls::shadows, 60);
  adjust.clarity = 40;
  adjust.sharpness = 80;
  const PrintImage whole = rendered(original, {layer(adjust)});
  for (size_t i = 0; i < toned.rgb.size(); ++i) {
    const float p = original.rgb[i];
    ASSERT_EQ(whole.rgb[i], p + (std::clamp(toned.rgb[i], 0.0f, 1.0f) - p));
  }

  // Under a partial mask the toned copy is read, never the print being written.
  const PrintImage half = rendered(original, {layer(adjust, {leftSide()})});
  const std::vector<float> mask = DodgeBurn::coverageMask({leftSide()}, W, H, W, H, 0, full);
  for (int64_t i = 0; i < W * H; ++i)
    for (int c = 0; c < 3; ++c) {
      const float p = original.rgb[i * 3 + c];
      ASSERT_EQ(half.rgb[i * 3 + c],
                p + mask[i] * (std::clamp(toned.rgb[i * 3 + c], 0.0f, 1.0f) - p));
    }
}

TEST(LocalLayers, ValuesOnlyTheToneControlsUseAreRecognised) {
  EXPECT_TRUE(LocalAdjustment{}.isNeutral());
  EXPECT_FALSE(LocalAdjustment{.saturation = -0.0001}.isNeutral());
  EXPECT_FALSE(with(&ToneControls::highlights, 0.5).hasToneControls());
  EXPECT_TRUE(with(&ToneControls::whites, -0.6).hasToneControls());
  EXPECT_FALSE(with(&ToneControls::sharpness, -20).hasToneControls());
  EXPECT_FALSE(with(&ToneControls::blackMist, -20).hasToneControls());
  EXPECT_FALSE(
      (LocalAdjustment{.exposure = 2, .contrast = 50, .saturation = 20}.hasToneControls()));
  EXPECT_TRUE(with(&ToneControls::blackMist, 0.6).hasToneControls());
  EXPECT_FALSE(with(&ToneControls::dehaze, 0.25).isNeutral());
}

}  // namespace
