// One tone curve of the edit record: a list of (x, y) points in 0…1, evaluated as a monotone
// cubic through its points. The identity curve [[0, 0], [1, 1]] is the default. Points that do
// not hold exactly two numbers are kept as read and ignored by every operation.
#pragma once

#include <array>
#include <nlohmann/json_fwd.hpp>
#include <vector>

struct ToneCurve {
  std::vector<std::vector<double>> points = {{0.0, 0.0}, {1.0, 1.0}};

  // 1024 outputs, entry i the curve's value at i/1023 clamped to 0…1. Pixels interpolate
  // between neighbouring entries and never evaluate the spline.
  using LookupTable = std::array<float, 1024>;

  // The usable points sorted by x; points with equal x keep their stored order.
  std::vector<std::array<double, 2>> sortedPoints() const;
  // Exactly the two points (0, 0) and (1, 1), within 0.000001.
  bool isIdentity() const;
  // The monotone cubic Hermite spline (Fritsch-Carlson) at x; flat beyond the end points, and
  // x itself when fewer than two points are usable.
  double value(double x) const;
  LookupTable lookupTable() const;

  friend bool operator==(const ToneCurve&, const ToneCurve&) = default;
};

// JSON: `points`, required.
nlohmann::json toJson(const ToneCurve& curve);
ToneCurve toneCurveFromJson(const nlohmann::json& json);
