// Dodge & burn layers and red-eye marks on the model: the name of a new layer, where new shapes
// go and the one-gradient rule, the values of shapes drawn on the preview, the layer list's
// edits and their undo steps, and marks added and removed.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "LetteredScans.h"
#include "Model/LayerNames.h"

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

LocalLayer named(const std::string& name) {
  LocalLayer layer;
  layer.name = name;
  return layer;
}

DodgeBurnStroke brush(std::vector<std::vector<double>> points = {{0.5, 0.5}}) {
  DodgeBurnStroke stroke;
  stroke.id = Uuid::random();
  stroke.points = std::move(points);
  return stroke;
}

DodgeBurnStroke linear() { return DodgeBurnStroke::linear({0.1, 0.1}, {0.9, 0.9}, 0); }
DodgeBurnStroke radial() { return DodgeBurnStroke::radial({0.5, 0.5}, 0.1, 0.2, 0, 0.51, false); }

// One scan selected, its record set outright; the history starts empty.
struct LayerSession : LetteredScans {
  explicit LayerSession(ConversionSettings record = {}) : LetteredScans(2) {
    model.storeSettings(0, std::move(record));
    model.setSelection(id('A'));
  }
  const ConversionSettings& record() const { return model.items()[0].settings; }
  const std::vector<LocalLayer>& layers() const { return record().layers; }
  size_t steps() const { return model.plain().undoStack.size(); }
  void wait(double s) { services.clock.advance(seconds(s)); }
  // What a published pass of a 200 × 100 scan cropped to its middle half leaves for the
  // mapping: a preview point (u, v) is the image point (0.25 + u / 2, v), and a length of the
  // long edge spans twice its share of the preview's width.
  void showCroppedMiddle() {
    FilmAnalysis analysis;
    analysis.crop = NormRect{0.25, 0, 0.5, 1};
    model.setProxySize(QSize(200, 100));
    model.setPreviewIsUncropped(false);
    model.setAnalysis(analysis);
    model.plain().previewImageID = model.selection();
  }
};

void expectPoints(const std::vector<std::vector<double>>& actual,
                  const std::vector<std::vector<double>>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(actual[i].size(), 2u);
    EXPECT_NEAR(actual[i][0], expected[i][0], 1e-12) << "point " << i;
    EXPECT_NEAR(actual[i][1], expected[i][1], 1e-12) << "point " << i;
  }
}

TEST(LayerNames, NextName) {
  const std::string largest = std::to_string(std::numeric_limits<int64_t>::max());
  const std::string smallest = std::to_string(std::numeric_limits<int64_t>::min());
  struct Case {
    std::vector<std::string> names;
    std::string want;
  };
  const std::vector<Case> cases = {
      {{}, "Layer 1"},
      {{"Sky"}, "Layer 1"},
      {{"Layer 1", "Layer 3", "Sky"}, "Layer 4"},
      {{"Layer 2", "Layer Layer 7"}, "Layer 8"},
      {{"Layer -5"}, "Layer -4"},
      {{"Layer +3"}, "Layer 4"},
      {{"Layer 3", "Layer -5"}, "Layer 4"},
      {{"Layer 007"}, "Layer 8"},
      {{"12"}, "Layer 13"},
      {{"Layer 1 "}, "Layer 1"},
      {{"Layer 2x", "Layer 3.0", "Layer +-4", "Layer +", "Layer ", "Layer"}, "Layer 1"},
      {{"Layer 99999999999999999999", "Layer 2"}, "Layer 3"},
      {{"Layer " + smallest}, "Layer -9223372036854775807"},
      {{"Layer " + largest, "Layer 5"}, "Layer 9223372036854775808"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.names.empty() ? std::string("no layers") : c.names.front());
    EXPECT_EQ(LayerNames::next(c.names), c.want);
  }
}

TEST(Layers, NextNameReadsTheSelectedScan) {
  ConversionSettings record;
  record.layers = {named("Layer 4"), named("Layer 9")};
  LayerSession s(record);
  EXPECT_EQ(s.model.nextLayerName(), "Layer 10");
  s.model.setSelection(s.id('B'));
  EXPECT_EQ(s.model.nextLayerName(), "Layer 1");
}

