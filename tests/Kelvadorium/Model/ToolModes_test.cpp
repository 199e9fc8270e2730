// The five tool modes: which writes switch which modes off and in what order (observers nest),
// the crop and healing snapshots, and the render requests of crop mode.
#include <gtest/gtest.h>

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

}  // namespace
