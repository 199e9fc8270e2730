// The eleven values of a local adjustment layer; all zero changes nothing.
#pragma once

#include <nlohmann/json_fwd.hpp>

struct LocalAdjustment {
  double exposure = 0;
  double contrast = 0;
  double highlights = 0;
  double shadows = 0;
  double whites = 0;
  double blacks = 0;
  double clarity = 0;
  double dehaze = 0;
  double sharpness = 0;
  double blackMist = 0;
  double saturation = 0;

  friend bool operator==(const LocalAdjustment&, const LocalAdjustment&) = default;
};

// JSON: all eleven keys; the reader gives 0 for any key missing, null or mistyped.
nlohmann::json toJson(const LocalAdjustment& adjust);
LocalAdjustment localAdjustmentFromJson(const nlohmann::json& json);
