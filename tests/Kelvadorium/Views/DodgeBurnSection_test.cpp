// The "Dodge & Burn" section and its layer list over a real session: the summary and shape names,
// which tool rows show for a shape and a selected layer, the shape entries' looks and clicks, the
// outside switch on a layer's radial, Dodge, Burn and Reset, the hints, the list's rows with
// their clicks (always by id, so a row that went stale changes nothing; only where the press
// and the release meet) and help texts, and a refresh of both
// this section and the crop section that never writes a value back.
#include "Inspector/DodgeBurnSection.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include "Inspector/AdjustRow.h"
#include "Inspector/FoldHeader.h"
#include "Inspector/FoldSection.h"
#include "Inspector/LayerList.h"
#include "InspectorSession.h"

namespace {

using S = ConversionSettings;
using DodgeBurnSection::ShapeLook;
using Control = LayerList::Control;

DodgeBurnStroke stroke(std::optional<DodgeShape> kind, std::optional<bool> invert = {}) {
  DodgeBurnStroke s;
  s.id = Uuid::random();
  s.points = {{0.5, 0.5}};
  s.shape = kind;
  s.invert = invert;
  return s;
}

LocalLayer layer(const std::string& name, std::vector<DodgeBurnStroke> shapes = {},
                 double exposure = 0) {
  LocalLayer l;
  l.name = name;
  l.shapes = std::move(shapes);
  l.adjust.exposure = exposure;
  return l;
}

// Controls are looked up in the section only: the Basic Settings section has its own
// "Exposure" and "Saturation".
struct DodgeInspector : InspectorSession {
  DodgeInspector() : InspectorSession(3) {}
  template <class T>
  T* here(const QString& name) const {
    return view->section("Dodge & Burn")->findChild<T*>(name);
  }
  bool shownHere(const QString& name) const {
    auto* widget = here<QWidget>(name);
    return widget && widget->isVisibleTo(view.get());
  }
  LayerList* list() const { return here<LayerList>("LayerList"); }
  void click(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
  }
  // Stores the layers on scan 0, selects it and the layer at `selected`.
  void layers(std::vector<LocalLayer> layers, std::optional<size_t> selected = {}) {
    store(0, [&](S& s) { s.layers = layers; });
    select(0);
    model().setSelectedLayerID(selected ? std::optional(layers[*selected].id) : std::nullopt);
    settle();
  }
  const std::vector<LocalLayer>& stored() const { return session.settings(0).layers; }
  size_t steps() const { return session.undoStack().size(); }
  void pause() { session.wait(1); }
  QString hint() const { return here<QLabel>("dodgeHint")->text(); }
  // The list's rows as "layer:<name>", "shape:<name>" or "empty".
  std::vector<std::string> rows() const {
    std::vector<std::string> names;
    for (const LayerList::Row& row : list()->rows()) {
      switch (row.kind) {
        case LayerList::RowKind::empty:
          names.push_back("empty");
          break;
        case LayerList::RowKind::layer:
          names.push_back("layer:" + row.name.toStdString());
          break;
        case LayerList::RowKind::shape:
          names.push_back("shape:" + row.name.toStdString());
          break;
      }
    }
    return names;
  }
  const LayerList::Row& row(size_t index) const { return list()->rows().at(index); }
  bool has(size_t index, Control control) const {
    return !list()->controlRect(index, control).isEmpty();
  }
  QPoint at(size_t index, Control control) const {
    return list()->controlRect(index, control).center();
  }
  // A click in the middle of the row's control, without the refresh that follows it.
  void press(size_t index, Control control) {
    ASSERT_TRUE(has(index, control));
    QTest::mouseClick(list(), Qt::LeftButton, {}, at(index, control));
  }
  void click(size_t index, Control control) {
    press(index, control);
    settle();
  }
  // A click on the row's own padding, off its buttons.
  void clickRow(size_t index) {
    const QRect rect = row(index).rect;
    QTest::mouseClick(list(), Qt::LeftButton, {}, QPoint(rect.left() + 2, rect.center().y()));
    settle();
  }
  // The help shown for the pointer resting at `point` of the list; empty when none shows.
  QString helpAt(QPoint point) const {
    QHelpEvent event(QEvent::ToolTip, point, list()->mapToGlobal(point));
    QApplication::sendEvent(list(), &event);
    // An ignored event shows no help; the one shown before may still be fading out.
    return event.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
  }
  // The visible slider rows of the selected layer, in order.
  QStringList layerSliders() const {
    QStringList labels;
    for (auto* r : here<QWidget>("layerAdjustments")->findChildren<AdjustRow*>()) {
      if (r->isVisibleTo(view.get())) labels << r->label();
    }
    return labels;
  }
};

TEST(LayerList, SummaryCountsValuesNotTheirSize) {
  struct Case {
    const char* name;
    LocalAdjustment adjust;
    QString expected;
  };
  const auto with = [](auto change) {
    LocalAdjustment a;
    change(a);
    return a;
  };
  const Case cases[] = {
      {"nothing changed", {}, ""},
      {"exposure alone", with([](auto& a) { a.exposure = 0.5; }), "+0.50 EV"},
      {"negative exposure with two more", with([](auto& a) {
         a.exposure = -0.5;
         a.contrast = 1;
         a.clarity = 100;
       }),
       "-0.50 EV +2"},
      {"three others without exposure", with([](auto& a) {
         a.highlights = -3;
         a.dehaze = 12;
         a.saturation = -100;
       }),
       "+3"},
      {"every other value", with([](auto& a) {
         a.contrast = a.highlights = a.shadows = a.whites = a.blacks = 1;
         a.clarity = a.dehaze = a.sharpness = a.blackMist = a.saturation = 1;
       }),
       "+10"},
      {"a tiny exposure still counts", with([](auto& a) { a.exposure = 1e-9; }), "+0.00 EV"},
      {"sharpness alone", with([](auto& a) { a.sharpness = 20; }), "+1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LayerList::summary(c.adjust), c.expected);
  }
}

TEST(LayerList, ShapesAreNumberedPerKindInListOrder) {
  const std::vector<DodgeBurnStroke> shapes{stroke(DodgeShape::brush), stroke(DodgeShape::radial),
                                            stroke(DodgeShape::brush), stroke(DodgeShape::linear),
                                            stroke(std::nullopt)};
  const QStringList expected{"Brush 1", "Radial 1", "Brush 2", "Linear 1", "Brush 3"};
  for (size_t i = 0; i < shapes.size(); ++i) {
    EXPECT_EQ(LayerList::strokeName(shapes, i), expected[int(i)]) << i;
  }
  EXPECT_EQ(LayerList::strokeName(shapes, shapes.size()), "");
}

TEST(DodgeBurnSection, ToolRowsFollowTheShapeAndTheSelectedLayer) {
  using DodgeBurnSection::ToolRows;
  struct Case {
    DodgeShape shape;
    bool layerHasRadial;
    ToolRows expected;
  };
  const Case cases[] = {
      {DodgeShape::brush, false, {true, true, false}},
      {DodgeShape::linear, false, {false, false, false}},
      {DodgeShape::radial, false, {false, true, true}},
      {DodgeShape::brush, true, {true, true, true}},
      {DodgeShape::linear, true, {false, false, true}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DodgeBurnSection::toolRows(c.shape, c.layerHasRadial), c.expected)
        << int(c.shape) << " " << c.layerHasRadial;
  }

  // The section shows the same.
  DodgeInspector t;
  t.layers({layer("Sky", {stroke(DodgeShape::radial)}), layer("Ground")}, 1);
  for (const Case& c : cases) {
    t.model().setDodgeShape(c.shape);
    t.model().setSelectedLayerID(t.stored()[c.layerHasRadial ? 0 : 1].id);
    t.settle();
    SCOPED_TRACE(int(c.shape));
    EXPECT_EQ(t.shownHere("dodge.Size"), c.expected.size);
    EXPECT_EQ(t.shownHere("dodge.Feather"), c.expected.feather);
    EXPECT_EQ(t.shownHere("outsideRow"), c.expected.outside);
  }
}

TEST(DodgeBurnSection, ShapeEntriesLookAndClick) {
  EXPECT_EQ(DodgeBurnSection::shapeLook(DodgeShape::linear, DodgeShape::linear, true),
            ShapeLook::active);
  EXPECT_EQ(DodgeBurnSection::shapeLook(DodgeShape::linear, DodgeShape::linear, false),
            ShapeLook::chosen);
  EXPECT_EQ(DodgeBurnSection::shapeLook(DodgeShape::brush, DodgeShape::linear, true),
            ShapeLook::plain);

  DodgeInspector t;
  t.select(0);
  t.model().setSpotMode(true);
  t.settle();
  auto* linear = t.here<QToolButton>("Linear");
  auto* brush = t.here<QToolButton>("Brush");
  const QColor accent = linear->palette().color(QPalette::Highlight);
  t.click(linear);
  EXPECT_FALSE(t.model().spotMode());
  EXPECT_TRUE(t.model().dodgeMode());
  EXPECT_EQ(t.model().dodgeShape(), DodgeShape::linear);
  EXPECT_EQ(linear->property("look").toString(), "active");
  EXPECT_EQ(linear->palette().color(QPalette::ButtonText), accent);
  EXPECT_EQ(brush->property("look").toString(), "plain");
  // What the backdrop paints behind the active entry: the accent at 0.35.
  const auto inside = [](QWidget* button) {
    return button->grab().toImage().pixelColor(4, button->height() / 2);
  };
  EXPECT_NE(inside(linear), inside(brush));

  // The header switch turns the tool off: chosen, untinted.
  t.click(t.here<QToolButton>("Dodge & Burn"));
  EXPECT_FALSE(t.model().dodgeMode());
  EXPECT_EQ(linear->property("look").toString(), "chosen");
  EXPECT_NE(linear->palette().color(QPalette::ButtonText), accent);
  // Clicking the chosen entry switches the tool on again; a second click changes nothing.
  t.click(linear);
  EXPECT_TRUE(t.model().dodgeMode());
  t.click(linear);
  EXPECT_TRUE(t.model().dodgeMode());
  EXPECT_EQ(t.model().dodgeShape(), DodgeShape::linear);
  EXPECT_TRUE(t.session.undoStack().empty());
}

TEST(DodgeBurnSection, TheOutsideSwitchSetsThePreferenceAndTheLayersFirstRadial) {
  DodgeInspector t;
  t.layers({layer("Vignette", {stroke(DodgeShape::brush), stroke(DodgeShape::radial),
                               stroke(DodgeShape::radial, true)})},
           0);
  ASSERT_EQ(t.model().dodgeShape(), DodgeShape::brush);
  auto* box = t.here<QCheckBox>("Outside the ellipse");
  ASSERT_TRUE(t.shownHere("outsideRow"));
  EXPECT_FALSE(box->isChecked());  // the first radial's unset choice, not the second's
  t.click(box);
  EXPECT_TRUE(t.model().dodgeOutside());
  EXPECT_EQ(t.stored()[0].shapes[1].invert, true);
  EXPECT_EQ(t.stored()[0].shapes[2].invert, true);
  EXPECT_EQ(t.steps(), 1u);
  EXPECT_TRUE(box->isChecked());

  t.model().undo();
  t.settle();
  EXPECT_FALSE(t.stored()[0].shapes[1].invert.value_or(false));
  EXPECT_TRUE(t.model().dodgeOutside());
  EXPECT_FALSE(box->isChecked());

  // An id naming no layer counts as none: the switch is the preference alone.
  t.model().setDodgeShape(DodgeShape::radial);
  t.model().setSelectedLayerID(Uuid::random());
  t.settle();
  EXPECT_TRUE(box->isChecked());
  t.click(box);
  EXPECT_FALSE(t.model().dodgeOutside());
  EXPECT_EQ(t.steps(), 0u);
  EXPECT_TRUE(t.shownHere("dodgeHintRow"));
}

TEST(DodgeBurnSection, DodgeAndBurnSetTheExposureAndResetClearsAll) {
  DodgeInspector t;
  LocalLayer sky = layer("Sky", {}, 1.2);
  sky.adjust.clarity = 30;
  t.layers({sky}, 0);
  EXPECT_EQ(t.here<QLabel>("layerTitle")->text(), "Sky adjustments");
  EXPECT_EQ(t.here<QToolButton>("layer.Burn")->toolTip(), "Exposure \u22120.5 stop");
  t.click(t.here<QToolButton>("layer.Dodge"));
  EXPECT_EQ(t.stored()[0].adjust.exposure, 0.5);
  EXPECT_EQ(t.steps(), 1u);
  t.pause();
  t.click(t.here<QToolButton>("layer.Dodge"));
  EXPECT_EQ(t.steps(), 1u);
  t.click(t.here<QToolButton>("layer.Burn"));
  EXPECT_EQ(t.stored()[0].adjust.exposure, -0.5);
  EXPECT_EQ(t.here<AdjustRow>("layer.Exposure")->valueText()->text(), "-0.50");
  t.pause();
  t.click(t.here<QToolButton>("layer.Reset"));
  EXPECT_TRUE(t.stored()[0].adjust.isNeutral());
  EXPECT_EQ(t.steps(), 3u);
}

TEST(DodgeBurnSection, ElevenSlidersForColourAndTenForBlackAndWhite) {
  DodgeInspector t;
  t.layers({layer("Sky")}, 0);
  const QStringList colour{"Exposure",  "Contrast",   "Highlights", "Shadows",
                           "Whites",    "Blacks",     "Clarity",    "Dehaze",
                           "Sharpness", "Black Mist", "Saturation"};
  EXPECT_EQ(t.layerSliders(), colour);
  t.store(0, [](S& s) { s.mode = FilmMode::bwNegative; });
  t.settle();
  QStringList mono = colour;
  mono.removeLast();
  EXPECT_EQ(t.layerSliders(), mono);

  // A slider writes the selected layer, looked up by id at the write.
  auto* contrast = t.here<AdjustRow>("layer.Contrast");
  t.model().setSelectedLayerID(std::nullopt);
  t.settle();
  contrast->resetToNeutral();
  EXPECT_EQ(t.steps(), 0u);
}

TEST(DodgeBurnSection, HintsAndSizeRow) {
  DodgeInspector t;
  t.select(0);
  EXPECT_TRUE(t.shownHere("dodgeHintRow"));
  EXPECT_FALSE(t.shownHere("layerAdjustments"));
  EXPECT_EQ(t.hint(),
            "Draw on the picture to make the first layer, then set its adjustments here.");
  EXPECT_FALSE(t.here<QPushButton>("dodge.Remove All")->isEnabled());
  t.layers({layer("Sky")});
  EXPECT_EQ(t.hint(), "Select a layer to change its adjustments, or draw to start a new layer.");
  EXPECT_TRUE(t.here<QPushButton>("dodge.Remove All")->isEnabled());

  auto* size = t.here<AdjustRow>("dodge.Size");
  EXPECT_EQ(size->valueText()->text(), "3.0%");
  t.model().setDodgeSize(0.1);
  t.model().setDodgeFeather(80);
  t.settle();
  EXPECT_EQ(size->valueText()->text(), "10.0%");
  size->resetToNeutral();
  t.here<AdjustRow>("dodge.Feather")->resetToNeutral();
  EXPECT_EQ(t.model().dodgeSize(), 0.03);
  EXPECT_EQ(t.model().dodgeFeather(), 50);
  EXPECT_TRUE(t.session.undoStack().empty());
}

TEST(DodgeBurnSection, RemoveAllLeavesNoLayerSelectedAndUndoKeepsItThat) {
  DodgeInspector t;
  t.layers({layer("Sky"), layer("Ground")}, 1);
  t.click(t.here<QPushButton>("dodge.Remove All"));
  EXPECT_TRUE(t.stored().empty());
  EXPECT_FALSE(t.model().selectedLayerID());
  EXPECT_EQ(t.hint(),
            "Draw on the picture to make the first layer, then set its adjustments here.");
  EXPECT_EQ(t.rows(), std::vector<std::string>{});
  t.model().undo();
  t.settle();
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:Sky", "layer:Ground"}));
  EXPECT_FALSE(t.model().selectedLayerID());
}

TEST(LayerList, NewLayerIsSelectedWithTheEmptyText) {
  DodgeInspector t;
  t.select(0);
  EXPECT_EQ(t.rows(), std::vector<std::string>{});
  EXPECT_TRUE(t.list()->newLayerButton()->isVisibleTo(t.view.get()));
  t.click(t.list()->newLayerButton());
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:Layer 1", "empty"}));
  EXPECT_EQ(t.model().selectedLayerID(), t.stored()[0].id);
  EXPECT_TRUE(t.model().dodgeMode());
  EXPECT_TRUE(t.row(0).selected);
  EXPECT_TRUE(t.shownHere("layerAdjustments"));
  EXPECT_EQ(t.row(1).name, "Empty: draw on the picture to add a shape.");
}

TEST(LayerList, ARowClickTogglesTheSelectionAndItsShapeRows) {
  DodgeInspector t;
  t.layers({layer("Sky", {stroke(DodgeShape::brush), stroke(DodgeShape::brush),
                          stroke(DodgeShape::radial)}),
            layer("Ground", {stroke(DodgeShape::linear)})});
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:Sky", "layer:Ground"}));
  t.clickRow(0);
  EXPECT_EQ(t.model().selectedLayerID(), t.stored()[0].id);
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:Sky", "shape:Brush 1", "shape:Brush 2",
                                                "shape:Radial 1", "layer:Ground"}));
  // Only the radial has "Outside".
  for (size_t i : {1u, 2u}) EXPECT_FALSE(t.has(i, Control::outside));
  EXPECT_TRUE(t.has(3, Control::outside));
  // Selecting another layer moves the shape rows.
  t.clickRow(4);
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:Sky", "layer:Ground", "shape:Linear 1"}));
  t.clickRow(1);
  EXPECT_FALSE(t.model().selectedLayerID());
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:Sky", "layer:Ground"}));
  EXPECT_TRUE(t.session.undoStack().empty());
}

