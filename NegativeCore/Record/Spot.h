// One repair: a normalised centre and radius (a fraction of the scan's long side), with an
// optional source point, hair-chain group, fill kind, feather, opacity and detector score.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>

#include "Record/SpotKind.h"
#include "Support/Uuid.h"

struct Spot {
  Uuid id;
  double x = 0;
  double y = 0;
  double r = 0;
  std::optional<double> sx;
  std::optional<double> sy;
  std::optional<Uuid> group;
  std::optional<SpotKind> kind;
  std::optional<double> feather;
  std::optional<double> opacity;
  std::optional<double> score;

  friend bool operator==(const Spot&, const Spot&) = default;
};

// A new repair at (x, y) with radius r and an optional source point: a fresh random id, and no
// group, kind, feather, opacity or score. Every spot the library makes starts here.
Spot makeSpot(double x, double y, double r, std::optional<double> sx = std::nullopt,
              std::optional<double> sy = std::nullopt);

// JSON: id, x, y, r required; each optional key written only when present. A present key of the
// wrong type (a kind that is no case, a group that is no UUID) fails the spot.
nlohmann::json toJson(const Spot& spot);
Spot spotFromJson(const nlohmann::json& json);
