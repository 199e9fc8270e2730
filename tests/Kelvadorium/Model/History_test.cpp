// Undo and redo: merging rapid edits of one scan, groups of several scans, the cap on the
// history, what undo selects, and changes made outside the history.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "EditSession.h"

namespace {

// One step of a merge scenario: wait, then act on scan A (0) or B (1).
struct Step {
  enum Kind { edit, grouped, undo, redo } kind;
  double waitBefore = 0;
  size_t scan = 0;
};

void run(EditSession& s, const Step& step) {
  s.wait(step.waitBefore);
  switch (step.kind) {
    case Step::edit:
      s.select(step.scan);
      s.touch();
      return;
    case Step::grouped:
      s.model->editScans({s.id(step.scan)},
                         [&](ConversionSettings& r) { r.exposure = ++s.counter; });
      return;
    case Step::undo:
      s.model->undo();
      return;
    case Step::redo:
      s.model->redo();
      return;
  }
}

TEST(History, MergesOnlyEditsOfOneScanLessThanPointSevenSecondsApart) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    size_t entries;
  };
  std::vector<Step> dragged{{Step::edit, 0, 0}};
  for (int i = 0; i < 16; ++i) dragged.push_back({Step::edit, 0.3, 0});
  const std::vector<Case> cases = {
      {"0.5 s apart", {{Step::edit, 0, 0}, {Step::edit, 0.5, 0}}, 1},
      {"every 0.3 s for 5 s", dragged, 1},
      {"0.8 s apart", {{Step::edit, 0, 0}, {Step::edit, 0.8, 0}}, 2},
      {"exactly 0.7 s apart", {{Step::edit, 0, 0}, {Step::edit, 0.7, 0}}, 2},
      {"A then B", {{Step::edit, 0, 0}, {Step::edit, 0.1, 1}}, 2},
      {"after a grouped edit", {{Step::grouped, 0, 0}, {Step::edit, 0.1, 0}}, 2},
      {"after an undo",
       {{Step::edit, 0, 0}, {Step::edit, 0.1, 1}, {Step::undo, 0.1}, {Step::edit, 0.1, 0}},
       2},
      {"after a redo",
       {{Step::edit, 0, 0}, {Step::undo, 0.1}, {Step::redo, 0.1}, {Step::edit, 0.1, 0}},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession s(2);
    const ConversionSettings original = s.settings(0);
    for (const Step& step : c.steps) run(s, step);
    ASSERT_EQ(s.undoStack().size(), c.entries);
    EXPECT_EQ(s.undoStack().front().before, original);
    EXPECT_TRUE(s.model->canUndo());
    EXPECT_FALSE(s.model->canRedo());
  }
}

TEST(History, AMergedDragUndoesToTheRecordBeforeItInOneStep) {
  EditSession s(1);
  s.select(0);
  const ConversionSettings original = s.settings(0);
  s.touch();
  s.wait(0.5);
  s.touch();
  EXPECT_EQ(s.undoStack().back().after, s.settings(0));
  s.model->undo();
  EXPECT_EQ(s.settings(0), original);
  EXPECT_FALSE(s.model->canUndo());
  EXPECT_TRUE(s.model->canRedo());
  s.model->redo();
  EXPECT_EQ(s.settings(0).exposure, 2);
}

TEST(History, AnyNewEditEmptiesTheRedoStack) {
  EditSession s(2);
  s.select(0);
  s.touch();
  s.model->undo();
  ASSERT_TRUE(s.model->canRedo());
  s.select(1);
  s.touch();
  EXPECT_TRUE(s.redoStack().empty());
  EXPECT_FALSE(s.model->canRedo());
}

// Undo restores a group newest first, redo oldest first; both are one step.
TEST(History, AGroupUndoesInReverseAndRedoesInRecordedOrder) {
  EditSession s(3);
  std::vector<ConversionSettings> seen;
  for (size_t i = 0; i < 3; ++i) seen.push_back(s.settings(i));
  std::vector<size_t> order;
  QObject::connect(s.model.get(), &AppModel::itemsChanged, [&] {
    for (size_t i = 0; i < 3; ++i) {
      if (s.settings(i) == seen[i]) continue;
      order.push_back(i);
      seen[i] = s.settings(i);
    }
  });
  s.model->editScans({s.id(0), s.id(1), s.id(2)}, [](ConversionSettings& r) { r.exposure = 1; });
  EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2}));
  order.clear();
  s.model->undo();
  EXPECT_EQ(order, (std::vector<size_t>{2, 1, 0}));
  EXPECT_FALSE(s.model->canUndo());
  order.clear();
  s.model->redo();
  EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2}));
  EXPECT_FALSE(s.model->canRedo());
}

