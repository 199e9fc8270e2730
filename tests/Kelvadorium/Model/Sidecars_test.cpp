// Sidecar saving: one write per burst of changes, 0.4 s after the last, with the record the scan
// has then; pending saves written at once before scans leave; a folder that cannot be written
// told once per run.
#include <gtest/gtest.h>

#include <fstream>

#include "EditSession.h"
#include "Export/FolderEdits.h"
#include "TestSupport/ReadOnlyFolder.h"

namespace {

std::filesystem::path sidecar(const EditSession& s) { return s.folder / ".kelvadorium-edits.json"; }

std::optional<ConversionSettings> stored(const EditSession& s, size_t i) {
  return FolderEdits::settings(s.model->items()[i].url);
}

TEST(Sidecars, ABurstOfChangesIsWrittenOnceAfterTheLastWithTheFinalRecord) {
  EditSession s(1);
  s.select(0);
  for (int i = 0; i < 10; ++i) {
    s.touch();
    s.wait(0.1);
    ASSERT_FALSE(std::filesystem::exists(sidecar(s))) << i;
  }
  s.wait(0.29);
  EXPECT_FALSE(std::filesystem::exists(sidecar(s)));
  s.wait(0.02);
  ASSERT_EQ(stored(s, 0), s.settings(0));
  EXPECT_EQ(s.settings(0).exposure, 10);
  std::filesystem::remove(sidecar(s));
  s.wait(5);
  EXPECT_FALSE(std::filesystem::exists(sidecar(s)));
}

TEST(Sidecars, TwoScansOfOneFolderBothEndUpInItsSidecar) {
  EditSession s(2);
  s.select(0);
  s.touch();
  s.wait(0.1);
  s.select(1);
  s.touch();
  s.wait(0.5);
  EXPECT_EQ(stored(s, 0), s.settings(0));
  EXPECT_EQ(stored(s, 1), s.settings(1));
}

TEST(Sidecars, AScanRemovedBeforeItsWriteIsNotWritten) {
  EditSession s(2);
  s.select(0);
  s.touch();
  s.model->setItems({s.model->items()[1]});
  s.wait(1);
  EXPECT_FALSE(std::filesystem::exists(sidecar(s)));
}

// Removing a scan or clearing the session right after an edit keeps the edit beside the scan.
TEST(Sidecars, RemovingOrClearingWritesTheWaitingEditFirst) {
  for (const bool clear : {false, true}) {
    SCOPED_TRACE(clear ? "Clear Images" : "Remove from List");
    EditSession s(2);
    s.select(0);
    s.touch();
    const ConversionSettings edited = s.settings(0);
    const std::filesystem::path url = s.model->items()[0].url;
    if (clear) {
      s.model->closeSession();
    } else {
      s.model->removeItems({s.model->items()[0].id});
    }
    EXPECT_EQ(FolderEdits::settings(url), edited);
    s.wait(1);
    EXPECT_EQ(FolderEdits::settings(url), edited);
  }
}

TEST(Sidecars, SwitchedOffStopsNewWritesButNotAPendingOne) {
  EditSession s(2);
  s.select(0);
  s.touch();
  s.model->setSaveSidecars(false);
  s.select(1);
  s.touch();
  s.wait(1);
  EXPECT_EQ(stored(s, 0), s.settings(0));
  EXPECT_EQ(stored(s, 1), std::nullopt);
}

// Scans leave the session and the program quits without losing an edit still waiting.
TEST(Sidecars, FlushingWritesPendingSavesAtOnceAndOnlyThose) {
  EditSession s(2);
  s.select(0);
  s.touch();
  s.wait(1);
  std::filesystem::remove(sidecar(s));
  s.select(1);
  s.touch();
  s.model->flushSidecarSaves();
  EXPECT_EQ(stored(s, 1), s.settings(1));
  EXPECT_EQ(stored(s, 0), std::nullopt);
  std::filesystem::remove(sidecar(s));
  s.wait(1);
  EXPECT_FALSE(std::filesystem::exists(sidecar(s)));
}

TEST(Sidecars, AReadOnlyFolderIsToldOncePerRun) {
  EditSession s(2);
  const QString expected =
      "Edits can't be saved in the scans' folder (it is read-only). They are kept for this "
      "session; save a project to keep them.";
  {
    ReadOnlyFolder readOnly(s.folder.path());
    s.select(0);
    s.touch();
    s.wait(0.5);
    EXPECT_EQ(s.model->notice(), expected);
    s.model->setNotice(std::nullopt);
    s.select(1);
    s.touch();
    s.wait(0.5);
    EXPECT_EQ(s.model->notice(), std::nullopt);
  }
  EXPECT_EQ(s.settings(1).exposure, 2);
  EXPECT_FALSE(std::filesystem::exists(sidecar(s)));
}

TEST(Sidecars, ADamagedSidecarIsSetAsideAndWrittenAgain) {
  EditSession s(1);
  std::ofstream(sidecar(s)) << "{ not json";
  s.select(0);
  s.touch();
  s.wait(0.5);
  EXPECT_EQ(stored(s, 0), s.settings(0));
  EXPECT_EQ(s.model->notice(), std::nullopt);
}

}  // namespace