TEST(LayerList, DeletingALayerAndBringingItBack) {
  DodgeInspector t;
  t.layers({layer("A"), layer("B"), layer("C")}, 1);
  // Another layer: the selection stays.
  t.click(3, Control::remove);  // rows: A, B, empty, C
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:A", "layer:B", "empty"}));
  EXPECT_EQ(t.model().selectedLayerID(), t.stored()[1].id);
  // The selected one: no selection then.
  t.pause();
  t.click(1, Control::remove);
  EXPECT_EQ(t.rows(), std::vector<std::string>{"layer:A"});
  EXPECT_FALSE(t.model().selectedLayerID());
  t.model().undo();
  t.settle();
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:A", "layer:B"}));
  EXPECT_FALSE(t.model().selectedLayerID());
}

TEST(LayerList, RowsShowIconNameSummaryAndVisibility) {
  DodgeInspector t;
  LocalLayer lighter = layer("", {}, 0);
  lighter.adjust.sharpness = 20;
  LocalLayer hidden = layer("Shade", {}, -0.25);
  hidden.visible = false;
  t.layers({lighter, hidden});
  EXPECT_EQ(t.row(0).name, "");
  EXPECT_EQ(t.row(0).summary, "+1");
  EXPECT_EQ(t.row(0).symbol, "circle.righthalf.filled");
  EXPECT_EQ(t.row(1).summary, "-0.25 EV");
  EXPECT_EQ(t.row(1).symbol, "circle.lefthalf.filled");
  EXPECT_FALSE(t.row(1).visible);
  EXPECT_TRUE(t.row(0).visible);
  EXPECT_FALSE(t.row(0).selected);

  t.click(1, Control::visibility);
  EXPECT_TRUE(t.stored()[1].visible);
  EXPECT_TRUE(t.row(1).visible);
  EXPECT_EQ(t.row(1).summary, "-0.25 EV");
  EXPECT_EQ(t.steps(), 1u);
}

