// JSON of the edit record's member types: strict readers fail, tolerant readers fall back per
// key, writers leave out absent optionals and refuse non-finite numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>

#include "Record/DodgeBurnStroke.h"
#include "Record/FilmInfo.h"
#include "Record/HSLAdjustments.h"
#include "Record/LocalLayer.h"
#include "Record/NormRect.h"
#include "Record/RedEye.h"
#include "Record/RollBalance.h"
#include "Record/Spot.h"
#include "Record/ToneCurves.h"
#include "TestSupport/InEachLocale.h"

namespace {

using nlohmann::json;
using Points = std::vector<std::vector<double>>;

constexpr const char* idText = "6F9619FF-8B86-4011-B42D-00C04FC964FF";
const Uuid fixedId = *Uuid::fromString(idText);
const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

std::vector<std::string> keysOf(const json& object) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.push_back(key);
  return keys;
}

class MemberJson : public InEachLocale {};
INSTANTIATE_IN_EACH_LOCALE(MemberJson);

TEST_P(MemberJson, StrictReadersFailOnMissingOrMistypedKeys) {
  struct Case {
    const char* name;
    std::function<void(const json&)> read;
    const char* text;
  };
  const Case cases[] = {
      {"rect without h", normRectFromJson, R"({"x":0.1,"y":0.2,"w":0.5})"},
      {"rect with null h", normRectFromJson, R"({"x":0.1,"y":0.2,"w":0.5,"h":null})"},
      {"rect with text w", normRectFromJson, R"({"x":0.1,"y":0.2,"w":"0.5","h":0.5})"},
      {"rect as array", normRectFromJson, "[0.1,0.2,0.5,0.5]"},
      {"spot without r", spotFromJson,
       R"({"id":"6F9619FF-8B86-4011-B42D-00C04FC964FF","x":0.5,"y":0.5})"},
      {"spot of kind patch", spotFromJson,
       R"({"id":"6F9619FF-8B86-4011-B42D-00C04FC964FF","x":0.5,"y":0.5,"r":0.1,"kind":"patch"})"},
      {"spot with text sx", spotFromJson,
       R"({"id":"6F9619FF-8B86-4011-B42D-00C04FC964FF","x":0.5,"y":0.5,"r":0.1,"sx":"0.2"})"},
      {"spot with bad group", spotFromJson,
       R"({"id":"6F9619FF-8B86-4011-B42D-00C04FC964FF","x":0.5,"y":0.5,"r":0.1,"group":"hair"})"},
      {"spot with braced id", spotFromJson,
       R"({"id":"{6F9619FF-8B86-4011-B42D-00C04FC964FF}","x":0.5,"y":0.5,"r":0.1})"},
      {"red eye without id", redEyeFromJson, R"({"x":0.5,"y":0.5,"r":0.1})"},
      {"stroke without points", dodgeBurnStrokeFromJson, R"({"radius":0.05})"},
      {"stroke with flat points", dodgeBurnStrokeFromJson, R"({"points":[0.1,0.2]})"},
      {"curve without points", toneCurveFromJson, R"({"pts":[[0,0],[1,1]]})"},
      {"balance without frames", rollBalanceFromJson, R"({"offsets":[0,0,0],"ratios":[1,1,1]})"},
      {"balance of 7.5 frames", rollBalanceFromJson,
       R"({"offsets":[0,0,0],"ratios":[1,1,1],"frames":7.5})"},
      {"balance of two offsets", rollBalanceFromJson,
       R"({"offsets":[0,0],"ratios":[1,1,1],"frames":3})"},
      {"balance of four ratios", rollBalanceFromJson,
       R"({"offsets":[0,0,0],"ratios":[1,1,1,1],"frames":3})"},
      {"layer as string", localLayerFromJson, R"("layer")"},
      {"film info as null", filmInfoFromJson, "null"},
      {"hsl as number", hslAdjustmentsFromJson, "3"},
  };
  for (const auto& c : cases) EXPECT_THROW(c.read(json::parse(c.text)), json::exception) << c.name;

  EXPECT_THROW(normRectFromJson(json::parse(R"({"x":0.1,"y":0.2,"w":0.5})")), json::out_of_range);
  EXPECT_THROW(spotFromJson(json::parse(cases[5].text)), json::type_error);
}

