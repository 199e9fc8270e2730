// Copying a look onto another scan: every field travels but the target frame's own ones.
#include "Model/LookCopy.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

namespace {

// A look that differs from the default record in every field that copies hand on, and in the
// frame's own fields too.
ConversionSettings lookRecord() {
  ConversionSettings s;
  s.mode = FilmMode::positive;
  s.exposure = 0.7;
  s.contrast = 1.2;
  s.cmy = {0.9, 1.0, 1.1};
  s.look = ScannerLook::frontier;
  s.rollBalance = RollBalance{{0.1, 0, -0.1}, {1.1, 1, 0.9}, 4};
  s.filmPreset = "portra";
  s.lookAmount = 60;
  s.hsl.hue[0] = 5;
  s.curves.rgb.points = {{0, 0.05}, {1, 0.95}};
  s.temperature = 12;
  s.grainAmount = 20;
  s.border = BorderStyle::white;
  s.borderFrame = "35mm";
  DodgeBurnStroke stroke;
  stroke.points = {{0.1, 0.2}};
  stroke.radius = 0.05;
  stroke.stops = 0.5;
  s.dodgeBurn = {stroke};
  LocalLayer layer;
  layer.name = "Sky";
  layer.shapes = {stroke};
  s.layers = {layer};
  s.flatField = "/frames/blank.tif";
  s.rotationQuarterTurns = 1;
  s.mirrored = true;
  s.crop = NormRect{0.1, 0.1, 0.5, 0.5};
  s.cropAspect = CropAspect::r3x2;
  s.skewDegrees = 2;
  s.autoCrop = true;
  s.autoCropMargin = 0.03;
  s.spots = {makeSpot(0.3, 0.3, 0.01)};
  s.redEyes = {RedEye{Uuid::random(), 0.2, 0.2, 0.01}};
  s.filmInfo.camera = "Look camera";
  return s;
}

ConversionSettings targetRecord() {
  ConversionSettings s;
  s.mode = FilmMode::bwNegative;
  s.exposure = -1;
  s.rotationQuarterTurns = 3;
  s.crop = NormRect{0.2, 0.2, 0.6, 0.6};
  s.cropAspect = CropAspect::r1x1;
  s.skewDegrees = -4;
  s.autoCropMargin = 0.02;
  s.spots = {makeSpot(0.6, 0.6, 0.02)};
  s.redEyes = {RedEye{Uuid::random(), 0.7, 0.4, 0.02}};
  s.filmInfo.camera = "Target camera";
  s.filmInfo.notes = "frame 12";
  return s;
}

TEST(LookCopy, EveryFieldTravelsButTheFramesOwn) {
  const std::set<std::string> own = {
      "rotationQuarterTurns", "mirrored", "crop",    "cropAspect", "skewDegrees", "autoCrop",
      "autoCropMargin",       "spots",    "redEyes", "filmInfo"};
  const ConversionSettings lookSettings = lookRecord(), targetSettings = targetRecord();
  const nlohmann::json look = toJson(lookSettings);
  const nlohmann::json target = toJson(targetSettings);
  const nlohmann::json result = toJson(LookCopy::carried(lookSettings, targetSettings));
  std::set<std::string> keys;
  for (const nlohmann::json* record : {&look, &target, &result}) {
    for (const auto& [key, value] : record->items()) keys.insert(key);
  }
  for (const std::string& key : keys) {
    const nlohmann::json& from = own.contains(key) ? target : look;
    EXPECT_EQ(result.value(key, nlohmann::json()), from.value(key, nlohmann::json())) << key;
  }
  // The records tell the two sources apart in every field the frame keeps.
  for (const std::string& key : own) {
    EXPECT_NE(look.value(key, nlohmann::json()), target.value(key, nlohmann::json())) << key;
  }
}

}  // namespace