// A name that has room is shown whole: its width is not rounded down below what the text needs,
// which cut some ("La…10") and not others.
TEST(LayerList, NamesWithRoomAreShownWhole) {
  DodgeInspector t;
  std::vector<LocalLayer> layers;
  for (int i = 1; i <= 24; ++i) layers.push_back(layer("Layer " + std::to_string(i)));
  layers.push_back(layer("Sky and the far hills"));
  t.layers(layers, 3);
  for (size_t i = 0; i < t.list()->rows().size(); ++i) {
    EXPECT_EQ(t.list()->shownName(i).toStdString(), t.row(i).name.toStdString());
  }
}

TEST(LayerList, OutsideAndRemoveActOnTheShapeById) {
  DodgeInspector t;
  t.layers({layer("Sky", {stroke(DodgeShape::radial)})}, 0);
  t.click(1, Control::outside);
  EXPECT_EQ(t.stored()[0].shapes[0].invert, true);
  EXPECT_TRUE(t.row(1).outside);
  t.pause();
  t.click(1, Control::outside);
  EXPECT_EQ(t.stored()[0].shapes[0].invert, false);
  EXPECT_FALSE(t.row(1).outside);
  // The last shape goes; the layer stays.
  t.click(1, Control::remove);
  EXPECT_EQ(t.stored().size(), 1u);
  EXPECT_TRUE(t.stored()[0].shapes.empty());
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:Sky", "empty"}));
}

