// The twelve curve presets of the curve editor: each gives a complete set of tone curves.
// Stored nowhere; the editor lists them in allCases order and finds them by raw value
// (toString / fromString from Record/EnumText.h).
#pragma once

#include <string_view>

#include "Record/EnumText.h"
#include "Record/ToneCurves.h"

enum class CurvePreset {
  linear,
  gentleS,
  strongS,
  matte,
  matteS,
  crushedBlacks,
  softHighlights,
  openShadows,
  brightMids,
  darkMids,
  crossProcess,
  warmFade
};

template <>
struct EnumNames<CurvePreset> {
  static constexpr std::array<std::pair<CurvePreset, std::string_view>, 12> cases{{
      {CurvePreset::linear, "linear"},
      {CurvePreset::gentleS, "gentleS"},
      {CurvePreset::strongS, "strongS"},
      {CurvePreset::matte, "matte"},
      {CurvePreset::matteS, "matteS"},
      {CurvePreset::crushedBlacks, "crushedBlacks"},
      {CurvePreset::softHighlights, "softHighlights"},
      {CurvePreset::openShadows, "openShadows"},
      {CurvePreset::brightMids, "brightMids"},
      {CurvePreset::darkMids, "darkMids"},
      {CurvePreset::crossProcess, "crossProcess"},
      {CurvePreset::warmFade, "warmFade"},
  }};
};

// The name shown in the curve editor's menu.
std::string_view displayName(CurvePreset preset);
// True for the two presets with channel curves (crossProcess, warmFade).
bool isColor(CurvePreset preset);
// The preset's curves; regions are always zero, and linear gives the default ToneCurves.
ToneCurves curves(CurvePreset preset);
