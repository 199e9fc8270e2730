// The film type of a scan, stored in the edit record as its raw value.
#pragma once

#include "Record/EnumText.h"

enum class FilmMode { colorNegative, bwNegative, positive };

template <>
struct EnumNames<FilmMode> {
  static constexpr std::array<std::pair<FilmMode, std::string_view>, 3> cases{{
      {FilmMode::colorNegative, "colorNegative"},
      {FilmMode::bwNegative, "bwNegative"},
      {FilmMode::positive, "positive"},
  }};
};
