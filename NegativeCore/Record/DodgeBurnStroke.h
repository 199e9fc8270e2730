// One mask shape of dodge & burn or of a local layer: a brush path, a linear gradient or a
// radial ellipse, with its radius, exposure in stops, feather and inversion.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <vector>

#include "Record/DodgeShape.h"
#include "Support/Uuid.h"

struct DodgeBurnStroke {
  Uuid id;
  // Each point is (x, y), normalised; stored lists are kept as read, whatever their length.
  std::vector<std::vector<double>> points;
  double radius = 0.03;
  double stops = 0;
  double feather = 1.8;
  std::optional<DodgeShape> shape;  // absent draws as a brush
  std::optional<double> rx;
  std::optional<double> ry;
  std::optional<bool> invert;  // absent counts as false when drawn

  // A linear gradient from the point start (full weight) to end (none), with a new id.
  static DodgeBurnStroke linear(const std::vector<double>& start, const std::vector<double>& end,
                                double stops);
  // An elliptical gradient about the point centre with radii rx, ry (fractions of the scan's
  // long side), with a new id.
  static DodgeBurnStroke radial(const std::vector<double>& centre, double rx, double ry,
                                double stops, double feather, bool invert);

  friend bool operator==(const DodgeBurnStroke&, const DodgeBurnStroke&) = default;
};

// JSON: only `points` is required (a list of number lists); every other key that is missing,
// null or mistyped takes its reader default (a new random id, radius 0.03, stops 0, feather
// 1.8, no shape, rx, ry or invert). Optional keys are written only when present.
nlohmann::json toJson(const DodgeBurnStroke& stroke);
DodgeBurnStroke dodgeBurnStrokeFromJson(const nlohmann::json& json);
