// A colour balance learned from several frames of one roll: per-channel offsets and ratios of
// the film measurement relative to green. Learning and applying live with the measuring aids
// (MeasuringAids/RollBalanceLearning.cpp).
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

struct FilmAnalysis;

struct RollBalance {
  std::vector<double> offsets;  // red, green, blue
  std::vector<double> ratios;   // red, green, blue
  int64_t frames = 0;

  // The six numbers as "%.4f" joined by ",", the balance's part of the measurement key.
  std::string keyText() const;

  // The balance of a roll learned from the unbalanced measurements of its frames: per channel
  // the median (the element at n/2 of the sorted values) of the base offset to green and of the
  // density range over green's (taken as at least 0.02). Nothing from fewer than two.
  static std::optional<RollBalance> learn(const std::vector<FilmAnalysis>& analyses);
  // A copy of the measurement with red and blue dMin and dMax rebuilt from its own green ones;
  // everything else unchanged. A balance with fewer than three offsets or ratios (only a
  // hand-made one) leaves the measurement as it is.
  FilmAnalysis apply(const FilmAnalysis& analysis) const;

  friend bool operator==(const RollBalance&, const RollBalance&) = default;
};

// JSON: all three keys, each required. `offsets` and `ratios` must hold exactly three numbers:
// every render indexes them by channel.
nlohmann::json toJson(const RollBalance& balance);
RollBalance rollBalanceFromJson(const nlohmann::json& json);
