// The "Crop & Orientation" section over a real session: its aspect table and fitting, when the
// margin row is enabled, the quarter turns and the mirror switch as undo steps (the switch
// flips every placed edit with the picture), crop mode with Cancel and Apply, the rotate row's
// read-out, double-click and stepper, auto-crop for one scan or all, and a refresh of both
// sections of this file's sibling that never writes a value back.
#include "Inspector/CropSection.h"
#include "Inspector/FoldSection.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "Inspector/AdjustRow.h"
#include "InspectorSession.h"
#include "Preview/StraightenSlider.h"
#include "ViewKit/Stepper.h"

namespace {

using S = ConversionSettings;

constexpr double tolerance = 1e-9;

void expectRect(const std::optional<NormRect>& rect, NormRect expected) {
  ASSERT_TRUE(rect.has_value());
  EXPECT_NEAR(rect->x, expected.x, tolerance);
  EXPECT_NEAR(rect->y, expected.y, tolerance);
  EXPECT_NEAR(rect->w, expected.w, tolerance);
  EXPECT_NEAR(rect->h, expected.h, tolerance);
}

// Controls are looked up in the section only: other sections have their own "Cancel" or "Apply".
struct CropInspector : InspectorSession {
  explicit CropInspector(size_t scans = 3) : InspectorSession(scans) {}
  template <class T>
  T* here(const QString& name) const {
    return view->section("Crop & Orientation")->findChild<T*>(name);
  }
  template <class T = QToolButton>
  T* button(const QString& name) const {
    return here<T>(name);
  }
  bool shownHere(const QString& name) const {
    auto* widget = here<QWidget>(name);
    return widget && widget->isVisibleTo(view.get());
  }
  void click(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
  }
  QString angle() const { return here<QLabel>("angle")->text(); }
  size_t steps() const { return session.undoStack().size(); }
  // Edits after this count as a new undo step.
  void pause() { session.wait(1); }
};

TEST(CropSection, AspectLabelsInTheRecordsOrder) {
  const std::vector<std::pair<CropAspect, QString>> expected{
      {CropAspect::free, "Free"},
      {CropAspect::r3x2, "3:2 (35 mm, 6\u00D79)"},
      {CropAspect::r4x3, "4:3 (6\u00D74.5)"},
      {CropAspect::r1x1, "1:1 (6\u00D76)"},
      {CropAspect::r5x4, "5:4 (6\u00D77)"},
      {CropAspect::r7x5, "7:5"},
  };
  ASSERT_EQ(CropSection::aspectEntries().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(CropSection::aspectEntries()[i].aspect, expected[i].first);
    EXPECT_EQ(CropSection::aspectLabel(expected[i].first), expected[i].second);
  }
  // The picker lists them in that order.
  CropInspector t;
  auto* picker = t.here<QComboBox>("aspect");
  ASSERT_EQ(picker->count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(picker->itemText(i), expected[size_t(i)].second);
}

TEST(CropSection, FittingAChosenAspect) {
  struct Case {
    const char* name;
    CropAspect aspect;
    NormRect inEffect;
    QSize size;
    NormRect expected;
  };
  const Case cases[] = {
      {"square on a 3:2 full frame is the centred square",
       CropAspect::r1x1,
       NormRect::full,
       {3, 2},
       {1.0 / 6, 0, 2.0 / 3, 1}},
      {"free keeps the crop", CropAspect::free, {0.1, 0.2, 0.3, 0.4}, {3, 2}, {0.1, 0.2, 0.3, 0.4}},
      {"3:2 on a portrait crop stays portrait",
       CropAspect::r3x2,
       {0.4, 0, 0.2, 1},
       {3, 2},
       {0.4, 0.275, 0.2, 0.45}},
      {"the pixel space counts, not the unit square",
       CropAspect::r1x1,
       NormRect::full,
       {2, 2},
       NormRect::full},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectRect(CropSection::fittedCrop(c.aspect, c.inEffect, c.size), c.expected);
  }
}

TEST(CropSection, ChoosingAnAspectStoresTheFittedCropAndFreeKeepsIt) {
  CropInspector t;
  t.select(0);
  auto* picker = t.here<QComboBox>("aspect");
  EXPECT_EQ(t.here<QLabel>("cropStatus")->text(), "Full frame (no crop)");
  // No preview yet: the 3 × 2 reference frame, the whole frame in effect.
  emit picker->activated(3);
  t.settle();
  expectRect(t.session.settings(0).crop, {1.0 / 6, 0, 2.0 / 3, 1});
  EXPECT_EQ(t.session.settings(0).cropAspect, CropAspect::r1x1);
  EXPECT_EQ(picker->currentIndex(), 3);
  EXPECT_EQ(t.here<QLabel>("cropStatus")->text(), "Manual crop");
  EXPECT_EQ(t.steps(), 1u);

  t.pause();
  emit picker->activated(0);
  t.settle();
  expectRect(t.session.settings(0).crop, {1.0 / 6, 0, 2.0 / 3, 1});
  EXPECT_EQ(t.session.settings(0).cropAspect, CropAspect::free);
  EXPECT_EQ(t.steps(), 2u);
}

TEST(CropSection, SwapIsForFixedAspectsOnly) {
  CropInspector t;
  t.store(0, [](S& s) {
    s.cropAspect = CropAspect::r3x2;
    s.crop = NormRect{0.25, 0.25, 0.5, 0.5};  // 1.5 × 1 in the 3 × 2 frame
  });
  t.select(0);
  QToolButton* swap = t.button("swapOrientation");
  EXPECT_TRUE(swap->isEnabled());
  t.click(swap);
  // The same ratio upright, about the same centre.
  expectRect(t.session.settings(0).crop, {1.0 / 3, 0.125, 1.0 / 3, 0.75});

  t.store(1, [](S& s) { s.cropAspect = CropAspect::free; });
  t.select(1);
  EXPECT_FALSE(swap->isEnabled());
}

TEST(CropSection, MarginRowIsOnlyForAFoundFrame) {
  struct Case {
    const char* name;
    bool selected;
    bool autoCrop;
    bool manualCrop;
    bool enabled;
  };
  const Case cases[] = {
      {"no selection", false, false, false, true},
      {"auto-crop, no manual crop", true, true, false, true},
      {"auto-crop with a manual crop", true, true, true, false},
      {"auto-crop off", true, false, false, false},
      {"auto-crop off with a manual crop", true, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    S s;
    s.autoCrop = c.autoCrop;
    if (c.manualCrop) s.crop = NormRect{0.1, 0.1, 0.5, 0.5};
    EXPECT_EQ(CropSection::marginEnabled(c.selected ? &s : nullptr), c.enabled);
  }

  // Undoing Auto-Crop on a scan with a manual crop disables the row again.
  CropInspector t;
  t.store(0, [](S& s) { s.crop = NormRect{0.1, 0.1, 0.5, 0.5}; });
  t.select(0);
  QWidget* margin = t.here<QWidget>("marginRow");
  EXPECT_FALSE(margin->isEnabled());
  t.click(t.button<QPushButton>("Auto-Crop"));
  EXPECT_TRUE(t.session.settings(0).autoCrop);
  EXPECT_FALSE(t.session.settings(0).crop);
  EXPECT_TRUE(margin->isEnabled());
  t.model().undo();
  t.settle();
  EXPECT_FALSE(margin->isEnabled());

  auto* row = t.here<AdjustRow>("Auto-crop margin");
  EXPECT_EQ(row->valueText()->text(), "1.00%");
  EXPECT_EQ(row->text(0.05), "5.00%");
  // The row's own help and its label's differ.
  EXPECT_EQ(margin->toolTip(), "Extra trim inside the detected frame. Right trims more.");
  EXPECT_EQ(row->labelGroup()->toolTip(),
            "Extra trim inside the detected frame. Double-click to reset.");
}

TEST(CropSection, QuarterTurnsAreOneUndoStepEach) {
  CropInspector t;
  t.store(0, [](S& s) { s.crop = NormRect{0.1, 0.2, 0.3, 0.4}; });
  t.select(0);
  EXPECT_EQ(t.button("rotateLeft")->toolTip(), "Rotate left (Ctrl+[)");
  EXPECT_EQ(t.button("rotateRight")->toolTip(), "Rotate right (Ctrl+])");
  t.click(t.button("rotateLeft"));
  EXPECT_EQ(t.session.settings(0).rotationQuarterTurns, 3);
  EXPECT_EQ(t.steps(), 1u);
  t.pause();
  t.click(t.button("rotateRight"));
  t.pause();
  t.click(t.button("rotateRight"));
  EXPECT_EQ(t.session.settings(0).rotationQuarterTurns, 1);
  EXPECT_EQ(t.steps(), 3u);
  // The crop turned with the picture.
  expectRect(t.session.settings(0).crop, NormRect{0.1, 0.2, 0.3, 0.4}.rotated(1));
}

// Every position in the record is stored mirrored with the picture: a switch that wrote only
// `mirrored` would heal, burn and crop the wrong places at the next render.
TEST(CropSection, TheMirrorSwitchFlipsEveryPlacedEditWithThePicture) {
  CropInspector t;
  const Uuid shape = Uuid::random();
  t.store(0, [&](S& s) {
    s.crop = NormRect{0.1, 0.2, 0.3, 0.4};
    s.skewDegrees = 2;
    Spot spot;
    spot.x = 0.2;
    spot.y = 0.7;
    spot.sx = 0.3;
    spot.sy = 0.6;
    s.spots = {spot};
    RedEye mark;
    mark.x = 0.25;
    mark.y = 0.5;
    s.redEyes = {mark};
    LocalLayer layer;
    DodgeBurnStroke stroke;
    stroke.id = shape;
    stroke.points = {{0.1, 0.5}, {0.4, 0.5}};
    layer.shapes = {stroke};
    s.layers = {layer};
  });
  t.select(0);
  const S before = t.session.settings(0);
  QToolButton* mirror = t.button("mirror");
  EXPECT_FALSE(mirror->isChecked());

  t.click(mirror);
  const S& after = t.session.settings(0);
  EXPECT_TRUE(after.mirrored);
  EXPECT_TRUE(mirror->isChecked());
  expectRect(after.crop, {0.6, 0.2, 0.3, 0.4});
  EXPECT_DOUBLE_EQ(after.spots[0].x, 0.8);
  EXPECT_DOUBLE_EQ(after.spots[0].y, 0.7);
  EXPECT_DOUBLE_EQ(*after.spots[0].sx, 0.7);
  EXPECT_DOUBLE_EQ(after.redEyes[0].x, 0.75);
  EXPECT_DOUBLE_EQ(after.layers[0].shapes[0].points[0][0], 0.9);
  EXPECT_DOUBLE_EQ(after.layers[0].shapes[0].points[1][0], 0.6);
  EXPECT_DOUBLE_EQ(after.skewDegrees, -2);
  EXPECT_EQ(t.steps(), 1u);

  t.model().undo();
  t.settle();
  EXPECT_TRUE(t.session.settings(0) == before);
  EXPECT_FALSE(mirror->isChecked());
}

TEST(CropSection, TheMirrorSwitchWithoutASelectionGoesBack) {
  CropInspector t;
  t.select(std::nullopt);
  QToolButton* mirror = t.button("mirror");
  mirror->click();  // a click that still arrives at the disabled column
  t.settle();
  EXPECT_FALSE(mirror->isChecked());
  EXPECT_TRUE(t.session.undoStack().empty());
}

TEST(CropSection, CropModeShowsCancelAndApplyAndApplyCommitsTheLiveAngle) {
  CropInspector t;
  t.select(0);
  EXPECT_FALSE(t.shownHere("cropEditButtons"));
  QToolButton* toggle = t.button("Crop & Straighten");
  EXPECT_EQ(toggle->toolTip(), "Show the whole frame and drag the crop (Ctrl+Alt+C)");
  t.click(toggle);
  EXPECT_TRUE(t.model().cropMode());
  EXPECT_TRUE(t.shownHere("cropEditButtons"));
  EXPECT_EQ(t.button<QPushButton>("Apply")->toolTip(), "Finish cropping and rotating (Return)");

  // A straighten drag still in hand: the read-out shows it, Apply commits it.
  t.model().setStraightenAngle(3.5);
  t.settle();
  EXPECT_EQ(t.angle(), "+3.50°");
  EXPECT_EQ(t.session.settings(0).skewDegrees, 0);
  t.click(t.button<QPushButton>("Apply"));
  EXPECT_DOUBLE_EQ(t.session.settings(0).skewDegrees, 3.5);
  EXPECT_FALSE(t.model().plain().isRotating);
  EXPECT_FALSE(t.model().cropMode());
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_FALSE(t.shownHere("cropEditButtons"));
  EXPECT_EQ(t.steps(), 1u);

  // Cancel puts back what the scan had on entering.
  t.pause();
  t.click(toggle);
  t.model().setCropRect(0.2, 0.2, 0.5, 0.5);
  t.settle();
  t.click(t.button<QPushButton>("Cancel"));
  EXPECT_FALSE(t.session.settings(0).crop);
  EXPECT_DOUBLE_EQ(t.session.settings(0).skewDegrees, 3.5);
  EXPECT_FALSE(t.model().cropMode());
  EXPECT_FALSE(t.shownHere("cropEditButtons"));
}

TEST(CropSection, RotateReadOutDoubleClickAndStepper) {
  CropInspector t;
  t.store(0, [](S& s) { s.skewDegrees = -1.234; });
  t.select(0);
  EXPECT_EQ(t.angle(), "-1.23°");
  QTest::mouseDClick(t.here<QLabel>("rotateLabel"), Qt::LeftButton);
  t.settle();
  EXPECT_EQ(t.session.settings(0).skewDegrees, 0);
  EXPECT_EQ(t.angle(), "+0.00°");

  // At 45 the stepper goes no further.
  t.store(1, [](S& s) { s.skewDegrees = 44.98; });
  t.select(1);
  auto* stepper = t.here<Stepper>("rotateStepper");
  t.click(stepper->upButton());
  EXPECT_DOUBLE_EQ(t.session.settings(1).skewDegrees, 45);
  EXPECT_EQ(t.angle(), "+45.00°");
  EXPECT_FALSE(stepper->upButton()->isEnabled());
  stepper->upButton()->click();
  t.settle();
  EXPECT_DOUBLE_EQ(t.session.settings(1).skewDegrees, 45);

  // A stored angle beyond the range shows as stored; a step lands inside the range.
  t.store(2, [](S& s) { s.skewDegrees = 60; });
  t.select(2);
  EXPECT_EQ(t.angle(), "+60.00°");
  EXPECT_DOUBLE_EQ(t.session.settings(2).skewDegrees, 60);
  t.click(stepper->downButton());
  EXPECT_DOUBLE_EQ(t.session.settings(2).skewDegrees, 45);

  t.click(t.button<QPushButton>("Reset Crop"));
  EXPECT_EQ(t.angle(), "+0.00°");
}

TEST(CropSection, TheStraightenSliderSitsUnderTheRotateRow) {
  CropInspector t;
  t.store(0, [](S& s) { s.skewDegrees = 2; });
  t.select(0);
  auto* slider = t.here<StraightenSlider>("straighten");
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->value(), 2 * StraightenSlider::stepsPerDegree);
  EXPECT_EQ(slider->parentWidget(), t.here<QWidget>("rotateRow")->parentWidget());
}

TEST(CropSection, AutoCropForAllNeedsTwoScansAndKeepsManualCrops) {
  {
    CropInspector one(1);
    one.select(0);
    EXPECT_FALSE(one.button<QPushButton>("Apply Auto-Crop to All")->isEnabled());
  }
  CropInspector t;
  t.store(1, [](S& s) { s.crop = NormRect{0.1, 0.1, 0.5, 0.5}; });
  t.select(0);
  QPushButton* all = t.button<QPushButton>("Apply Auto-Crop to All");
  EXPECT_TRUE(all->isEnabled());
  t.click(all);
  EXPECT_TRUE(t.session.settings(0).autoCrop);
  EXPECT_TRUE(t.session.settings(2).autoCrop);
  EXPECT_FALSE(t.session.settings(1).autoCrop);
  EXPECT_TRUE(t.session.settings(1).crop);
  EXPECT_EQ(t.model().notice(), "Auto-crop on for 2 images. 1 with a manual crop kept theirs.");
}

}  // namespace
