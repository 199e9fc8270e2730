// The edit record's JSON form: the writer's keys and its refusal of non-finite numbers, the
// tolerant reader, and the conversions of older records (density, strokes without layers).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "Record/ConversionSettings.h"
#include "TestSupport/InEachLocale.h"

namespace {

using nlohmann::json;
using CS = ConversionSettings;

constexpr const char* idA = "00000000-0000-4000-8000-00000000000A";
constexpr const char* idB = "00000000-0000-4000-8000-00000000000B";

Spot spot(const char* id, double x) {
  Spot s;
  s.id = *Uuid::fromString(id);
  s.x = x;
  s.y = 0.5;
  s.r = 0.01;
  return s;
}

DodgeBurnStroke stroke(double stops) {
  DodgeBurnStroke s;
  s.id = Uuid::random();
  s.points = {{0.2, 0.3}, {0.4, 0.5}};
  s.stops = stops;
  return s;
}

// A record in which every field differs from its default.
CS everyFieldSet() {
  CS s;
  s.version = 7;
  s.mode = FilmMode::positive;
  s.contrast = 1.2;
  s.exposure = -0.35;
  s.saturation = 0.8;
  s.cmy = {1.05, 0.97, 1.0 / 3};
  s.analysisInset = 0.05;
  s.blackClip = 0.001;
  s.whiteClip = 0.999;
  s.rotationQuarterTurns = 3;
  s.mirrored = true;
  s.crop = NormRect{0.1, 0.05, 0.8, 0.9};
  s.cropAspect = CropAspect::r3x2;
  s.skewDegrees = -1.5;
  s.autoCrop = true;
  s.autoCropMargin = 0.02;
  s.look = ScannerLook::noritsu;
  s.rollBalance = RollBalance{{0.01, 0, -0.02}, {1.01, 1, 0.99}, 5};
  s.filmPreset = "portra400";
  s.lookAmount = 70;
  s.hsl.hue[2] = 10;
  s.hsl.saturation[5] = -20;
  s.hsl.luminance[0] = 5;
  s.curves.rgb.points = {{0, 0.05}, {0.5, 0.55}, {1, 1}};
  s.curves.green.points = {{0, 0}, {1, 0.95}};
  s.curves.regions = {1, -2, 3, -4};
  s.temperature = 12;
  s.tint = -4;
  s.clarity = 10;
  s.highlights = -30;
  s.shadows = 25;
  s.whites = 5;
  s.blacks = -5;
  s.sharpness = 20;
  s.dehaze = 15;
  s.blackMist = 8;
  s.grainReduction = 3;
  s.border = BorderStyle::film;
  s.borderSize = 7.5;
  s.grainAmount = 12;
  s.grainSize = 40;
  s.grainRoughness = 60;
  s.vignetteAmount = -40;
  s.vignetteMidpoint = 35;
  s.vignetteFeather = 70;
  s.glowAmount = 30;
  s.glowSize = 40;
  s.borderFrame = "35mm-filed";
  s.dodgeBurn = {stroke(0.3)};
  LocalLayer layer;
  layer.name = "Sky";
  layer.shapes = {stroke(-0.5)};
  layer.adjust.exposure = -0.5;
  s.layers = {layer};
  s.redEyes = {RedEye{Uuid::random(), 0.4, 0.3, 0.02}};
  Spot repair = spot(idA, 0.25);
  repair.sx = 0.3;
  repair.sy = 0.55;
  repair.kind = SpotKind::clone;
  s.spots = {repair, spot(idB, 0.75)};
  s.flatField = "/scans/blank.tif";
  s.filmInfo.camera = "Nikon F3";
  s.filmInfo.notes = "Rücklicht, 1/60";
  return s;
}

CS readText(const std::string& text) { return settingsFromJson(json::parse(text)); }

class RecordJson : public InEachLocale {};
INSTANTIATE_IN_EACH_LOCALE(RecordJson);

TEST_P(RecordJson, WrittenRecordReadsBackEqual) {
  const CS original = everyFieldSet();
  EXPECT_NE(original, CS{});  // every field set is not the default record
  const std::string text = toJson(original).dump(2);
  EXPECT_EQ(readText(text), original);
  EXPECT_EQ(readText(toJson(CS{}).dump(2)), CS{});

  CS unclamped;
  unclamped.rotationQuarterTurns = 7;
  unclamped.borderSize = -3;
  unclamped.exposure = -0.0;
  unclamped.contrast = 1e300;
  unclamped.flatField = "";
  EXPECT_EQ(readText(toJson(unclamped).dump()), unclamped);
}

TEST_P(RecordJson, WriterLeavesOutOnlyAbsentOptionalsAndSortsKeys) {
  const json plain = toJson(CS{});
  EXPECT_EQ(plain.size(), 46u);
  for (const char* key : {"crop", "filmPreset", "rollBalance", "flatField"})
    EXPECT_EQ(plain.count(key), 0u) << key;
  EXPECT_EQ(plain["borderFrame"], "");
  EXPECT_EQ(plain["spots"], json::array());
  EXPECT_EQ(plain["mode"], "colorNegative");

  const json full = toJson(everyFieldSet());
  EXPECT_EQ(full.size(), 50u);
  EXPECT_TRUE(full["version"].is_number_integer());
  EXPECT_TRUE(full["rotationQuarterTurns"].is_number_integer());

  const std::string text = full.dump(2);
  EXPECT_NE(text.find("\"exposure\": -0.35,"), std::string::npos);
  EXPECT_NE(text.find("\"version\": 7,"), std::string::npos);
  EXPECT_LT(text.find("\"analysisInset\""), text.find("\"autoCrop\""));
  EXPECT_LT(text.find("\"autoCrop\""), text.find("\"version\""));
}

TEST_P(RecordJson, WriterRefusesNonFiniteNumbersAnywhere) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  void (*const poisons[])(CS&, double) = {
      [](CS& s, double v) { s.exposure = v; },
      [](CS& s, double v) { s.cmy[1] = v; },
      [](CS& s, double v) { s.crop->h = v; },
      [](CS& s, double v) { s.rollBalance->ratios[2] = v; },
      [](CS& s, double v) { s.hsl.hue[3] = v; },
      [](CS& s, double v) { s.curves.regions[0] = v; },
      [](CS& s, double v) { s.curves.rgb.points[1][1] = v; },
      [](CS& s, double v) { s.spots[1].r = v; },
      [](CS& s, double v) { s.spots[0].sx = v; },
      [](CS& s, double v) { s.redEyes[0].x = v; },
      [](CS& s, double v) { s.dodgeBurn[0].points[0][0] = v; },
      [](CS& s, double v) { s.layers[0].shapes[0].rx = v; },
      [](CS& s, double v) { s.layers[0].adjust.blackMist = v; },
      [](CS& s, double v) { s.glowSize = v; },
  };
  for (size_t i = 0; i < std::size(poisons); ++i)
    for (double bad : {nan, inf, -inf}) {
      CS s = everyFieldSet();
      poisons[i](s, bad);
      EXPECT_THROW(toJson(s), json::exception) << "field " << i << " = " << bad;
    }
}

