// Finding and removing dust: which scans help a find, one find at a time and only for the scan
// it began on, the finds that stay, what a removal adds to the record and tells the user, and
// finds that no longer fit the scan.
#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <memory>

#include "Model/AppModel.h"
#include "Model/DustFinds.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace {

Spot speck(double x, std::optional<double> score) {
  Spot spot = makeSpot(x, 0.5, 0.004, x + 0.05, 0.5);
  spot.score = score;
  return spot;
}

// A hair: three spots of one group.
std::vector<Spot> hair(double x, std::optional<double> score) {
  const Uuid group = Uuid::random();
  std::vector<Spot> spots;
  for (int i = 0; i < 3; ++i) {
    Spot spot = speck(x + 0.01 * i, score);
    spot.group = group;
    spot.feather = 0.4;
    spot.opacity = 0.9;
    spots.push_back(spot);
  }
  return spots;
}

// Three small scans of one folder, the first selected and settled.
struct DustSession {
  DustSession() {
    std::vector<ImageItem> list;
    for (const char* name : {"s0.tif", "s1.tif", "s2.tif"}) {
      ImageItem item;
      item.url = dir / name;
      ScanFixtures::writeTiff(item.url, {});
      list.push_back(item);
    }
    model.setItems(list);
    model.setSelection(id(0));
    settle();
  }
  const Uuid& id(size_t i) const { return model.items()[i].id; }
  const std::vector<Spot>& spots() const { return model.items()[0].settings.spots; }
  size_t steps() const { return model.plain().undoStack.size(); }
  void settle() { services.clock.advance(seconds(1)); }
  // A find on the selected scan that has come back, then the given finds shown for it as a
  // find leaves them: the faint ones kept.
  void found(std::vector<std::vector<Spot>> candidates) {
    model.findDust();
    settle();
    model.setNotice(std::nullopt);
    model.setKeptDust(DustFinds::faintIDs(candidates));
    model.setDustCandidates(std::move(candidates));
  }

  TempDir dir;
  TestServices services;
  AppModel model{services.services()};
};

const QString noDust = "No dust found. Raise Sensitivity to look for fainter specks.";

TEST(DustFinds, SampleIndices) {
  struct Case {
    const char* name;
    std::vector<std::filesystem::path> scans;
    size_t selected;
    std::vector<size_t> want;
  };
  const std::vector<std::filesystem::path> roll = {"/roll/a.tif", "/roll/b.tif", "/roll/c.tif",
                                                   "/roll/d.tif", "/roll/e.tif", "/roll/f.tif"};
  const std::vector<Case> cases = {
      {"D of A to F: C, E, B, F", roll, 3, {2, 4, 1, 5}},
      {"the first takes the next four", roll, 0, {1, 2, 3, 4}},
      {"the last takes the four before it", roll, 5, {4, 3, 2, 1}},
      {"alone in its folder", {"/roll/a.tif", "/other/b.tif", "/roll/sub/c.tif"}, 0, {}},
      {"other folders between",
       {"/roll/a.tif", "/other/b.tif", "/roll/c.tif", "/other/d.tif", "/roll/e.tif"},
       2,
       {0, 4}},
      {"an index past the list", roll, 6, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DustFinds::sampleIndices(c.scans, c.selected), c.want);
  }
}

