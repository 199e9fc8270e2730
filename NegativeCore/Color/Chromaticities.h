// An RGB colour space's primaries and white point as CIE xy chromaticities: the spaces the
// library converts into and out of, and files that describe their colours this way instead of
// with an ICC profile (PNG cHRM, HEIF nclx).
#pragma once

struct Chromaticities {
  double redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY;

  static constexpr double d65X = 0.3127, d65Y = 0.3290;
  static constexpr double d50X = 0.3457, d50Y = 0.3585;

  static constexpr Chromaticities sRGB() {
    return {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, d65X, d65Y};
  }
  static constexpr Chromaticities displayP3() {
    return {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, d65X, d65Y};
  }
  static constexpr Chromaticities adobeRGB() {
    return {0.64, 0.33, 0.21, 0.71, 0.15, 0.06, d65X, d65Y};
  }
  // ROMM RGB, white D50.
  static constexpr Chromaticities proPhotoRGB() {
    return {0.7347, 0.2653, 0.1596, 0.8404, 0.0366, 0.0001, d50X, d50Y};
  }
};
