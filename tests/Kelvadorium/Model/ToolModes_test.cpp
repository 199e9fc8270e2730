// The five tool modes: which writes switch which modes off and in what order (observers nest),
// the crop and healing snapshots, and the render requests of crop mode.
#include <gtest/gtest.h>

#include "EditSession.h"
#include "LetteredScans.h"

namespace {

enum class Mode { none, crop, healing, wbPick, dodge, redEye };

void write(AppModel& model, Mode mode, bool value) {
  switch (mode) {
    case Mode::crop:
      return model.setCropMode(value);
    case Mode::healing:
      return model.setSpotMode(value);
    case Mode::wbPick:
      return model.setWbPickMode(value);
    case Mode::dodge:
      return model.setDodgeMode(value);
    case Mode::redEye:
      return model.setRedEyeMode(value);
    case Mode::none:
      return;
  }
}

// Every announced write, in order: a flag as its name with + or -, the rest by name.
class WriteLog {
 public:
  explicit WriteLog(AppModel& model) {
    flag(model, &AppModel::cropModeChanged, "crop", &AppModel::cropMode);
    flag(model, &AppModel::spotModeChanged, "heal", &AppModel::spotMode);
    flag(model, &AppModel::wbPickModeChanged, "wb", &AppModel::wbPickMode);
    flag(model, &AppModel::dodgeModeChanged, "dodge", &AppModel::dodgeMode);
    flag(model, &AppModel::redEyeModeChanged, "redEye", &AppModel::redEyeMode);
    flag(model, &AppModel::spotSelectingChanged, "picking", &AppModel::spotSelecting);
    named(model, &AppModel::healSourceChanged, "source");
    named(model, &AppModel::selectedRepairChanged, "repair");
    named(model, &AppModel::zoomChanged, "zoom");
    named(model, &AppModel::panChanged, "pan");
  }
  std::string take() { return std::exchange(text_, std::string()); }

