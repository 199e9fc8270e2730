// The built-in film looks: 22 presets, one colour stock in one style ("Natural", "Rich",
// "Moody") each, found by id from the edit record's filmPreset and weakened by its lookAmount.
// The tables are process-wide constants built once on first use; every operation is a pure read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Print/LookParameters.h"
#include "Record/ConversionSettings.h"

struct FilmPreset {
  std::string id;  // the stock in lower case without spaces, "-", the style in lower case
  std::string stock;
  std::string style;
  int64_t photos = 0;
  LookParameters parameters;

  // The short name of the stock ("P160"), or the stock itself when it has none.
  std::string stockDisplayName() const;
  // "P160 Natural"
  std::string title() const;
  // "Kelvadorium P160 Natural"
  std::string brandedTitle() const;
};

namespace FilmPresets {

// The presets in table order.
const std::vector<FilmPreset>& all();
// The preset with exactly this id (case-sensitive); no value for no id or an unknown one.
std::optional<FilmPreset> preset(const std::optional<std::string>& id);
std::string stockDisplayName(const std::string& stock);
// "Natural" 0, "Rich" 1, "Moody" 2, anything else 9.
int styleRank(const std::string& style);
// The stocks in order of first appearance, each with its presets ordered by style rank.
std::vector<std::pair<std::string, std::vector<FilmPreset>>> groupedByStock();

}  // namespace FilmPresets

// The record's scanner look.
LookParameters scannerLookParameters(const ConversionSettings& settings);
// The record's film preset scaled by lookAmount/100; no value without a known preset.
std::optional<LookParameters> presetLookParameters(const ConversionSettings& settings);
// Whether filmPreset names a preset of the table.
bool hasKnownFilmPreset(const ConversionSettings& settings);