// A list that has not caught up with a change (an undo, an edit on the preview) still names what
// it showed: the click changes nothing rather than another layer or shape.
TEST(LayerList, AClickOnARowThatWentStaleChangesNothing) {
  DodgeInspector t;
  t.layers({layer("A", {stroke(DodgeShape::radial), stroke(DodgeShape::brush)}), layer("B")}, 0);
  // Layer A and its radial go without the list being refreshed.
  ConversionSettings changed = t.session.settings(0);
  changed.layers.erase(changed.layers.begin());
  t.model().storeSettings(0, changed);
  const S before = t.session.settings(0);
  t.press(0, Control::visibility);
  t.press(0, Control::remove);
  t.press(1, Control::remove);
  t.press(1, Control::outside);
  t.press(0, Control::select);
  EXPECT_TRUE(t.session.settings(0) == before);
  EXPECT_TRUE(t.session.undoStack().empty());
  EXPECT_FALSE(t.row(1).outside);
  t.settle();
  EXPECT_EQ(t.rows(), std::vector<std::string>{"layer:B"});
}

TEST(LayerList, RowsFollowTheirIdsAcrossRefreshes) {
  DodgeInspector t;
  t.layers({layer("A"), layer("B"), layer("C")});
  t.click(0, Control::remove);
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:B", "layer:C"}));
  EXPECT_EQ(t.row(0).id, t.stored()[0].id);
  EXPECT_EQ(t.row(1).id, t.stored()[1].id);
  // The row now under the pointer acts on its own layer.
  t.click(0, Control::visibility);
  EXPECT_FALSE(t.stored()[0].visible);
  EXPECT_EQ(t.stored()[0].name, "B");
}

