// Turning and mirroring an edit: every stored position moves with the image, and nothing else.
#include "Record/SettingsTurning.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace SettingsTurning;

DodgeBurnStroke radialShape(std::vector<std::vector<double>> points) {
  DodgeBurnStroke stroke;
  stroke.id = Uuid::random();
  stroke.points = std::move(points);
  stroke.radius = 0.05;
  stroke.stops = 0.5;
  stroke.shape = DodgeShape::radial;
  stroke.rx = 0.25;
  stroke.invert = true;
  return stroke;
}

// Coordinates are binary fractions, so 1 − v is exact and round trips compare exactly.
ConversionSettings richRecord() {
  ConversionSettings s;
  s.crop = NormRect{0.125, 0.25, 0.5, 0.375};
  s.skewDegrees = 1.5;
  s.cropAspect = CropAspect::r3x2;
  Spot spot;
  spot.id = Uuid::random();
  spot.x = 0.25;
  spot.y = 0.75;
  spot.r = 0.01;
  spot.sx = 0.5;
  spot.sy = 0.125;
  spot.group = Uuid::random();
  spot.kind = SpotKind::clone;
  spot.feather = 0.3;
  spot.opacity = 0.9;
  spot.score = 0.7;
  s.spots = {spot};
  s.dodgeBurn = {radialShape({{0.25, 0.125}, {0.5, 0.625}})};
  LocalLayer layer;
  layer.name = "Sky";
  layer.adjust.exposure = -0.5;
  layer.visible = false;
  layer.shapes = {radialShape({{0.375, 0.875}})};
  s.layers = {layer};
  RedEye eye;
  eye.x = 0.0625;
  eye.y = 0.5;
  eye.r = 0.02;
  s.redEyes = {eye};
  return s;
}

TEST(SettingsTurning, PlainRecordOnlyCountsTheTurn) {
  ConversionSettings s;
  rotate(s, 1);
  ConversionSettings expected;
  expected.rotationQuarterTurns = 1;
  EXPECT_EQ(s, expected);
  rotate(s, -1);
  EXPECT_EQ(s, ConversionSettings{});
}

TEST(SettingsTurning, PointRuleForEveryTurnCount) {
  struct Case {
    int64_t turns;
    int64_t count;
    double x, y;
  };
  const Case cases[] = {{0, 0, 0.2, 0.1},  {1, 1, 0.9, 0.2},  {2, 2, 0.8, 0.9}, {3, 3, 0.1, 0.8},
                        {-1, 3, 0.1, 0.8}, {-2, 2, 0.8, 0.9}, {4, 0, 0.2, 0.1}, {5, 1, 0.9, 0.2}};
  for (const Case& c : cases) {
    ConversionSettings s;
    RedEye eye;
    eye.x = 0.2;
    eye.y = 0.1;
    eye.r = 0.03;
    s.redEyes = {eye};
    rotate(s, c.turns);
    EXPECT_EQ(s.rotationQuarterTurns, c.count) << c.turns;
    EXPECT_DOUBLE_EQ(s.redEyes[0].x, c.x) << c.turns;
    EXPECT_DOUBLE_EQ(s.redEyes[0].y, c.y) << c.turns;
    EXPECT_EQ(s.redEyes[0].r, 0.03);
    EXPECT_EQ(s.redEyes[0].id, eye.id);
  }
}

TEST(SettingsTurning, CropTurnsAndMirrorsWithTheImage) {
  ConversionSettings s;
  s.crop = NormRect{0.1, 0.2, 0.5, 0.3};
  rotate(s, 1);
  ASSERT_TRUE(s.crop);
  EXPECT_DOUBLE_EQ(s.crop->x, 0.5);
  EXPECT_DOUBLE_EQ(s.crop->y, 0.1);
  EXPECT_DOUBLE_EQ(s.crop->w, 0.3);
  EXPECT_DOUBLE_EQ(s.crop->h, 0.5);

  ConversionSettings upright;
  upright.crop = NormRect{0.1, 0.2, 0.5, 0.3};
  mirror(upright);
  EXPECT_DOUBLE_EQ(upright.crop->x, 0.4);
  EXPECT_DOUBLE_EQ(upright.crop->y, 0.2);
  EXPECT_EQ(upright.rotationQuarterTurns, 0);

  ConversionSettings turned;
  turned.rotationQuarterTurns = 1;
  turned.crop = NormRect{0.1, 0.2, 0.5, 0.3};
  mirror(turned);
  EXPECT_DOUBLE_EQ(turned.crop->x, 0.1);
  EXPECT_DOUBLE_EQ(turned.crop->y, 0.5);
  EXPECT_EQ(turned.rotationQuarterTurns, 1);

  ConversionSettings none;
  rotate(none, 1);
  mirror(none);
  EXPECT_FALSE(none.crop);
}

