// The folder sidecar: one file per folder holding every scan's record, per-image sidecars
// taken over, and nothing of a user's edits lost to a damaged file, a read-only folder,
// another writer (thread or process), overflowing legacy values, names that are not UTF-8,
// linked or read-only sidecars and the leftovers of a killed save.
#include "Export/FolderEdits.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "Export/ProjectFile.h"
#include "Export/SettingsSidecar.h"
#include "Support/StoredName.h"
#include "TestSupport/ChildProcess.h"
#include "TestSupport/ReadOnlyFolder.h"
#include "TestSupport/TempDir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

ConversionSettings withExposure(double exposure) {
  ConversionSettings s;
  s.exposure = exposure;
  return s;
}

std::string recordText(double exposure) { return toJson(withExposure(exposure)).dump(); }

// "kelvadorium-edits-damaged-YYYYMMDD-HHMMSS.json", or with "-2", "-3", … before ".json".
bool isBackupName(const std::string& name) {
  const std::string prefix = "kelvadorium-edits-damaged-";
  if (!name.starts_with(prefix) || !name.ends_with(".json")) return false;
  const std::string stamp = name.substr(prefix.size(), name.size() - prefix.size() - 5);
  if (stamp.size() < 15 || stamp[8] != '-') return false;
  for (size_t i = 0; i < stamp.size(); ++i) {
    const bool digit = stamp[i] >= '0' && stamp[i] <= '9';
    if (i == 8 || (i == 15 && stamp.size() > 16)) {
      if (stamp[i] != '-') return false;
    } else if (!digit) {
      return false;
    }
  }
  return true;
}

// The backups of damaged sidecars in a folder.
std::vector<fs::path> backups(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder))
    if (isBackupName(entry.path().filename().string())) found.push_back(entry.path());
  return found;
}

Json sidecarJson(const fs::path& folder) {
  return Json::parse(readText(FolderEdits::fileURL(folder)));
}

TEST(FolderEdits, StoringTwoScansLeavesOneSortedSidecarWithBoth) {
  TempDir dir;
  EXPECT_EQ(FolderEdits::settings(dir / "IMG_2.CR3"), std::nullopt);
  FolderEdits::setSettings(withExposure(0.5), dir / "IMG_2.CR3");

  Json json = sidecarJson(dir.path());
  EXPECT_EQ(json["version"], 1);
  EXPECT_EQ(json["scans"].size(), 1u);

  FolderEdits::setSettings(withExposure(-1.25), dir / "IMG_1.CR3");
  const std::string text = readText(FolderEdits::fileURL(dir.path()));
  EXPECT_LT(text.find("\"scans\""), text.find("\"version\""));
  EXPECT_LT(text.find("IMG_1.CR3"), text.find("IMG_2.CR3"));
  EXPECT_NE(text.find("\n    \"IMG_1.CR3\": {"), std::string::npos) << "pretty-printed";
  json = Json::parse(text);
  EXPECT_EQ(text, json.dump(2) + "\n");
  EXPECT_EQ(json.size(), 2u);
  EXPECT_EQ(json["scans"]["IMG_1.CR3"], toJson(withExposure(-1.25)));
  EXPECT_EQ(json["scans"]["IMG_2.CR3"], toJson(withExposure(0.5)));

  EXPECT_EQ(FolderEdits::settings(dir / "IMG_1.CR3"), withExposure(-1.25));
  EXPECT_EQ(FolderEdits::settings(dir / "IMG_2.CR3"), withExposure(0.5));
  EXPECT_EQ(fs::directory_iterator(dir.path())->path().filename(), ".kelvadorium-edits.json");
}

TEST(FolderEdits, FileNamesCompareExactly) {
  TempDir dir;
  FolderEdits::setSettings(withExposure(1), dir / "IMG_1.tif");
  FolderEdits::setSettings(withExposure(2), dir / "img_1.tif");
  EXPECT_EQ(FolderEdits::settings(dir / "IMG_1.tif"), withExposure(1));
  EXPECT_EQ(FolderEdits::settings(dir / "img_1.tif"), withExposure(2));
  EXPECT_EQ(FolderEdits::settings(dir / "IMG_1.TIF"), std::nullopt);
  EXPECT_EQ(sidecarJson(dir.path())["scans"].size(), 2u);
}

