// An RGB colour space's primaries and white point as CIE xy chromaticities, for files that
// describe their colours this way instead of with an ICC profile (PNG cHRM, HEIF nclx).
#pragma once

struct Chromaticities {
  double redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY;

  static constexpr Chromaticities sRGB() {
    return {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
  }
  static constexpr Chromaticities displayP3() {
    return {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290};
  }
};