TEST_P(RecordJson, OnlyNonObjectsFailToRead) {
  for (const char* text : {"[]", "[{}]", "\"record\"", "42", "null", "true"})
    EXPECT_THROW(readText(text), json::type_error) << text;
  EXPECT_EQ(readText("{}"), CS{});
  EXPECT_EQ(readText(R"({"unknown": 1, "spots": null, "hsl": null})"), CS{});
}

TEST_P(RecordJson, BadKeysKeepTheirDefaultsAlone) {
  struct Case {
    const char* text;
    void (*expected)(CS&);
  };
  const Case cases[] = {
      {R"({"cmy": [1.1, 0.9]})", [](CS&) {}},
      {R"({"cmy": [1.1, 0.9, 1.0, 1.2]})", [](CS&) {}},
      {R"({"cmy": [1.1, "0.9", 1.0]})", [](CS&) {}},
      {R"({"cmy": [1.1, 0.9, 1.0]})",
       [](CS& s) {
         s.cmy = {1.1, 0.9, 1.0};
       }},
      {R"({"mode": "slide", "look": "Frontier", "border": 2})", [](CS&) {}},
      {R"({"mode": "bwNegative", "cropAspect": "r7x5"})",
       [](CS& s) {
         s.mode = FilmMode::bwNegative;
         s.cropAspect = CropAspect::r7x5;
       }},
      {R"({"mirrored": 1, "autoCrop": "true"})", [](CS&) {}},
      {R"({"contrast": "1.2", "saturation": [1], "tint": {}})", [](CS&) {}},
      {R"({"contrast": 2, "tint": -3.5e-2})",
       [](CS& s) {
         s.contrast = 2;
         s.tint = -0.035;
       }},
      {R"({"version": 7.5, "rotationQuarterTurns": 1e300})", [](CS&) {}},
      {R"({"version": 18446744073709551615, "rotationQuarterTurns": -9.3e18})", [](CS&) {}},
      {R"({"version": "2", "rotationQuarterTurns": true})", [](CS&) {}},
      {R"({"version": 7, "rotationQuarterTurns": -2})",
       [](CS& s) {
         s.version = 7;
         s.rotationQuarterTurns = -2;
       }},
      {R"({"version": 9223372036854775807, "rotationQuarterTurns": 3.0})",
       [](CS& s) {
         s.version = INT64_MAX;
         s.rotationQuarterTurns = 3;
       }},
      {R"({"crop": {"x": 0.1, "y": 0.1, "h": 0.5}})", [](CS&) {}},
      {R"({"crop": {"x": 0.1, "y": 0.1, "w": "0.5", "h": 0.5}})", [](CS&) {}},
      {R"({"crop": {"x": 0.1, "y": 0.2, "w": 0.3, "h": 0.4}})",
       [](CS& s) {
         s.crop = NormRect{0.1, 0.2, 0.3, 0.4};
       }},
      {R"({"rollBalance": {"offsets": [0, 0, 0], "ratios": [1, 1, 1]}})", [](CS&) {}},
      {R"({"rollBalance": {"offsets": [0.1, 0], "ratios": [1, 1, 1], "frames": 3}})", [](CS&) {}},
      {R"({"rollBalance": {"offsets": [0, 0, 0], "ratios": [1, 1, 1, 1], "frames": 3}})",
       [](CS&) {}},
      {R"({"filmPreset": 3, "flatField": ["a"], "borderFrame": null})", [](CS&) {}},
      {R"({"filmPreset": "", "flatField": ""})",
       [](CS& s) {
         s.filmPreset = "";
         s.flatField = "";
       }},
      {R"({"hsl": [1, 2], "curves": "linear", "filmInfo": 5})", [](CS&) {}},
      {R"({"hsl": {"hue": [1, 2, 3, 4, 5, 6, 7, 8], "saturation": [1]}})",
       [](CS& s) { s.hsl.hue = {1, 2, 3, 4, 5, 6, 7, 8}; }},
      {R"({"curves": {"regions": [1, 2, 3, 4], "rgb": {}}, "filmInfo": {"film": "HP5"}})",
       [](CS& s) {
         s.curves.regions = {1, 2, 3, 4};
         s.filmInfo.film = "HP5";
       }},
      {R"({"spots": {"x": 1}, "redEyes": "none", "layers": 0, "dodgeBurn": {}})", [](CS&) {}},
  };
  for (const auto& c : cases) {
    CS expected;
    c.expected(expected);
    EXPECT_EQ(readText(c.text), expected) << c.text;
  }
}

