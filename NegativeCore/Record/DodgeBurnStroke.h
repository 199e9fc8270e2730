// One mask shape of dodge & burn or of a local layer: a brush path, a linear gradient or a
// radial ellipse, with its radius, exposure in stops, feather and inversion.
#pragma once

#include <algorithm>
#include <array>
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

  // A linear gradient from start (full weight) to end (none), with a new id.
  static DodgeBurnStroke linear(std::array<double, 2> start, std::array<double, 2> end,
                                double stops) {
    DodgeBurnStroke stroke;
    stroke.id = Uuid::random();
    stroke.points = {{start[0], start[1]}, {end[0], end[1]}};
    stroke.radius = 0;
    stroke.stops = stops;
    stroke.shape = DodgeShape::linear;
    return stroke;
  }

  // An elliptical gradient about centre with radii rx, ry (fractions of the long side), with a
  // new id.
  static DodgeBurnStroke radial(std::array<double, 2> centre, double rx, double ry, double stops,
                                double feather, bool invert) {
    return {.id = Uuid::random(),
            .points = {{centre[0], centre[1]}},
            .radius = std::max(rx, ry),
            .stops = stops,
            .feather = feather,
            .shape = DodgeShape::radial,
            .rx = rx,
            .ry = ry,
            .invert = invert};
  }

  friend bool operator==(const DodgeBurnStroke&, const DodgeBurnStroke&) = default;
};
