// Hue, saturation and luminance offsets for the eight colour bands.
#pragma once

#include <vector>

struct HSLAdjustments {
  std::vector<double> hue = std::vector<double>(8, 0.0);
  std::vector<double> saturation = std::vector<double>(8, 0.0);
  std::vector<double> luminance = std::vector<double>(8, 0.0);

  friend bool operator==(const HSLAdjustments&, const HSLAdjustments&) = default;
};