TEST(FolderEdits, KeepsTheStoredVersion) {
  TempDir dir;
  writeText(FolderEdits::fileURL(dir.path()),
            R"({"version": 3, "extra": true, "scans": {"a.tif": )" + recordText(0.25) + "}}");
  FolderEdits::setSettings(withExposure(1), dir / "b.tif");
  const Json json = sidecarJson(dir.path());
  EXPECT_EQ(json["version"], 3);
  EXPECT_FALSE(json.contains("extra"));
  EXPECT_EQ(json["scans"]["a.tif"], toJson(withExposure(0.25)));
  EXPECT_TRUE(backups(dir.path()).empty());
}

TEST(FolderEdits, StoringTakesOverThePerImageSidecars) {
  TempDir dir;
  const fs::path image = dir / "IMG_1.CR3";
  writeText(dir / "IMG_1.CR3.kelvadorium.json", recordText(0.5));
  writeText(dir / "IMG_1.CR3.tressimbora.json", recordText(0.25));
  writeText(dir / "IMG_2.CR3.kelvadorium.json", recordText(0.75));
  FolderEdits::setSettings(withExposure(1), image);
  EXPECT_FALSE(fs::exists(dir / "IMG_1.CR3.kelvadorium.json"));
  EXPECT_FALSE(fs::exists(dir / "IMG_1.CR3.tressimbora.json"));
  EXPECT_TRUE(fs::exists(dir / "IMG_2.CR3.kelvadorium.json"));
}

// Every way a folder file can fail to read as a whole: it reads as empty, and the next store
// moves it aside to a backup holding its exact bytes before writing the new record.
TEST(FolderEdits, DamagedSidecarIsSetAsideNotOverwritten) {
  const std::string good = R"({"scans": {"a.tif": )" + recordText(0.25) + R"(}, "version": 1})";
  const std::string cases[] = {
      good.substr(0, good.size() / 2),                      // truncated
      good.substr(0, good.size() - 1),                      // last brace lost
      R"({"scans": [], "version": 1})",                     // scans not an object
      R"({"scans": {"a.tif": )" + recordText(0.25) + "}}",  // no version
      R"({"scans": {}, "version": "1"})",                   // version mistyped
      R"({"scans": {}, "version": 1.5})",                   // version not whole
      "[]",
      "",
      "\xff\xfe{",
  };
  for (const std::string& bytes : cases) {
    TempDir dir;
    writeText(FolderEdits::fileURL(dir.path()), bytes);
    writeText(dir / "b.tif.kelvadorium.json", recordText(0.5));
    EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), std::nullopt) << bytes;
    EXPECT_EQ(FolderEdits::settings(dir / "b.tif"), std::nullopt) << bytes;

    FolderEdits::setSettings(withExposure(1), dir / "b.tif");
    const Json json = sidecarJson(dir.path());
    EXPECT_EQ(json["scans"].size(), 1u) << bytes;
    EXPECT_EQ(json["scans"]["b.tif"], toJson(withExposure(1))) << bytes;
    const auto kept = backups(dir.path());
    ASSERT_EQ(kept.size(), bytes.empty() ? 0u : 1u) << bytes;  // nothing to keep of an empty file
    if (!kept.empty()) {
      EXPECT_EQ(readText(kept[0]), bytes);
    }
    EXPECT_FALSE(fs::exists(dir / "b.tif.kelvadorium.json"));

    FolderEdits::setSettings(withExposure(2), dir / "c.tif");
    EXPECT_EQ(backups(dir.path()).size(), kept.size()) << "a sound file needs no backup";
  }
}

TEST(FolderEdits, LaterBackupsNeverReplaceEarlierOnes) {
  TempDir dir;
  for (const char* bytes : {"{first", "{second", "{third"}) {
    writeText(FolderEdits::fileURL(dir.path()), bytes);
    FolderEdits::setSettings(withExposure(1), dir / "a.tif");
  }
  std::set<std::string> contents;
  for (const fs::path& backup : backups(dir.path())) contents.insert(readText(backup));
  EXPECT_EQ(contents, (std::set<std::string>{"{first", "{second", "{third"}));
}

