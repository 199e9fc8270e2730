// The tone curves of a print: a master curve, one curve per channel, and four region values
// (around the tone centres 0.875, 0.625, 0.375 and 0.125).
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <vector>

#include "Record/ToneCurve.h"

struct ToneCurves {
  ToneCurve rgb;
  ToneCurve red;
  ToneCurve green;
  ToneCurve blue;
  std::vector<double> regions = std::vector<double>(4, 0.0);

  friend bool operator==(const ToneCurves&, const ToneCurves&) = default;
};

// JSON: all five keys. The reader gives the identity for a curve that fails and [0, 0, 0, 0]
// for `regions` that are not exactly four numbers.
nlohmann::json toJson(const ToneCurves& curves);
ToneCurves toneCurvesFromJson(const nlohmann::json& json);
