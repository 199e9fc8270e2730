// Built-in presets: one-shot changes to an edit record, offered by film type. Never stored;
// raw values equal the case names (fromString, allCases from Record/EnumText.h).
#pragma once

#include "Record/EnumText.h"
#include "Record/FilmMode.h"

struct ConversionSettings;

enum class BuiltInPreset { flat, normal, highContrast, merivaldoonMono1 };

template <>
struct EnumNames<BuiltInPreset> {
  static constexpr std::array<std::pair<BuiltInPreset, std::string_view>, 4> cases{{
      {BuiltInPreset::flat, "flat"},
      {BuiltInPreset::normal, "normal"},
      {BuiltInPreset::highContrast, "highContrast"},
      {BuiltInPreset::merivaldoonMono1, "merivaldoonMono1"},
  }};
};

// Writes the preset's values into the record; every field the preset does not name keeps its
// value, `mode` included.
void apply(BuiltInPreset preset, ConversionSettings& settings);

// Only the black-and-white preset is monochrome.
bool isMonochrome(BuiltInPreset preset);

// Whether the preset is offered for a film type: monochrome presets only for bwNegative.
bool isAvailable(BuiltInPreset preset, FilmMode mode);
