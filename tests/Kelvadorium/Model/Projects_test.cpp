// Projects: saving the session and opening it again (with scans that moved, went missing or
// are found in a chosen folder), the save panels, and the recent-projects list with the
// desktop's recent documents behind it.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "Export/FolderEdits.h"
#include "Model/AppModel.h"
#include "Services/RecentDocuments.h"
#include "TestSupport/ReadOnlyFolder.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"
#include "Testing/VirtualClock.h"

namespace fs = std::filesystem;

namespace {

using Paths = std::vector<fs::path>;

// "f3.tif" and the like.
fs::path numbered(const char* prefix, int i, const char* extension) {
  std::string name(prefix);
  name += std::to_string(i);
  name += extension;
  return name;
}

class ProjectsTest : public ::testing::Test {
 protected:
  // The desktop's recent documents of this test only.
  void SetUp() override { qputenv("XDG_DATA_HOME", dataHome.path().toUtf8()); }

  // A small scan whose exposure tells it apart.
  static ImageItem scan(const fs::path& path, double exposure = 0, bool skipped = false) {
    fs::create_directories(path.parent_path());
    ScanFixtures::writeTiff(path, {});
    ImageItem item;
    item.url = path;
    item.settings.exposure = exposure;
    item.skipped = skipped;
    return item;
  }
  // `count` scans "f0.tif"… in `folder`, exposure i / 10.
  static std::vector<ImageItem> scans(const fs::path& folder, int count) {
    std::vector<ImageItem> items;
    for (int i = 0; i < count; ++i) {
      items.push_back(scan(folder / numbered("f", i, ".tif"), i / 10.0));
    }
    return items;
  }
  static std::vector<std::string> names(const AppModel& model) {
    std::vector<std::string> result;
    for (const ImageItem& item : model.items()) result.push_back(item.url.filename().string());
    return result;
  }
  static std::optional<std::string> selectedName(const AppModel& model) {
    const auto index = model.selectedIndex();
    if (!index) return std::nullopt;
    return model.items()[*index].url.filename().string();
  }
  static void open(AppModel& model, const fs::path& project) {
    QCoro::waitFor(model.openProject(project));
  }
  // A saved project of `items`, selecting `selected`.
  void saveProject(const std::vector<ImageItem>& items, const fs::path& project,
                   std::optional<size_t> selected = std::nullopt) {
    TestServices services;
    AppModel model(services.services());
    model.setItems(items);
    if (selected) model.setSelection(items[*selected].id);
    ASSERT_TRUE(model.saveProject(project));
  }

  QTemporaryDir dataHome;
  TempDir dir;
};

TEST_F(ProjectsTest, ASavedSessionOpensAsItWas) {
  auto items = scans(dir / "roll", 3);
  items[1].skipped = true;
  TestServices services;
  AppModel model(services.services());
  model.setItems(items);
  model.setSelection(items[2].id);
  model.setHasUnsavedChanges(true);
  const fs::path project = dir / "roll" / "." / "summer.kelvadorium";
  ASSERT_TRUE(model.saveProject(project));
  const fs::path standard = dir / "roll" / "summer.kelvadorium";
  EXPECT_EQ(model.projectURL(), standard);
  EXPECT_EQ(model.projectName(), "summer");
  EXPECT_FALSE(model.hasUnsavedChanges());
  EXPECT_EQ(model.recentProjects().front(), standard);
  EXPECT_EQ(services.workspace.recentDocuments, Paths{standard});

  const ProjectFile written = ProjectFile::read(standard);
  EXPECT_EQ(written.app, "Kelvadorium");
  EXPECT_EQ(written.version, 1);
  EXPECT_EQ(written.selectedIndex, 2);
  ASSERT_EQ(written.images.size(), 3u);
  EXPECT_EQ(written.images[0].relativePath, "f0.tif");

  // The sidecars beside the scans say otherwise; the project's records win.
  for (const ImageItem& item : items) {
    ConversionSettings other = item.settings;
    other.exposure = 2;
    FolderEdits::setSettings(other, item.url);
  }
  TestServices again;
  AppModel opened(again.services());
  open(opened, standard);
  EXPECT_EQ(names(opened), (std::vector<std::string>{"f0.tif", "f1.tif", "f2.tif"}));
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(opened.items()[i].settings, items[i].settings);
    EXPECT_EQ(opened.items()[i].skipped, items[i].skipped);
    EXPECT_NE(opened.items()[i].id, items[i].id);
  }
  EXPECT_EQ(selectedName(opened), "f2.tif");
  EXPECT_EQ(opened.projectURL(), standard);
  EXPECT_FALSE(opened.hasUnsavedChanges());
  EXPECT_FALSE(opened.notice());
  EXPECT_EQ(again.workspace.recentDocuments, Paths{standard});
  // Every opened scan gets its thumbnail, once the selected scan's first picture is shown.
  again.clock.advance(seconds(0.1));
  for (const ImageItem& item : opened.items()) EXPECT_TRUE(item.thumbnail) << item.url;
  EXPECT_EQ(opened.recentProjects().front(), standard);
}