TEST_P(MemberJson, SpotWritesOnlyPresentOptionalsAndReadsBack) {
  Spot bare;
  bare.id = fixedId;
  bare.x = 0.25;
  bare.y = 0.75;
  bare.r = 0.0125;
  const json written = toJson(bare);
  EXPECT_EQ(keysOf(written), (std::vector<std::string>{"id", "r", "x", "y"}));
  EXPECT_EQ(written["id"], idText);
  EXPECT_EQ(spotFromJson(json::parse(written.dump())), bare);

  Spot full = bare;
  full.sx = 0.3;
  full.sy = 0.7;
  full.group = Uuid::random();
  full.kind = SpotKind::ai;
  full.feather = 0.4;
  full.opacity = 0.9;
  full.score = 0.61;
  EXPECT_EQ(toJson(full).size(), 11u);
  EXPECT_EQ(spotFromJson(json::parse(toJson(full).dump())), full);

  const json lower = json::parse(R"({"id":"6f9619ff-8b86-4011-b42d-00c04fc964ff","x":0.25,
      "y":0.75,"r":0.0125,"sx":null,"kind":null,"extra":[1,2]})");
  EXPECT_EQ(spotFromJson(lower), bare);
}

TEST_P(MemberJson, StrokeReaderFallsBackPerKeyExceptPoints) {
  const DodgeBurnStroke onlyPoints =
      dodgeBurnStrokeFromJson(json::parse(R"({"points":[[0.5,0.5]]})"));
  EXPECT_NE(onlyPoints.id, Uuid());
  EXPECT_EQ(onlyPoints.points, (Points{{0.5, 0.5}}));
  EXPECT_EQ(onlyPoints.radius, 0.03);
  EXPECT_EQ(onlyPoints.stops, 0);
  EXPECT_EQ(onlyPoints.feather, 1.8);
  EXPECT_FALSE(onlyPoints.shape || onlyPoints.rx || onlyPoints.ry || onlyPoints.invert);

  const DodgeBurnStroke mistyped = dodgeBurnStrokeFromJson(json::parse(
      R"({"id":"nope","points":[],"radius":"big","stops":null,"shape":"star","rx":true,"invert":1})"));
  EXPECT_TRUE(mistyped.points.empty());
  EXPECT_EQ(mistyped.radius, 0.03);
  EXPECT_FALSE(mistyped.shape || mistyped.rx || mistyped.invert);

  DodgeBurnStroke full;
  full.id = fixedId;
  full.points = {{0.1, 0.2}, {0.3}, {0.5, 0.6, 0.7}};  // inner lengths are kept as read
  full.radius = 0.05;
  full.stops = -0.7;
  full.feather = 2.5;
  full.shape = DodgeShape::radial;
  full.rx = 0.2;
  full.ry = 0.1;
  full.invert = false;
  EXPECT_EQ(dodgeBurnStrokeFromJson(json::parse(toJson(full).dump())), full);

  DodgeBurnStroke plain = full;
  plain.invert.reset();
  EXPECT_NE(plain, full);
  EXPECT_EQ(toJson(plain).count("invert"), 0u);
  plain = full;
  plain.shape.reset();
  DodgeBurnStroke brush = full;
  brush.shape = DodgeShape::brush;
  EXPECT_NE(plain, brush);
}

TEST_P(MemberJson, LayerReaderKeepsGoodShapesAndGivesNewIds) {
  const json empty = json::object();
  const LocalLayer first = localLayerFromJson(empty);
  EXPECT_EQ(first.name, "Layer");
  EXPECT_TRUE(first.visible);
  EXPECT_TRUE(first.shapes.empty());
  EXPECT_EQ(first.adjust, LocalAdjustment{});
  EXPECT_NE(localLayerFromJson(empty), first);  // each read draws a new id

  const LocalLayer mixed = localLayerFromJson(json::parse(R"({
      "name": 7, "visible": false, "adjust": [1, 2],
      "shapes": [{"points": [[0.1, 0.1]], "stops": 0.5}, {"radius": 0.2}, 4,
                 {"points": [[0.9, 0.9]], "stops": -1}]})"));
  EXPECT_EQ(mixed.name, "Layer");
  EXPECT_FALSE(mixed.visible);
  EXPECT_EQ(mixed.adjust, LocalAdjustment{});
  ASSERT_EQ(mixed.shapes.size(), 2u);
  EXPECT_EQ(mixed.shapes[0].stops, 0.5);
  EXPECT_EQ(mixed.shapes[1].stops, -1);

  LocalLayer layer;
  layer.id = fixedId;
  layer.name = "Sky";
  layer.shapes = {mixed.shapes[0]};
  layer.adjust = {0.5, 10, -20, 30, 1, -1, 5, 6, 7, 8, -9};
  layer.visible = false;
  const json written = toJson(layer);
  EXPECT_EQ(keysOf(written),
            (std::vector<std::string>{"adjust", "id", "name", "shapes", "visible"}));
  EXPECT_EQ(written["adjust"].size(), 11u);
  EXPECT_EQ(localLayerFromJson(json::parse(written.dump())), layer);

  const LocalAdjustment partial =
      localAdjustmentFromJson(json::parse(R"({"exposure":0.25,"clarity":"x","saturation":-4})"));
  EXPECT_EQ(partial, (LocalAdjustment{.exposure = 0.25, .saturation = -4}));
}

