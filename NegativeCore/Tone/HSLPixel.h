// The per-pixel step of the HSL adjustment, in the scalar form (Tone/HSLAdjustments.cpp) and the
// vector form (Tone/HSLRows.cpp) that gives the same results bit for bit. Internal to the engine.
#pragma once

#include <array>
#include <cstddef>

namespace HSLPixel {

// One band's parameters: hue shift in degrees (±30 at ±100), saturation and luminance amounts
// as fractions.
struct Band {
  float hueShift = 0;
  float saturation = 0;
  float luminance = 0;
};
using Bands = std::array<Band, 8>;

// The band centres in degrees and the width of the interval above each (the last reaching 360).
constexpr std::array<float, 8> kFrom = {0, 30, 60, 120, 180, 240, 280, 320};
constexpr std::array<float, 8> kSpan = {30, 30, 60, 60, 60, 40, 40, 40};

// One pixel (three floats) in place.
void adjust(float* pixel, const Bands& bands);
// `count` interleaved pixels in place; pixels the vector form cannot take (values that are not
// finite, hue shifts beyond a turn) go through `adjust`.
void adjustRow(float* rgb, std::size_t count, const Bands& bands);

}  // namespace HSLPixel
