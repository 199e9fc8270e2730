// Looks: neutrality, scaling by an amount, the tone and colour steps, the scanner looks and the
// look list of an edit record.
#include "Print/Looks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "Print/FilmPresets.h"

namespace {

float hueOf(float r, float g, float b) {
  return std::atan2(0.8660254f * (g - b), r - 0.5f * (g + b)) * 57.29578f;
}

float chromaOf(float r, float g, float b) {
  return std::hypot(r - 0.5f * (g + b), 0.8660254f * (g - b));
}

// A pixel of the given hue and chroma around the mean 0.5.
std::array<float, 3> pixelOfHue(float degrees, float chroma) {
  const float t = degrees * 0.017453292f;
  const float u = chroma * std::cos(t);
  const float v = chroma * std::sin(t);
  return {0.5f + 2 * u / 3, 0.5f - u / 3 + v / 1.7320508f, 0.5f - u / 3 - v / 1.7320508f};
}

TEST(LookParameters, NeutralityIgnoresOnlyTheKnee) {
  EXPECT_TRUE(LookParameters::neutral().isNeutral());
  EXPECT_TRUE(parameters(ScannerLook::neutral).isNeutral());
  LookParameters kneeOnly;
  kneeOnly.highlightKnee = 0.3f;
  EXPECT_TRUE(kneeOnly.isNeutral());
  const std::function<void(LookParameters&)> changes[] = {
      [](LookParameters& l) { l.contrast = 1.01f; },
      [](LookParameters& l) { l.saturation = 0.9f; },
      [](LookParameters& l) { l.highlightRolloff = 0.1f; },
      [](LookParameters& l) { l.blackLift = 0.01f; },
      [](LookParameters& l) { l.shadowTint[2] = 0.01f; },
      [](LookParameters& l) { l.midTint[0] = -0.01f; },
      [](LookParameters& l) { l.highlightTint[1] = 0.01f; },
      [](LookParameters& l) { l.skinHueShift = 1; },
      [](LookParameters& l) { l.whiteLevel = 0.99f; },
      [](LookParameters& l) { l.hueBands.push_back({}); },
      [](LookParameters& l) { l.balance.second = 1; },
  };
  for (size_t i = 0; i < std::size(changes); ++i) {
    LookParameters look;
    changes[i](look);
    EXPECT_FALSE(look.isNeutral()) << "change " << i;
  }
}

TEST(LookParameters, ScaledByAmount) {
  const LookParameters full = parameters(ScannerLook::frontier);

  const LookParameters half = full.scaled(0.5);
  EXPECT_FLOAT_EQ(half.contrast, 0.5f * (1.325f - 1) + 1);
  EXPECT_FLOAT_EQ(half.saturation, 0.99f);
  EXPECT_FLOAT_EQ(half.highlightRolloff, 0.335f);
  EXPECT_FLOAT_EQ(half.highlightKnee, 0.72f);
  EXPECT_FLOAT_EQ(half.blackLift, 0.043f);
  EXPECT_FLOAT_EQ(half.midTint[0], 0.024f);
  EXPECT_FLOAT_EQ(half.highlightTint[2], -0.0045f);
  EXPECT_FLOAT_EQ(half.whiteLevel, 0.967f);
  EXPECT_FLOAT_EQ(half.balance.first, 17.5f);
  EXPECT_FLOAT_EQ(half.balance.second, 5);
  ASSERT_EQ(half.hueBands.size(), 3u);
  EXPECT_FLOAT_EQ(half.hueBands[2].center, 222);
  EXPECT_FLOAT_EQ(half.hueBands[2].width, 30);
  EXPECT_FLOAT_EQ(half.hueBands[2].shift, -0.95f);
  EXPECT_FLOAT_EQ(half.hueBands[2].saturation, 0.915f);

  // From 0.999 as a float upward, and above 1, the look stays as it is.
  for (double amount : {0.999, 1.0, 1.5}) {
    const LookParameters same = full.scaled(amount);
    EXPECT_EQ(same.contrast, full.contrast) << amount;
    EXPECT_EQ(same.hueBands[0].shift, full.hueBands[0].shift) << amount;
  }
  EXPECT_LT(full.scaled(0.9989).contrast, full.contrast);

  // Nothing left of it at 0 or below, but the bands remain, so it is not neutral.
  for (double amount : {0.0, -3.0}) {
    const LookParameters none = full.scaled(amount);
    EXPECT_EQ(none.contrast, 1);
    EXPECT_EQ(none.whiteLevel, 1);
    EXPECT_EQ(none.balance.first, 0);
    ASSERT_EQ(none.hueBands.size(), 3u);
    EXPECT_EQ(none.hueBands[1].shift, 0);
    EXPECT_EQ(none.hueBands[1].saturation, 1);
    EXPECT_FALSE(none.isNeutral());
  }
}

TEST(LookParameters, ToneStep) {
  LookParameters linear;
  linear.blackLift = 0.1f;
  linear.whiteLevel = 0.9f;
  EXPECT_FLOAT_EQ(linear.applyTone(0), 0.1f);
  EXPECT_FLOAT_EQ(linear.applyTone(1), 0.9f);
  EXPECT_FLOAT_EQ(linear.applyTone(0.5f), 0.5f);
  EXPECT_FLOAT_EQ(linear.applyTone(-2), 0.1f);
  EXPECT_FLOAT_EQ(linear.applyTone(7), 0.9f);

  // The shoulder bends the segment above the knee down and keeps both its ends.
  LookParameters shoulder;
  shoulder.highlightRolloff = 0.8f;
  shoulder.highlightKnee = 0.6f;
  EXPECT_FLOAT_EQ(shoulder.applyTone(0.6f), 0.6f);
  EXPECT_FLOAT_EQ(shoulder.applyTone(1), 1);
  EXPECT_FLOAT_EQ(shoulder.applyTone(0.3f), 0.3f);
  // t = 0.5: 0.6 + 0.4·(0.5 − 0.5·0.8·0.25)
  EXPECT_FLOAT_EQ(shoulder.applyTone(0.8f), 0.76f);
}

TEST(LookParameters, ColourStep) {
  // Grey stays grey apart from the tints: rotations and chroma factors need a hue.
  LookParameters look = parameters(ScannerLook::frontier);
  look.shadowTint = look.midTint = look.highlightTint = {0, 0, 0};
  look.skinHueShift = 12;
  float r = 0.4f, g = 0.4f, b = 0.4f;
  look.applyColor(r, g, b, 0.4f);
  EXPECT_FLOAT_EQ(r, 0.4f);
  EXPECT_FLOAT_EQ(g, 0.4f);
  EXPECT_FLOAT_EQ(b, 0.4f);

  // Tints weigh by zone: at L = 0.5 the shadow weight is 0.25, midtone 1, highlight 0.25.
  LookParameters tints;
  tints.shadowTint = {0.04f, 0, 0};
  tints.midTint = {0, 0.02f, 0};
  tints.highlightTint = {0, 0, -0.08f};
  r = g = b = 0.5f;
  tints.applyColor(r, g, b, 0.5f);
  EXPECT_NEAR(r, 0.51f, 1e-6);
  EXPECT_NEAR(g, 0.52f, 1e-6);
  EXPECT_NEAR(b, 0.48f, 1e-6);

  // A positive skin shift turns a hue of 30° toward yellow by its full amount.
  LookParameters skin;
  skin.skinHueShift = 5;
  auto [sr, sg, sb] = pixelOfHue(30, 0.2f);
  skin.applyColor(sr, sg, sb, 0.5f);
  EXPECT_NEAR(hueOf(sr, sg, sb), 35, 1e-3);

  // Bands compare hues with wrap-around: −170° is 32° from a band centred at 222°.
  LookParameters band;
  band.hueBands = {{222, 32, 0, 0}};
  auto [br, bg, bb] = pixelOfHue(-170, 0.2f);
  band.applyColor(br, bg, bb, 0.5f);
  EXPECT_NEAR(chromaOf(br, bg, bb), 0.2f * (1 - std::exp(-1.0f)), 1e-5);

  // The saturation factor scales chroma and keeps the channel mean.
  LookParameters flat;
  flat.saturation = 0.5f;
  auto [fr, fg, fb] = pixelOfHue(100, 0.2f);
  flat.applyColor(fr, fg, fb, 0.5f);
  EXPECT_NEAR(chromaOf(fr, fg, fb), 0.1f, 1e-6);
  EXPECT_NEAR((fr + fg + fb) / 3, 0.5f, 1e-6);
}

TEST(Looks, ScannerAndDraftLooks) {
  const LookParameters frontier = parameters(ScannerLook::frontier);
  EXPECT_FLOAT_EQ(frontier.contrast, 1.325f);
  EXPECT_FLOAT_EQ(frontier.whiteLevel, 0.934f);
  EXPECT_EQ(frontier.balance, (std::pair<float, float>{35, 10}));
  ASSERT_EQ(frontier.hueBands.size(), 3u);
  EXPECT_FLOAT_EQ(frontier.hueBands[1].center, 112);

  const LookParameters noritsu = parameters(ScannerLook::noritsu);
  EXPECT_FLOAT_EQ(noritsu.skinHueShift, -5);
  EXPECT_FLOAT_EQ(noritsu.highlightKnee, 0.8f);
  EXPECT_TRUE(noritsu.hueBands.empty());
  EXPECT_EQ(noritsu.whiteLevel, 1);

  const LookParameters draft = DraftLooks::look();
  EXPECT_FLOAT_EQ(draft.whiteLevel, 0.945f);
  ASSERT_EQ(draft.hueBands.size(), 4u);
  EXPECT_FLOAT_EQ(draft.hueBands[1].width, 18);
}

TEST(Looks, LookListOfARecord) {
  ConversionSettings settings;
  EXPECT_TRUE(lookList(settings).empty());

  settings.look = ScannerLook::frontier;
  settings.filmPreset = "portra160-natural";
  auto looks = lookList(settings);
  ASSERT_EQ(looks.size(), 2u);
  EXPECT_FLOAT_EQ(looks[0].contrast, 1.325f);
  EXPECT_FLOAT_EQ(looks[1].contrast, 1.28f);

  settings.lookAmount = 0;  // a preset at 0 keeps its bands and stays in the list
  looks = lookList(settings);
  ASSERT_EQ(looks.size(), 2u);
  EXPECT_FLOAT_EQ(looks[1].contrast, 1);

  settings.filmPreset = "Portra160-natural";  // unknown: adds nothing
  EXPECT_EQ(lookList(settings).size(), 1u);

  settings.look = ScannerLook::neutral;
  settings.filmPreset = "ektar100-natural";
  settings.lookAmount = 100;
  looks = lookList(settings);
  ASSERT_EQ(looks.size(), 1u);
  EXPECT_FLOAT_EQ(looks[0].contrast, 1.0039f);

  settings.mode = FilmMode::bwNegative;
  settings.look = ScannerLook::frontier;
  EXPECT_TRUE(lookList(settings).empty());
}

}  // namespace