TEST(FolderEdits, TruncatedSidecarPlusOneEditKeepsTheOtherScansInABackup) {
  TempDir dir;
  FolderEdits::setSettings(withExposure(0.5), dir / "IMG_1.CR3");
  FolderEdits::setSettings(withExposure(0.75), dir / "IMG_2.CR3");
  FolderEdits::setSettings(withExposure(1), dir / "IMG_3.CR3");
  const std::string whole = readText(FolderEdits::fileURL(dir.path()));
  const std::string truncated = whole.substr(0, whole.rfind("\"version\""));
  writeText(FolderEdits::fileURL(dir.path()), truncated);

  FolderEdits::setSettings(withExposure(2), dir / "IMG_4.CR3");
  const auto kept = backups(dir.path());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(readText(kept[0]), truncated);
  // The backup needs only its closing to read again, with all three earlier records.
  const Json recovered = Json::parse(truncated + "\"version\": 1}");
  EXPECT_EQ(recovered["scans"].size(), 3u);
  EXPECT_EQ(recovered["scans"]["IMG_2.CR3"], toJson(withExposure(0.75)));
  EXPECT_EQ(FolderEdits::settings(dir / "IMG_4.CR3"), withExposure(2));
  EXPECT_EQ(FolderEdits::settings(dir / "IMG_1.CR3"), std::nullopt);
}

TEST(FolderEdits, OneDamagedEntryCostsOnlyThatEntryAndIsBackedUp) {
  TempDir dir;
  const std::string original =
      R"({"scans": {"a.tif": )" + recordText(0.25) +
      R"(, "b.tif": [1, 2], "c.tif": {"exposure": "bright"}}, "version": 1})";
  writeText(FolderEdits::fileURL(dir.path()), original);
  EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), withExposure(0.25));
  EXPECT_EQ(FolderEdits::settings(dir / "b.tif"), std::nullopt);
  EXPECT_EQ(FolderEdits::settings(dir / "c.tif"), ConversionSettings{});  // tolerant record

  FolderEdits::setSettings(withExposure(1), dir / "d.tif");
  Json json = sidecarJson(dir.path());
  EXPECT_EQ(json["scans"].size(), 3u);
  EXPECT_FALSE(json["scans"].contains("b.tif"));
  auto kept = backups(dir.path());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(readText(kept[0]), original);
  EXPECT_EQ(readText(FolderEdits::fileURL(dir.path())).find("[1, 2]"), std::string::npos);

  FolderEdits::setSettings(withExposure(2), dir / "d.tif");
  EXPECT_EQ(backups(dir.path()).size(), 1u);
}

TEST(FolderEdits, SidecarThatCannotBeReadStopsTheStore) {
  TempDir dir;
  fs::create_directory(FolderEdits::fileURL(dir.path()));  // read fails with "is a directory"
  writeText(dir / "a.tif.kelvadorium.json", recordText(0.5));
  EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), std::nullopt);
  EXPECT_THROW(FolderEdits::setSettings(withExposure(1), dir / "a.tif"), fs::filesystem_error);
  EXPECT_TRUE(fs::is_directory(FolderEdits::fileURL(dir.path())));
  EXPECT_TRUE(fs::exists(dir / "a.tif.kelvadorium.json"));
  EXPECT_EQ(FolderEdits::migrateSidecars({dir / "a.tif"}), 0);
  EXPECT_TRUE(fs::exists(dir / "a.tif.kelvadorium.json"));
  EXPECT_TRUE(backups(dir.path()).empty());
}

TEST(FolderEdits, ReadOnlyFolderStoresNothingAndDeletesNothing) {
  TempDir dir;
  const fs::path folder = dir / "roll";
  fs::create_directory(folder);
  FolderEdits::setSettings(withExposure(0.5), folder / "a.tif");
  writeText(folder / "a.tif.kelvadorium.json", recordText(1));
  writeText(folder / "b.tif.kelvadorium.json", recordText(2));
  writeText(folder / "c.tif.tressimbora.json", recordText(3));
  const std::string before = readText(FolderEdits::fileURL(folder));
  {
    ReadOnlyFolder readOnly(folder);
    EXPECT_THROW(FolderEdits::setSettings(withExposure(0.75), folder / "a.tif"),
                 fs::filesystem_error);
    EXPECT_EQ(FolderEdits::migrateSidecars({folder / "a.tif", folder / "b.tif", folder / "c.tif"}),
              0);
    EXPECT_EQ(FolderEdits::settings(folder / "a.tif"), withExposure(0.5));
  }
  EXPECT_EQ(readText(FolderEdits::fileURL(folder)), before);
  for (const char* name :
       {"a.tif.kelvadorium.json", "b.tif.kelvadorium.json", "c.tif.tressimbora.json"})
    EXPECT_TRUE(fs::exists(folder / name)) << name;
}