TEST_P(MemberJson, TolerantReadersReplaceOnlyTheBadKey) {
  const HSLAdjustments hsl = hslAdjustmentsFromJson(json::parse(R"({"hue":[1,2,3]})"));
  EXPECT_EQ(hsl, HSLAdjustments{});
  const HSLAdjustments mixed = hslAdjustmentsFromJson(json::parse(
      R"({"hue":[1,2,3,4,5,6,7,8.5],"saturation":[1,2,3,4,5,6,7,"8"],"luminance":null})"));
  EXPECT_EQ(mixed.hue, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8.5}));
  EXPECT_EQ(mixed.saturation, std::vector<double>(8, 0.0));

  const ToneCurves curves = toneCurvesFromJson(json::parse(R"({
      "rgb": {"points": [[0, 0.1], [0.5, 0.55], [1, 0.9]]},
      "red": {"nodes": []}, "green": 3, "regions": [0.1, 0.2]})"));
  EXPECT_EQ(curves.rgb.points, (Points{{0, 0.1}, {0.5, 0.55}, {1, 0.9}}));
  EXPECT_EQ(curves.red, ToneCurve{});
  EXPECT_EQ(curves.green, ToneCurve{});
  EXPECT_EQ(curves.blue, ToneCurve{});
  EXPECT_EQ(curves.regions, (std::vector<double>{0, 0, 0, 0}));

  const FilmInfo info =
      filmInfoFromJson(json::parse(R"({"camera":35,"lens":"50mm","notes":null})"));
  FilmInfo lensOnly;
  lensOnly.lens = "50mm";
  EXPECT_EQ(info, lensOnly);
  FilmInfo full{"Camera",
                "Lens",
                "Film",
                "400",
                "1/125",
                "f/8",
                "50",
                "1990-05-01",
                "Name",
                "© Name",
                "Notes with \"quotes\" and ümlauts"};
  EXPECT_EQ(toJson(FilmInfo{}).size(), 11u);
  EXPECT_EQ(filmInfoFromJson(json::parse(toJson(full).dump())), full);
}

TEST_P(MemberJson, ValuesRoundTripThroughText) {
  const NormRect rect{0.1, 0.2, 0.30000000000000004, 1.0 / 3};
  EXPECT_EQ(normRectFromJson(json::parse(toJson(rect).dump(2))), rect);

  const RollBalance balance{{0.12, -0.0, 1e-9}, {1.02, 1, 0.94}, 12};
  const json written = toJson(balance);
  EXPECT_TRUE(written["frames"].is_number_integer());
  EXPECT_EQ(rollBalanceFromJson(json::parse(written.dump())), balance);

  const RedEye mark{fixedId, 0.4, 0.6, 0.02};
  EXPECT_EQ(redEyeFromJson(json::parse(toJson(mark).dump())), mark);

  ToneCurves curves;
  curves.blue.points = {{0, 0}, {0.25, 0.2}, {1, 1}};
  curves.regions = {5, -5, 2.5, 0};
  EXPECT_EQ(toneCurvesFromJson(json::parse(toJson(curves).dump())), curves);
}

TEST(MemberJsonWriters, RefuseNonFiniteNumbers) {
  Spot spot;
  spot.score = nan;
  DodgeBurnStroke stroke;
  stroke.points = {{0.1, inf}};
  LocalLayer layer;
  layer.adjust.dehaze = -inf;
  HSLAdjustments hsl;
  hsl.luminance[7] = nan;
  ToneCurves curves;
  curves.red.points[1][0] = nan;

  const std::function<json()> writers[] = {
      [&] { return toJson(spot); },
      [&] { return toJson(stroke); },
      [&] { return toJson(layer); },
      [&] { return toJson(hsl); },
      [&] { return toJson(curves); },
      [&] {
        return toJson(NormRect{0, nan, 1, 1});
      },
      [&] {
        return toJson(RedEye{fixedId, 0, 0, inf});
      },
      [&] {
        return toJson(RollBalance{{0, 0, 0}, {1, nan, 1}, 3});
      },
  };
  for (size_t i = 0; i < std::size(writers); ++i)
    EXPECT_THROW(writers[i](), json::exception) << "writer " << i;
}

}  // namespace
