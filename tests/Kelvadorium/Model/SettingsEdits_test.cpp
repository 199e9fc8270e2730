// The edit routine and the named edits: exact changes and rounding, what the resets keep, edits
// that change nothing, several scans in one step, repairs, and input that must be refused.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <cmath>
#include <functional>
#include <limits>

#include "EditSession.h"
#include "Record/SettingsTurning.h"

namespace {

using Op = std::function<void(AppModel&)>;
using Fix = std::function<void(ConversionSettings&)>;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

LocalLayer layerWithShapes(size_t shapes) {
  LocalLayer layer;
  for (size_t i = 0; i < shapes; ++i) {
    layer.shapes.push_back(DodgeBurnStroke::radial({0.5, 0.5}, 0.2, 0.1, 1, 1.8, false));
  }
  layer.adjust.exposure = 0.7;
  layer.adjust.clarity = 12;
  return layer;
}

// A record in which the fields the table below touches hold values of their own.
ConversionSettings startRecord() {
  ConversionSettings r;
  r.skewDegrees = 44.8;
  r.layers = {layerWithShapes(2)};
  r.border = BorderStyle::white;
  r.borderFrame = "holder35";
  r.curves.regions = {10, 20, 30, 40};
  r.curves.red.points = {{0, 0.1}, {1, 1}};
  return r;
}

struct Case {
  const char* name;
  ConversionSettings start;
  Op op;
  Fix expected;  // applied to `start`
};

// Each case on a fresh session with the start record selected; `refused` cases also leave the
// history empty.
void expectCases(const std::vector<Case>& cases, bool refused) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession s(1);
    s.model->storeSettings(0, c.start);
    s.select(0);
    c.op(*s.model);
    ConversionSettings expected = c.start;
    c.expected(expected);
    EXPECT_EQ(s.settings(0), expected);
    if (refused) EXPECT_FALSE(s.model->canUndo());
  }
}