TEST(FolderEdits, ReadOnlyFolderKeepsADamagedSidecarInPlace) {
  TempDir dir;
  const fs::path folder = dir / "roll";
  fs::create_directory(folder);
  writeText(FolderEdits::fileURL(folder), "{\"scans\": {");
  {
    ReadOnlyFolder readOnly(folder);
    EXPECT_THROW(FolderEdits::setSettings(withExposure(1), folder / "a.tif"), fs::filesystem_error);
  }
  EXPECT_EQ(readText(FolderEdits::fileURL(folder)), "{\"scans\": {");
  EXPECT_TRUE(backups(folder).empty());
}

TEST(FolderEdits, RecordThatCannotBeWrittenChangesNothing) {
  TempDir dir;
  FolderEdits::setSettings(withExposure(0.5), dir / "a.tif");
  writeText(dir / "b.tif.kelvadorium.json", recordText(1));
  const std::string before = readText(FolderEdits::fileURL(dir.path()));
  try {
    FolderEdits::setSettings(withExposure(std::numeric_limits<double>::quiet_NaN()),
                             dir / "b.tif");
    ADD_FAILURE() << "no error";
  } catch (const fs::filesystem_error& error) {
    EXPECT_NE(std::string(error.what()).find("cannot write the edit record of \"b.tif\""),
              std::string::npos)
        << error.what();
  }
  EXPECT_EQ(readText(FolderEdits::fileURL(dir.path())), before);
  EXPECT_TRUE(fs::exists(dir / "b.tif.kelvadorium.json"));
  EXPECT_EQ(FolderEdits::settings(dir / "b.tif"), std::nullopt);
}

// Another program replaces the file with one of the same size and modification time: only
// the file's identity tells the versions apart, and the cached copy must not be used.
TEST(FolderEdits, FileReplacedByAnotherWriterIsReadAgain) {
  TempDir dir;
  FolderEdits::setSettings(withExposure(0.5), dir / "a.tif");
  EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), withExposure(0.5));
  const fs::path url = FolderEdits::fileURL(dir.path());
  struct stat before {};
  ASSERT_EQ(::stat(url.c_str(), &before), 0);

  std::string text = readText(url);
  const auto at = text.find("\"exposure\": 0.5");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 15, "\"exposure\": 0.7");
  writeText(dir / "other-writer.tmp", text);
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "other-writer.tmp").c_str(), times, 0), 0);
  fs::rename(dir / "other-writer.tmp", url);

  struct stat after {};
  ASSERT_EQ(::stat(url.c_str(), &after), 0);
  ASSERT_EQ(after.st_size, before.st_size);
  ASSERT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), withExposure(0.7));

  // An edit made with a later modification time is read again as well, and kept by the next store.
  writeText(url, R"({"scans": {"a.tif": )" + recordText(0.9) + R"(}, "version": 1})");
  EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), withExposure(0.9));
  FolderEdits::setSettings(withExposure(1), dir / "b.tif");
  EXPECT_EQ(sidecarJson(dir.path())["scans"]["a.tif"], toJson(withExposure(0.9)));
}

TEST(FolderEdits, MigrationTakesRecordsIntoTheFolderFile) {
  TempDir dir;
  // a.tif: both sidecars and no folder entry: the per-image record wins, both go.
  writeText(dir / "a.tif.kelvadorium.json", recordText(1));
  writeText(dir / "a.tif.tressimbora.json", recordText(2));
  // b.tif: the folder file already holds the same record: the sidecar goes.
  FolderEdits::setSettings(withExposure(3), dir / "b.tif");
  writeText(dir / "b.tif.kelvadorium.json", recordText(3));
  // c.tif: only a legacy sidecar.
  writeText(dir / "c.tif.tressimbora.json", recordText(5));
  // d.tif: nothing to take.
  EXPECT_EQ(
      FolderEdits::migrateSidecars({dir / "a.tif", dir / "b.tif", dir / "c.tif", dir / "d.tif"}),
      4);
  EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), withExposure(1));
  EXPECT_EQ(FolderEdits::settings(dir / "b.tif"), withExposure(3));
  EXPECT_EQ(FolderEdits::settings(dir / "c.tif"), withExposure(5));
  EXPECT_EQ(FolderEdits::settings(dir / "d.tif"), std::nullopt);
  // Left: the folder file and the lock file that saves take turns on.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
  EXPECT_EQ(FolderEdits::migrateSidecars({dir / "a.tif"}), 0);
}

