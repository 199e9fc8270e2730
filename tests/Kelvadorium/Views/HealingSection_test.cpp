// The Healing section: the tool grid and the picking button following the model's modes, the
// action row's buttons, the brush rows bound to the tool preferences (no undo, no write-back),
// the clone source row and the red-eye group.
#include "Inspector/HealingSection.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QToolButton>

#include "Inspector/AdjustRow.h"
#include "InspectorSession.h"
#include "Services/Preferences.h"

namespace {

struct Healing : InspectorSession {
  Healing() : InspectorSession(2) { select(0); }
  QToolButton* button(const QString& name) const { return find<QToolButton>(name); }
  QToolButton* push(const QString& name) const { return find<QToolButton>(name); }
  bool current(const QString& name) const { return button(name)->property("current").toBool(); }
  AdjustRow* brushRow(const QString& label) const {
    return find<QWidget>("Healing content")->findChild<AdjustRow*>(label);
  }
  void spots(std::vector<Spot> all) {
    store(0, [&](ConversionSettings& s) { s.spots = std::move(all); });
  }
  void click(QAbstractButton* b) {
    b->click();
    settle();
  }
};

std::vector<Spot> aSpotAndAStroke() {
  std::vector<Spot> spots{makeSpot(0.8, 0.8, 0.01)};
  const Uuid group = Uuid::random();
  for (int i = 0; i < 40; ++i) {
    spots.push_back(makeSpot(0.1 + 0.01 * i, 0.5, 0.01));
    spots.back().group = group;
  }
  return spots;
}

}  // namespace

TEST(HealingSection, ToolButtonsTurnHealingOnAndOffAndNameTheTool) {
  Healing t;
  EXPECT_FALSE(t.shown("Cancel"));
  EXPECT_FALSE(t.shown("Apply"));
  t.click(t.button("Clone"));
  EXPECT_TRUE(t.model().spotMode());
  EXPECT_EQ(t.model().healTool(), SpotKind::clone);
  EXPECT_TRUE(t.current("Clone"));
  EXPECT_FALSE(t.current("Heal"));
  EXPECT_FALSE(t.current("selectRepairsButton"));
  ASSERT_TRUE(t.shown("Cancel"));
  ASSERT_TRUE(t.shown("Apply"));
  EXPECT_EQ(t.push("Cancel")->toolTip(),
            "Ends Clone and takes back what you painted since you started it (Esc)");
  EXPECT_EQ(t.push("Apply")->toolTip(), "Keeps the repairs and ends Clone (Return)");
  EXPECT_EQ(t.find<QLabel>("description")->text(),
            HealingSection::toolDescription(SpotKind::clone));

  t.click(t.button("Clone"));
  EXPECT_FALSE(t.model().spotMode());
  EXPECT_FALSE(t.current("Clone"));
  EXPECT_FALSE(t.shown("Cancel"));
  EXPECT_FALSE(t.shown("Apply"));

  // Apply ends the mode and keeps what was painted.
  t.click(t.button("Fill"));
  t.model().appendSpot(makeSpot(0.5, 0.5, 0.01));
  t.settle();
  t.click(t.push("Apply"));
  EXPECT_FALSE(t.model().spotMode());
  EXPECT_EQ(t.session.settings(0).spots.size(), 1u);
}

TEST(HealingSection, PickingRepairs) {
  Healing t;
  t.spots(aSpotAndAStroke());
  EXPECT_EQ(t.button("selectRepairsButton")->text(), "Select Repairs (2)");
  EXPECT_FALSE(t.shown("deleteRepair"));
  t.click(t.button("selectRepairsButton"));
  ASSERT_TRUE(t.model().spotSelecting());
  EXPECT_TRUE(t.current("selectRepairsButton"));
  for (const char* tool : {"Heal", "Clone", "Fill"}) EXPECT_FALSE(t.current(tool)) << tool;
  ASSERT_TRUE(t.shown("deleteRepair"));
  EXPECT_FALSE(t.button("deleteRepair")->isEnabled());

  t.model().setSelectedRepair(t.session.settings(0).spots[0].id);
  t.settle();
  ASSERT_TRUE(t.button("deleteRepair")->isEnabled());
  t.click(t.button("deleteRepair"));
  EXPECT_EQ(t.session.settings(0).spots.size(), 40u);
  EXPECT_EQ(t.button("selectRepairsButton")->text(), "Select Repairs (1)");
  EXPECT_FALSE(t.button("deleteRepair")->isEnabled());

  t.click(t.button("selectRepairsButton"));
  EXPECT_FALSE(t.model().spotMode());
  EXPECT_FALSE(t.shown("deleteRepair"));
}

TEST(HealingSection, TakeBackAndRemoveAllNeedSpots) {
  Healing t;
  EXPECT_FALSE(t.button("takeBack")->isEnabled());
  EXPECT_FALSE(t.push("removeAllSpots")->isEnabled());
  t.spots(aSpotAndAStroke());
  ASSERT_TRUE(t.button("takeBack")->isEnabled());
  t.click(t.button("takeBack"));
  EXPECT_EQ(t.session.settings(0).spots.size(), 1u) << "the whole stroke, added last";
  t.session.wait(1);  // two undo steps, not one merged edit
  t.click(t.push("removeAllSpots"));
  EXPECT_TRUE(t.session.settings(0).spots.empty());
  EXPECT_FALSE(t.push("removeAllSpots")->isEnabled());
  t.model().undo();
  t.settle();
  EXPECT_EQ(t.session.settings(0).spots.size(), 1u);

  t.select(std::nullopt);
  EXPECT_EQ(t.button("selectRepairsButton")->text(), "Select Repairs (0)");
  EXPECT_FALSE(t.button("takeBack")->isEnabled());
}