TEST(SettingsEdits, NamedEditsChangeExactlyTheirFields) {
  ConversionSettings minus = startRecord();
  minus.skewDegrees = -44.8;
  ConversionSettings odd = startRecord();
  odd.skewDegrees = 12.3456;
  const CurveEditorState master{0, false}, red{1, false}, blue{3, false}, stray{7, false};
  const ToneCurve bent{{{0, 0}, {0.5, 0.6}, {1, 1}}};
  const ConversionSettings r = startRecord();
  const std::vector<Case> cases = {
      {"rotation to the upper limit", r, [](AppModel& m) { m.commitRotation(0.5); },
       [](ConversionSettings& e) { e.skewDegrees = 45; }},
      {"rotation to the lower limit", minus, [](AppModel& m) { m.commitRotation(-0.5); },
       [](ConversionSettings& e) { e.skewDegrees = -45; }},
      {"rotation rounded to hundredths", odd, [](AppModel& m) { m.commitRotation(0); },
       [](ConversionSettings& e) { e.skewDegrees = 12.35; }},
      {"cyan rounded", r, [](AppModel& m) { m.setCMYValue(0, 1.234); },
       [](ConversionSettings& e) { e.cmy[0] = 1.23; }},
      {"yellow rounded", r, [](AppModel& m) { m.setCMYValue(2, 0.875); },
       [](ConversionSettings& e) { e.cmy[2] = 0.88; }},
      {"picked white balance, halves away from zero", r,
       [](AppModel& m) { m.applyPickedWhiteBalance(12.5, -3.5); },
       [](ConversionSettings& e) {
         e.temperature = 13;
         e.tint = -4;
       }},
      {"crop rect clamped, sides first", r, [](AppModel& m) { m.setCropRect(-0.1, 0.5, 0.01, 2); },
       [](ConversionSettings& e) {
         e.crop = NormRect{0, 0, 0.02, 1};
       }},
      {"crop rect moved inside", r, [](AppModel& m) { m.setCropRect(0.9, 0.8, 0.5, 0.4); },
       [](ConversionSettings& e) {
         e.crop = NormRect{0.5, 0.6, 0.5, 0.4};
       }},
      {"free aspect stores only the aspect", r,
       [](AppModel& m) {
         m.setCropAspect(CropAspect::r3x2, 0, 0, 1, 1);
         m.setCropAspect(CropAspect::free, 0.1, 0.1, 0.3, 0.3);
       },
       [](ConversionSettings& e) {
         e.crop = NormRect{0, 0, 1, 1};
       }},
      {"an aspect stores its rectangle unclamped", r,
       [](AppModel& m) { m.setCropAspect(CropAspect::r1x1, -0.2, 0.1, 1.5, 0.01); },
       [](ConversionSettings& e) {
         e.cropAspect = CropAspect::r1x1;
         e.crop = NormRect{-0.2, 0.1, 1.5, 0.01};
       }},
      {"reset crop keeps turns and mirroring", r,
       [](AppModel& m) {
         m.rotateRight();
         m.mirrorSelected();
         m.setCropAspect(CropAspect::r4x3, 0.1, 0.1, 0.5, 0.5);
         m.autoCropSelected();
         m.resetCrop();
       },
       [](ConversionSettings& e) {
         SettingsTurning::rotate(e, 1);
         SettingsTurning::mirror(e);
         e.skewDegrees = 0;
       }},
      {"auto balance", r,
       [](AppModel& m) {
         m.setCMYValue(1, 0.5);
         m.applyPickedWhiteBalance(20, 5);
         m.autoBalance();
       },
       [](ConversionSettings&) {}},
      {"border film tag", r, [](AppModel& m) { m.setBorderTag("film:6x7"); },
       [](ConversionSettings& e) {
         e.border = BorderStyle::film;
         e.borderFrame = "6x7";
       }},
      {"border raw value keeps the frame", r, [](AppModel& m) { m.setBorderTag("black"); },
       [](ConversionSettings& e) { e.border = BorderStyle::black; }},
      {"border film without a frame", r, [](AppModel& m) { m.setBorderTag("film"); },
       [](ConversionSettings& e) { e.border = BorderStyle::film; }},
      {"border tag naming nothing", r, [](AppModel& m) { m.setBorderTag("White"); },
       [](ConversionSettings& e) { e.border = BorderStyle::none; }},
      {"border tag read back", r, [](AppModel& m) { m.setBorderTag(m.borderTag()); },
       [](ConversionSettings&) {}},
      {"curve points of the red channel", r, [&](AppModel& m) { m.setCurvePoints(red, bent); },
       [&](ConversionSettings& e) { e.curves.red = bent; }},
      {"channel out of range edits the master", r,
       [&](AppModel& m) { m.setCurvePoints(stray, bent); },
       [&](ConversionSettings& e) { e.curves.rgb = bent; }},
      {"removing a point of the blue curve", r,
       [&](AppModel& m) {
         m.removeCurvePoint(blue, {{0, 0}, {1, 0.9}});
       },
       [](ConversionSettings& e) {
         e.curves.blue.points = {{0, 0}, {1, 0.9}};
       }},
      {"reset of a colour channel keeps regions", r, [&](AppModel& m) { m.resetCurveChannel(red); },
       [](ConversionSettings& e) { e.curves.red = ToneCurve{}; }},
      {"reset of a stray channel keeps regions", r,
       [&](AppModel& m) {
         m.setCurvePoints(master, bent);
         m.resetCurveChannel(stray);
       },
       [](ConversionSettings&) {}},
      {"reset of the master zeroes regions", r, [&](AppModel& m) { m.resetCurveChannel(master); },
       [](ConversionSettings& e) {
         e.curves.regions = {0, 0, 0, 0};
       }},
      {"a colour curve preset in a monochrome editor", r,
       [](AppModel& m) {
         m.applyCurvePreset(CurvePreset::crossProcess, {0, true});
       },
       [](ConversionSettings& e) {
         e.curves.rgb = curves(CurvePreset::crossProcess).rgb;
         e.curves.regions = {0, 0, 0, 0};
       }},
      {"a colour curve preset in a colour editor", r,
       [](AppModel& m) {
         m.applyCurvePreset(CurvePreset::crossProcess, {2, false});
       },
       [](ConversionSettings& e) { e.curves = curves(CurvePreset::crossProcess); }},
      {"layer adjustment, not rounded", r,
       [](AppModel& m) { m.setLayerAdjustment(0, &LocalAdjustment::contrast, 12.345); },
       [](ConversionSettings& e) { e.layers[0].adjust.contrast = 12.345; }},
      {"layer adjustments reset", r, [](AppModel& m) { m.resetLayerAdjustments(0); },
       [](ConversionSettings& e) { e.layers[0].adjust = LocalAdjustment{}; }},
      {"stroke inverted", r, [](AppModel& m) { m.setStrokeInvert(0, 1, true); },
       [](ConversionSettings& e) { e.layers[0].shapes[1].invert = true; }},
      {"stroke moved from its start points", r,
       [](AppModel& m) {
         m.moveStroke(0, 0, {{0.1, 0.2}, {0.3, 0.4, 9}}, 0.5, -0.1);
       },
       [](ConversionSettings& e) {
         e.layers[0].shapes[0].points = {{0.1 + 0.5, 0.2 - 0.1}, {0.3 + 0.5, 0.4 - 0.1}};
       }},
      {"layers removed", r, [](AppModel& m) { m.removeAllLayers(); },
       [](ConversionSettings& e) {
         e.layers.clear();
         e.dodgeBurn.clear();
       }},
  };
  expectCases(cases, false);
}