TEST_F(ProjectsTest, WithoutASelectionNoIndexIsStoredAndTheFirstScanOpensSelected) {
  const auto items = scans(dir / "roll", 2);
  saveProject(items, dir / "p.kelvadorium");
  QFile file(QString::fromStdString((dir / "p.kelvadorium").native()));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_FALSE(file.readAll().contains("selectedIndex"));
  TestServices services;
  AppModel model(services.services());
  open(model, dir / "p.kelvadorium");
  EXPECT_EQ(selectedName(model), "f0.tif");
}

TEST_F(ProjectsTest, AMovedFolderIsFoundByRelativePathsAndMarkedUnsaved) {
  saveProject(scans(dir / "old" / "scans", 3), dir / "old" / "p.kelvadorium", 1);
  fs::rename(dir / "old", dir / "new");
  TestServices services;
  AppModel model(services.services());
  open(model, dir / "new" / "p.kelvadorium");
  EXPECT_TRUE(services.dialogs.alertsAsked.empty());
  EXPECT_EQ(names(model), (std::vector<std::string>{"f0.tif", "f1.tif", "f2.tif"}));
  EXPECT_EQ(model.items()[0].url, dir / "new" / "scans" / "f0.tif");
  EXPECT_EQ(selectedName(model), "f1.tif");
  EXPECT_TRUE(model.hasUnsavedChanges());
}

// Scans gone from disk: the question, then the session without them and a notice naming them.
TEST_F(ProjectsTest, MissingScansAreAskedAboutAndNamedWhenLeftOut) {
  struct Case {
    int total;
    std::vector<int> missing;
    QString question;
    QString notice;
  };
  const std::vector<Case> cases = {
      {5, {2}, "1 of 5 scans were not found", "1 scan was left out: f2.tif"},
      {9,
       {0, 1, 3, 4, 5, 6, 8},
       "7 of 9 scans were not found",
       "7 scans were left out: f0.tif, f1.tif, f3.tif, f4.tif, f5.tif…"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.question.toStdString());
    TempDir here;
    const auto items = scans(here / "roll", c.total);
    saveProject(items, here / "p.kelvadorium");
    for (int i : c.missing) fs::remove(items[static_cast<size_t>(i)].url);
    TestServices services;
    services.dialogs.alertAnswers = {1};  // Open Without Them
    AppModel model(services.services());
    open(model, here / "p.kelvadorium");
    ASSERT_EQ(services.dialogs.alertsAsked.size(), 1u);
    const auto& alert = services.dialogs.alertsAsked[0];
    EXPECT_EQ(alert.title, c.question);
    EXPECT_EQ(alert.text,
              "They may have moved, or the drive is not connected. Choose the folder that holds "
              "them (subfolders are searched too).");
    EXPECT_EQ(alert.buttons, (QStringList{"Locate Folder…", "Open Without Them", "Cancel"}));
    EXPECT_EQ(model.items().size(), size_t(c.total) - c.missing.size());
    EXPECT_EQ(model.notice(), c.notice);
    EXPECT_FALSE(model.hasUnsavedChanges());
    EXPECT_EQ(model.projectURL(), here / "p.kelvadorium");
  }
}

