// Healing repairs: the tools and their presets, the settings a new repair takes, clone sources,
// counting and removing repairs, and clicks and strokes whose source is searched on the preview
// renderer and which are dropped when they arrive for a scan no longer shown as it was.
#include <gtest/gtest.h>

#include <cmath>

#include "EditSession.h"

namespace {

struct Presets {
  double brush;
  double feather;
  double opacity;
};

Presets current(const AppModel& model) {
  return {model.spotBrush(), model.spotFeather(), model.spotOpacity()};
}

void expectPresets(const Presets& got, const Presets& want) {
  EXPECT_DOUBLE_EQ(got.brush, want.brush);
  EXPECT_DOUBLE_EQ(got.feather, want.feather);
  EXPECT_DOUBLE_EQ(got.opacity, want.opacity);
}

// Each tool keeps its own brush, feather and opacity; a first visit, or a stored value that is no
// number, gives the defaults (the AI tool's brush is larger).
TEST(Healing, ToolPresets) {
  TestServices services;
  services.writeSettingsFile("[General]\nspotOpacity.fill=strong\nspotBrush.fill=0.02\n");
  AppModel model(services.services());
  model.setSpotBrush(0.012);
  model.setSpotFeather(60);
  model.setHealSource(QPointF(0.3, 0.3));

  model.chooseHealTool(SpotKind::clone);
  EXPECT_EQ(model.healTool(), SpotKind::clone);
  EXPECT_FALSE(model.healSource());
  expectPresets(current(model), {0.008, 25, 100});
  EXPECT_DOUBLE_EQ(model.preferences().doubleValue("spotBrush.heal", 0), 0.012);
  EXPECT_DOUBLE_EQ(model.preferences().doubleValue("spotFeather.heal", 0), 60);
  model.setSpotOpacity(40);

  model.chooseHealTool(SpotKind::ai);
  expectPresets(current(model), {0.015, 25, 100});
  model.chooseHealTool(SpotKind::fill);
  expectPresets(current(model), {0.02, 25, 100});
  model.chooseHealTool(SpotKind::heal);
  expectPresets(current(model), {0.012, 60, 100});
  model.chooseHealTool(SpotKind::clone);
  expectPresets(current(model), {0.008, 25, 40});

  EXPECT_EQ(services.telemetry.events,
            QStringList({"heal.clone", "heal.ai", "heal.fill", "heal.heal", "heal.clone"}));
}

// The tool buttons: the active tool again leaves healing (still counted), the selection tool
// toggles, and a tool chosen from the selection tool stays in healing mode.
TEST(Healing, ChoosingTools) {
  EditSession s(1);
  s.select(0);
  s.model->chooseHealTool(SpotKind::heal);
  EXPECT_TRUE(s.model->spotMode());
  s.model->chooseHealTool(SpotKind::heal);
  EXPECT_FALSE(s.model->spotMode());

  s.model->setCropMode(true);
  s.model->chooseSelectTool();
  EXPECT_TRUE(s.model->spotMode());
  EXPECT_TRUE(s.model->spotSelecting());
  EXPECT_FALSE(s.model->cropMode());
  EXPECT_EQ(s.model->notice(), QString("This image has no healing repairs yet."));

  s.model->setNotice(std::nullopt);
  s.model->setSelectedRepair(Uuid::random());
  s.model->chooseHealTool(SpotKind::heal);
  EXPECT_TRUE(s.model->spotMode());
  EXPECT_FALSE(s.model->spotSelecting());
  EXPECT_FALSE(s.model->selectedRepair());

  s.model->appendSpot(makeSpot(0.5, 0.5, 0.01));
  s.model->chooseSelectTool();
  EXPECT_TRUE(s.model->spotSelecting());
  EXPECT_FALSE(s.model->notice()) << "the scan has a repair to pick";
  s.model->chooseSelectTool();
  EXPECT_FALSE(s.model->spotMode());
  EXPECT_FALSE(s.model->spotSelecting());

  EXPECT_EQ(s.services.telemetry.events, QStringList({"heal.heal", "heal.heal", "heal.select",
                                                      "heal.heal", "heal.select", "heal.select"}));
}

// A tool change inside healing mode starts a new snapshot: Cancel then backs out of what was
// done with the new tool only.
TEST(Healing, ToolChangeRetakesTheSnapshot) {
  EditSession s(1);
  s.select(0);
  s.model->chooseHealTool(SpotKind::heal);
  s.model->appendSpot(makeSpot(0.2, 0.2, 0.01));
  s.model->chooseHealTool(SpotKind::clone);
  s.model->appendSpot(makeSpot(0.6, 0.6, 0.01));
  s.model->cancelHealing();
  ASSERT_EQ(s.settings(0).spots.size(), 1u);
  EXPECT_EQ(s.settings(0).spots[0].x, 0.2);
}

TEST(Healing, ToolSettingsOfNewRepairs) {
  struct Case {
    double feather;
    double opacity;
    double wantFeather;
    double wantOpacity;
  };
  const std::vector<Case> cases = {
      {0, 100, 1.0, 1.0}, {-5, 100, 1.0, 1.0}, {25, 100, 1.4, 1.0},
      {50, 40, 1.8, 0.4}, {100, 0, 2.6, 0.0},  {150, 100, 2.6, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "feather " << c.feather << ", opacity " << c.opacity);
    TestServices services;
    AppModel model(services.services());
    model.setHealTool(SpotKind::fill);
    model.setSpotFeather(c.feather);
    model.setSpotOpacity(c.opacity);
    Spot spot = makeSpot(0.4, 0.5, 0.01, 0.1, 0.2);
    const std::vector<Spot> out = model.applyHealToolSettings({spot});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].kind, SpotKind::fill);
    EXPECT_NEAR(*out[0].feather, c.wantFeather, 1e-12);
    EXPECT_NEAR(*out[0].opacity, c.wantOpacity, 1e-12);
    spot.kind = out[0].kind;
    spot.feather = out[0].feather;
    spot.opacity = out[0].opacity;
    EXPECT_EQ(out[0], spot) << "nothing else changes";
  }
}

