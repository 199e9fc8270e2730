// A colour balance learned from several frames of one roll: per-channel offsets and ratios.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

struct RollBalance {
  std::vector<double> offsets;  // red, green, blue
  std::vector<double> ratios;   // red, green, blue
  int64_t frames = 0;

  // The six numbers as "%.4f" joined by ",", the balance's part of the measurement key.
  std::string keyText() const;

  friend bool operator==(const RollBalance&, const RollBalance&) = default;
};

// JSON: all three keys, each required. `offsets` and `ratios` must hold exactly three numbers:
// every render indexes them by channel.
nlohmann::json toJson(const RollBalance& balance);
RollBalance rollBalanceFromJson(const nlohmann::json& json);