// The chosen folder holds the missing scans, deeper down: they return to their places in the
// project; a cancelled folder panel opens without them.
TEST_F(ProjectsTest, LocatingTheFolderRestoresTheProjectOrder) {
  const auto items = scans(dir / "roll", 5);
  saveProject(items, dir / "p.kelvadorium", 3);
  fs::create_directories(dir / "drive" / "deep");
  for (int i : {1, 3}) {
    fs::rename(items[size_t(i)].url, dir / "drive" / "deep" / items[size_t(i)].url.filename());
  }
  {
    TestServices services;
    services.dialogs.alertAnswers = {0};
    services.dialogs.folderAnswers = {dir / "drive"};
    AppModel model(services.services());
    open(model, dir / "p.kelvadorium");
    ASSERT_EQ(services.dialogs.folderAsked.size(), 1u);
    EXPECT_EQ(services.dialogs.folderAsked[0].prompt, "Search Here");
    EXPECT_EQ(services.dialogs.folderAsked[0].title, "Choose the folder with the missing scans");
    EXPECT_EQ(names(model),
              (std::vector<std::string>{"f0.tif", "f1.tif", "f2.tif", "f3.tif", "f4.tif"}));
    EXPECT_EQ(model.items()[1].url, dir / "drive" / "deep" / "f1.tif");
    EXPECT_EQ(model.items()[3].settings, items[3].settings);
    EXPECT_EQ(selectedName(model), "f3.tif");
    EXPECT_TRUE(model.hasUnsavedChanges());
    EXPECT_FALSE(model.notice());
  }
  {
    TestServices services;
    services.dialogs.alertAnswers = {0};
    AppModel model(services.services());
    open(model, dir / "p.kelvadorium");
    EXPECT_EQ(names(model), (std::vector<std::string>{"f0.tif", "f2.tif", "f4.tif"}));
    EXPECT_EQ(model.notice(), "2 scans were left out: f1.tif, f3.tif");
  }
}

// The saved index counts in the list as opened: index 4 with two scans left out.
TEST_F(ProjectsTest, TheSavedIndexAppliesAfterScansAreLeftOut) {
  struct Case {
    int total;
    std::optional<std::string> selected;
  };
  for (const Case& c : {Case{7, "f6.tif"}, Case{5, "f1.tif"}}) {
    SCOPED_TRACE(c.total);
    TempDir here;
    const auto items = scans(here / "roll", c.total);
    saveProject(items, here / "p.kelvadorium", 4);
    fs::remove(items[0].url);
    fs::remove(items[2].url);
    TestServices services;
    services.dialogs.alertAnswers = {1};
    AppModel model(services.services());
    open(model, here / "p.kelvadorium");
    EXPECT_EQ(selectedName(model), c.selected);
  }
}