// Every control says what it does under the pointer; the rest of a row says nothing.
TEST(LayerList, EachControlNamesItselfInItsHelp) {
  DodgeInspector t;
  t.layers({layer("Sky", {stroke(DodgeShape::radial)})}, 0);
  struct Case {
    size_t row;
    Control control;
    const char* help;
  };
  const Case cases[] = {
      {0, Control::visibility, "Show / hide this layer's effect"},
      {0, Control::remove, "Delete this layer (Ctrl+Z brings it back)"},
      {1, Control::outside, "Work outside this ellipse instead of inside"},
      {1, Control::remove, "Remove this shape"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(t.helpAt(t.at(c.row, c.control)).toStdString(), c.help) << c.row;
  }
  const QRect sky = t.row(0).rect;
  EXPECT_EQ(t.helpAt(QPoint(sky.left() + 2, sky.center().y())), "");
  const QRect radial = t.row(1).rect;
  EXPECT_EQ(t.helpAt(QPoint(radial.left() + 2, radial.center().y())), "");
}

// A control acts only when the press and the release land on it, on the same row.
TEST(LayerList, AClickActsOnlyWherePressAndReleaseMeet) {
  DodgeInspector t;
  t.layers({layer("A", {stroke(DodgeShape::radial)}), layer("B")}, 0);
  const S before = t.session.settings(0);
  const auto drag = [&](QPoint from, QPoint to) {
    QTest::mousePress(t.list(), Qt::LeftButton, {}, from);
    QTest::mouseMove(t.list(), to);
    QTest::mouseRelease(t.list(), Qt::LeftButton, {}, to);
    t.settle();
  };
  // rows: A, its radial, B
  drag(t.at(0, Control::visibility), t.at(0, Control::remove));
  drag(t.at(0, Control::remove), t.at(2, Control::remove));
  drag(t.at(1, Control::outside), t.at(1, Control::remove));
  drag(t.at(2, Control::remove), QPoint(t.list()->width() / 2, t.list()->height() + 20));
  drag(t.at(0, Control::select), t.at(2, Control::select));
  EXPECT_TRUE(t.session.settings(0) == before);
  EXPECT_TRUE(t.session.undoStack().empty());
  EXPECT_EQ(t.model().selectedLayerID(), t.stored()[0].id);
  // Pressed and released on the same control, even after a move off it and back.
  QTest::mousePress(t.list(), Qt::LeftButton, {}, t.at(2, Control::remove));
  QTest::mouseMove(t.list(), t.at(0, Control::select));
  QTest::mouseRelease(t.list(), Qt::LeftButton, {}, t.at(2, Control::remove));
  t.settle();
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"layer:A", "shape:Radial 1"}));
  EXPECT_EQ(t.steps(), 1u);
}

