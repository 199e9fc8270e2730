// The tone curves of a print: a master curve, one curve per channel, and four region values
// (around the tone centres 0.875, 0.625, 0.375 and 0.125).
#pragma once

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