TEST_P(RecordJson, DamagedListElementsDropAlone) {
  const CS s = readText(R"({
      "contrast": 1.4,
      "spots": [
        {"id": "00000000-0000-4000-8000-00000000000A", "x": 0.25, "y": 0.5, "r": 0.01},
        {"id": "00000000-0000-4000-8000-00000000000C", "x": 0.5, "y": 0.5},
        {"id": "00000000-0000-4000-8000-00000000000D", "x": 0.5, "y": 0.5, "r": 0.1, "kind": "patch"},
        "spot",
        {"id": "00000000-0000-4000-8000-00000000000B", "x": 0.75, "y": 0.5, "r": 0.01}
      ],
      "redEyes": [{"id": "00000000-0000-4000-8000-00000000000A", "x": 0.1, "y": 0.2, "r": 0.03},
                  {"x": 0.1, "y": 0.2, "r": 0.03}],
      "layers": [{"name": "Sky", "shapes": [{"points": [[0.1, 0.1]]}, {"stops": 1}]}, 17],
      "dodgeBurn": [{"points": [[0.5, 0.5]], "stops": 0.3}, {"stops": 0.3}]
    })");
  EXPECT_EQ(s.contrast, 1.4);
  EXPECT_EQ(s.spots, (std::vector<Spot>{spot(idA, 0.25), spot(idB, 0.75)}));
  ASSERT_EQ(s.redEyes.size(), 1u);
  EXPECT_EQ(s.redEyes[0].id, *Uuid::fromString(idA));
  ASSERT_EQ(s.layers.size(), 1u);
  EXPECT_EQ(s.layers[0].name, "Sky");
  EXPECT_EQ(s.layers[0].shapes.size(), 1u);
  // A layer survived, so the global stroke stays where it is.
  ASSERT_EQ(s.dodgeBurn.size(), 1u);
  EXPECT_EQ(s.dodgeBurn[0].stops, 0.3);
}

