// A rectangle in normalised image coordinates: x, y from the top left, w, h as fractions of
// the image's width and height.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

struct NormRect {
  double x = 0;
  double y = 0;
  double w = 1;
  double h = 1;

  // "x %.3f y %.3f w %.3f h %.3f"
  std::string description() const;

  friend bool operator==(const NormRect&, const NormRect&) = default;
};

// JSON: all four keys, each required.
nlohmann::json toJson(const NormRect& rect);
NormRect normRectFromJson(const nlohmann::json& json);
