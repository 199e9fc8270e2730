// Aspect constraints of the crop, in the order of the crop tool's picker.
#pragma once

#include <optional>

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

// Long side over short side; no value for `free`.
constexpr std::optional<double> ratio(CropAspect aspect) {
  switch (aspect) {
    case CropAspect::free:
      return std::nullopt;
    case CropAspect::r3x2:
      return 1.5;
    case CropAspect::r4x3:
      return 4.0 / 3.0;
    case CropAspect::r1x1:
      return 1.0;
    case CropAspect::r5x4:
      return 1.25;
    case CropAspect::r7x5:
      return 1.4;
  }
  return std::nullopt;
}
