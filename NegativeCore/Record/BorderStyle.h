// The border drawn around the finished print: plain white or black, or a film-holder frame.
#pragma once

#include "Record/EnumText.h"

enum class BorderStyle { none, white, black, film };

template <>
struct EnumNames<BorderStyle> {
  static constexpr std::array<std::pair<BorderStyle, std::string_view>, 4> cases{{
      {BorderStyle::none, "none"},
      {BorderStyle::white, "white"},
      {BorderStyle::black, "black"},
      {BorderStyle::film, "film"},
  }};
};
