// The eleven values of a local adjustment layer, the tone controls among them; all zero changes
// nothing.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include "Record/ToneControls.h"

struct LocalAdjustment : ToneControls {
  double exposure = 0;
  double contrast = 0;
  double saturation = 0;

  // Every value exactly zero.
  bool isNeutral() const {
    return exposure == 0 && contrast == 0 && saturation == 0 && toneControlsAreZero();
  }

  // Some value that only the tone controls apply acts.
  bool hasToneControls() const { return toneControlsAct(); }

  friend bool operator==(const LocalAdjustment&, const LocalAdjustment&) = default;
};

// JSON: all eleven keys; the reader gives 0 for any key missing, null or mistyped.
nlohmann::json toJson(const LocalAdjustment& adjust);
LocalAdjustment localAdjustmentFromJson(const nlohmann::json& json);