TEST(DustFinds, FaintAndCandidateID) {
  struct Case {
    const char* name;
    std::vector<std::optional<double>> scores;
    bool faint;
  };
  const std::vector<Case> cases = {
      {"no score", {std::nullopt}, false},
      {"below a half", {0.49}, true},
      {"a half", {0.5}, false},
      {"only a later spot faint", {0.9, 0.1}, false},
      {"the first spot faint", {0.1, 0.9}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Spot> candidate;
    for (const auto& score : c.scores) candidate.push_back(speck(0.5, score));
    EXPECT_EQ(DustFinds::isFaint(candidate), c.faint);
    EXPECT_EQ(DustFinds::candidateID(candidate), candidate[0].id);
  }
  const std::vector<Spot> chain = hair(0.2, 0.1);
  EXPECT_EQ(DustFinds::candidateID(chain), *chain[0].group);
  EXPECT_EQ(DustFinds::faintIDs({chain, {speck(0.1, 0.7)}}), std::set<Uuid>{*chain[0].group});
}

TEST(DustFinds, RemovalNotice) {
  EXPECT_EQ(DustFinds::removalNotice(0, "Ctrl+Z"), "Removed 0 dust specks.");
  EXPECT_EQ(DustFinds::removalNotice(1, "Ctrl+Z"),
            "Removed 1 dust speck. Ctrl+Z brings them back; Select Repairs shows each one.");
  EXPECT_EQ(DustFinds::removalNotice(12, "Ctrl+Z"),
            "Removed 12 dust specks. Ctrl+Z brings them back; Select Repairs shows each one.");
}

// A find switches the painting tools off in order, leaves white-balance picking alone, runs
// once however often it is asked for, and tells when it found nothing.
TEST(FindDust, OneFindAtATime) {
  DustSession s;
  std::string writes;
  const auto log = [&](void (AppModel::*signal)(), std::string name,
                       bool (AppModel::*flag)() const) {
    QObject::connect(&s.model, signal, &s.model, [&s, &writes, name, flag] {
      if (!writes.empty()) writes += ' ';
      writes += name;
      writes += (s.model.*flag)() ? '+' : '-';
    });
  };
  log(&AppModel::isFindingDustChanged, "finding", &AppModel::isFindingDust);
  log(&AppModel::spotModeChanged, "heal", &AppModel::spotMode);
  log(&AppModel::dodgeModeChanged, "dodge", &AppModel::dodgeMode);
  log(&AppModel::redEyeModeChanged, "redEye", &AppModel::redEyeMode);
  log(&AppModel::cropModeChanged, "crop", &AppModel::cropMode);
  log(&AppModel::wbPickModeChanged, "wb", &AppModel::wbPickMode);
  s.model.setDodgeMode(true);
  writes.clear();

  s.model.previewRenderer().hold();
  s.model.findDust();
  EXPECT_EQ(writes, "finding+ heal- dodge- redEye- crop-");
  EXPECT_TRUE(s.model.isFindingDust());
  s.model.findDust();
  EXPECT_EQ(s.services.telemetry.events, QStringList{"dust.find"});

  s.model.previewRenderer().release();
  s.settle();
  EXPECT_FALSE(s.model.isFindingDust());
  EXPECT_TRUE(s.model.dustCandidates().empty());
  EXPECT_EQ(s.model.notice(), noDust);
  EXPECT_EQ(s.model.plain().dustFor, s.id(0));

  // White-balance picking stays on through a find.
  s.model.setNotice(std::nullopt);
  s.model.setWbPickMode(true);
  s.model.findDust();
  EXPECT_TRUE(s.model.wbPickMode());
  s.settle();
  EXPECT_EQ(s.services.telemetry.events, (QStringList{"dust.find", "dust.find"}));
}

// The model may go while its find waits on the renderer; nothing of it runs afterwards.
TEST(FindDust, ModelGoesWhileFinding) {
  auto s = std::make_unique<DustSession>();
  s->model.previewRenderer().hold();
  s->model.findDust();
  s.reset();
  VirtualClock::settle();
}

TEST(FindDust, NothingWithoutASelectedScan) {
  DustSession s;
  s.model.setSelection(std::nullopt);
  s.model.findDust();
  s.settle();
  EXPECT_FALSE(s.model.isFindingDust());
  EXPECT_FALSE(s.model.notice());
  EXPECT_TRUE(s.services.telemetry.events.isEmpty());
}

// The result of a find that another scan's selection overtook is dropped on arrival; the
// earlier finds went with the selection change.
TEST(FindDust, SelectionChangeDropsTheResult) {
  DustSession s;
  s.found({{speck(0.3, 0.9)}});
  s.model.previewRenderer().hold();
  s.model.findDust();
  s.model.setSelection(s.id(1));
  EXPECT_TRUE(s.model.dustCandidates().empty());
  EXPECT_TRUE(s.model.keptDust().empty());
  s.model.previewRenderer().release();
  s.settle();
  EXPECT_FALSE(s.model.isFindingDust());
  EXPECT_TRUE(s.model.dustCandidates().empty());
  EXPECT_FALSE(s.model.notice());
  EXPECT_FALSE(s.model.plain().dustFor);
}

TEST(FindDust, ScanThatCannotBeReadFindsNothing) {
  DustSession s;
  std::filesystem::remove(s.model.items()[2].url);
  s.model.setSelection(s.id(2));
  s.settle();
  s.model.setErrorMessage(std::nullopt);
  s.model.findDust();
  s.settle();
  EXPECT_FALSE(s.model.isFindingDust());
  EXPECT_TRUE(s.model.dustCandidates().empty());
  EXPECT_EQ(s.model.notice(), noDust);
  EXPECT_EQ(s.model.plain().dustFor, s.id(2));
  EXPECT_FALSE(s.model.errorMessage());
}

TEST(FindDust, FaintAndKeptFinds) {
  DustSession s;
  const std::vector<Spot> faint = {speck(0.2, 0.3)};
  const std::vector<Spot> plain = {speck(0.4, 0.8)};
  s.found({faint, plain});
  EXPECT_TRUE(s.model.isFaintDust(faint[0].id));
  EXPECT_FALSE(s.model.isFaintDust(plain[0].id));
  EXPECT_FALSE(s.model.isFaintDust(Uuid::random()));

  const std::set<Uuid> kept = s.model.keptDust();
  EXPECT_EQ(kept, std::set<Uuid>{faint[0].id});
  s.model.toggleKeptDust(plain[0].id);
  EXPECT_EQ(s.model.keptDust(), (std::set<Uuid>{faint[0].id, plain[0].id}));
  s.model.toggleKeptDust(plain[0].id);
  EXPECT_EQ(s.model.keptDust(), kept);
  s.model.toggleKeptDust(faint[0].id);
  EXPECT_TRUE(s.model.keptDust().empty());
}

// Removing right after a find heals the finds that are not faint, a hair as one repair, each
// spot as the pass made it but a heal without a score, after the repairs there were; one undo
// takes them all back.
TEST(RemoveDust, HealsTheFindsThatDoNotStay) {
  DustSession s;
  const Spot earlier = makeSpot(0.9, 0.9, 0.01);
  s.model.appendSpot(earlier);
  s.settle();
  const std::vector<Spot> a = {speck(0.1, 0.9)};
  const std::vector<Spot> b = hair(0.3, std::nullopt);
  const std::vector<Spot> c = {speck(0.5, 0.2)};
  const std::vector<Spot> d = {speck(0.7, 1)};
  s.found({a, b, c, d});
  const size_t steps = s.steps();
  s.model.removeDust();

  std::vector<Spot> want = {earlier, a[0], b[0], b[1], b[2], d[0]};
  for (size_t i = 1; i < want.size(); ++i) {
    want[i].kind = SpotKind::heal;
    want[i].score.reset();
  }
  EXPECT_EQ(s.spots(), want);
  EXPECT_EQ(s.model.notice(),
            "Removed 3 dust specks. Ctrl+Z brings them back; Select Repairs shows each one.");
  EXPECT_TRUE(s.model.dustCandidates().empty());
  EXPECT_TRUE(s.model.keptDust().empty());
  EXPECT_EQ(s.model.plain().dustFor, s.id(0));
  EXPECT_EQ(s.services.telemetry.events.back(), "dust.remove");

  EXPECT_EQ(s.steps(), steps + 1);
  s.model.undo();
  EXPECT_EQ(s.spots(), std::vector<Spot>{earlier});
}

// The count in the notice, and a removal that adds nothing: no undo step, no undo hint.
TEST(RemoveDust, Counts) {
  struct Case {
    const char* name;
    std::vector<std::vector<Spot>> candidates;
    size_t keptByUser;  // candidates toggled to stay, from the front
    const char* notice;
  };
  const std::vector<Case> cases = {
      {"one",
       {{speck(0.1, 0.9)}},
       0,
       "Removed 1 dust speck. Ctrl+Z brings them back; Select Repairs shows each one."},
      {"three, a faint one staying",
       {{speck(0.1, 0.9)}, {speck(0.2, 0.1)}, hair(0.4, 1), {speck(0.6, std::nullopt)}},
       0,
       "Removed 3 dust specks. Ctrl+Z brings them back; Select Repairs shows each one."},
      {"all staying", {{speck(0.1, 0.9)}, {speck(0.2, 0.1)}}, 1, "Removed 0 dust specks."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DustSession s;
    s.found(c.candidates);
    for (size_t i = 0; i < c.keptByUser; ++i) {
      s.model.toggleKeptDust(DustFinds::candidateID(c.candidates[i]));
    }
    // A stray id the user never saw does not change the count.
    s.model.toggleKeptDust(Uuid::random());
    const size_t steps = s.steps();
    s.model.removeDust();
    EXPECT_EQ(s.model.notice(), c.notice);
    EXPECT_EQ(s.steps(), steps + (s.spots().empty() ? 0 : 1));
    EXPECT_TRUE(s.model.dustCandidates().empty());
  }
}

// Finds for another scan, or found before the scan was turned or mirrored, are cleared and
// never placed: their coordinates no longer fit the picture.
TEST(RemoveDust, FindsThatNoLongerFit) {
  struct Case {
    const char* name;
    std::function<void(DustSession&)> between;
  };
  const std::vector<Case> cases = {
      {"another scan's finds", [](DustSession& s) { s.model.plain().dustFor = s.id(1); }},
      {"turned a quarter", [](DustSession& s) { s.model.rotateSelected(1); }},
      {"mirrored", [](DustSession& s) { s.model.mirrorSelected(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DustSession s;
    s.found({{speck(0.1, 0.9)}, hair(0.3, 1)});
    c.between(s);
    const ConversionSettings before = s.model.items()[0].settings;
    const size_t steps = s.steps();
    s.model.removeDust();
    EXPECT_EQ(s.model.items()[0].settings, before);
    EXPECT_EQ(s.steps(), steps);
    EXPECT_TRUE(s.model.dustCandidates().empty());
    EXPECT_FALSE(s.model.plain().dustFor);
    EXPECT_FALSE(s.model.notice());
  }
}

// The orientation that counts is the one the find began with: a turn while the pass runs
// makes its finds stale too, and four turns make them fit again.
TEST(RemoveDust, TurnedWhileFinding) {
  DustSession s;
  s.model.previewRenderer().hold();
  s.model.findDust();
  s.model.rotateSelected(1);
  s.model.previewRenderer().release();
  s.settle();
  s.model.setDustCandidates({{speck(0.1, 0.9)}});
  s.model.removeDust();
  EXPECT_TRUE(s.spots().empty());
  EXPECT_TRUE(s.model.dustCandidates().empty());

  s.found({{speck(0.1, 0.9)}});
  for (int i = 0; i < 4; ++i) s.model.rotateSelected(1);
  s.model.removeDust();
  EXPECT_EQ(s.spots().size(), 1u);
}

}  // namespace