TEST(History, UndoSelectsTheEditedScanOnlyWhileNothingIsMarked) {
  for (bool marks : {false, true}) {
    SCOPED_TRACE(marks ? "a scan marked" : "no marks");
    EditSession s(3);
    s.select(1);
    s.touch();
    s.select(0);
    if (marks) s.model->setMarked({s.id(2)});
    s.model->undo();
    EXPECT_EQ(s.model->selection(), marks ? s.id(0) : s.id(1));
    EXPECT_TRUE(s.model->hasUnsavedChanges());
  }
}

TEST(History, AnEntryOfARemovedScanChangesNothingAndStillMoves) {
  EditSession s(2);
  s.select(1);
  s.touch();
  s.select(0);
  std::vector<ImageItem> kept{s.model->items()[0]};
  s.model->setItems(kept);
  QSignalSpy itemWrites(s.model.get(), &AppModel::itemsChanged);
  s.model->undo();
  EXPECT_EQ(itemWrites.count(), 0);
  EXPECT_EQ(s.model->selection(), s.id(0));
  EXPECT_TRUE(s.undoStack().empty());
  EXPECT_EQ(s.redoStack().size(), 1u);
  EXPECT_TRUE(s.model->canRedo());
}

TEST(History, UndoAndRedoOnEmptyStacksChangeNothing) {
  EditSession s(1);
  s.select(0);
  s.model->setHasUnsavedChanges(false);
  const Clock::Moment marker = s.services.clock.now();
  s.model->plain().lastEditTime = marker;
  QSignalSpy undoFlag(s.model.get(), &AppModel::canUndoChanged);
  QSignalSpy redoFlag(s.model.get(), &AppModel::canRedoChanged);
  QSignalSpy itemWrites(s.model.get(), &AppModel::itemsChanged);
  s.model->undo();
  s.model->redo();
  EXPECT_EQ(s.model->plain().lastEditTime, marker);
  EXPECT_EQ(undoFlag.count() + redoFlag.count() + itemWrites.count(), 0);
  EXPECT_FALSE(s.model->hasUnsavedChanges());
}

TEST(History, TheCapKeepsThreeHundredEntriesDroppingTheOldest) {
  EditSession s(2);
  for (int i = 0; i < 301; ++i) {
    s.select(static_cast<size_t>(i % 2));
    s.touch();
  }
  ASSERT_EQ(s.undoStack().size(), 300u);
  EXPECT_EQ(s.undoStack().front().after.exposure, 2);
}

// The cap evicts whole groups and never splits the newest one.
TEST(History, TheCapEvictsWholeGroupsAndKeepsTheNewestWhole) {
  {
    SCOPED_TRACE("an old group of three leaves whole");
    EditSession s(3);
    s.model->editScans({s.id(0), s.id(1), s.id(2)}, [](ConversionSettings& r) { r.exposure = -1; });
    for (int i = 0; i < 298; ++i) {
      s.select(static_cast<size_t>(i % 2));
      s.touch();
    }
    EXPECT_EQ(s.undoStack().size(), 298u);
    EXPECT_NE(s.undoStack().front().before.exposure, 0);
  }
  {
    SCOPED_TRACE("a paste onto 350 scans undoes all of them");
    EditSession s(350);
    s.select(0);
    s.touch();
    std::vector<Uuid> all;
    for (const ImageItem& item : s.model->items()) all.push_back(item.id);
    s.model->editScans(all, [](ConversionSettings& r) { r.contrast = 1.5; });
    EXPECT_EQ(s.undoStack().size(), 350u);
    s.model->undo();
    for (size_t i = 0; i < 350; ++i) ASSERT_EQ(s.settings(i).contrast, 1.0) << i;
    EXPECT_FALSE(s.model->canUndo());
  }
}

// A film-information edit after an exposure edit survives undo and redo of the exposure.
TEST(History, ChangesOutsideTheHistoryOutliveUndoAndRedo) {
  EditSession s(2);
  s.select(0);
  s.touch();
  s.select(1);
  s.touch();
  s.select(0);
  s.model->setFilmInfoValue("Mamiya 7", &FilmInfo::camera);
  s.model->undo();  // scan 1's edit
  s.model->undo();  // scan 0's edit
  EXPECT_EQ(s.settings(0).exposure, 0);
  EXPECT_EQ(s.settings(0).filmInfo.camera, "Mamiya 7");
  s.model->redo();
  EXPECT_EQ(s.settings(0).exposure, 1);
  EXPECT_EQ(s.settings(0).filmInfo.camera, "Mamiya 7");
  EXPECT_EQ(s.settings(1).filmInfo.camera, "");
}

}  // namespace