// Indexes that name nothing, points of fewer than two numbers and numbers that are not finite
// leave the record, the history and the flags alone.
TEST(SettingsEdits, RefusesInvalidIndexesAndNumbersThatAreNotFinite) {
  const ConversionSettings r = startRecord();
  const auto none = [](ConversionSettings&) {};
  const std::vector<Case> cases = {
      {"cmy channel 3", r, [](AppModel& m) { m.setCMYValue(3, 0.5); }, none},
      {"cmy channel -1", r, [](AppModel& m) { m.setCMYValue(-1, 0.5); }, none},
      {"cmy not a number", r, [](AppModel& m) { m.setCMYValue(0, nan); }, none},
      {"layer out of range", r,
       [](AppModel& m) { m.setLayerAdjustment(1, &LocalAdjustment::exposure, 1); }, none},
      {"layer value infinite", r,
       [](AppModel& m) { m.setLayerAdjustment(0, &LocalAdjustment::exposure, inf); }, none},
      {"reset of a missing layer", r, [](AppModel& m) { m.resetLayerAdjustments(-1); }, none},
      {"shape out of range", r, [](AppModel& m) { m.setStrokeInvert(0, 2, true); }, none},
      {"stroke of a missing layer", r,
       [](AppModel& m) {
         m.moveStroke(3, 0, {{0, 0}}, 1, 1);
       },
       none},
      {"point of one number", r,
       [](AppModel& m) {
         m.moveStroke(0, 0, {{0.1, 0.1}, {0.2}}, 1, 1);
       },
       none},
      {"rotation not a number", r, [](AppModel& m) { m.commitRotation(nan); }, none},
      {"crop not a number", r, [](AppModel& m) { m.setCropRect(0, nan, 0.5, 0.5); }, none},
      {"aspect rectangle infinite", r,
       [](AppModel& m) { m.setCropAspect(CropAspect::r3x2, 0, 0, inf, 1); }, none},
      {"white balance infinite", r, [](AppModel& m) { m.applyPickedWhiteBalance(inf, 0); }, none},
      {"a slider writing NaN", r,
       [](AppModel& m) { m.editSelected([](ConversionSettings& s) { s.exposure = nan; }); }, none},
      {"a spot with a NaN source", r,
       [](AppModel& m) {
         Spot spot = makeSpot(0.5, 0.5, 0.01);
         spot.sx = nan;
         m.appendSpot(spot);
       },
       none},
  };
  expectCases(cases, true);
  EditSession s(1);
  s.select(0);
  EXPECT_EQ(s.model->cmyValue(3), 1);
  EXPECT_EQ(s.model->cmyValue(-1), 1);
}