// A source point moves a whole stroke by one offset and serves once; the fill tool and an empty
// list leave it alone.
TEST(Healing, CloneSource) {
  struct Case {
    const char* name;
    SpotKind tool;
    std::vector<double> xs;
    bool wantUsed;
  };
  const std::vector<Case> cases = {
      {"clone stroke", SpotKind::clone, {0.50, 0.52, 0.54}, true},
      {"heal click", SpotKind::heal, {0.50}, true},
      {"fill", SpotKind::fill, {0.50, 0.52}, false},
      {"ai", SpotKind::ai, {0.50}, false},
      {"nothing to place", SpotKind::clone, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices services;
    AppModel model(services.services());
    model.setHealTool(c.tool);
    model.setHealSource(QPointF(0.30, 0.70));
    std::vector<Spot> spots;
    for (double x : c.xs) spots.push_back(makeSpot(x, 0.4, 0.01));
    EXPECT_EQ(model.applyCloneSource(spots), c.wantUsed);
    EXPECT_EQ(model.healSource().has_value(), !c.wantUsed);
    for (size_t i = 0; i < spots.size(); ++i) {
      if (!c.wantUsed) {
        EXPECT_FALSE(spots[i].sx);
        continue;
      }
      EXPECT_NEAR(*spots[i].sx, 0.30 + (c.xs[i] - 0.50), 1e-12);
      EXPECT_NEAR(*spots[i].sy, 0.70, 1e-12);
    }
  }
  TestServices services;
  AppModel model(services.services());
  std::vector<Spot> one = {makeSpot(0.5, 0.5, 0.01)};
  EXPECT_FALSE(model.applyCloneSource(one)) << "without a source point";
}

std::vector<Spot> stroke(size_t count) {
  const Uuid group = Uuid::random();
  std::vector<Spot> spots;
  for (size_t i = 0; i < count; ++i) {
    spots.push_back(makeSpot(0.1 + 0.01 * static_cast<double>(i), 0.5, 0.01));
    spots.back().group = group;
  }
  return spots;
}

// A stroke counts once; the last repair goes whole, a click or a stroke.
TEST(Healing, CountingAndRemovingTheLastRepair) {
  EditSession s(1);
  EXPECT_EQ(s.model->repairCount(), 0);
  s.model->removeLastRepair();
  s.select(0);
  s.model->appendSpot(makeSpot(0.8, 0.8, 0.01));
  s.model->appendSpots(stroke(12));
  s.model->appendSpot(makeSpot(0.7, 0.7, 0.01));
  s.model->appendSpot(makeSpot(0.6, 0.6, 0.01));
  EXPECT_EQ(s.model->repairCount(), 4);

  s.model->removeLastRepair();
  EXPECT_EQ(s.model->repairCount(), 3);
  EXPECT_EQ(s.settings(0).spots.size(), 14u);
  s.model->appendSpots(stroke(5));
  s.model->removeLastRepair();
  EXPECT_EQ(s.settings(0).spots.size(), 14u) << "the whole last stroke";
  s.model->removeLastRepair();
  s.model->removeLastRepair();
  EXPECT_EQ(s.settings(0).spots.size(), 1u);
  EXPECT_EQ(s.model->repairCount(), 1);
}

// Two scans shown in the preview, the first selected, in healing mode with its first preview
// published: uncropped to the frame, unstraightened and without a border, so a preview point is
// the same image point.
class HealingOnAScan : public ::testing::Test {
 protected:
  void SetUp() override {
    s.select(0);
    s.wait(1);
    const auto mapped = s.model->imagePoint(0.25, 0.75);
    ASSERT_TRUE(mapped);
    ASSERT_NEAR(mapped->x(), 0.25, 1e-9);
    ASSERT_NEAR(mapped->y(), 0.75, 1e-9);
    s.model->chooseHealTool(SpotKind::heal);
  }
  const std::vector<Spot>& spots() const { return s.settings(0).spots; }

  EditSession s{2};
};

TEST_F(HealingOnAScan, ClickAddsARepairWithASource) {
  s.model->setSpotBrush(0.05);
  s.model->setSpotFeather(50);
  s.model->addRepairSpot(0.4, 0.6);
  s.wait(1);
  ASSERT_EQ(spots().size(), 1u);
  const Spot& spot = spots()[0];
  EXPECT_NEAR(spot.x, 0.4, 1e-9);
  EXPECT_NEAR(spot.y, 0.6, 1e-9);
  EXPECT_EQ(spot.r, 0.05);
  EXPECT_EQ(spot.kind, SpotKind::heal);
  EXPECT_DOUBLE_EQ(*spot.feather, 1.8);
  EXPECT_FALSE(spot.group);
  ASSERT_TRUE(spot.sx && spot.sy);
  EXPECT_GT(std::hypot(*spot.sx - spot.x, *spot.sy - spot.y), 0.05) << "away from the spot";
  EXPECT_TRUE(s.model->canUndo());

  // A source point is taken as given, without a search.
  s.model->setHealSource(QPointF(0.1, 0.2));
  s.model->addRepairSpot(0.5, 0.5);
  ASSERT_EQ(spots().size(), 2u);
  EXPECT_NEAR(*spots()[1].sx, 0.1, 1e-9);
  EXPECT_NEAR(*spots()[1].sy, 0.2, 1e-9);
}

// Clicks and drags that place nothing: the AI tool, outside the picture, no scan, too few points.
TEST_F(HealingOnAScan, GesturesThatAddNothing) {
  s.model->addRepairSpot(1.2, 0.5);
  s.model->addRepairSpot(std::nan(""), 0.5);
  s.model->addRepairStroke({QPointF(0.3, 0.3)});
  s.model->addRepairStroke({QPointF(0.3, 0.3), QPointF(1.5, 0.3), QPointF(0.4, -1)});
  s.model->addRepairStroke({QPointF(0.3, 0.3), QPointF(1e300, 0.3)});
  s.model->chooseHealTool(SpotKind::ai);
  EXPECT_DOUBLE_EQ(s.model->spotBrush(), 0.015);
  s.model->addRepairSpot(0.5, 0.5);
  s.model->addRepairStroke({QPointF(0.3, 0.3), QPointF(0.6, 0.3)});
  s.wait(1);
  EXPECT_TRUE(spots().empty());
  EXPECT_FALSE(s.model->canUndo());
}

// A drag becomes one chain, resampled on the decoded size, with one source offset for all.
TEST_F(HealingOnAScan, StrokeAddsAChainWithOneOffset) {
  s.model->setSpotBrush(0.05);
  const QSize proxy = s.model->proxySize();
  ASSERT_EQ(proxy, QSize(40, 30));
  s.model->addRepairStroke(
      {QPointF(0.1, 0.5), QPointF(0.5, 0.5), QPointF(1.4, 0.5), QPointF(0.5, 0.6)});
  s.wait(1);
  // 0.4 of 40 pixels at a spacing of 1.2 pixels, then 0.1 of 30 pixels at the same spacing.
  ASSERT_GE(spots().size(), 14u);
  EXPECT_EQ(s.model->repairCount(), 1);
  const Spot& first = spots().front();
  EXPECT_NEAR(first.x, 0.1, 1e-9);
  EXPECT_NEAR(spots().back().y, 0.6, 1e-9);
  ASSERT_TRUE(first.sx && first.group);
  for (const Spot& spot : spots()) {
    EXPECT_EQ(spot.group, first.group);
    ASSERT_TRUE(spot.sx && spot.sy);
    EXPECT_NEAR(*spot.sx - spot.x, *first.sx - first.x, 1e-9);
    EXPECT_NEAR(*spot.sy - spot.y, *first.sy - first.y, 1e-9);
  }
}

// A source point moves a whole drag by the offset of its first point and is used up; the fill
// tool ignores it and leaves it for later.
TEST_F(HealingOnAScan, StrokeFromASourcePoint) {
  s.model->setSpotBrush(0.05);
  s.model->chooseHealTool(SpotKind::clone);
  s.model->setHealSource(QPointF(0.3, 0.2));
  s.model->addRepairStroke({QPointF(0.5, 0.5), QPointF(0.7, 0.5)});
  EXPECT_FALSE(s.model->healSource());
  s.wait(1);
  ASSERT_GT(spots().size(), 2u);
  for (const Spot& spot : spots()) {
    EXPECT_EQ(spot.kind, SpotKind::clone);
    EXPECT_NEAR(*spot.sx, spot.x - 0.2, 1e-9);
    EXPECT_NEAR(*spot.sy, spot.y - 0.3, 1e-9);
  }

  s.model->restoreSpots({});
  s.model->chooseHealTool(SpotKind::fill);
  s.model->setHealSource(QPointF(0.3, 0.2));
  s.model->addRepairStroke({QPointF(0.5, 0.5), QPointF(0.7, 0.5)});
  s.wait(1);
  EXPECT_TRUE(s.model->healSource());
  ASSERT_GT(spots().size(), 2u);
  EXPECT_EQ(spots()[0].kind, SpotKind::fill);
  EXPECT_GT(std::abs(*spots()[0].sx - 0.3), 1e-6) << "a source of its own";
}

// The source search of a repair runs while the user goes on; what changed meanwhile decides
// whether the repair still belongs to the scan as shown.
TEST_F(HealingOnAScan, LateRepairsAreDroppedWhenTheScanChanged) {
  struct Case {
    const char* name;
    std::function<void(EditSession&)> meanwhile;
    bool wantAdded;
  };
  const std::vector<Case> cases = {
      {"nothing", [](EditSession&) {}, true},
      {"a tone edit", [](EditSession& s) { s.touch(); }, true},
      {"another scan selected", [](EditSession& s) { s.select(1); }, false},
      {"another scan and back",
       [](EditSession& s) {
         s.select(1);
         s.select(0);
       },
       true},
      {"healing cancelled", [](EditSession& s) { s.model->cancelHealing(); }, false},
      {"cancelled and healing again",
       [](EditSession& s) {
         s.model->cancelHealing();
         s.model->chooseHealTool(SpotKind::heal);
       },
       false},
      {"a quarter turn", [](EditSession& s) { s.model->rotateSelected(1); }, false},
      {"turned all the way round", [](EditSession& s) { s.model->rotateSelected(4); }, true},
      {"mirrored", [](EditSession& s) { s.model->mirrorSelected(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s.model->restoreSpots({});
    s.model->previewRenderer().hold();
    s.model->addRepairSpot(0.5, 0.5);
    s.model->addRepairStroke({QPointF(0.2, 0.2), QPointF(0.3, 0.3)});
    c.meanwhile(s);
    EXPECT_TRUE(spots().empty());
    s.model->previewRenderer().release();
    s.wait(1);
    EXPECT_EQ(s.model->repairCount(), c.wantAdded ? 2 : 0);
    EXPECT_TRUE(s.settings(1).spots.empty());
    s.select(0);
    s.model->setSpotMode(true);
    s.wait(1);
  }
}

// Repairs already on the scan with positions no picture has do not stop a new one.
TEST_F(HealingOnAScan, OddRepairsOnTheRecord) {
  std::vector<ImageItem> items = s.model->items();
  Spot far = makeSpot(1e300, -1e300, 0.01);
  Spot huge = makeSpot(0.9, 0.9, 1e300);
  huge.group = Uuid::random();
  items[0].settings.spots = {far, huge};
  s.model->setItems(items);
  s.model->addRepairSpot(0.5, 0.5);
  s.model->addRepairStroke({QPointF(0.2, 0.2), QPointF(0.4, 0.3)});
  s.wait(1);
  ASSERT_GT(spots().size(), 3u);
  EXPECT_TRUE(spots()[2].sx);
  EXPECT_TRUE(spots().back().sx);
}

// A scan that can no longer be decoded still gets its repair, to be given a source when it is
// rendered; a model that goes while a search waits is not touched afterwards.
TEST_F(HealingOnAScan, WithoutAPictureToSearch) {
  std::filesystem::remove(s.model->items()[0].url);
  s.model->previewRenderer().clear();
  s.model->addRepairSpot(0.5, 0.5);
  s.wait(1);
  ASSERT_EQ(spots().size(), 1u);
  EXPECT_FALSE(spots()[0].sx);

  s.model->previewRenderer().hold();
  s.model->addRepairSpot(0.6, 0.6);
  s.model.reset();
}

}  // namespace
