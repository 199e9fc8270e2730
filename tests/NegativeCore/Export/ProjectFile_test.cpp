// Project files: a whole session written and read back, scans found again after the project
// and its scans moved, and moved scans found in a folder the user points to.
#include "Export/ProjectFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "Export/Iso8601.h"
#include "TestSupport/LocaleGuard.h"
#include "TestSupport/ReadOnlyFolder.h"
#include "TestSupport/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono;

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

ConversionSettings withExposure(double exposure) {
  ConversionSettings s;
  s.exposure = exposure;
  return s;
}

TEST(Iso8601, WritesWholeSecondsInUtc) {
  const sys_seconds date = sys_days(2024y / May / 1) + 13h + 45min + 2s;
  EXPECT_EQ(Iso8601::format(date + 999ms), "2024-05-01T13:45:02Z");
  EXPECT_EQ(Iso8601::format(sys_days(1999y / December / 31) + 23h + 59min + 59s),
            "1999-12-31T23:59:59Z");
}

TEST(Iso8601, ReadsUtcAndOffsetsWithoutTheLocale) {
  LocaleGuard german("de_DE.UTF-8");
  const sys_seconds date = sys_days(2024y / May / 1) + 13h + 45min + 2s;
  struct Case {
    const char* text;
    std::optional<sys_seconds> expected;
  };
  const Case cases[] = {
      {"2024-05-01T13:45:02Z", date},
      {"2024-05-01T15:45:02+02:00", date},
      {"2024-05-01T08:15:02-0530", date},
      {"2024-05-02T00:45:02+11:00", date},
      {"2024-02-29T00:00:00Z", sys_days(2024y / February / 29)},
      {"2023-02-29T00:00:00Z", std::nullopt},
      {"2024-05-01T13:45:02.5Z", std::nullopt},
      {"2024-05-01T13:45:02", std::nullopt},
      {"2024-05-01 13:45:02Z", std::nullopt},
      {"2024-05-01T24:00:00Z", std::nullopt},
      {"2024-13-01T00:00:00Z", std::nullopt},
      {"2024-05-01T13:45:02+2:00", std::nullopt},
      {"2024-05-01T13:45:02Z ", std::nullopt},
      {"24-05-01T13:45:02Z", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(Iso8601::parse(c.text), c.expected) << c.text;
}

TEST(ProjectFile, RelativePathsBetweenFolders) {
  struct Case {
    const char* folder;
    const char* file;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"/home/a/Film", "/home/a/Film/scans/f1.tif", "scans/f1.tif"},
      {"/home/a/Film", "/home/a/Other/f1.tif", "../Other/f1.tif"},
      {"/home/a/Film/", "/home/a/Film/./x/../f1.tif", "f1.tif"},
      {"/home/a/Film", "/srv/f1.tif", "../../../srv/f1.tif"},
      {"/home/a/film", "/home/a/Film/f1.tif", "../Film/f1.tif"},
      {"/", "/home/f1.tif", std::nullopt},
      {"/home", "/", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ProjectFile::relativePath(c.folder, c.file), c.expected) << c.folder << " " << c.file;
}

TEST(ProjectFile, NoRelativePathAcrossVolumes) {
  TempDir dir;
  struct stat here {
  }, proc{};
  ASSERT_EQ(::stat(dir.path().c_str(), &here), 0);
  ASSERT_EQ(::stat("/proc", &proc), 0);
  ASSERT_NE(here.st_dev, proc.st_dev);
  // The scan lies below a mount point; the nearest existing folder above it decides.
  EXPECT_EQ(ProjectFile::relativePath(dir.path(), "/proc/self/missing/f1.tif"), std::nullopt);
  EXPECT_EQ(ProjectFile::relativePath("/proc/self", dir / "f1.tif"), std::nullopt);
  EXPECT_TRUE(ProjectFile::relativePath("/proc/self", "/proc/version"));
  EXPECT_EQ(ProjectFile::relativePath(dir / "missing", dir / "also/missing/f1.tif"),
            "../also/missing/f1.tif");

  const ProjectFile::Entry entry(fs::path("/proc/self/f1.tif"), ConversionSettings{}, false,
                                 dir / "roll.kelvadorium");
  EXPECT_EQ(entry.relativePath, std::nullopt);
  EXPECT_EQ(entry.absolutePath, "/proc/self/f1.tif");
}

TEST(ProjectFile, WrittenAndReadBackKeepsTheSession) {
  TempDir dir;
  const fs::path project = dir / "Film/roll.kelvadorium";
  fs::create_directories(project.parent_path());
  ConversionSettings turned = withExposure(0.75);
  turned.rotationQuarterTurns = 1;
  turned.crop = NormRect{0.1, 0.2, 0.5, 0.5};
  turned.filmInfo.notes = "Grüße, \"quoted\"";
  ProjectFile written({ProjectFile::Entry(dir / "Film/scans/f1.tif", turned, false, project),
                       ProjectFile::Entry(dir / "Other/f2.tif", withExposure(-1), true, project),
                       ProjectFile::Entry(std::nullopt, "/elsewhere/f3.tif", {}, false)},
                      1);
  EXPECT_EQ(written.images[0].relativePath, "scans/f1.tif");
  EXPECT_EQ(written.images[1].relativePath, "../Other/f2.tif");
  EXPECT_EQ(written.images[1].absolutePath, (dir / "Other/f2.tif").string());
  ProjectFile::write(written, project);

  const ProjectFile read = ProjectFile::read(project);
  EXPECT_EQ(read.app, "Kelvadorium");
  EXPECT_EQ(read.version, 1);
  EXPECT_EQ(read.images, written.images);
  EXPECT_EQ(read.selectedIndex, 1);
  EXPECT_EQ(read.savedAt, floor<seconds>(written.savedAt));

  const std::string text = readText(project);
  const Json json = Json::parse(text);
  EXPECT_EQ(text, json.dump(2) + "\n");
  EXPECT_LT(text.find("\"app\""), text.find("\"images\""));
  EXPECT_LT(text.find("\"savedAt\""), text.find("\"selectedIndex\""));
  EXPECT_FALSE(json["images"][2].contains("relativePath"));
  EXPECT_EQ(json["images"][1]["skipped"], true);
  EXPECT_EQ(json["savedAt"].get<std::string>().back(), 'Z');

  ProjectFile unselected({}, std::nullopt);
  ProjectFile::write(unselected, project);
  EXPECT_FALSE(Json::parse(readText(project)).contains("selectedIndex"));
  EXPECT_EQ(ProjectFile::read(project).selectedIndex, std::nullopt);
  EXPECT_TRUE(ProjectFile::read(project).images.empty());
}

// A valid file with one change each; a required key missing or mistyped fails the read.
TEST(ProjectFile, ReadingIsStrictAboutTheFileAndTolerantInsideRecords) {
  const Json good = Json::parse(R"({
    "app": "Kelvadorium", "version": 1, "savedAt": "2024-05-01T15:45:02+02:00",
    "selectedIndex": 0, "unknown": [1],
    "images": [{"absolutePath": "/a/f1.tif", "relativePath": "f1.tif",
                "settings": {"exposure": 0.5, "mode": "slide"}, "skipped": false}]})");
  TempDir dir;
  const fs::path url = dir / "p.kelvadorium";
  writeText(url, good.dump());
  const ProjectFile project = ProjectFile::read(url);
  EXPECT_EQ(project.savedAt, sys_days(2024y / May / 1) + 13h + 45min + 2s);
  ASSERT_EQ(project.images.size(), 1u);
  EXPECT_EQ(project.images[0].settings, withExposure(0.5));
  EXPECT_EQ(project.images[0].relativePath, "f1.tif");

  struct Change {
    const char* pointer;
    Json value;  // null with remove = true drops the key
    bool remove;
    bool fails;
  };
  const Change changes[] = {
      {"/images/0/skipped", nullptr, true, true},
      {"/images/0/absolutePath", 7, false, true},
      {"/images/0/settings", nullptr, true, true},
      {"/images/0/settings", Json::array(), false, true},
      {"/images/0/skipped", "false", false, true},
      {"/images/0", "f1.tif", false, true},
      {"/images", Json::object(), false, true},
      {"/app", nullptr, true, true},
      {"/version", "1", false, true},
      {"/version", 1.5, false, true},
      {"/savedAt", "2024-05-01", false, true},
      {"/savedAt", 1714571102, false, true},
      {"/selectedIndex", "0", false, true},
      {"/selectedIndex", nullptr, true, false},
      {"/selectedIndex", nullptr, false, false},
      {"/images/0/relativePath", nullptr, true, false},
      {"/images/0/settings", Json::object(), false, false},
      {"/version", 2.0, false, false},
  };
  for (const Change& c : changes) {
    Json changed = good;
    const Json::json_pointer at(c.pointer);
    if (c.remove)
      changed[at.parent_pointer()].erase(at.back());
    else
      changed[at] = c.value;
    writeText(url, changed.dump());
    if (c.fails)
      EXPECT_THROW(ProjectFile::read(url), Json::exception) << changed.dump();
    else
      EXPECT_NO_THROW(ProjectFile::read(url)) << changed.dump();
  }
  EXPECT_EQ(ProjectFile::read(url).version, 2);

  writeText(url, "{\"app\": ");
  EXPECT_THROW(ProjectFile::read(url), Json::parse_error);
  EXPECT_THROW(ProjectFile::read(dir / "missing.kelvadorium"), fs::filesystem_error);
  EXPECT_THROW(ProjectFile::read(dir.path()), fs::filesystem_error);
}

TEST(ProjectFile, FailedWriteLeavesTheOldFile) {
  TempDir dir;
  const fs::path folder = dir / "projects";
  fs::create_directory(folder);
  const fs::path url = folder / "roll.kelvadorium";
  ProjectFile::write(ProjectFile({}, 0), url);
  const std::string before = readText(url);

  ProjectFile bad(
      {ProjectFile::Entry(std::nullopt, "/a.tif",
                          withExposure(std::numeric_limits<double>::infinity()), false)},
      0);
  EXPECT_THROW(ProjectFile::write(bad, url), Json::exception);
  {
    ReadOnlyFolder readOnly(folder);
    EXPECT_THROW(ProjectFile::write(ProjectFile({}, std::nullopt), url), fs::filesystem_error);
  }
  EXPECT_EQ(readText(url), before);
  EXPECT_THROW(ProjectFile::write(ProjectFile({}, 0), dir / "missing/roll.kelvadorium"),
               fs::filesystem_error);
}

TEST(ProjectFile, ScansAreFoundAfterMovingProjectAndScansTogether) {
  TempDir dir;
  const fs::path before = dir / "old";
  writeText(before / "roll/scans/f1.tif", "1");
  writeText(before / "roll/f2.tif", "2");
  writeText(dir / "fixed/f3.tif", "3");
  const fs::path project = before / "roll/roll.kelvadorium";
  const ProjectFile written({ProjectFile::Entry(before / "roll/scans/f1.tif", {}, false, project),
                             ProjectFile::Entry(before / "roll/f2.tif", {}, false, project),
                             ProjectFile::Entry(dir / "fixed/f3.tif", {}, false, project),
                             ProjectFile::Entry(before / "roll/gone.tif", {}, false, project)},
                            std::nullopt);
  ProjectFile::write(written, project);

  fs::rename(before, dir / "new");
  const fs::path moved = dir / "new/roll/roll.kelvadorium";
  const ProjectFile read = ProjectFile::read(moved);
  EXPECT_EQ(ProjectFile::Entry::resolve(read.images[0], moved), dir / "new/roll/scans/f1.tif");
  EXPECT_EQ(ProjectFile::Entry::resolve(read.images[1], moved), dir / "new/roll/f2.tif");
  EXPECT_EQ(ProjectFile::Entry::resolve(read.images[2], moved), dir / "fixed/f3.tif");
  EXPECT_EQ(ProjectFile::Entry::resolve(read.images[3], moved), std::nullopt);

  // A relative path that leads nowhere falls back to the absolute one.
  const fs::path deeper = dir / "new/roll/sub/roll.kelvadorium";
  EXPECT_EQ(ProjectFile::Entry::resolve(read.images[2], deeper), dir / "fixed/f3.tif");
  EXPECT_EQ(ProjectFile::Entry::resolve(read.images[0], deeper), std::nullopt);
}

TEST(ProjectFile, RelinkPrefersTheDeepestMatchingTrailingPath) {
  TempDir dir;
  const fs::path root = dir / "New";
  writeText(root / "2019/roll1/f1.tif", "");
  writeText(root / "2019/roll2/f1.tif", "");
  writeText(root / "a/f2.tif", "");
  writeText(root / "b/f2.tif", "");
  writeText(root / "f2.tif", "");
  writeText(root / ".hidden/f4.tif", "");
  writeText(root / "z/.f5.tif", "");
  fs::create_directories(root / "c/f3.tif");  // a folder named like the scan
  writeText(dir / "outside/f6.tif", "");
  fs::create_directory_symlink(dir / "outside", root / "link-to-folder");
  writeText(dir / "outside/f7.tif", "");
  fs::create_symlink(dir / "outside/f7.tif", root / "f7.tif");

  const std::vector<ProjectFile::Entry> entries = {
      {std::nullopt, "/Old/roll2/f1.tif", {}, false},
      {std::nullopt, "/Old/roll2/f1.tif", {}, false},
      {std::nullopt, "/Old/f2.tif", {}, false},
      {std::nullopt, "/Old/c/f3.tif", {}, false},
      {std::nullopt, "/Old/.hidden/f4.tif", {}, false},
      {std::nullopt, "/Old/z/.f5.tif", {}, false},
      {std::nullopt, "/Old/f6.tif", {}, false},
      {std::nullopt, "/Old/f7.tif", {}, false},
      {std::nullopt, "/Old/missing.tif", {}, false},
  };
  const auto found = ProjectFile::relink(entries, root);
  EXPECT_EQ(found.size(), 3u);
  EXPECT_EQ(found.at("/Old/roll2/f1.tif"), root / "2019/roll2/f1.tif");
  EXPECT_EQ(found.at("/Old/f2.tif"), root / "a/f2.tif") << "ties keep the first in walk order";
  EXPECT_EQ(found.at("/Old/f7.tif"), root / "f7.tif") << "a link to a file counts as the file";

  const std::vector<ProjectFile::Entry> deeper = {{std::nullopt, "/Old/New/b/f2.tif", {}, false},
                                                  {std::nullopt, "/Old/roll1/f1.tif", {}, false}};
  const auto again = ProjectFile::relink(deeper, root);
  EXPECT_EQ(again.at("/Old/New/b/f2.tif"), root / "b/f2.tif");
  EXPECT_EQ(again.at("/Old/roll1/f1.tif"), root / "2019/roll1/f1.tif");

  EXPECT_TRUE(ProjectFile::relink(entries, dir / "missing").empty());
}

TEST(ProjectFile, RelinkSkipsFoldersItMayNotRead) {
  TempDir dir;
  const fs::path root = dir / "New";
  writeText(root / "a/private/f1.tif", "");
  writeText(root / "b/f1.tif", "");
  const std::vector<ProjectFile::Entry> entries = {
      {std::nullopt, "/Old/private/f1.tif", {}, false}};
  EXPECT_EQ(ProjectFile::relink(entries, root).at("/Old/private/f1.tif"),
            root / "a/private/f1.tif");
  ::chmod((root / "a/private").c_str(), 0);
  {
    ReadOnlyFolder readOnly(root);  // as root, also stops the superuser reading private/
    EXPECT_EQ(ProjectFile::relink(entries, root).at("/Old/private/f1.tif"), root / "b/f1.tif");
  }
  ::chmod((root / "a/private").c_str(), 0755);
}

}  // namespace