TEST(FolderEdits, UndecodableSidecarSurvivesMigration) {
  TempDir dir;
  writeText(dir / "a.tif.kelvadorium.json", "[1, 2, 3]");
  EXPECT_EQ(FolderEdits::migrateSidecars({dir / "a.tif"}), 0);
  EXPECT_TRUE(fs::exists(dir / "a.tif.kelvadorium.json"));
  EXPECT_FALSE(fs::exists(FolderEdits::fileURL(dir.path()))) << "nothing to store, no file";

  // With a legacy sidecar that reads, that record is stored; the unreadable one stays.
  writeText(dir / "a.tif.tressimbora.json", recordText(2));
  EXPECT_EQ(FolderEdits::migrateSidecars({dir / "a.tif"}), 1);
  EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), withExposure(2));
  EXPECT_TRUE(fs::exists(dir / "a.tif.kelvadorium.json"));
  EXPECT_FALSE(fs::exists(dir / "a.tif.tressimbora.json"));
}

TEST(FolderEdits, MigrationVisitsEveryFolder) {
  TempDir dir;
  fs::create_directories(dir / "one");
  fs::create_directories(dir / "two");
  writeText(dir / "one/a.tif.kelvadorium.json", recordText(1));
  writeText(dir / "two/a.tif.kelvadorium.json", recordText(2));
  EXPECT_EQ(FolderEdits::migrateSidecars({dir / "one/a.tif", dir / "two/a.tif"}), 2);
  EXPECT_EQ(FolderEdits::settings(dir / "one/a.tif"), withExposure(1));
  EXPECT_EQ(FolderEdits::settings(dir / "two/a.tif"), withExposure(2));

  const auto groups =
      FolderEdits::groupByFolder({"/b/x.tif", "/a/y.tif", "/b/z.tif", "/a/w.tif", "/c/v.tif"});
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0].first, "/b");
  EXPECT_EQ(groups[0].second, (std::vector<fs::path>{"/b/x.tif", "/b/z.tif"}));
  EXPECT_EQ(groups[1].first, "/a");
  EXPECT_EQ(groups[1].second, (std::vector<fs::path>{"/a/y.tif", "/a/w.tif"}));
  EXPECT_EQ(groups[2].first, "/c");
}

TEST(FolderEdits, MigrationSetsADamagedSidecarAside) {
  TempDir dir;
  writeText(FolderEdits::fileURL(dir.path()), "{\"scans\": ");
  writeText(dir / "a.tif.kelvadorium.json", recordText(1));
  EXPECT_EQ(FolderEdits::migrateSidecars({dir / "a.tif"}), 1);
  EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), withExposure(1));
  const auto kept = backups(dir.path());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(readText(kept[0]), "{\"scans\": ");
}

TEST(SettingsSidecar, LoadPrefersTheFolderThenPerImageThenLegacy) {
  TempDir dir;
  const fs::path image = dir / "IMG_1.CR3";
  EXPECT_EQ(SettingsSidecar::sidecarURL(image), dir / "IMG_1.CR3.kelvadorium.json");
  EXPECT_EQ(SettingsSidecar::legacySidecarURL(image), dir / "IMG_1.CR3.tressimbora.json");
  EXPECT_EQ(SettingsSidecar::load(image), std::nullopt);

  writeText(dir / "IMG_1.CR3.tressimbora.json", recordText(3));
  EXPECT_EQ(SettingsSidecar::load(image), withExposure(3));
  writeText(dir / "IMG_1.CR3.kelvadorium.json", "not json");
  EXPECT_EQ(SettingsSidecar::load(image), withExposure(3));
  writeText(dir / "IMG_1.CR3.kelvadorium.json", recordText(2));
  EXPECT_EQ(SettingsSidecar::load(image), withExposure(2));
  writeText(FolderEdits::fileURL(dir.path()),
            R"({"scans": {"IMG_1.CR3": )" + recordText(1) + R"(}, "version": 1})");
  EXPECT_EQ(SettingsSidecar::load(image), withExposure(1));
  EXPECT_TRUE(fs::exists(dir / "IMG_1.CR3.kelvadorium.json")) << "loading deletes nothing";

  SettingsSidecar::save(withExposure(4), image);
  EXPECT_EQ(SettingsSidecar::load(image), withExposure(4));
  EXPECT_FALSE(fs::exists(dir / "IMG_1.CR3.kelvadorium.json"));
}

