// The main window's layouts, in menu order; only the views and the menu interpret them.
// Stored and compared by raw values equal to the case names.
#pragma once

#include "Record/EnumText.h"

enum class AppLayout { standard, filmstrip, swapped, focus };

template <>
struct EnumNames<AppLayout> {
  static constexpr std::array<std::pair<AppLayout, std::string_view>, 4> cases{{
      {AppLayout::standard, "standard"},
      {AppLayout::filmstrip, "filmstrip"},
      {AppLayout::swapped, "swapped"},
      {AppLayout::focus, "focus"},
  }};
};