TEST(SettingsTurning, ShapesSwapRadiiOnOddTurnsAndDropExtraNumbers) {
  DodgeBurnStroke shape = radialShape({{0.2, 0.1, 7.0}, {0.3}});
  ConversionSettings s;
  s.dodgeBurn = {shape};

  rotate(s, 2);
  const DodgeBurnStroke& half = s.dodgeBurn[0];
  ASSERT_EQ(half.points[0].size(), 2u);
  EXPECT_DOUBLE_EQ(half.points[0][0], 0.8);
  EXPECT_DOUBLE_EQ(half.points[0][1], 0.9);
  EXPECT_EQ(half.points[1], std::vector<double>{0.3});  // cannot move, kept as stored
  EXPECT_EQ(half.rx, 0.25);
  EXPECT_EQ(half.ry, std::nullopt);

  rotate(s, 1);
  EXPECT_EQ(s.dodgeBurn[0].rx, std::nullopt);
  EXPECT_EQ(s.dodgeBurn[0].ry, 0.25);
  EXPECT_EQ(s.dodgeBurn[0].radius, shape.radius);
  EXPECT_EQ(s.dodgeBurn[0].stops, shape.stops);
  EXPECT_EQ(s.dodgeBurn[0].shape, shape.shape);
  EXPECT_EQ(s.dodgeBurn[0].invert, shape.invert);
  EXPECT_EQ(s.dodgeBurn[0].id, shape.id);

  ConversionSettings m;
  m.dodgeBurn = {radialShape({{0.2, 0.1, 7.0}})};
  mirror(m);
  EXPECT_EQ(m.dodgeBurn[0].points[0], (std::vector<double>{0.8, 0.1}));
  EXPECT_EQ(m.dodgeBurn[0].rx, 0.25);
}

TEST(SettingsTurning, RepairSourceNeedsBothCoordinatesToTurn) {
  Spot spot;
  spot.x = 0.2;
  spot.y = 0.1;
  spot.sx = 0.4;
  const Spot turned = rotated(spot, 1);
  EXPECT_DOUBLE_EQ(turned.x, 0.9);
  EXPECT_DOUBLE_EQ(turned.y, 0.2);
  EXPECT_EQ(turned.sx, 0.4);
  EXPECT_EQ(turned.sy, std::nullopt);

  const Spot across = mirrored(spot, true);
  EXPECT_DOUBLE_EQ(across.x, 0.8);
  EXPECT_DOUBLE_EQ(*across.sx, 0.6);
  EXPECT_EQ(across.sy, std::nullopt);

  const Spot down = mirrored(spot, false);
  EXPECT_DOUBLE_EQ(down.y, 0.9);
  EXPECT_EQ(down.sx, 0.4);  // sy is absent, so there is nothing to flip
}

TEST(SettingsTurning, MirrorFlipsTheAngleAndToggles) {
  ConversionSettings s;
  s.skewDegrees = 2.5;
  mirror(s);
  EXPECT_TRUE(s.mirrored);
  EXPECT_EQ(s.skewDegrees, -2.5);
  mirror(s);
  EXPECT_FALSE(s.mirrored);
  EXPECT_EQ(s.skewDegrees, 2.5);
}

