// The before/after comparison of the preview: none, the before image, or both at a divider.
// Stored and compared by raw values equal to the case names.
#pragma once

#include "Record/EnumText.h"

enum class CompareMode { off, before, split };

template <>
struct EnumNames<CompareMode> {
  static constexpr std::array<std::pair<CompareMode, std::string_view>, 3> cases{{
      {CompareMode::off, "off"},
      {CompareMode::before, "before"},
      {CompareMode::split, "split"},
  }};
};
