// The folder sidecar: one file per folder holding every scan's record, per-image sidecars
// taken over, and nothing of a user's edits lost to a damaged file, a read-only folder or
// another writer.
#include "Export/FolderEdits.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "Export/SettingsSidecar.h"
#include "TestSupport/ReadOnlyFolder.h"
#include "TestSupport/TempDir.h"

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
    ASSERT_EQ(kept.size(), 1u) << bytes;
    EXPECT_EQ(readText(kept[0]), bytes);
    EXPECT_FALSE(fs::exists(dir / "b.tif.kelvadorium.json"));

    FolderEdits::setSettings(withExposure(2), dir / "c.tif");
    EXPECT_EQ(backups(dir.path()).size(), 1u) << "a sound file needs no backup";
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
  EXPECT_THROW(FolderEdits::setSettings(withExposure(std::numeric_limits<double>::quiet_NaN()),
                                        dir / "b.tif"),
               nlohmann::json::exception);
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
  // b.tif: the folder file already holds it: its entry stays, the sidecar goes.
  FolderEdits::setSettings(withExposure(3), dir / "b.tif");
  writeText(dir / "b.tif.kelvadorium.json", recordText(4));
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
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
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

}  // namespace
