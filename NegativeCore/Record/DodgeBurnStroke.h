// One mask shape of dodge & burn or of a local layer: a brush path, a linear gradient or a
// radial ellipse, with its radius, exposure in stops, feather and inversion.
#pragma once

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

  friend bool operator==(const DodgeBurnStroke&, const DodgeBurnStroke&) = default;
};
