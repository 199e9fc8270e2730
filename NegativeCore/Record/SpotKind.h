// How a repair is filled.
#pragma once

#include "Record/EnumText.h"

enum class SpotKind { heal, clone, fill, ai };

template <>
struct EnumNames<SpotKind> {
  static constexpr std::array<std::pair<SpotKind, std::string_view>, 4> cases{{
      {SpotKind::heal, "heal"},
      {SpotKind::clone, "clone"},
      {SpotKind::fill, "fill"},
      {SpotKind::ai, "ai"},
  }};
};
