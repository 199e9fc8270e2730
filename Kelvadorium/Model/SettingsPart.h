// The groups of an edit record that copy and paste handle, in the copy sheet's order.
// Stored and compared by raw values equal to the case names.
#pragma once

#include "Record/EnumText.h"

enum class SettingsPart {
  film,
  basic,
  colour,
  curves,
  effects,
  healing,
  crop,
  measurement,
  filmInfo
};

template <>
struct EnumNames<SettingsPart> {
  static constexpr std::array<std::pair<SettingsPart, std::string_view>, 9> cases{{
      {SettingsPart::film, "film"},
      {SettingsPart::basic, "basic"},
      {SettingsPart::colour, "colour"},
      {SettingsPart::curves, "curves"},
      {SettingsPart::effects, "effects"},
      {SettingsPart::healing, "healing"},
      {SettingsPart::crop, "crop"},
      {SettingsPart::measurement, "measurement"},
      {SettingsPart::filmInfo, "filmInfo"},
  }};
};