TEST(Layers, FirstShapeMakesASelectedLayerAndLaterOnesJoinIt) {
  LayerSession s;
  const DodgeBurnStroke first = brush();
  s.model.addStroke(first);
  ASSERT_EQ(s.layers().size(), 1u);
  const LocalLayer& layer = s.layers()[0];
  EXPECT_EQ(layer.name, "Layer 1");
  EXPECT_EQ(layer.shapes, std::vector<DodgeBurnStroke>{first});
  EXPECT_TRUE(layer.adjust.isNeutral());
  EXPECT_TRUE(layer.visible);
  EXPECT_EQ(s.model.selectedLayerID(), layer.id);
  EXPECT_EQ(s.model.selectedLayerIndex(), 0);

  s.wait(1);
  const DodgeBurnStroke second = brush({{0.2, 0.2}, {0.3, 0.3}});
  s.model.addStroke(second);
  ASSERT_EQ(s.layers().size(), 1u);
  EXPECT_EQ(s.layers()[0].shapes, (std::vector<DodgeBurnStroke>{first, second}));
  EXPECT_EQ(s.steps(), 2u);

  // With the selection cleared the next shape starts the next layer.
  s.model.toggleLayerSelection(s.layers()[0].id);
  EXPECT_FALSE(s.model.selectedLayerID());
  s.model.addStroke(brush());
  ASSERT_EQ(s.layers().size(), 2u);
  EXPECT_EQ(s.layers()[1].name, "Layer 2");
  EXPECT_EQ(s.model.selectedLayerID(), s.layers()[1].id);
}

