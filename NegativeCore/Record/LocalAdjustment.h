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

  // Every value exactly zero.
  bool isNeutral() const {
    return exposure == 0 && contrast == 0 && highlights == 0 && shadows == 0 && whites == 0 &&
           blacks == 0 && clarity == 0 && dehaze == 0 && sharpness == 0 && blackMist == 0 &&
           saturation == 0;
  }

  // Some value that only the tone controls apply is set beyond ±0.5 (a negative sharpness or
  // black mist does nothing).
  bool hasToneControls() const {
    const auto beyond = [](double v) { return v > 0.5 || v < -0.5; };
    return beyond(highlights) || beyond(shadows) || beyond(whites) || beyond(blacks) ||
           beyond(clarity) || beyond(dehaze) || sharpness > 0.5 || blackMist > 0.5;
  }

  friend bool operator==(const LocalAdjustment&, const LocalAdjustment&) = default;
};

// JSON: all eleven keys; the reader gives 0 for any key missing, null or mistyped.
nlohmann::json toJson(const LocalAdjustment& adjust);
LocalAdjustment localAdjustmentFromJson(const nlohmann::json& json);
