// Mask shape kinds of dodge & burn strokes and layer shapes.
#pragma once

#include "Record/EnumText.h"

enum class DodgeShape { brush, linear, radial };

template <>
struct EnumNames<DodgeShape> {
  static constexpr std::array<std::pair<DodgeShape, std::string_view>, 3> cases{{
      {DodgeShape::brush, "brush"},
      {DodgeShape::linear, "linear"},
      {DodgeShape::radial, "radial"},
  }};
};
