// Aspect constraints of the crop.
#pragma once

#include "Record/EnumText.h"

enum class CropAspect { free, r3x2, r4x3, r1x1, r5x4, r7x5 };

template <>
struct EnumNames<CropAspect> {
  static constexpr std::array<std::pair<CropAspect, std::string_view>, 6> cases{{
      {CropAspect::free, "free"},
      {CropAspect::r3x2, "r3x2"},
      {CropAspect::r4x3, "r4x3"},
      {CropAspect::r1x1, "r1x1"},
      {CropAspect::r5x4, "r5x4"},
      {CropAspect::r7x5, "r7x5"},
  }};
};
