// How the preview trades speed against sharpness: every pass at 2400 pixels, quick
// 1200-pixel passes while controls move then a 2400-pixel pass, or every pass at 1600 pixels.
// Stored and compared by raw values equal to the case names.
#pragma once

#include "Record/EnumText.h"

enum class PreviewMode { full, hybrid, fast };

template <>
struct EnumNames<PreviewMode> {
  static constexpr std::array<std::pair<PreviewMode, std::string_view>, 3> cases{{
      {PreviewMode::full, "full"},
      {PreviewMode::hybrid, "hybrid"},
      {PreviewMode::fast, "fast"},
  }};
};