 private:
  void add(const std::string& entry) { text_ += (text_.empty() ? "" : " ") + entry; }
  void flag(AppModel& model, void (AppModel::*signal)(), std::string name,
            bool (AppModel::*value)() const) {
    QObject::connect(&model, signal, &model,
                     [this, &model, name, value] { add(name + ((model.*value)() ? "+" : "-")); });
  }
  void named(AppModel& model, void (AppModel::*signal)(), std::string name) {
    QObject::connect(&model, signal, &model, [this, name] { add(name); });
  }
  std::string text_;
};

// Each row starts with one mode on (healing with a picked repair, a source point and the
// picking sub-mode), writes one flag and reads back every announced write in order.
TEST(ToolModes, SwitchOffOrders) {
  struct Case {
    const char* name;
    Mode on;
    Mode written;
    bool value;
    const char* wantWrites;
  };
  const std::vector<Case> cases = {
      {"crop on", Mode::none, Mode::crop, true, "crop+ heal- dodge- wb- redEye- zoom pan"},
      {"crop on again", Mode::crop, Mode::crop, true, "crop+"},
      {"crop off", Mode::crop, Mode::crop, false, "crop-"},
      {"crop over healing", Mode::healing, Mode::crop, true,
       "crop+ heal- source picking- repair dodge- wb- redEye- zoom pan"},
      {"healing on", Mode::none, Mode::healing, true, "heal+ crop- dodge- wb- redEye-"},
      {"healing on again still switches off", Mode::healing, Mode::healing, true,
       "heal+ crop- dodge- wb- redEye-"},
      {"healing off", Mode::healing, Mode::healing, false, "heal- source picking- repair"},
      {"healing over crop", Mode::crop, Mode::healing, true, "heal+ crop- dodge- wb- redEye-"},
      {"white balance over healing", Mode::healing, Mode::wbPick, true,
       "wb+ heal- source picking- repair crop- dodge- redEye-"},
      {"white balance off", Mode::wbPick, Mode::wbPick, false, "wb-"},
      {"dodge over crop", Mode::crop, Mode::dodge, true, "dodge+ heal- crop- wb- redEye-"},
      {"dodge off", Mode::dodge, Mode::dodge, false, "dodge-"},
      {"red eye over dodge", Mode::dodge, Mode::redEye, true, "redEye+ heal- crop- wb- dodge-"},
      {"red eye on again", Mode::redEye, Mode::redEye, true, "redEye+ heal- crop- wb- dodge-"},
      {"red eye off", Mode::redEye, Mode::redEye, false, "redEye-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(2);
    scans.model.setSelection(scans.id('A'));
    write(scans.model, c.on, true);
    if (c.on == Mode::healing) {
      scans.model.setSpotSelecting(true);
      scans.model.setHealSource(QPointF(0.1, 0.2));
      scans.model.setSelectedRepair(Uuid::random());
    }
    WriteLog log(scans.model);
    write(scans.model, c.written, c.value);
    EXPECT_EQ(log.take(), c.wantWrites);
    const int on = scans.model.cropMode() + scans.model.spotMode() + scans.model.wbPickMode() +
                   scans.model.dodgeMode() + scans.model.redEyeMode();
    EXPECT_EQ(on, c.value ? 1 : 0);
  }
}

ImageItem withSpots(ImageItem item, std::vector<Spot> spots) {
  item.settings.spots = std::move(spots);
  return item;
}

// The crop snapshot is the whole record when crop mode begins, kept while it lasts, dropped when
// it ends by any road; leaving keeps the crop made meanwhile.
TEST(ToolModes, CropSnapshot) {
  LetteredScans scans(2);
  scans.model.setSelection(scans.id('B'));
  std::vector<ImageItem> items = scans.model.items();
  items[1].settings.crop = NormRect{0.1, 0.1, 0.5, 0.5};
  scans.model.setItems(items);
  const ConversionSettings entry = items[1].settings;
  scans.model.setZoom(3);
  scans.model.setPan(QSizeF(5, 5));
  scans.model.setCropMode(true);
  EXPECT_EQ(scans.model.plain().cropEntry, entry);
  EXPECT_EQ(scans.model.zoom(), 1);
  EXPECT_EQ(scans.model.pan(), QSizeF(0, 0));

  // A second true changes nothing: the snapshot stays the record of entry, the zoom as it is.
  items[1].settings.crop = NormRect{0.2, 0.2, 0.3, 0.3};
  scans.model.setItems(items);
  scans.model.setZoom(2);
  scans.model.setCropMode(true);
  EXPECT_EQ(scans.model.plain().cropEntry, entry);
  EXPECT_EQ(scans.model.zoom(), 2);

  scans.model.setDodgeMode(true);
  EXPECT_FALSE(scans.model.cropMode());
  EXPECT_FALSE(scans.model.plain().cropEntry);
  EXPECT_EQ(scans.model.items()[1].settings.crop, (NormRect{0.2, 0.2, 0.3, 0.3}));

  LetteredScans unselected(2);
  unselected.model.setCropMode(true);
  EXPECT_TRUE(unselected.model.cropMode());
  EXPECT_FALSE(unselected.model.plain().cropEntry);
}

// The healing snapshot is the selected scan's id and repairs when healing begins; a second true
// keeps it, and leaving clears it with the source point, the picking sub-mode and the pick.
TEST(ToolModes, HealingSnapshot) {
  LetteredScans scans(2);
  const std::vector<Spot> first = {makeSpot(0.3, 0.3, 0.01)};
  scans.model.setItems(
      {withSpots(scans.model.items()[0], first), withSpots(scans.model.items()[1], {})});
  scans.model.setSelection(scans.id('A'));
  scans.model.setSpotMode(true);
  ASSERT_TRUE(scans.model.plain().healEntry);
  EXPECT_EQ(scans.model.plain().healEntry->first, *scans.id('A'));
  EXPECT_EQ(scans.model.plain().healEntry->second, first);

  std::vector<ImageItem> painted = scans.model.items();
  painted[0].settings.spots.push_back(makeSpot(0.6, 0.6, 0.02));
  scans.model.setItems(painted);
  scans.model.setSpotSelecting(true);
  scans.model.setSelectedRepair(painted[0].settings.spots[1].id);
  scans.model.setHealSource(QPointF(0.5, 0.5));
  scans.model.setSpotMode(true);
  EXPECT_EQ(scans.model.plain().healEntry->second, first);
  EXPECT_TRUE(scans.model.spotSelecting());
  EXPECT_TRUE(scans.model.selectedRepair());
  EXPECT_TRUE(scans.model.healSource());

  scans.model.setRedEyeMode(true);
  EXPECT_FALSE(scans.model.spotMode());
  EXPECT_FALSE(scans.model.plain().healEntry);
  EXPECT_FALSE(scans.model.spotSelecting());
  EXPECT_FALSE(scans.model.selectedRepair());
  EXPECT_FALSE(scans.model.healSource());
  EXPECT_EQ(scans.model.items()[0].settings.spots.size(), 2u) << "leaving restores nothing";

  LetteredScans unselected(1);
  unselected.model.setSpotMode(true);
  EXPECT_FALSE(unselected.model.plain().healEntry);
}

// Only crop mode asks for renders, once per real change; no other mode does.
TEST(ToolModes, RenderRequests) {
  if (!renderRequestsCounted()) GTEST_SKIP() << "render requests are not counted yet";
  struct Case {
    const char* name;
    Mode on;
    Mode written;
    bool value;
    int64_t wantRequests;
  };
  const std::vector<Case> cases = {
      {"crop on", Mode::none, Mode::crop, true, 1},
      {"crop on again", Mode::crop, Mode::crop, true, 0},
      {"crop off", Mode::crop, Mode::crop, false, 1},
      {"crop off again", Mode::none, Mode::crop, false, 0},
      {"crop over healing", Mode::healing, Mode::crop, true, 1},
      {"dodge over crop", Mode::crop, Mode::dodge, true, 1},
      {"healing over crop", Mode::crop, Mode::healing, true, 1},
      {"healing on", Mode::none, Mode::healing, true, 0},
      {"healing off", Mode::healing, Mode::healing, false, 0},
      {"white balance on", Mode::dodge, Mode::wbPick, true, 0},
      {"red eye on", Mode::none, Mode::redEye, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LetteredScans scans(2);
    scans.model.setSelection(scans.id('A'));
    write(scans.model, c.on, true);
    const int64_t before = scans.model.plain().renderGen;
    write(scans.model, c.written, c.value);
    EXPECT_EQ(scans.model.plain().renderGen - before, c.wantRequests);
  }
}

TEST(ToolModes, ClearingDustFinds) {
  LetteredScans scans(1);
  scans.model.setDustCandidates({{makeSpot(0.5, 0.5, 0.01)}});
  scans.model.setKeptDust({Uuid::random()});
  scans.model.plain().dustFor = scans.id('A');
  scans.model.clearDustCandidates();
  EXPECT_TRUE(scans.model.dustCandidates().empty());
  EXPECT_TRUE(scans.model.keptDust().empty());
  EXPECT_FALSE(scans.model.plain().dustFor);
}

// Each mode entered while the other mode with a snapshot is on: the old snapshot goes without
// restoring anything, the new one is taken only by crop and healing.
TEST(ToolModes, EnteringOneModeFromAnotherWithASnapshot) {
  for (Mode from : {Mode::crop, Mode::healing}) {
    for (Mode to : {Mode::crop, Mode::healing, Mode::wbPick, Mode::dodge, Mode::redEye}) {
      if (to == from) continue;
      SCOPED_TRACE(testing::Message() << static_cast<int>(from) << " to " << static_cast<int>(to));
      EditSession s(2);
      s.select(1);
      write(*s.model, from, true);
      s.model->editSelected([](ConversionSettings& r) {
        r.crop = NormRect{0.1, 0.1, 0.5, 0.5};
        r.spots.push_back(makeSpot(0.4, 0.4, 0.01));
      });
      const ConversionSettings edited = s.settings(1);
      write(*s.model, to, true);
      EXPECT_EQ(s.settings(1), edited) << "leaving keeps what was done";
      EXPECT_EQ(s.model->plain().cropEntry.has_value(), to == Mode::crop);
      EXPECT_EQ(s.model->plain().cropEntryScan.has_value(), to == Mode::crop);
      EXPECT_EQ(s.model->plain().healEntry.has_value(), to == Mode::healing);
      if (to == Mode::crop) {
        EXPECT_EQ(s.model->plain().cropEntry, edited);
        EXPECT_EQ(s.model->plain().cropEntryScan, s.id(1));
      }
      if (to == Mode::healing) EXPECT_EQ(s.model->plain().healEntry->second, edited.spots);
    }
  }
}

// Cancel of crop mode: geometry, turns and marks come back as one edit (recorded only when
// something changes, merged within 0.7 s); other edits stay; the live rotation is dropped.
TEST(ToolModes, CancelCrop) {
  struct Case {
    const char* name;
    std::function<void(EditSession&)> meanwhile;
    double pause;             // seconds between the last edit and Cancel
    size_t wantNewUndoSteps;  // counted from entering crop mode
  };
  const std::vector<Case> cases = {
      {"nothing changed", [](EditSession&) {}, 1, 0},
      {"crop, quarter turn, red eye and exposure",
       [](EditSession& s) {
         s.model->setCropRect(0.2, 0.2, 0.5, 0.4);
         s.wait(1);
         s.model->rotateSelected(1);
         s.wait(1);
         s.model->addRedEye(0.01, 0.3, 0.3);
         s.wait(1);
         s.model->editSelected([](ConversionSettings& r) { r.exposure = 0.5; });
       },
       1, 5},
      {"cancel right after an edit merges into it",
       [](EditSession& s) { s.model->setCropRect(0.2, 0.2, 0.5, 0.4); }, 0.1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession s(2);
    s.select(0);
    s.model->editSelected([](ConversionSettings& r) {
      r.crop = NormRect{0.1, 0.1, 0.8, 0.8};
      r.skewDegrees = 2;
    });
    s.wait(1);
    const ConversionSettings entry = s.settings(0);
    const size_t stepsBefore = s.undoStack().size();
    s.model->setCropMode(true);
    c.meanwhile(s);
    const double exposure = s.settings(0).exposure;
    s.model->setStraightenAngle(7);
    s.wait(c.pause);
    s.model->cancelCrop();
    EXPECT_FALSE(s.model->cropMode());
    EXPECT_FALSE(s.model->plain().cropEntry);
    EXPECT_EQ(s.model->liveRotation(), 0);
    EXPECT_EQ(s.settings(0).crop, entry.crop);
    EXPECT_EQ(s.settings(0).skewDegrees, 2);
    EXPECT_EQ(s.settings(0).rotationQuarterTurns, 0);
    EXPECT_TRUE(s.settings(0).redEyes.empty());
    EXPECT_EQ(s.settings(0).exposure, exposure) << "edits outside the snapshot stay";
    EXPECT_EQ(s.undoStack().size() - stepsBefore, c.wantNewUndoSteps);
  }
}

// The snapshot belongs to the scan crop mode began on: with another scan selected, Cancel only
// leaves crop mode and neither scan takes the other's geometry or marks.
TEST(ToolModes, CancelCropAfterTheSelectionMoved) {
  EditSession s(2);
  s.select(0);
  s.model->editSelected([](ConversionSettings& r) { r.crop = NormRect{0.1, 0.1, 0.5, 0.5}; });
  s.model->setCropMode(true);
  s.model->setCropRect(0.3, 0.3, 0.6, 0.6);
  const ConversionSettings cropped = s.settings(0);
  s.select(1);
  s.model->editSelected([](ConversionSettings& r) { r.spots.push_back(makeSpot(0.5, 0.5, 0.01)); });
  const ConversionSettings other = s.settings(1);
  s.model->cancelCrop();
  EXPECT_FALSE(s.model->cropMode());
  EXPECT_EQ(s.settings(0), cropped);
  EXPECT_EQ(s.settings(1), other);

  // Back on the first scan before Cancel, the snapshot is its own again.
  s.select(0);
  s.model->setCropMode(true);
  s.model->setCropRect(0.2, 0.2, 0.3, 0.3);
  s.select(1);
  s.select(0);
  s.model->cancelCrop();
  EXPECT_EQ(s.settings(0).crop, cropped.crop);
}

// Cancel of healing: the repairs of entry come back in one step; nothing is recorded without a
// change; it always raises the session, and a snapshot of the scan left behind restores nothing.
TEST(ToolModes, CancelHealing) {
  EditSession s(2);
  s.select(0);
  s.model->setSpotMode(true);
  const int session = s.model->plain().healSession;
  size_t steps = s.undoStack().size();
  s.model->cancelHealing();
  EXPECT_EQ(s.undoStack().size(), steps);
  EXPECT_EQ(s.model->plain().healSession, session + 1);

  const std::vector<Spot> entry = {makeSpot(0.2, 0.2, 0.01)};
  s.model->restoreSpots(entry);
  s.wait(1);
  s.model->setSpotMode(true);
  s.model->appendSpots({makeSpot(0.5, 0.5, 0.01)});
  s.wait(1);
  s.model->appendSpots({makeSpot(0.6, 0.6, 0.01)});
  s.wait(1);
  steps = s.undoStack().size();
  s.model->cancelHealing();
  EXPECT_EQ(s.settings(0).spots, entry);
  EXPECT_EQ(s.undoStack().size(), steps + 1);
  EXPECT_FALSE(s.model->spotMode());
  s.model->undo();
  EXPECT_EQ(s.settings(0).spots.size(), 3u);

  // Painted on the first scan, then another selected: the snapshot now is the second scan's.
  s.model->setSpotMode(true);
  s.model->appendSpots({makeSpot(0.7, 0.7, 0.01)});
  const std::vector<Spot> painted = s.settings(0).spots;
  s.select(1);
  s.model->cancelHealing();
  EXPECT_EQ(s.settings(0).spots, painted);
  EXPECT_TRUE(s.settings(1).spots.empty());
}

TEST(ToolModes, StraightenSlider) {
  struct Case {
    const char* name;
    bool selected;
    double skew;
    double angle;
    double wantLive;
    double wantAngle;
  };
  const std::vector<Case> cases = {
      {"within range", true, 10, 30, 20, 30},
      {"clamped above", true, 10, 60, 35, 45},
      {"clamped below", true, 10, -60, -55, -45},
      {"no selection", false, 10, 20, 20, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession s(1);
    s.select(0);
    s.model->editSelected([&](ConversionSettings& r) { r.skewDegrees = c.skew; });
    if (!c.selected) s.model->setSelection(std::nullopt);
    s.model->setStraightenAngle(c.angle);
    EXPECT_TRUE(s.model->plain().isRotating);
    EXPECT_DOUBLE_EQ(s.model->liveRotation(), c.wantLive);
    EXPECT_DOUBLE_EQ(s.model->straightenAngle(), c.wantAngle);
    EXPECT_EQ(s.settings(0).skewDegrees, c.skew) << "the record waits for the drag's end";
  }
}

// The three ends of a drag: noise commits nothing; a rotation is committed and stays live until
// a preview arrives; without a scan it is dropped at once.
TEST(ToolModes, EndLiveRotation) {
  struct Case {
    const char* name;
    bool selected;
    double angle;
    double wantSkew;
    double wantLive;
  };
  const std::vector<Case> cases = {
      {"noise", true, 10.0008, 10, 0},
      {"negative noise", true, 9.999, 10, 0},
      {"a rotation", true, 12.345, 12.35, 2.345},
      {"no selection", false, 12.345, 10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession s(1);
    s.select(0);
    s.model->editSelected([](ConversionSettings& r) { r.skewDegrees = 10; });
    s.wait(1);
    if (!c.selected) s.model->setSelection(std::nullopt);
    s.model->setStraightenAngle(c.angle);
    if (!c.selected) EXPECT_NE(s.model->liveRotation(), 0);
    const size_t steps = s.undoStack().size();
    s.model->endLiveRotation();
    EXPECT_FALSE(s.model->plain().isRotating);
    EXPECT_DOUBLE_EQ(s.settings(0).skewDegrees, c.wantSkew);
    EXPECT_NEAR(s.model->liveRotation(), c.wantLive, 1e-9);
    EXPECT_DOUBLE_EQ(s.model->straightenAngle(), c.selected ? c.wantSkew : 0)
        << "the angle still shown live counts once";
    EXPECT_EQ(s.undoStack().size(), steps + (c.wantSkew != 10 ? 1 : 0));
  }
}

// The live rotation lasts until the render loop publishes the rotated preview.
TEST(ToolModes, LiveRotationEndsWithTheNextPreview) {
  EditSession s(1);
  s.select(0);
  s.wait(1);
  ASSERT_TRUE(s.model->preview());
  s.model->setStraightenAngle(4);
  s.model->endLiveRotation();
  EXPECT_EQ(s.settings(0).skewDegrees, 4);
  EXPECT_EQ(s.model->liveRotation(), 4);
  EXPECT_EQ(s.model->straightenAngle(), 4);
  s.wait(1);
  EXPECT_EQ(s.model->liveRotation(), 0);
  EXPECT_EQ(s.model->straightenAngle(), 4);
}

TEST(ToolModes, BrushKeys) {
  struct Case {
    const char* name;
    Mode mode;
    const char* stored;  // INI lines
    bool larger;
    bool wantUsed;
    double wantSpot;
    double wantDodge;
    double wantRedEye;
  };
  const std::vector<Case> cases = {
      {"healing larger", Mode::healing, "spotBrush=0.01", true, true, 0.0115, 0.03, 0.012},
      {"healing capped", Mode::healing, "spotBrush=0.038", true, true, 0.04, 0.03, 0.012},
      {"healing at the floor", Mode::healing, "spotBrush=0.0005", false, true, 0.0005, 0.03, 0.012},
      {"healing below the floor", Mode::healing, "spotBrush=0.0001", true, true, 0.0005, 0.03,
       0.012},
      {"healing, no number stored", Mode::healing, "spotBrush=wide", true, true, 0.0092, 0.03,
       0.012},
      {"dodge brush smaller", Mode::dodge, "", false, true, 0.008, 0.03 / 1.15, 0.012},
      {"dodge radial", Mode::dodge, "dodgeShape=radial", false, false, 0.008, 0.03, 0.012},
      {"dodge linear", Mode::dodge, "dodgeShape=linear", true, false, 0.008, 0.03, 0.012},
      {"red eye larger", Mode::redEye, "", true, true, 0.008, 0.03, 0.0138},
      {"red eye at the floor", Mode::redEye, "redEyeSize=0.003", false, true, 0.008, 0.03, 0.003},
      {"crop", Mode::crop, "", true, false, 0.008, 0.03, 0.012},
      {"no tool", Mode::none, "", true, false, 0.008, 0.03, 0.012},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices services;
    services.writeSettingsFile(QString("[General]\n%1\n").arg(c.stored));
    AppModel model(services.services());
    write(model, c.mode, true);
    EXPECT_EQ(model.resizeBrush(c.larger), c.wantUsed);
    EXPECT_NEAR(model.spotBrush(), c.wantSpot, 1e-12);
    EXPECT_NEAR(model.dodgeSize(), c.wantDodge, 1e-12);
    EXPECT_NEAR(model.redEyeSize(), c.wantRedEye, 1e-12);
  }
}

}  // namespace