// What stops opening leaves the session and the project as they were.
TEST_F(ProjectsTest, AFileThatIsNoProjectOrACancelKeepsTheSession) {
  const auto items = scans(dir / "roll", 2);
  saveProject(items, dir / "good.kelvadorium");
  QFile good(QString::fromStdString((dir / "good.kelvadorium").native()));
  ASSERT_TRUE(good.open(QIODevice::ReadOnly));
  const QByteArray goodText = good.readAll();
  struct Case {
    const char* name;
    QByteArray text;  // null: no file at all
    QString message;
  };
  const std::vector<Case> cases = {
      {"cut short", goodText.left(goodText.size() / 2),
       "“x.kelvadorium” is not a Kelvadorium project, or it is damaged."},
      {"foreign JSON", "{\"images\": \"none\"}",
       "“x.kelvadorium” is not a Kelvadorium project, or it is damaged."},
      {"not JSON", "\x89PNG\r\n",
       "“x.kelvadorium” is not a Kelvadorium project, or it is damaged."},
      {"gone", QByteArray(), "“x.kelvadorium” is not a Kelvadorium project, or it is damaged."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(dir / "x.kelvadorium");
    if (!c.text.isNull()) {
      QFile out(QString::fromStdString((dir / "x.kelvadorium").native()));
      ASSERT_TRUE(out.open(QIODevice::WriteOnly));
      out.write(c.text);
    }
    TestServices services;
    AppModel model(services.services());
    open(model, dir / "good.kelvadorium");
    const auto session = names(model);
    model.setHasUnsavedChanges(true);
    services.dialogs.alertAnswers = {1};  // "Don’t Save" in the save prompt
    open(model, dir / "x.kelvadorium");
    EXPECT_EQ(model.errorMessage(), c.message);
    EXPECT_EQ(names(model), session);
    EXPECT_EQ(model.projectURL(), dir / "good.kelvadorium");
    EXPECT_TRUE(model.hasUnsavedChanges());
    EXPECT_EQ(model.recentProjects().front(), dir / "good.kelvadorium");
  }

  // Cancel in the missing-scans question.
  fs::remove(items[0].url);
  TestServices services;
  AppModel model(services.services());
  const auto current = scans(dir / "current", 1);
  model.setItems(current);
  services.dialogs.alertAnswers = {2};
  open(model, dir / "good.kelvadorium");
  EXPECT_EQ(names(model), std::vector<std::string>{"f0.tif"});
  EXPECT_EQ(model.items()[0].url, current[0].url);
  EXPECT_FALSE(model.projectURL());

  // The same Cancel after the save prompt saved the open project: the session stays, saved.
  const fs::path mine = dir / "current" / "mine.kelvadorium";
  ASSERT_TRUE(model.saveProject(mine));
  ConversionSettings edited = model.items()[0].settings;
  edited.exposure = 1.5;
  model.storeSettings(0, edited);
  model.setHasUnsavedChanges(true);
  services.dialogs.alertAnswers = {0, 2};  // "Save…", then Cancel in the missing-scans question
  open(model, dir / "good.kelvadorium");
  EXPECT_TRUE(services.dialogs.alertAnswers.empty());
  EXPECT_EQ(names(model), std::vector<std::string>{"f0.tif"});
  EXPECT_EQ(model.projectURL(), mine);
  EXPECT_FALSE(model.hasUnsavedChanges());
  const ProjectFile saved = ProjectFile::read(mine);
  ASSERT_EQ(saved.images.size(), 1u);
  EXPECT_EQ(saved.images[0].settings.exposure, 1.5);
}

TEST_F(ProjectsTest, AFailedSaveChangesOnlyTheMessage) {
  const auto items = scans(dir / "roll", 1);
  fs::create_directories(dir / "locked");
  TestServices services;
  AppModel model(services.services());
  model.setItems(items);
  ASSERT_TRUE(model.saveProject(dir / "first.kelvadorium"));
  model.setHasUnsavedChanges(true);
  const auto recent = model.recentProjects();
  {
    ReadOnlyFolder readOnly(dir / "locked");
    EXPECT_FALSE(model.saveProject(dir / "locked" / "p.kelvadorium"));
  }
  EXPECT_EQ(model.errorMessage(), "Could not save the project: Permission denied");
  EXPECT_EQ(model.projectURL(), dir / "first.kelvadorium");
  EXPECT_TRUE(model.hasUnsavedChanges());
  EXPECT_EQ(model.recentProjects(), recent);
  EXPECT_EQ(services.workspace.recentDocuments.size(), 1u);
  EXPECT_FALSE(fs::exists(dir / "locked" / "p.kelvadorium"));
}

TEST_F(ProjectsTest, SaveAsProposesANameAndAPlace) {
  TestServices services;
  AppModel model(services.services());
  QCoro::waitFor(model.saveProjectAs());
  EXPECT_TRUE(services.dialogs.saveAsked.empty());

  model.setItems(scans(dir / "Roll 12", 2));
  services.dialogs.saveAnswers = {dir / "typed"};
  QCoro::waitFor(model.saveProjectAs());
  ASSERT_EQ(services.dialogs.saveAsked.size(), 1u);
  const auto& first = services.dialogs.saveAsked[0];
  EXPECT_EQ(first.suggestedName, "Roll 12.kelvadorium");
  EXPECT_EQ(first.directory, dir / "Roll 12");
  EXPECT_EQ(first.extension, "kelvadorium");
  EXPECT_EQ(first.nameFilter, "Kelvadorium project (*.kelvadorium)");
  EXPECT_EQ(first.title,
            "Save the scans and their settings, to continue later or on another computer. Tip: "
            "save it in or next to the scan folder.");
  EXPECT_EQ(model.projectURL(), dir / "typed.kelvadorium");
  EXPECT_TRUE(fs::exists(dir / "typed.kelvadorium"));

  // With a project open: its name, and the place the desktop chooses.
  QCoro::waitFor(model.saveProjectAs());
  ASSERT_EQ(services.dialogs.saveAsked.size(), 2u);
  EXPECT_EQ(services.dialogs.saveAsked[1].suggestedName, "typed.kelvadorium");
  EXPECT_EQ(services.dialogs.saveAsked[1].directory, fs::path());
  EXPECT_EQ(model.projectURL(), dir / "typed.kelvadorium");

  QCoro::waitFor(model.showOpenProjectPanel());
  ASSERT_EQ(services.dialogs.openAsked.size(), 1u);
  EXPECT_EQ(services.dialogs.openAsked[0].prompt, "Open");
  EXPECT_EQ(services.dialogs.openAsked[0].title, "Open a Kelvadorium project");
  EXPECT_FALSE(services.dialogs.openAsked[0].multiple);
  EXPECT_FALSE(services.dialogs.openAsked[0].folders);
  EXPECT_EQ(services.dialogs.openAsked[0].extensions, QStringList{"kelvadorium"});
}

TEST_F(ProjectsTest, TheRecentListKeepsTenDistinctProjectsNewestFirst) {
  TestServices services;
  AppModel model(services.services());
  EXPECT_TRUE(model.recentProjects().empty());
  Paths added;
  for (int i = 0; i < 11; ++i) {
    added.push_back(dir / numbered("p", i, ".kelvadorium"));
    model.addRecentProject(added.back());
  }
  // A path spelt another way counts once, at the front.
  model.addRecentProject(dir / "sub" / ".." / "." / "p5.kelvadorium");
  Paths expected = {dir / "sub" / ".." / "." / "p5.kelvadorium"};
  for (int i = 10; i >= 1; --i) {
    if (i != 5) expected.push_back(added[size_t(i)]);
  }
  EXPECT_EQ(model.recentProjects(), expected);
  EXPECT_EQ(model.preferences().pathListValue("recentProjects"), expected);
  AppModel relaunched(services.services());
  EXPECT_EQ(relaunched.recentProjects(), expected);

  model.clearRecentProjects();
  EXPECT_TRUE(model.recentProjects().empty());
  EXPECT_FALSE(model.preferences().contains("recentProjects"));
}

// Without a stored list the desktop's recent documents stand in: projects only, the newest ten.
TEST_F(ProjectsTest, WithoutAStoredListTheDesktopsRecentProjectsAreUsed) {
  const auto xbel = RecentDocuments::standardPath();
  EXPECT_EQ(xbel, fs::path(dataHome.path().toStdString()) / "recently-used.xbel");
  QDateTime when = QDateTime::currentDateTimeUtc();
  Paths projects;
  for (int i = 0; i < 12; ++i) {
    when = when.addSecs(1);
    projects.insert(projects.begin(), dir / numbered("p", i, ".kelvadorium"));
    ASSERT_TRUE(RecentDocuments::noteDocument(xbel, projects.front(), when));
    ASSERT_TRUE(RecentDocuments::noteDocument(xbel, dir / numbered("scan", i, ".tif"),
                                              when.addMSecs(500)));
  }
  TestServices services;
  {
    AppModel model(services.services());
    EXPECT_EQ(model.recentProjects(), Paths(projects.begin(), projects.begin() + 10));
    model.addRecentProject(dir / "mine.kelvadorium");
  }
  // A stored list, once written, is used as it is.
  AppModel model(services.services());
  Paths stored = {dir / "mine.kelvadorium"};
  stored.insert(stored.end(), projects.begin(), projects.begin() + 9);
  EXPECT_EQ(model.recentProjects(), stored);
  model.clearRecentProjects();
  EXPECT_EQ(AppModel::loadRecentProjects(model.preferences(), xbel),
            Paths(projects.begin(), projects.begin() + 10));
}

// Saving and opening note the project with the desktop's recent documents through the
// workspace.
TEST_F(ProjectsTest, SavingAndOpeningNoteTheRecentDocument) {
  const auto items = scans(dir / "roll", 1);
  TestServices services;
  AppModel model(services.services());
  model.setItems(items);
  ASSERT_TRUE(model.saveProject(dir / "a.kelvadorium"));
  open(model, dir / "a.kelvadorium");
  EXPECT_EQ(services.workspace.recentDocuments,
            (Paths{dir / "a.kelvadorium", dir / "a.kelvadorium"}));
}

// Scans left out when opening stay in the project: saving writes them back after the session's
// scans, unchanged in place and with new relative paths under a new name, and once only when
// the scan is back in the session. Opening another project drops them.
TEST_F(ProjectsTest, ScansLeftOutAreWrittenBackWhenSaving) {
  auto items = scans(dir / "roll", 3);
  items[1].settings.exposure = 1.5;
  items[1].skipped = true;
  saveProject(items, dir / "p.kelvadorium", 2);
  const ProjectFile original = ProjectFile::read(dir / "p.kelvadorium");
  const fs::path away = dir / "away.tif";
  fs::rename(items[1].url, away);

  TestServices services;
  services.dialogs.alertAnswers = {1, 1, 1};
  AppModel model(services.services());
  open(model, dir / "p.kelvadorium");
  ASSERT_EQ(names(model), (std::vector<std::string>{"f0.tif", "f2.tif"}));
  ASSERT_TRUE(model.saveProject(dir / "p.kelvadorium"));
  ProjectFile saved = ProjectFile::read(dir / "p.kelvadorium");
  ASSERT_EQ(saved.images.size(), 3u);
  EXPECT_EQ(saved.images[0], original.images[0]);
  EXPECT_EQ(saved.images[1], original.images[2]);
  EXPECT_EQ(saved.images[2], original.images[1]);

  fs::create_directories(dir / "elsewhere");
  ASSERT_TRUE(model.saveProject(dir / "elsewhere" / "q.kelvadorium"));
  saved = ProjectFile::read(dir / "elsewhere" / "q.kelvadorium");
  ASSERT_EQ(saved.images.size(), 3u);
  EXPECT_EQ(saved.images[2].relativePath, "../roll/f1.tif");
  EXPECT_EQ(saved.images[2].absolutePath, original.images[1].absolutePath);
  EXPECT_EQ(saved.images[2].settings, items[1].settings);
  EXPECT_TRUE(saved.images[2].skipped);

  // The scan is back and added again: written once.
  fs::rename(away, items[1].url);
  auto session = model.items();
  session.push_back(items[1]);
  model.setItems(session);
  ASSERT_TRUE(model.saveProject(dir / "elsewhere" / "q.kelvadorium"));
  EXPECT_EQ(ProjectFile::read(dir / "elsewhere" / "q.kelvadorium").images.size(), 3u);

  // A closed session (no project open) writes them no more.
  {
    TestServices other;
    other.dialogs.alertAnswers = {1};
    AppModel closing(other.services());
    open(closing, dir / "p.kelvadorium");
    closing.setProjectURL(std::nullopt);
    closing.setItems(scans(dir / "fresh", 1));
    ASSERT_TRUE(closing.saveProject(dir / "fresh.kelvadorium"));
    EXPECT_EQ(ProjectFile::read(dir / "fresh.kelvadorium").images.size(), 1u);
  }

  // Another project drops them.
  fs::rename(items[1].url, away);
  open(model, dir / "p.kelvadorium");
  saveProject(scans(dir / "other", 1), dir / "other.kelvadorium");
  open(model, dir / "other.kelvadorium");
  ASSERT_TRUE(model.saveProject(dir / "other.kelvadorium"));
  EXPECT_EQ(ProjectFile::read(dir / "other.kelvadorium").images.size(), 1u);
}

// Two entries naming one file cannot break opening: every found entry keeps its own place.
TEST_F(ProjectsTest, TwoEntriesOfOneFileOpenInTheirPlaces) {
  auto items = scans(dir / "roll", 3);
  const auto entryOf = [&](const ImageItem& item, double exposure) {
    ConversionSettings settings = item.settings;
    settings.exposure = exposure;
    return ProjectFile::Entry(item.url, settings, false, dir / "p.kelvadorium");
  };
  ProjectFile project({entryOf(items[0], 0.1), entryOf(items[1], 0.2), entryOf(items[0], 0.3),
                       entryOf(items[2], 0.4)},
                      3);
  ProjectFile::write(project, dir / "p.kelvadorium");
  fs::create_directories(dir / "drive");
  fs::rename(items[0].url, dir / "drive" / "f0.tif");
  TestServices services;
  services.dialogs.alertAnswers = {0};
  services.dialogs.folderAnswers = {dir / "drive"};
  AppModel model(services.services());
  open(model, dir / "p.kelvadorium");
  std::vector<double> exposures;
  for (const ImageItem& item : model.items()) exposures.push_back(item.settings.exposure);
  EXPECT_EQ(exposures, (std::vector<double>{0.1, 0.2, 0.3, 0.4}));
  EXPECT_EQ(selectedName(model), "f2.tif");
}

}  // namespace
