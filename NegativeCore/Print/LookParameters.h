// A look: the numbers that give a print its character after the paper curve. A tone step (a
// soft shoulder above a knee, a black lift and a white level), a colour step (tints by tone zone,
// a skin-hue shift, hue bands and a chroma factor), a factor on the paper contrast and a bias of
// the white balance. The defaults are the neutral look.
#pragma once

#include <array>
#include <utility>
#include <vector>

// A hue-selective shift: centre and width in degrees (the weight falls to 1/e at width from the
// centre), the hue rotation in degrees and the chroma factor at full weight.
struct HueBand {
  float center = 0;
  float width = 1;
  float shift = 0;
  float saturation = 1;
};

// The fields are in table order so that looks read well as designated initialisers. There is no
// equality: isNeutral is the only comparison.
struct LookParameters {
  float contrast = 1;
  float saturation = 1;
  float highlightRolloff = 0;
  float highlightKnee = 0.8f;
  float blackLift = 0;
  std::array<float, 3> shadowTint{0, 0, 0};
  std::array<float, 3> midTint{0, 0, 0};
  float skinHueShift = 0;
  std::array<float, 3> highlightTint{0, 0, 0};
  float whiteLevel = 1;
  std::vector<HueBand> hueBands;
  std::pair<float, float> balance{0, 0};

  static LookParameters neutral() { return {}; }

  // True when the look changes nothing (the knee does not count while there is no rolloff).
  bool isNeutral() const;
  // Weakened toward neutral by amount (1 = unchanged; from 0.999 as a float upward, and above 1,
  // the look is returned as it is). Band lists keep their length.
  LookParameters scaled(double amount) const;
  // The tone step of one channel value.
  float applyTone(float x) const;
  // The colour step of one pixel whose (toned) luminance is `luminance`, in place.
  void applyColor(float& r, float& g, float& b, float luminance) const;
};
