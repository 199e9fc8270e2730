// One tone curve of the edit record: a list of (x, y) points in 0…1. The identity curve
// [[0, 0], [1, 1]] is the default. Points that do not hold exactly two numbers are kept as read.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <vector>

struct ToneCurve {
  std::vector<std::vector<double>> points = {{0.0, 0.0}, {1.0, 1.0}};

  friend bool operator==(const ToneCurve&, const ToneCurve&) = default;
};

// JSON: `points`, required.
nlohmann::json toJson(const ToneCurve& curve);
ToneCurve toneCurveFromJson(const nlohmann::json& json);
