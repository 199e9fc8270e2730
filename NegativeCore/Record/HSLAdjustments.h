// Hue, saturation and luminance offsets for the eight colour bands (slider values −100…100),
// and the step that applies them to a print (its engine lives in Tone/HSLAdjustments.cpp).
#pragma once

#include <array>
#include <nlohmann/json_fwd.hpp>
#include <vector>

struct PrintImage;

struct HSLAdjustments {
  std::vector<double> hue = std::vector<double>(8, 0.0);
  std::vector<double> saturation = std::vector<double>(8, 0.0);
  std::vector<double> luminance = std::vector<double>(8, 0.0);

  // Hue centres of the bands in degrees, red first; the spacing is uneven.
  static constexpr std::array<double, 8> bandCenters = {0, 30, 60, 120, 180, 240, 280, 320};
  // The bands' names, in the same order.
  static constexpr std::array<const char*, 8> bandNames = {"Red",  "Orange", "Yellow", "Green",
                                                           "Aqua", "Blue",   "Purple", "Magenta"};

  // True when every value of the three lists is 0.
  bool isNeutral() const;

  // Shifts hue, saturation and brightness of the print's coloured pixels in place, blending
  // neighbouring bands smoothly; grey pixels are left alone and neutral lists change nothing.
  // Lists shorter than eight count as zeros for the missing bands.
  static void apply(PrintImage& print, const std::vector<double>& hue,
                    const std::vector<double>& saturation, const std::vector<double>& luminance);

  friend bool operator==(const HSLAdjustments&, const HSLAdjustments&) = default;
};

// JSON: all three arrays as they are. The reader replaces each array that is missing, mistyped
// or not exactly eight numbers by eight zeros, on its own.
nlohmann::json toJson(const HSLAdjustments& hsl);
HSLAdjustments hslAdjustmentsFromJson(const nlohmann::json& json);
