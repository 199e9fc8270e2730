// The measurement of one scan: per-channel film base and dense end as optical densities, the
// largest transmission per channel, the sample count, and the crop the print is cut to.
// Held in memory only; its JSON form is strict.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>

#include "Record/NormRect.h"

struct FilmAnalysis {
  std::array<double, 3> dMin{0, 0, 0};
  std::array<double, 3> dMax{1, 1, 1};
  std::array<double, 3> baseTransmission{0, 0, 0};
  int64_t samples = 0;
  NormRect crop{0, 0, 1, 1};
  bool autoCropped = false;

  friend bool operator==(const FilmAnalysis&, const FilmAnalysis&) = default;
};

// JSON: an object keyed by the field names ("dMin", "dMax", "baseTransmission", "samples",
// "crop", "autoCropped"), the crop in NormRect's form. The reader is strict: a missing key throws
// nlohmann::json::out_of_range, a key of the wrong type (a channel array that does not hold three
// numbers, samples with a fraction) nlohmann::json::type_error.
nlohmann::json toJson(const FilmAnalysis& analysis);
FilmAnalysis filmAnalysisFromJson(const nlohmann::json& json);