// Switching between a layer of many shapes and one of few reuses the shape rows: after each
// turn every row names its own shape and kind, and is laid out at its full height, one under
// the other, in a list as tall as they need, with the rows under the list moved down or up.
TEST(LayerList, SwitchingLayersBackAndForthLaysTheRowsOutInOneTurn) {
  DodgeInspector t;
  std::vector<DodgeBurnStroke> many;
  for (int i = 0; i < 12; ++i)
    many.push_back(stroke(i % 3 == 0 ? DodgeShape::radial : DodgeShape::brush));
  std::vector<LocalLayer> layers{layer("Many", many), layer("Few", {stroke(DodgeShape::linear)})};
  for (int i = 0; i < 8; ++i) layers.push_back(layer(std::string(1, static_cast<char>('a' + i))));
  t.layers(layers);
  const auto expectLaidOut = [&] {
    int y = t.row(0).rect.top();
    for (const LayerList::Row& row : t.list()->rows()) {
      EXPECT_EQ(row.rect.top(), y) << row.name.toStdString();
      EXPECT_GT(row.rect.height(), 0);
      EXPECT_EQ(row.rect.width(), t.row(0).rect.width());
      y += row.rect.height();
    }
    // The rows end above "New Layer", inside the list.
    EXPECT_LE(y, t.list()->newLayerButton()->y());
    EXPECT_GE(t.list()->height(), t.list()->minimumSizeHint().height());
    // The section made room for it: the next row starts below the list.
    EXPECT_GT(t.here<QWidget>("shapeChoiceRow")->y(), t.list()->geometry().bottom());
  };
  for (size_t selected : {0u, 1u, 0u, 1u}) {
    t.model().setSelectedLayerID(t.stored()[selected].id);
    t.settle();
    std::vector<std::string> expected;
    for (size_t l = 0; l < t.stored().size(); ++l) {
      expected.push_back("layer:" + t.stored()[l].name);
      if (l != selected) continue;
      for (size_t s = 0; s < t.stored()[l].shapes.size(); ++s) {
        expected.push_back("shape:" + LayerList::strokeName(t.stored()[l].shapes, s).toStdString());
        const DodgeShape kind = *t.stored()[l].shapes[s].shape;
        EXPECT_EQ(t.row(l + 1 + s).symbol, kind == DodgeShape::radial   ? "circle.dashed"
                                           : kind == DodgeShape::linear ? "rectangle.split.1x2"
                                                                        : "paintbrush.pointed");
        EXPECT_EQ(t.has(l + 1 + s, Control::outside), kind == DodgeShape::radial);
      }
    }
    EXPECT_EQ(t.rows(), expected) << selected;
    expectLaidOut();
  }
}