// A layer holds at most one gradient; brush strokes join any layer.
TEST(Layers, OneGradientPerLayer) {
  struct Case {
    const char* name;
    std::vector<DodgeBurnStroke> held;
    DodgeBurnStroke added;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {"radial into a linear", {linear()}, radial(), false},
      {"linear into a radial", {radial()}, linear(), false},
      {"radial into brush strokes", {brush(), brush()}, radial(), true},
      {"brush into a linear", {linear()}, brush(), true},
      {"linear into an empty layer", {}, linear(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConversionSettings record;
    record.layers = {named("Layer 1")};
    record.layers[0].shapes = c.held;
    LayerSession s(record);
    s.model.setSelectedLayerID(record.layers[0].id);
    EXPECT_EQ(s.model.selectedLayerIsBrushOnly(),
              std::all_of(c.held.begin(), c.held.end(),
                          [](const DodgeBurnStroke& d) { return !d.shape; }));
    s.model.addStroke(c.added);
    EXPECT_EQ(s.layers().size(), 1u);
    EXPECT_EQ(s.layers()[0].shapes.size(), c.held.size() + (c.accepted ? 1 : 0));
    EXPECT_EQ(s.steps(), c.accepted ? 1u : 0u);
  }
}

TEST(Layers, NothingWithoutASelectedScan) {
  LayerSession s;
  s.model.setSelection(std::nullopt);
  s.model.addStroke(brush());
  s.model.addLayer();
  EXPECT_TRUE(s.layers().empty());
  EXPECT_FALSE(s.model.selectedLayerID());
  EXPECT_FALSE(s.model.dodgeMode());
  EXPECT_EQ(s.steps(), 0u);
}

// A shape whose numbers are not finite is turned away by the edit, and no layer is selected.
TEST(Layers, ShapeWithoutFiniteNumbersAddsNothing) {
  LayerSession s;
  s.model.addStroke(brush({{nan, 0.5}}));
  EXPECT_TRUE(s.layers().empty());
  EXPECT_FALSE(s.model.selectedLayerID());
  EXPECT_EQ(s.steps(), 0u);
}

TEST(Layers, AddLayerSelectsItAndEntersDodgeAndBurn) {
  ConversionSettings record;
  record.layers = {named("Layer 2")};
  LayerSession s(record);
  s.model.setCropMode(true);
  s.model.addLayer();
  ASSERT_EQ(s.layers().size(), 2u);
  EXPECT_EQ(s.layers()[1].name, "Layer 3");
  EXPECT_TRUE(s.layers()[1].shapes.empty());
  EXPECT_EQ(s.model.selectedLayerID(), s.layers()[1].id);
  EXPECT_TRUE(s.model.dodgeMode());
  EXPECT_FALSE(s.model.cropMode());
}

TEST(Layers, DeletingALayer) {
  ConversionSettings record;
  record.layers = {named("Layer 1"), named("Layer 2")};
  const Uuid first = record.layers[0].id;
  const Uuid second = record.layers[1].id;

  LayerSession s(record);
  s.model.setSelectedLayerID(first);
  s.model.deleteLayer(second);
  EXPECT_EQ(s.model.selectedLayerID(), first);
  ASSERT_EQ(s.layers().size(), 1u);
  s.model.deleteLayer(first);
  EXPECT_FALSE(s.model.selectedLayerID());
  EXPECT_TRUE(s.layers().empty());

  LayerSession unknown(record);
  unknown.model.deleteLayer(Uuid::random());
  EXPECT_EQ(unknown.layers().size(), 2u);
  EXPECT_EQ(unknown.steps(), 0u);
}

// The selected layer is kept across scans and selects nothing on a scan without it.
TEST(Layers, SelectedLayerOfAnotherScan) {
  ConversionSettings record;
  record.layers = {named("Layer 1")};
  record.layers[0].adjust.exposure = 0.5;
  record.layers[0].shapes = {linear()};
  LayerSession s(record);
  s.model.setSelectedLayerID(record.layers[0].id);
  EXPECT_EQ(s.model.selectedLayerValue(&LocalAdjustment::exposure), 0.5);
  EXPECT_FALSE(s.model.selectedLayerIsBrushOnly());

  s.model.setSelection(s.id('B'));
  EXPECT_EQ(s.model.selectedLayerID(), record.layers[0].id);
  EXPECT_FALSE(s.model.selectedLayerIndex());
  EXPECT_TRUE(s.model.selectedLayerIsBrushOnly());
  EXPECT_EQ(s.model.selectedLayerValue(&LocalAdjustment::exposure), 0);
  s.model.setSelectedLayerValue(&LocalAdjustment::exposure, 1);
  EXPECT_TRUE(s.model.items()[1].settings.layers.empty());
  EXPECT_EQ(s.steps(), 0u);
  // A gradient goes into a new layer of this scan.
  s.model.addStroke(radial());
  ASSERT_EQ(s.model.items()[1].settings.layers.size(), 1u);
}

TEST(Layers, SelectedLayerValue) {
  ConversionSettings record;
  record.layers = {named("Layer 1"), named("Layer 2")};
  LayerSession s(record);
  s.model.setSelectedLayerID(record.layers[1].id);
  s.model.setSelectedLayerValue(&LocalAdjustment::clarity, 20);
  s.model.setSelectedLayerValue(&LocalAdjustment::clarity, 35);
  EXPECT_EQ(s.layers()[1].adjust.clarity, 35);
  EXPECT_EQ(s.model.selectedLayerValue(&LocalAdjustment::clarity), 35);
  EXPECT_EQ(s.layers()[0].adjust, LocalAdjustment{});
  // A slider drag is one undo step.
  EXPECT_EQ(s.steps(), 1u);
}

TEST(Layers, RadialOutside) {
  ConversionSettings record;
  record.layers = {named("Layer 1"), named("Layer 2")};
  record.layers[0].shapes = {brush(), radial(), radial()};
  record.layers[0].shapes[1].invert.reset();

  LayerSession s(record);
  // Without a selected layer: the preference only.
  s.model.setRadialOutside(true);
  EXPECT_TRUE(s.model.dodgeOutside());
  EXPECT_TRUE(s.model.radialOutside());
  EXPECT_EQ(s.steps(), 0u);

  // A layer without a radial answers the preference and writes only it.
  s.model.setSelectedLayerID(record.layers[1].id);
  s.model.setRadialOutside(false);
  EXPECT_FALSE(s.model.radialOutside());
  EXPECT_EQ(s.steps(), 0u);

  // A layer with radials answers its first radial, whatever the preference says.
  s.model.setSelectedLayerID(record.layers[0].id);
  s.model.setDodgeOutside(true);
  EXPECT_FALSE(s.model.radialOutside());
  s.model.setRadialOutside(true);
  EXPECT_TRUE(s.model.dodgeOutside());
  EXPECT_EQ(s.layers()[0].shapes[1].invert, true);
  EXPECT_EQ(s.layers()[0].shapes[2].invert, false);
  EXPECT_TRUE(s.model.radialOutside());
  ASSERT_EQ(s.steps(), 1u);
  s.model.undo();
  EXPECT_EQ(s.record(), record);
}

TEST(Layers, RecordChanges) {
  ConversionSettings record;
  record.layers = {named("Layer 1"), named("Layer 2")};
  record.layers[0].shapes = {radial(), radial()};
  record.layers[0].shapes[0].invert.reset();
  record.layers[0].shapes[1].invert = true;
  record.layers[1].shapes = {record.layers[0].shapes[0], brush()};
  const Uuid shared = record.layers[0].shapes[0].id;
  const Uuid inverted = record.layers[0].shapes[1].id;

  ConversionSettings toggled = record;
  AppModel::toggleStrokeInvert(toggled, shared);
  EXPECT_EQ(toggled.layers[0].shapes[0].invert, true);  // absent counts as false
  EXPECT_EQ(toggled.layers[1].shapes[0].invert, true);
  AppModel::toggleStrokeInvert(toggled, inverted);
  EXPECT_EQ(toggled.layers[0].shapes[1].invert, false);
  AppModel::toggleStrokeInvert(toggled, inverted);
  EXPECT_EQ(toggled.layers[0].shapes[1].invert, true);

  ConversionSettings removed = record;
  AppModel::removeStroke(removed, shared);
  EXPECT_EQ(removed.layers[0].shapes.size(), 1u);
  EXPECT_EQ(removed.layers[1].shapes.size(), 1u);

  ConversionSettings hidden = record;
  AppModel::toggleLayerVisible(hidden, record.layers[1].id);
  EXPECT_TRUE(hidden.layers[0].visible);
  EXPECT_FALSE(hidden.layers[1].visible);

  ConversionSettings unknown = record;
  AppModel::removeStroke(unknown, Uuid::random());
  AppModel::toggleStrokeInvert(unknown, Uuid::random());
  AppModel::toggleLayerVisible(unknown, Uuid::random());
  EXPECT_EQ(unknown, record);
}

// Repeated calls during one drag place the stroke at the starting points plus the whole offset,
// as one undo step, and select the stroke's layer.
TEST(Layers, DragStroke) {
  ConversionSettings record;
  record.layers = {named("Layer 1"), named("Layer 2")};
  record.layers[1].shapes = {brush(), brush({{0.2, 0.3}, {0.4, 0.5}})};
  const DodgeBurnStroke& dragged = record.layers[1].shapes[1];

  LayerSession s(record);
  s.model.dragStroke(dragged.id, dragged.points, 0.1, 0);
  s.model.dragStroke(dragged.id, dragged.points, 0.1, 0.2);
  EXPECT_EQ(s.model.selectedLayerID(), record.layers[1].id);
  expectPoints(s.layers()[1].shapes[1].points, {{0.3, 0.5}, {0.5, 0.7}});
  EXPECT_EQ(s.steps(), 1u);

  s.model.dragStroke(Uuid::random(), dragged.points, 0.1, 0.1);
  EXPECT_EQ(s.steps(), 1u);
}

// Points of a hand-edited record with fewer than two numbers stay as read: a drag neither
// reads past their end nor rewrites them.
TEST(Layers, ShortPointsStayAsRead) {
  ConversionSettings record;
  record.layers = {named("Layer 1")};
  record.layers[0].shapes = {brush({{0.5}, {}, {0.2, 0.2}})};
  const DodgeBurnStroke& stroke = record.layers[0].shapes[0];
  LayerSession s(record);
  s.model.dragStroke(stroke.id, stroke.points, 0.1, 0.1);
  EXPECT_EQ(s.record(), record);
  EXPECT_EQ(s.steps(), 0u);
  EXPECT_TRUE(s.model.selectedLayerIsBrushOnly());
  EXPECT_FALSE(s.model.radialOutside());
}

// Shapes drawn on the preview: the values each gets and the points that fall off the picture.
TEST(Layers, BrushStrokeFromThePreview) {
  LayerSession s;
  s.showCroppedMiddle();
  s.model.setDodgeFeather(50);
  s.model.setDodgeSize(0.05);
  s.model.addBrushStroke({QPointF(0.5, 0.5), QPointF(1.5, 0.5), QPointF(1, 0.2)});
  ASSERT_EQ(s.layers().size(), 1u);
  const DodgeBurnStroke& stroke = s.layers()[0].shapes.at(0);
  expectPoints(stroke.points, {{0.5, 0.5}, {0.75, 0.2}});
  EXPECT_EQ(stroke.radius, 0.05);
  EXPECT_EQ(stroke.stops, 0);
  EXPECT_NEAR(stroke.feather, 2.1, 1e-12);
  EXPECT_FALSE(stroke.shape);
  EXPECT_FALSE(stroke.rx);
  EXPECT_FALSE(stroke.invert);

  // A drag wholly off the picture adds nothing; one point on it is a dab.
  s.model.addBrushStroke({QPointF(-0.1, 0.5), QPointF(0.5, 1.2)});
  EXPECT_EQ(s.layers()[0].shapes.size(), 1u);
  s.model.addBrushStroke({QPointF(-0.1, 0.5), QPointF(0, 0)});
  ASSERT_EQ(s.layers()[0].shapes.size(), 2u);
  expectPoints(s.layers()[0].shapes[1].points, {{0.25, 0}});
}

TEST(Layers, GradientsFromThePreview) {
  LayerSession s;
  s.showCroppedMiddle();
  s.model.setDodgeFeather(50);
  s.model.setDodgeOutside(true);

  s.model.addRadialGradient(QPointF(0.5, 0.5), 0.004, 0.8);
  ASSERT_EQ(s.layers().size(), 1u);
  const DodgeBurnStroke& r = s.layers()[0].shapes.at(0);
  EXPECT_EQ(r.shape, DodgeShape::radial);
  expectPoints(r.points, {{0.5, 0.5}});
  EXPECT_EQ(r.rx, 0.005);
  EXPECT_NEAR(*r.ry, 0.4, 1e-12);
  EXPECT_NEAR(r.radius, 0.4, 1e-12);
  EXPECT_NEAR(r.feather, 0.51, 1e-12);
  EXPECT_EQ(r.invert, true);
  EXPECT_EQ(r.stops, 0);

  // The linear gradient goes into a layer of its own: the first holds its radial.
  s.model.toggleLayerSelection(s.layers()[0].id);
  s.model.addLinearGradient(QPointF(0, 0), QPointF(1, 1));
  ASSERT_EQ(s.layers().size(), 2u);
  const DodgeBurnStroke& l = s.layers()[1].shapes.at(0);
  EXPECT_EQ(l.shape, DodgeShape::linear);
  expectPoints(l.points, {{0.25, 0}, {0.75, 1}});
  EXPECT_EQ(l.feather, 1.8);
  EXPECT_EQ(l.radius, 0);
}

// Gestures that place nothing: an end off the picture, radii that are no number.
TEST(Layers, GesturesThatPlaceNothing) {
  LayerSession s;
  s.showCroppedMiddle();
  s.model.addLinearGradient(QPointF(0.5, 0.5), QPointF(1.01, 0.5));
  s.model.addRadialGradient(QPointF(-0.5, 0.5), 0.1, 0.1);
  s.model.addRadialGradient(QPointF(0.5, 0.5), nan, 0.1);
  s.model.addBrushStroke({QPointF(nan, 0.5), QPointF(1e300, 0.5)});
  EXPECT_TRUE(s.layers().empty());
  EXPECT_EQ(s.steps(), 0u);
}

// Preferences that hold no usable value give their defaults: size 0.03, feather 50, inside.
TEST(Layers, MistypedPreferences) {
  LayerSession s;
  s.showCroppedMiddle();
  s.model.preferences().setString("dodgeSize", "nan");
  s.model.preferences().setString("dodgeFeather", "soft");
  s.model.preferences().setString("dodgeOutside", "maybe");
  s.model.addBrushStroke({QPointF(0.5, 0.5)});
  s.model.toggleLayerSelection(s.layers().at(0).id);
  s.model.addRadialGradient(QPointF(0.5, 0.5), 0.1, 0.1);
  ASSERT_EQ(s.layers().size(), 2u);
  const DodgeBurnStroke& stroke = s.layers()[0].shapes.at(0);
  EXPECT_EQ(stroke.radius, 0.03);
  EXPECT_NEAR(stroke.feather, 2.1, 1e-12);
  const DodgeBurnStroke& r = s.layers()[1].shapes.at(0);
  EXPECT_NEAR(r.feather, 0.51, 1e-12);
  EXPECT_EQ(r.invert, false);
}

TEST(RedEyeMarks, AddAndRemove) {
  LayerSession s;
  s.model.addRedEye(0.01, 0.1, 0.1);
  s.model.addRedEye(0.02, 0.2, 0.2);
  s.model.addRedEye(0.03, 0.3, 0.3);
  const std::vector<RedEye> marks = s.record().redEyes;
  ASSERT_EQ(marks.size(), 3u);
  EXPECT_EQ(marks[1].x, 0.2);
  EXPECT_EQ(marks[1].r, 0.02);

  s.wait(1);
  s.model.editSelected([&](ConversionSettings& r) { AppModel::removeRedEye(r, marks[1].id); });
  EXPECT_EQ(s.record().redEyes, (std::vector<RedEye>{marks[0], marks[2]}));
  EXPECT_EQ(s.steps(), 2u);

  s.wait(1);
  s.model.editSelected([](ConversionSettings& r) { AppModel::removeRedEye(r, Uuid::random()); });
  EXPECT_EQ(s.record().redEyes.size(), 2u);
  EXPECT_EQ(s.steps(), 2u);

  s.model.setSelection(std::nullopt);
  s.model.addRedEye(0.01, 0.5, 0.5);
  EXPECT_EQ(s.record().redEyes.size(), 2u);
  EXPECT_TRUE(s.model.items()[1].settings.redEyes.empty());
}

}  // namespace
