// The film preset table, its lookup, grouping and titles, and the record queries.
#include "Print/FilmPresets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace {

std::string idOf(const std::string& stock, const std::string& style) {
  std::string id;
  for (char c : stock)
    if (c != ' ') id += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  id += '-';
  for (char c : style) id += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return id;
}

TEST(FilmPresets, TableShape) {
  const auto& all = FilmPresets::all();
  ASSERT_EQ(all.size(), 22u);
  std::set<std::string> ids;
  for (const FilmPreset& preset : all) {
    EXPECT_EQ(preset.id, idOf(preset.stock, preset.style));
    EXPECT_TRUE(ids.insert(preset.id).second) << preset.id;
    EXPECT_GE(preset.photos, 6);
    EXPECT_LE(preset.photos, 20);
    const LookParameters& look = preset.parameters;
    EXPECT_FLOAT_EQ(look.highlightKnee, 0.72f) << preset.id;
    EXPECT_EQ(look.skinHueShift, 0);
    ASSERT_EQ(look.hueBands.size(), 3u);
    EXPECT_EQ(look.hueBands[0].center, 28);
    EXPECT_EQ(look.hueBands[1].width, 34);
    EXPECT_EQ(look.hueBands[2].center, 222);
    EXPECT_FALSE(look.isNeutral());
  }
  EXPECT_EQ(all.front().id, "gold200-moody");
  EXPECT_EQ(all.back().id, "proimage100-natural");
}

TEST(FilmPresets, LookupIsExact) {
  const auto found = FilmPresets::preset("portra400-natural");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->stock, "Portra 400");
  EXPECT_EQ(found->photos, 8);
  EXPECT_FLOAT_EQ(found->parameters.contrast, 0.9409f);
  EXPECT_FLOAT_EQ(found->parameters.midTint[2], 0.03f);
  EXPECT_FLOAT_EQ(found->parameters.hueBands[0].shift, -1.4062f);

  const auto portra160 = FilmPresets::preset("portra160-moody");
  ASSERT_TRUE(portra160);
  EXPECT_EQ(portra160->parameters.balance, (std::pair<float, float>{0, 20}));

  for (const char* id : {"Portra400-natural", "PORTRA400-NATURAL", "", "portra400"})
    EXPECT_FALSE(FilmPresets::preset(std::string(id))) << id;
  EXPECT_FALSE(FilmPresets::preset(std::nullopt));
}

TEST(FilmPresets, GroupedByStockInOrderOfAppearance) {
  const auto groups = FilmPresets::groupedByStock();
  const std::vector<std::string> stocks{"Gold 200",       "Portra 400",     "Portra 160",
                                        "Portra 800",     "Ultramax 400",   "Ektar 100",
                                        "CineStill 800T", "ColorPlus 200",  "Fujicolor 200",
                                        "Fuji 400",       "CineStill 400D", "Pro Image 100"};
  ASSERT_EQ(groups.size(), stocks.size());
  for (size_t i = 0; i < stocks.size(); ++i) EXPECT_EQ(groups[i].first, stocks[i]);
  std::vector<std::string> gold;
  for (const FilmPreset& preset : groups[0].second) gold.push_back(preset.id);
  EXPECT_EQ(gold, (std::vector<std::string>{"gold200-natural", "gold200-rich", "gold200-moody"}));
  EXPECT_EQ(groups[5].second.size(), 1u);

  EXPECT_EQ(FilmPresets::styleRank("Natural"), 0);
  EXPECT_EQ(FilmPresets::styleRank("Rich"), 1);
  EXPECT_EQ(FilmPresets::styleRank("Moody"), 2);
  EXPECT_EQ(FilmPresets::styleRank("moody"), 9);
}

TEST(FilmPresets, NamesAndTitles) {
  const auto preset = FilmPresets::preset("portra160-natural");
  ASSERT_TRUE(preset);
  EXPECT_EQ(preset->stockDisplayName(), "P160");
  EXPECT_EQ(preset->title(), "P160 Natural");
  EXPECT_EQ(preset->brandedTitle(), "Kelvadorium P160 Natural");
  EXPECT_EQ(FilmPresets::preset("cinestill800t-natural")->title(), "T800 Natural");

  EXPECT_EQ(FilmPresets::stockDisplayName("Ektar 100"), "EK100");
  EXPECT_EQ(FilmPresets::stockDisplayName("Velvia 50"), "Velvia 50");
  FilmPreset unknown = *preset;
  unknown.stock = "Velvia 50";
  EXPECT_EQ(unknown.title(), "Velvia 50 Natural");
}

TEST(FilmPresets, RecordQueries) {
  ConversionSettings settings;
  settings.look = ScannerLook::noritsu;
  EXPECT_FLOAT_EQ(scannerLookParameters(settings).skinHueShift, -5);
  EXPECT_FALSE(hasKnownFilmPreset(settings));
  EXPECT_FALSE(presetLookParameters(settings));

  settings.filmPreset = "velvia50-natural";
  EXPECT_FALSE(hasKnownFilmPreset(settings));
  EXPECT_FALSE(presetLookParameters(settings));

  settings.filmPreset = "portra160-rich";
  settings.lookAmount = 50;
  EXPECT_TRUE(hasKnownFilmPreset(settings));
  const auto half = presetLookParameters(settings);
  ASSERT_TRUE(half);
  EXPECT_FLOAT_EQ(half->highlightRolloff, 0.35f);
  EXPECT_FLOAT_EQ(half->blackLift, -0.0055f);
  EXPECT_FLOAT_EQ(half->contrast, 1.1454f);
  EXPECT_FLOAT_EQ(half->whiteLevel, 0.99615f);
  EXPECT_FLOAT_EQ(half->shadowTint[2], -0.0065f);
  EXPECT_FLOAT_EQ(half->balance.second, 10);
  EXPECT_FLOAT_EQ(half->hueBands[1].shift, 2.68f);
  EXPECT_FLOAT_EQ(half->hueBands[1].saturation, 0.92565f);
  EXPECT_FLOAT_EQ(half->highlightKnee, 0.72f);

  settings.lookAmount = 99.9;
  EXPECT_FLOAT_EQ(presetLookParameters(settings)->contrast, 1.2908f);
  settings.lookAmount = 250;
  EXPECT_FLOAT_EQ(presetLookParameters(settings)->contrast, 1.2908f);
}

}  // namespace
