// Scanner-style renderings of the print.
#pragma once

#include "Record/EnumText.h"

enum class ScannerLook { neutral, frontier, noritsu };

template <>
struct EnumNames<ScannerLook> {
  static constexpr std::array<std::pair<ScannerLook, std::string_view>, 3> cases{{
      {ScannerLook::neutral, "neutral"},
      {ScannerLook::frontier, "frontier"},
      {ScannerLook::noritsu, "noritsu"},
  }};
};