// What is on screen after the list changes, repainted only where something changed, is what a
// column built afresh over the same record shows: the rows that came, the list's round ends and
// the section's frame where the list grew or shrank. (The section only: the fresh window's
// first header takes the focus.)
TEST(LayerList, TheScreenAfterASwitchIsTheScreenOfAFreshColumn) {
  DodgeInspector t;
  std::vector<DodgeBurnStroke> many;
  for (int i = 0; i < 6; ++i)
    many.push_back(stroke(i == 2 ? DodgeShape::radial : DodgeShape::brush));
  t.layers({layer("Many", many), layer("None"), layer("One", {stroke(DodgeShape::linear)})});
  const auto screen = [](InspectorView& view) {
    QApplication::processEvents();
    const QWidget* section = view.section("Dodge & Burn");
    const QRect area(section->mapTo(&view, QPoint(0, 0)), section->size());
    return view.screen()->grabWindow(view.winId()).toImage().copy(area);
  };
  for (size_t selected : {0u, 1u, 2u, 0u, 1u}) {
    t.model().setSelectedLayerID(t.stored()[selected].id);
    t.settle();
    const QImage shown = screen(*t.view);
    InspectorView fresh(t.model());
    fresh.setGeometry(t.view->geometry());
    fresh.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
    const QImage built = screen(fresh);
    ASSERT_EQ(shown.size(), built.size());
    EXPECT_TRUE(shown == built) << selected;
  }
}