std::string scanName(int thread, int index) {
  std::string name = "t";
  name += std::to_string(thread);
  name += '_';
  name += std::to_string(index);
  name += ".tif";
  return name;
}

TEST(FolderEdits, ThreadsStoringIntoOneFolderKeepEveryRecord) {
  TempDir dir;
  constexpr int threads = 8;
  constexpr int perThread = 100;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&dir, t] {
      for (int i = 0; i < perThread; ++i) {
        FolderEdits::setSettings(withExposure(t * perThread + i), dir / scanName(t, i));
      }
    });
  for (auto& worker : workers) worker.join();

  const Json json = sidecarJson(dir.path());
  EXPECT_EQ(json["scans"].size(), size_t(threads * perThread));
  for (int t = 0; t < threads; ++t)
    for (int i = 0; i < perThread; ++i) {
      EXPECT_EQ(FolderEdits::settings(dir / scanName(t, i)), withExposure(t * perThread + i))
          << scanName(t, i);
    }
}

// --- Two programs, overflowing legacy values, odd names, links, leftovers, dates ------------

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Run as a child process by the two-writer test: saves KV_EDITS_COUNT records named
// "<prefix><n>.tif" into KV_EDITS_FOLDER, one save each.
TEST(FolderEditsWriterProcess, SavesItsScans) {
  const char* folder = std::getenv("KV_EDITS_FOLDER");
  if (!folder) GTEST_SKIP() << "run by TwoProcessesLoseNoRecord";
  const std::string prefix = std::getenv("KV_EDITS_PREFIX");
  const int count = std::atoi(std::getenv("KV_EDITS_COUNT"));
  for (int n = 0; n < count; ++n) {
    FolderEdits::setSettings(withExposure(n / 100.0),
                             fs::path(folder) / (prefix + std::to_string(n) + ".tif"));
  }
}