TEST(SettingsTurning, FourTurnsAndTwoMirrorsGiveTheRecordBack) {
  const ConversionSettings start = richRecord();
  for (int64_t step : {1, -1, 3}) {
    ConversionSettings s = start;
    for (int i = 0; i < 4; ++i) rotate(s, step);
    EXPECT_EQ(s, start) << step;
  }
  for (int64_t turns : {0, 1}) {
    ConversionSettings s = start;
    s.rotationQuarterTurns = turns;
    ConversionSettings twice = s;
    mirror(twice);
    EXPECT_NE(twice, s);
    mirror(twice);
    EXPECT_EQ(twice, s) << turns;
  }

  // Decimal coordinates come back within rounding of the 1 − v steps.
  ConversionSettings decimal;
  decimal.crop = NormRect{0.1, 0.2, 0.3, 0.35};
  for (int i = 0; i < 4; ++i) rotate(decimal, 1);
  EXPECT_NEAR(decimal.crop->x, 0.1, 1e-15);
  EXPECT_NEAR(decimal.crop->y, 0.2, 1e-15);
  EXPECT_EQ(decimal.crop->w, 0.3);
  EXPECT_EQ(decimal.crop->h, 0.35);
}

TEST(SettingsTurning, EveryKindOfPositionMovesTogether) {
  ConversionSettings s = richRecord();
  const ConversionSettings start = s;
  rotate(s, 1);

  EXPECT_EQ(s.spots[0], rotated(start.spots[0], 1));
  EXPECT_EQ(s.spots[0].x, 0.25);  // (1 − 0.75, 0.25)
  EXPECT_EQ(s.spots[0].sx, 0.875);
  EXPECT_EQ(s.spots[0].sy, 0.5);
  EXPECT_EQ(s.redEyes[0], rotated(start.redEyes[0], 1));
  EXPECT_EQ(s.layers[0], rotated(start.layers[0], 1));
  EXPECT_EQ(s.layers[0].shapes[0].points[0], (std::vector<double>{0.125, 0.375}));
  EXPECT_EQ(s.layers[0].name, "Sky");
  EXPECT_FALSE(s.layers[0].visible);
  EXPECT_EQ(s.dodgeBurn[0].points[1], (std::vector<double>{0.375, 0.5}));
  EXPECT_EQ(s.skewDegrees, start.skewDegrees);
  EXPECT_EQ(s.cropAspect, start.cropAspect);
  EXPECT_EQ(s.mirrored, start.mirrored);

  ConversionSettings m = start;
  mirror(m);
  EXPECT_EQ(m.spots[0], mirrored(start.spots[0], true));
  EXPECT_EQ(m.redEyes[0], mirrored(start.redEyes[0], true));
  EXPECT_EQ(m.layers[0].shapes[0].points[0], (std::vector<double>{0.625, 0.875}));
  EXPECT_EQ(m.dodgeBurn[0].points[0], (std::vector<double>{0.75, 0.125}));
}

TEST(SettingsTurning, MirrorAxisFollowsTheTurnCount) {
  // After a quarter turn the stored y runs across the displayed picture, so the mirror flips y;
  // either order of turn and mirror then ends at the same record.
  const ConversionSettings start = richRecord();
  ConversionSettings turnThenMirror = start;
  rotate(turnThenMirror, 1);
  mirror(turnThenMirror);
  EXPECT_EQ(turnThenMirror.redEyes[0].x, 0.5);
  EXPECT_EQ(turnThenMirror.redEyes[0].y, 1 - 0.0625);
  ConversionSettings mirrorThenTurn = start;
  mirror(mirrorThenTurn);
  rotate(mirrorThenTurn, 1);
  EXPECT_EQ(turnThenMirror, mirrorThenTurn);
}

TEST(SettingsTurning, StoredTurnCountsAtTheIntegerLimitsWrap) {
  ConversionSettings s;
  s.rotationQuarterTurns = std::numeric_limits<int64_t>::max();
  rotate(s, 1);
  EXPECT_EQ(s.rotationQuarterTurns, 0);
  s.rotationQuarterTurns = std::numeric_limits<int64_t>::min();
  rotate(s, -1);
  EXPECT_EQ(s.rotationQuarterTurns, 3);
  s.rotationQuarterTurns = 7;
  rotate(s, std::numeric_limits<int64_t>::min());
  EXPECT_EQ(s.rotationQuarterTurns, 3);
}

}  // namespace