// Showing values the controls cannot hit exactly, or cannot reach, must never edit them: no undo
// step, no record changed, no preference written, whatever is selected or shown.
TEST(DodgeBurnSection, RefreshingTheseSectionsNeverWritesAValueBack) {
  DodgeInspector t;
  LocalLayer odd = layer("Odd", {stroke(DodgeShape::radial), stroke(std::nullopt, false)}, 7);
  odd.adjust.contrast = 1.0 / 3;
  odd.adjust.sharpness = -4;
  odd.adjust.saturation = 250;
  t.store(0, [&](S& s) {
    s.layers = {odd, layer("Plain")};
    s.skewDegrees = 60;
    s.autoCropMargin = 0.0123456789;
    s.cropAspect = CropAspect::r4x3;
    s.crop = NormRect{0.1, 0.1, 0.3, 0.7};
    s.mirrored = true;
  });
  t.store(1, [](S& s) {
    s.mode = FilmMode::bwNegative;
    s.skewDegrees = -45.0000001;
    s.autoCrop = true;
    s.autoCropMargin = 0.2;
  });
  t.model().setDodgeSize(0.5);
  t.model().setDodgeFeather(100.0 / 3);
  t.model().setDodgeShape(DodgeShape::radial);
  std::vector<S> stored;
  for (size_t i = 0; i < 3; ++i) stored.push_back(t.session.settings(i));
  QSignalSpy preferenceWrites(&t.model().preferences(), &Preferences::changed);

  for (size_t i : {0, 1, 2, 0}) {
    t.select(i);
    for (const auto& l : t.session.settings(i).layers) {
      t.model().setSelectedLayerID(l.id);
      t.settle();
    }
    t.model().setDodgeMode(true);
    t.settle();
    t.model().setDodgeMode(false);
    t.settle();
  }
  for (const char* title : {"Dodge & Burn", "Crop & Orientation"}) {
    QTest::mouseClick(t.view->section(title)->header(), Qt::LeftButton);
    QTest::mouseClick(t.view->section(title)->header(), Qt::LeftButton);
    t.settle();
  }
  t.select(std::nullopt);
  t.select(0);
  QApplication::processEvents();

  EXPECT_TRUE(t.session.undoStack().empty());
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(t.session.settings(i) == stored[i]) << i;
  EXPECT_EQ(t.model().dodgeSize(), 0.5);
  EXPECT_EQ(t.model().dodgeFeather(), 100.0 / 3);
  // The four header clicks are the only preference writes.
  EXPECT_EQ(preferenceWrites.size(), 4);
  for (const auto& write : preferenceWrites) {
    EXPECT_TRUE(write[0].toString().startsWith("fold.")) << write[0].toString().toStdString();
  }
}

}  // namespace
