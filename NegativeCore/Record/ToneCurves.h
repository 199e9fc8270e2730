// The tone curves of a print: a master curve, one curve per channel, and four region values
// (−100…100, bending the master curve around the tones 0.875, 0.625, 0.375 and 0.125), with the
// step that applies them to a print (its engine lives in Tone/ToneCurves.cpp).
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <vector>

#include "Record/ToneCurve.h"

struct PrintImage;

struct ToneCurves {
  ToneCurve rgb;
  ToneCurve red;
  ToneCurve green;
  ToneCurve blue;
  std::vector<double> regions = std::vector<double>(4, 0.0);

  // All four curves are identity and every region value is 0.
  bool isIdentity() const;
  // Every region value is 0.
  bool regionsAreNeutral() const;
  // The master curve's table with the region bumps added, made non-decreasing.
  ToneCurve::LookupTable masterLookupTable() const;
  // The master table's entry nearest to x (x clamped to 0…1); the curve editor draws with it.
  double masterValue(double x) const;
  // Maps every channel of the print through the master table, then its own channel table.
  // Monochrome (black-and-white negatives) uses the master table only. Identity curves cost
  // nothing.
  void apply(PrintImage& print, bool monochrome) const;

  friend bool operator==(const ToneCurves&, const ToneCurves&) = default;
};

// JSON: all five keys. The reader gives the identity for a curve that fails and [0, 0, 0, 0]
// for `regions` that are not exactly four numbers.
nlohmann::json toJson(const ToneCurves& curves);
ToneCurves toneCurvesFromJson(const nlohmann::json& json);