TEST(HealingSection, SizeIsWrittenWithTwoDecimalsBelowOnePercent) {
  struct Case {
    double value;
    const char* text;
  };
  Healing t;
  AdjustRow* size = t.brushRow("Size");
  ASSERT_NE(size, nullptr);
  for (const Case& c : std::vector<Case>{{0.008, "0.80%"},
                                         {0.0005, "0.05%"},
                                         {0.04, "4.0%"},
                                         {0.0099, "0.99%"},
                                         {0.01, "1.0%"}}) {
    EXPECT_EQ(size->text(c.value), c.text) << c.value;
  }
  EXPECT_EQ(t.brushRow("Opacity")->text(100), "100%");
  EXPECT_EQ(t.brushRow("Feather")->text(25), "25");
  EXPECT_EQ(t.find<AdjustRow>("redEyeSize")->text(0.012), "1.2%");
}

TEST(HealingSection, BrushRowsArePreferencesWithoutUndo) {
  Healing t;
  t.spots({makeSpot(0.5, 0.5, 0.01)});
  const ConversionSettings record = t.session.settings(0);
  t.model().setSpotBrush(0.02);
  t.model().setSpotFeather(70);
  t.model().setSpotOpacity(30);
  t.settle();
  EXPECT_EQ(t.brushRow("Size")->valueText()->text(), "2.0%");
  for (const char* label : {"Size", "Feather", "Opacity"}) t.brushRow(label)->resetToNeutral();
  EXPECT_DOUBLE_EQ(t.model().spotBrush(), 0.008);
  EXPECT_DOUBLE_EQ(t.model().spotFeather(), 25);
  EXPECT_DOUBLE_EQ(t.model().spotOpacity(), 100);
  EXPECT_FALSE(t.model().canUndo());
  EXPECT_EQ(t.session.settings(0), record) << "no repair changes";

  // The size keys move the row.
  t.model().setSpotMode(true);
  ASSERT_TRUE(t.model().resizeBrush(true));
  t.settle();
  EXPECT_EQ(t.brushRow("Size")->valueText()->text(), "0.92%");
  ASSERT_TRUE(t.model().resizeBrush(false));
  ASSERT_TRUE(t.model().resizeBrush(false));
  t.settle();
  EXPECT_EQ(t.brushRow("Size")->valueText()->text(), "0.70%");
}

// Showing a stored value never writes it back, even one outside the row's range.
TEST(HealingSection, RefreshingWritesNoPreferenceBack) {
  Healing t;
  t.model().setSpotBrush(0.3);
  t.model().setSpotFeather(-20);
  t.model().setRedEyeSize(0.0001);
  t.settle();
  QSignalSpy writes(&t.model().preferences(), &Preferences::changed);
  t.select(1);
  t.click(t.button("Heal"));
  t.model().setHealSource(QPointF(0.2, 0.2));
  t.model().setRedEyeMode(true);
  t.select(0);
  t.settle();
  QStringList keys;
  for (const QList<QVariant>& write : writes) keys << write[0].toString();
  for (const char* key : {"spotBrush", "spotFeather", "spotOpacity", "redEyeSize"}) {
    EXPECT_FALSE(keys.contains(key)) << key;
  }
  EXPECT_DOUBLE_EQ(t.model().spotBrush(), 0.3);
  EXPECT_DOUBLE_EQ(t.model().spotFeather(), -20);
  EXPECT_DOUBLE_EQ(t.model().redEyeSize(), 0.0001);
  EXPECT_EQ(t.brushRow("Size")->valueText()->text(), "30.0%");
  EXPECT_FALSE(t.model().canUndo());
}

TEST(HealingSection, TheSourceRowFollowsTheCloneSource) {
  Healing t;
  EXPECT_FALSE(t.shown("healSourceRow"));
  t.model().setHealSource(QPointF(0.4, 0.4));
  t.settle();
  ASSERT_TRUE(t.shown("healSourceRow"));
  t.click(t.push("Clear"));
  EXPECT_FALSE(t.model().healSource());
  EXPECT_FALSE(t.shown("healSourceRow"));

  t.model().setHealSource(QPointF(0.4, 0.4));
  t.click(t.button("Clone"));
  EXPECT_FALSE(t.shown("healSourceRow")) << "another tool clears it";
}

TEST(HealingSection, TheRedEyeGroup) {
  struct Case {
    const char* name;
    std::optional<FilmMode> mode;  // none: no scan selected
    bool shown;
  };
  for (const Case& c : std::vector<Case>{{"colour", FilmMode::colorNegative, true},
                                         {"slide", FilmMode::positive, true},
                                         {"black and white", FilmMode::bwNegative, false},
                                         {"no selection", std::nullopt, true}}) {
    Healing t;
    if (c.mode) {
      t.store(0, [&](ConversionSettings& s) { s.mode = *c.mode; });
    } else {
      t.select(std::nullopt);
    }
    EXPECT_EQ(t.shown("redEyeRow"), c.shown) << c.name;
  }

  Healing t;
  EXPECT_FALSE(t.push("removeAllRedEyes")->isEnabled());
  t.click(t.button("redEyeToggle"));
  EXPECT_TRUE(t.model().redEyeMode());
  EXPECT_TRUE(t.button("redEyeToggle")->isChecked());
  t.model().addRedEye(0.012, 0.5, 0.5);
  t.settle();
  ASSERT_TRUE(t.push("removeAllRedEyes")->isEnabled());
  t.click(t.push("removeAllRedEyes"));
  EXPECT_TRUE(t.session.settings(0).redEyes.empty());
  t.model().setRedEyeMode(false);
  t.settle();
  EXPECT_FALSE(t.button("redEyeToggle")->isChecked());
}
