#include "Conversion/FilmAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>

namespace {

TEST(FilmAnalysisJson, RoundTripAndStrictReading) {
  FilmAnalysis analysis;
  analysis.dMin = {0.1, 0.45, 0.75};
  analysis.dMax = {1.5, 2.0, 2.25};
  analysis.baseTransmission = {0.8, 0.35, 0.18};
  analysis.samples = 123'456;
  analysis.crop = {0.05, 0.1, 0.9, 0.8};
  analysis.autoCropped = true;
  const nlohmann::json json = toJson(analysis);
  EXPECT_EQ(filmAnalysisFromJson(json), analysis);
  EXPECT_EQ(filmAnalysisFromJson(nlohmann::json::parse(json.dump())), analysis);

  // Whole numbers are accepted where doubles are expected.
  nlohmann::json whole = json;
  whole["dMin"] = {0, 1, 2};
  EXPECT_EQ(filmAnalysisFromJson(whole).dMin, (std::array<double, 3>{0, 1, 2}));

  const auto fails = [&](const std::function<void(nlohmann::json&)>& change) {
    nlohmann::json broken = json;
    change(broken);
    try {
      (void)filmAnalysisFromJson(broken);
    } catch (const nlohmann::json::exception&) {
      return true;
    }
    return false;
  };
  EXPECT_TRUE(fails([](auto& j) { j.erase("autoCropped"); }));
  EXPECT_TRUE(fails([](auto& j) { j.erase("crop"); }));
  EXPECT_TRUE(fails([](auto& j) { j["crop"].erase("h"); }));
  EXPECT_TRUE(fails([](auto& j) { j["autoCropped"] = 1; }));
  EXPECT_TRUE(fails([](auto& j) { j["samples"] = 5.5; }));
  EXPECT_TRUE(fails([](auto& j) { j["samples"] = "5"; }));
  EXPECT_TRUE(fails([](auto& j) { j["dMin"] = {0.1, 0.2}; }));
  EXPECT_TRUE(fails([](auto& j) { j["dMax"][1] = nullptr; }));
  EXPECT_TRUE(fails([](auto& j) { j["crop"]["x"] = true; }));
  EXPECT_TRUE(fails([](auto& j) { j = nlohmann::json::array(); }));
  EXPECT_FALSE(fails([](auto& j) { j["unknown"] = 1; }));

  FilmAnalysis undefined = analysis;
  undefined.dMax[0] = std::nan("");
  EXPECT_THROW(toJson(undefined), nlohmann::json::exception);  // JSON cannot hold it
}

}  // namespace