TEST_P(RecordJson, LegacyDensityBecomesExposure) {
  struct Case {
    const char* text;
    double exposure;
  };
  const Case cases[] = {
      {R"({"density": 0.88})", 1.0},
      {R"({"density": 0.76})", 2.0},
      {R"({"density": 1.12})", -1.0},
      {R"({"density": 0.5})", 4.17},
      {R"({"density": 0})", 8.33},
      {R"({"density": 0.94})", 0.5},
      {R"({"density": 0.88, "exposure": 0.3})", 0.3},
      {R"({"density": 0.88, "exposure": 0})", 0.0},
      {R"({"density": 0.88, "exposure": null})", 1.0},
      {R"({"density": 0.88, "exposure": "0.3"})", 1.0},
      {R"({"density": "0.88"})", 0.0},
      {R"({"density": null})", 0.0},
  };
  for (const auto& c : cases) EXPECT_EQ(readText(c.text).exposure, c.exposure) << c.text;
  EXPECT_EQ(toJson(readText(R"({"density": 0.88})")).count("density"), 0u);
}

TEST_P(RecordJson, LegacyStrokesMoveIntoLayersByExposure) {
  json strokes = json::array();
  for (double stops : {0.5, -0.3, 0.5}) strokes.push_back(toJson(stroke(stops)));
  const CS moved = settingsFromJson(json{{"dodgeBurn", strokes}});
  EXPECT_TRUE(moved.dodgeBurn.empty());
  ASSERT_EQ(moved.layers.size(), 2u);
  EXPECT_EQ(moved.layers[0].name, "Layer 1");
  EXPECT_EQ(moved.layers[0].adjust, (LocalAdjustment{.exposure = 0.5}));
  ASSERT_EQ(moved.layers[0].shapes.size(), 2u);
  EXPECT_EQ(toJson(moved.layers[0].shapes[0]), strokes[0]);
  EXPECT_EQ(toJson(moved.layers[0].shapes[1]), strokes[2]);
  EXPECT_EQ(moved.layers[1].name, "Layer 2");
  EXPECT_EQ(moved.layers[1].adjust.exposure, -0.3);
  EXPECT_EQ(toJson(moved.layers[1].shapes[0]), strokes[1]);
  EXPECT_TRUE(moved.layers[0].visible && moved.layers[1].visible);
  EXPECT_NE(moved.layers[0].id, moved.layers[1].id);

  const json layer = toJson(LocalLayer{});
  const CS kept = settingsFromJson(json{{"dodgeBurn", strokes}, {"layers", {layer}}});
  EXPECT_EQ(kept.dodgeBurn.size(), 3u);
  EXPECT_EQ(kept.layers.size(), 1u);

  const CS unreadable = settingsFromJson(json{{"dodgeBurn", strokes}, {"layers", {1}}});
  EXPECT_TRUE(unreadable.dodgeBurn.empty());
  EXPECT_EQ(unreadable.layers.size(), 2u);
}

TEST(LocalLayers, GroupsStrokesByStopsRoundedToHundredths) {
  const std::vector<DodgeBurnStroke> strokes = {stroke(0.125), stroke(0.13), stroke(-0.125),
                                                stroke(0.134), stroke(-0.0), stroke(0.004)};
  const auto layers = layersFromStrokes(strokes);
  ASSERT_EQ(layers.size(), 3u);
  EXPECT_EQ(layers[0].adjust.exposure, 0.13);
  EXPECT_EQ(layers[0].shapes.size(), 3u);
  EXPECT_EQ(layers[0].shapes[0].stops, 0.125);  // the stroke keeps its own stops
  EXPECT_EQ(layers[1].name, "Layer 2");
  EXPECT_EQ(layers[1].adjust.exposure, -0.13);
  EXPECT_EQ(layers[2].name, "Layer 3");
  EXPECT_EQ(layers[2].shapes.size(), 2u);  // -0 and 0.004 both round to zero
  EXPECT_EQ((LocalAdjustment{.exposure = layers[2].adjust.exposure}), layers[2].adjust);
  EXPECT_TRUE(layersFromStrokes({}).empty());
}

}  // namespace