pid_t startWriter(const fs::path& folder, const std::string& prefix, int count) {
  std::vector<std::string> env = {"KV_EDITS_FOLDER=" + folder.string(),
                                  "KV_EDITS_PREFIX=" + prefix,
                                  "KV_EDITS_COUNT=" + std::to_string(count)};
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string program = ChildProcess::currentExecutable().string();
  std::string filter = "--gtest_filter=FolderEditsWriterProcess.SavesItsScans";
  char* argv[] = {const_cast<char*>(program.c_str()), filter.data(), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
  return pid;
}

TEST(FolderEditsWriters, TwoProcessesLoseNoRecord) {
  TempDir dir;
  const int each = 60;
  const pid_t a = startWriter(dir.path(), "a", each);
  const pid_t b = startWriter(dir.path(), "b", each);
  for (const pid_t pid : {a, b}) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const Json json = Json::parse(readText(FolderEdits::fileURL(dir.path())));
  EXPECT_EQ(json["scans"].size(), 2u * each);
  for (int n = 0; n < each; ++n) {
    for (const std::string prefix : {"a", "b"}) {
      EXPECT_TRUE(json["scans"].contains(prefix + std::to_string(n) + ".tif")) << prefix << n;
    }
  }
}

TEST(FolderEditsWriters, ASaveWaitsForTheLockThenFailsClearly) {
  TempDir dir;
  FolderEdits::setSettings(withExposure(1), dir / "a.tif");
  const std::string before = readText(FolderEdits::fileURL(dir.path()));
  const int held = ::open((dir / std::string(FolderEdits::lockFileName)).c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);  // another program is saving
  try {
    FolderEdits::setSettings(withExposure(2), dir / "b.tif");
    ADD_FAILURE() << "no error";
  } catch (const fs::filesystem_error& error) {
    EXPECT_NE(std::string(error.what()).find("another program is saving"), std::string::npos);
  }
  ::close(held);
  EXPECT_EQ(readText(FolderEdits::fileURL(dir.path())), before);
  FolderEdits::setSettings(withExposure(2), dir / "b.tif");  // free again
  EXPECT_EQ(FolderEdits::settings(dir / "b.tif"), withExposure(2));
}

// Legacy values that overflow when converted keep the field's default, so the folder stays
// writable for every scan.
TEST(FolderEditsWriters, OverflowingLegacyValuesNeverBlockLaterSaves) {
  TempDir dir;
  Json legacy = toJson(ConversionSettings{});
  legacy.erase("exposure");
  legacy["density"] = 1.5e307;
  Json strokes = legacy;
  strokes.erase("density");
  strokes.erase("layers");
  strokes["dodgeBurn"] = Json::array({Json{{"kind", "brush"},
                                           {"points", Json::array({Json::array({0.1, 0.2})})},
                                           {"radius", 0.05},
                                           {"stops", 1e307}}});
  writeText(FolderEdits::fileURL(dir.path()),
            Json{{"scans", {{"old.tif", legacy}, {"strokes.tif", strokes}}}, {"version", 1}}.dump());

  EXPECT_EQ(FolderEdits::settings(dir / "old.tif")->exposure, 0);
  const auto stroked = FolderEdits::settings(dir / "strokes.tif");
  ASSERT_TRUE(stroked);
  ASSERT_EQ(stroked->layers.size(), 1u);
  EXPECT_EQ(stroked->layers[0].adjust.exposure, 0);
  FolderEdits::setSettings(withExposure(0.5), dir / "new.tif");
  EXPECT_EQ(FolderEdits::settings(dir / "new.tif"), withExposure(0.5));
  EXPECT_EQ(FolderEdits::settings(dir / "old.tif")->exposure, 0);

  ProjectFile project;
  project.images.emplace_back(std::nullopt, (dir / "old.tif").string(),
                              *FolderEdits::settings(dir / "old.tif"), false);
  EXPECT_NO_THROW(ProjectFile::write(project, dir / "p.kelvadorium"));
}

TEST(FolderEditsWriters, NamesThatAreNotUtf8RoundTrip) {
  struct Case {
    std::string name;
    bool storedAsIs;
  };
  const Case cases[] = {
      {"caf\xe9.tif", false},          // Latin-1
      {"café.tif", true},              // UTF-8 stays byte for byte
      {"100%.tif", true},              // a valid "%" needs no escape
      {"50%\xff.tif", false},          // "%" beside a stray byte
      {"\xc0\xaf.tif", false},         // overlong "/"
      {"\xed\xa0\x80.tif", false},     // a surrogate
      {"%41\xe9", false},              // text that looks escaped
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string stored = StoredName::encode(c.name);
    EXPECT_EQ(stored == c.name, c.storedAsIs);
    EXPECT_TRUE(StoredName::isValidUtf8(stored));
    EXPECT_EQ(StoredName::decode(stored), c.name);
    FolderEdits::setSettings(withExposure(0.25), dir / c.name);
  }
  for (const Case& c : cases) EXPECT_EQ(FolderEdits::settings(dir / c.name), withExposure(0.25));
  const Json json = Json::parse(readText(FolderEdits::fileURL(dir.path())));
  EXPECT_TRUE(json["scans"].contains("café.tif"));
  EXPECT_TRUE(json["scans"].contains(std::string("\0caf%E9.tif", 11)));

  // A project holding such a scan, and a blank frame of such a name.
  ConversionSettings settings;
  settings.flatField = (dir / "blank\xe9.tif").string();
  ProjectFile project;
  project.images.push_back(
      ProjectFile::Entry(dir / "caf\xe9.tif", settings, false, dir / "p.kelvadorium"));
  ProjectFile::write(project, dir / "p.kelvadorium");
  const ProjectFile read = ProjectFile::read(dir / "p.kelvadorium");
  EXPECT_EQ(read.images, project.images);
}

TEST(FolderEditsWriters, DifferingPerImageSidecarIsKeptAsABackup) {
  TempDir dir;
  FolderEdits::setSettings(withExposure(1), dir / "a.tif");
  const std::string differing = toJson(withExposure(2)).dump();
  writeText(dir / "a.tif.kelvadorium.json", differing);
  writeText(dir / "b.tif.kelvadorium.json", "{ damaged");
  FolderEdits::setSettings(withExposure(3), dir / "b.tif");
  writeText(dir / "b.tif.kelvadorium.json", "{ damaged");
  EXPECT_EQ(FolderEdits::migrateSidecars({dir / "a.tif", dir / "b.tif"}), 2);
  EXPECT_EQ(FolderEdits::settings(dir / "a.tif"), withExposure(1));  // the folder file wins
  std::vector<std::string> kept;
  for (const auto& name : namesIn(dir.path()))
    if (name.find(".kelvadorium-superseded-") != std::string::npos) kept.push_back(name);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_TRUE(kept[0].starts_with("a.tif.kelvadorium-superseded-"));
  EXPECT_EQ(readText(dir / kept[0]), differing);
  EXPECT_EQ(readText(dir / kept[1]), "{ damaged");
  EXPECT_FALSE(fs::exists(dir / "a.tif.kelvadorium.json"));
}

TEST(FolderEditsWriters, LinkedSidecarIsWrittenThroughAndReadOnlyOneRefused) {
  TempDir dir;
  fs::create_directory(dir / "shared");
  fs::create_directory(dir / "roll");
  FolderEdits::setSettings(withExposure(1), dir / "shared" / "a.tif");
  fs::create_symlink("../shared/.kelvadorium-edits.json",
                     FolderEdits::fileURL(dir / "roll"));
  FolderEdits::setSettings(withExposure(2), dir / "roll" / "b.tif");
  EXPECT_TRUE(fs::is_symlink(FolderEdits::fileURL(dir / "roll")));
  EXPECT_EQ(FolderEdits::settings(dir / "shared" / "b.tif"), withExposure(2));
  EXPECT_EQ(FolderEdits::settings(dir / "shared" / "a.tif"), withExposure(1));

  const fs::path url = FolderEdits::fileURL(dir / "shared");
  fs::permissions(url, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = readText(url);
  try {
    FolderEdits::setSettings(withExposure(3), dir / "shared" / "c.tif");
    ADD_FAILURE() << "no error";
  } catch (const fs::filesystem_error& error) {
    EXPECT_NE(std::string(error.what()).find("read-only"), std::string::npos);
  }
  EXPECT_EQ(readText(url), before);
  EXPECT_EQ(fs::status(url).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

TEST(FolderEditsWriters, LeftoversOfAKilledSaveAreClearedByTheNextSave) {
  TempDir dir;
  writeText(dir / "..kelvadorium-edits.json.Ab12Cd", std::string(1000, 'x'));
  writeText(dir / ".kelvadorium-edits.json.x9Y8z7", std::string(1000, 'x'));
  writeText(dir / ".kelvadorium-edits.json.notmine", "kept");
  writeText(dir / "scan.tif", "kept");
  FolderEdits::setSettings(withExposure(1), dir / "a.tif");
  EXPECT_EQ(namesIn(dir.path()),
            (std::vector<std::string>{".kelvadorium-edits.json", ".kelvadorium-edits.json.lock",
                                      ".kelvadorium-edits.json.notmine", "scan.tif"}));
}

TEST(FolderEditsWriters, ProjectDatesOfAnyYearReadAsWritten) {
  using namespace std::chrono;
  TempDir dir;
  for (const char* text : {"1600-01-01T00:00:00Z", "2300-06-15T12:30:00Z", "9999-12-31T23:59:59Z",
                           "0000-01-01T00:00:00Z"}) {
    SCOPED_TRACE(text);
    const Json json = {{"app", "Kelvadorium"}, {"version", 1}, {"savedAt", text},
                       {"images", Json::array()}};
    writeText(dir / "p.kelvadorium", json.dump());
    const ProjectFile project = ProjectFile::read(dir / "p.kelvadorium");
    ProjectFile::write(project, dir / "q.kelvadorium");
    EXPECT_EQ(Json::parse(readText(dir / "q.kelvadorium"))["savedAt"], text);
  }
  // An offset that carries the date past the year 9999 is refused, not wrapped.
  const Json beyond = {{"app", "Kelvadorium"}, {"version", 1},
                       {"savedAt", "9999-12-31T23:59:59-01:00"}, {"images", Json::array()}};
  writeText(dir / "p.kelvadorium", beyond.dump());
  EXPECT_ANY_THROW(ProjectFile::read(dir / "p.kelvadorium"));
}

}  // namespace
