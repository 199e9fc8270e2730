// Hue, saturation and luminance offsets for the eight colour bands.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <vector>

struct HSLAdjustments {
  std::vector<double> hue = std::vector<double>(8, 0.0);
  std::vector<double> saturation = std::vector<double>(8, 0.0);
  std::vector<double> luminance = std::vector<double>(8, 0.0);

  friend bool operator==(const HSLAdjustments&, const HSLAdjustments&) = default;
};

// JSON: all three arrays as they are. The reader replaces each array that is missing, mistyped
// or not exactly eight numbers by eight zeros, on its own.
nlohmann::json toJson(const HSLAdjustments& hsl);
HSLAdjustments hslAdjustmentsFromJson(const nlohmann::json& json);
