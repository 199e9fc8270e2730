// The sRGB transfer curve, which Display P3 shares: encoded values from linear light and back.
#pragma once

#include <array>
#include <cmath>

namespace SrgbCurve {

// As an lcms2 parametric curve of type 4: gamma, a, b, c, d.
constexpr std::array<double, 5> parameters{2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};

// The encoded value of `linear`, given linear^(1/2.4) already computed (in bulk elsewhere).
inline float encodeFromPowered(float linear, float powered) {
  return linear <= 0.0031308f ? 12.92f * linear : 1.055f * powered - 0.055f;
}
inline float encode(float linear) {
  return linear <= 0.0031308f ? 12.92f * linear : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}
inline double decode(double encoded) {
  return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

}  // namespace SrgbCurve