TEST(SettingsEdits, TheTwoResetsKeepTheirOwnFieldsAndTakeTheRecordDefaults) {
  ConversionSettings rich = startRecord();
  rich.mode = FilmMode::positive;
  rich.rotationQuarterTurns = 3;
  rich.mirrored = true;
  rich.crop = NormRect{0.1, 0.1, 0.5, 0.5};
  rich.cropAspect = CropAspect::r5x4;
  rich.autoCrop = true;
  rich.autoCropMargin = 0.03;
  rich.look = ScannerLook::frontier;
  rich.spots = {makeSpot(0.2, 0.2, 0.01)};
  rich.flatField = "blank.dng";
  rich.exposure = 1.5;
  rich.filmInfo.camera = "Leica M6";
  rich.blackClip = 0.01;
  rich.filmPreset = "portra400";
  rich.redEyes = {RedEye{}};
  // The preferences' defaults must not leak into a reset.
  for (bool keepsLookAndSpots : {true, false}) {
    SCOPED_TRACE(keepsLookAndSpots ? "reset to defaults" : "reset everything");
    EditSession s(1, "[General]\ndefaultMode=bwNegative\ndefaultLook=noritsu\n");
    s.model->storeSettings(0, rich);
    s.select(0);
    ConversionSettings expected;
    expected.mode = rich.mode;
    expected.rotationQuarterTurns = rich.rotationQuarterTurns;
    expected.mirrored = rich.mirrored;
    expected.crop = rich.crop;
    expected.cropAspect = rich.cropAspect;
    expected.skewDegrees = rich.skewDegrees;
    expected.autoCrop = rich.autoCrop;
    expected.autoCropMargin = rich.autoCropMargin;
    if (keepsLookAndSpots) {
      expected.look = rich.look;
      expected.spots = rich.spots;
      s.model->resetToDefaults();
    } else {
      expected.flatField = rich.flatField;
      s.model->setHoverScanner(ScannerLook::noritsu);
      s.model->setSelectedLayerID(rich.layers[0].id);
      s.model->resetSelectedScan();
      EXPECT_EQ(s.model->hoverScanner(), std::nullopt);
      EXPECT_EQ(s.model->selectedLayerID(), std::nullopt);
    }
    EXPECT_EQ(s.settings(0), expected);
  }
}

TEST(SettingsEdits, ResetEverythingWithoutASelectionStillClearsTheHoverAndTheLayer) {
  EditSession s(1);
  s.model->setHoverScanner(ScannerLook::frontier);
  s.model->setSelectedLayerID(Uuid::random());
  s.model->resetSelectedScan();
  EXPECT_EQ(s.model->hoverScanner(), std::nullopt);
  EXPECT_EQ(s.model->selectedLayerID(), std::nullopt);
  EXPECT_FALSE(s.model->canUndo());
}

// A control set to its own value, or an edit with nothing selected, touches no history, flag,
// sidecar or item.
TEST(SettingsEdits, AnEditThatChangesNothingLeavesEverythingAlone) {
  const std::vector<std::pair<const char*, Op>> cases = {
      {"the look it has", [](AppModel& m) { m.setScannerLook(ScannerLook::neutral); }},
      {"the border it has", [](AppModel& m) { m.setBorderTag("none"); }},
      {"auto balance of a balanced scan", [](AppModel& m) { m.autoBalance(); }},
      {"removing a repair it lacks", [](AppModel& m) { m.removeRepair(Uuid::random()); }},
  };
  for (bool selected : {true, false}) {
    for (const auto& [name, op] : cases) {
      SCOPED_TRACE(std::string(name) + (selected ? "" : ", nothing selected"));
      EditSession s(1);
      if (selected) s.select(0);
      s.model->setHasUnsavedChanges(false);
      QSignalSpy itemWrites(s.model.get(), &AppModel::itemsChanged);
      op(*s.model);
      if (!selected) s.model->commitRotation(10);
      s.wait(2);
      EXPECT_EQ(itemWrites.count(), 0);
      EXPECT_FALSE(s.model->canUndo());
      EXPECT_FALSE(s.model->hasUnsavedChanges());
      EXPECT_TRUE(s.model->plain().sidecarTasks.empty());
      EXPECT_FALSE(std::filesystem::exists(s.folder / ".kelvadorium-edits.json"));
    }
  }
}

TEST(SettingsEdits, FourQuickRotateLeftsAreOneStepWithEqualSides) {
  EditSession s(1);
  s.model->storeSettings(0, startRecord());
  s.select(0);
  const ConversionSettings before = s.settings(0);
  for (int i = 0; i < 4; ++i) {
    s.model->rotateLeft();
    s.wait(0.1);
  }
  ASSERT_EQ(s.undoStack().size(), 1u);
  EXPECT_EQ(s.undoStack()[0].before, s.undoStack()[0].after);
  EXPECT_EQ(s.settings(0), before);
  s.model->undo();
  EXPECT_EQ(s.settings(0), before);
  EXPECT_TRUE(s.model->canRedo());
}

// Several scans: items in list order, each once, unknown ids passed over, unchanged scans
// recorded not at all, all in one undo step.
TEST(SettingsEdits, SeveralScansAreOneGroupInListOrder) {
  EditSession s(4);
  s.model->storeSettings(1, [] {
    ConversionSettings r;
    r.flatField = "blank.tif";
    return r;
  }());
  s.model->applyFlatField({s.id(3), Uuid::random(), s.id(1), s.id(0), s.id(3)}, "blank.tif");
  ASSERT_EQ(s.undoStack().size(), 2u);
  EXPECT_EQ(s.undoStack()[0].id, s.id(0));
  EXPECT_EQ(s.undoStack()[1].id, s.id(3));
  EXPECT_EQ(s.undoStack()[0].group, s.undoStack()[1].group);
  EXPECT_EQ(s.model->selection(), std::nullopt);
  s.model->undo();
  for (size_t i : {0, 3}) EXPECT_EQ(s.settings(i).flatField, std::nullopt);
  EXPECT_EQ(s.settings(1).flatField, "blank.tif");
  EXPECT_FALSE(s.model->canUndo());
}

TEST(SettingsEdits, RepairsLeaveByWholeGroupOrAlone) {
  const Uuid stroke = Uuid::random();
  ConversionSettings r;
  for (int i = 0; i < 3; ++i) {
    r.spots.push_back(makeSpot(0.1 * i, 0.5, 0.01));
    r.spots.back().group = stroke;
  }
  r.spots.push_back(makeSpot(0.7, 0.7, 0.01));
  const Uuid single = r.spots[3].id;
  struct Case {
    const char* name;
    std::optional<Uuid> picked;
    bool removed;
    size_t left;
  };
  const std::vector<Case> cases = {
      {"a stroke by its group", stroke, true, 1},
      {"a single click", single, true, 3},
      {"a spot of a stroke by its own id", r.spots[1].id, false, 4},
      {"nothing picked", std::nullopt, false, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession s(1);
    s.model->storeSettings(0, r);
    s.select(0);
    s.model->setSelectedRepair(c.picked);
    EXPECT_EQ(s.model->deleteSelectedRepair(), c.removed);
    EXPECT_EQ(s.settings(0).spots.size(), c.left);
    EXPECT_EQ(s.model->canUndo(), c.removed);
    if (c.removed) EXPECT_EQ(s.model->selectedRepair(), std::nullopt);
  }
  EditSession s(1);
  s.model->storeSettings(0, r);
  s.select(0);
  s.model->removeRepair(r.spots[2].id);
  EXPECT_EQ(s.settings(0).spots.size(), 1u);
}

TEST(SettingsEdits, RedEyeMarksGetIdsOfTheirOwn) {
  EditSession s(1);
  s.select(0);
  s.model->addRedEye(0.01, 0.3, 0.4);
  s.model->addRedEye(0.02, 0.6, 0.4);
  const auto& marks = s.settings(0).redEyes;
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_NE(marks[0].id, marks[1].id);
  EXPECT_EQ(marks[1].r, 0.02);
  EXPECT_EQ(marks[1].x, 0.6);
  EXPECT_EQ(s.undoStack().size(), 1u);
}

}  // namespace
