// Adding, removing and clearing scans on a real folder tree: what a choice of files and folders
// adds and in which order, stored records and the film-type question, removal and the new
// selection, the save prompt's three answers, and closing the session with the renderers it
// empties.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Export/FileBytes.h"
#include "Export/FolderEdits.h"
#include "Export/SettingsSidecar.h"
#include "Model/AppModel.h"
#include "Services/TaskHandle.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

std::vector<fs::path> urlsOf(const AppModel& model) {
  std::vector<fs::path> urls;
  for (const ImageItem& item : model.items()) urls.push_back(item.url);
  return urls;
}

std::vector<Uuid> idsOf(const AppModel& model) {
  std::vector<Uuid> ids;
  for (const ImageItem& item : model.items()) ids.push_back(item.id);
  return ids;
}

class ScansTest : public ::testing::Test {
 protected:
  ScansTest() { model = std::make_unique<AppModel>(services.services()); }
  ~ScansTest() override {
    VirtualClock::settle();
    model.reset();
  }

  // The save prompt's answer once its dialogs have answered.
  std::optional<bool> confirm() {
    std::optional<bool> answer;
    auto task = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
      answer = co_await model->confirmSaveBeforeClosing();
    });
    VirtualClock::settle();
    return answer;
  }

  // Scans A to E in one folder, real TIFFs the renderers can decode.
  std::vector<Uuid> addFive() {
    fs::create_directories(dir / "five");
    for (const char* name : {"A.tif", "B.tif", "C.tif", "D.tif", "E.tif"}) {
      ScanFixtures::writeTiff(dir / "five" / name, {});
    }
    model->addScans({dir / "five"});
    return idsOf(*model);
  }

  TempDir dir;
  TestServices services;
  std::unique_ptr<AppModel> model;
};

// One fresh session per row: the paths chosen, then the scans added in order, whether the notice
// came, and the state that follows an add.
TEST_F(ScansTest, WhatAChoiceAddsAndInWhichOrder) {
  const fs::path roll = dir / "roll";
  const fs::path other = dir / "other";
  touch(roll / "IMG_10.nef");
  touch(roll / "IMG_2.NEF");
  touch(roll / "notes.txt");
  touch(roll / "Roll 7.kelvadorium");
  touch(roll / ".hidden.tif");
  touch(roll / "nested" / "deep" / "x.jpg");
  touch(other / "a.tif");
  touch(dir / std::string("odd\xff.png"));
  struct Case {
    const char* name;
    std::vector<fs::path> chosen;
    std::vector<fs::path> added;
    bool notice;
  };
  const std::vector<Case> cases = {
      {"a folder, nested folders, 2 before 10",
       {roll},
       {roll / "IMG_2.NEF", roll / "IMG_10.nef", roll / "nested/deep/x.jpg"},
       false},
      {"a hidden file chosen directly", {roll / ".hidden.tif"}, {roll / ".hidden.tif"}, false},
      {"folders in the order of their whole paths",
       {roll / "nested", other},
       {other / "a.tif", roll / "nested/deep/x.jpg"},
       false},
      {"a folder and a file in it",
       {roll / "IMG_2.NEF", roll},
       {roll / "IMG_2.NEF", roll / "IMG_10.nef", roll / "nested/deep/x.jpg"},
       false},
      {"overlapping folders",
       {roll / "nested", roll},
       {roll / "IMG_2.NEF", roll / "IMG_10.nef", roll / "nested/deep/x.jpg"},
       false},
      {"a name that is not UTF-8", {dir / std::string("odd\xff.png")},
       {dir / std::string("odd\xff.png")}, false},
      {"a text file", {roll / "notes.txt"}, {}, true},
      {"a project file dropped alone", {roll / "Roll 7.kelvadorium"}, {}, true},
      {"a path that does not exist", {dir / "missing"}, {}, true},
      {"an empty list", {}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices fresh;
    AppModel session(fresh.services());
    session.addScans(c.chosen);
    EXPECT_EQ(urlsOf(session), c.added);
    EXPECT_EQ(session.notice().has_value(), c.notice);
    if (c.notice) {
      EXPECT_EQ(*session.notice(), "No new scans found (RAW, TIFF or JPEG).");
    }
    EXPECT_EQ(session.hasUnsavedChanges(), !c.added.empty());
    if (c.added.empty()) {
      EXPECT_FALSE(session.selection());
      EXPECT_FALSE(session.filmTypeQuestion());
      continue;
    }
    EXPECT_EQ(session.selection(), session.items().front().id);
    EXPECT_EQ(session.filmTypeQuestion(), idsOf(session));
    EXPECT_FALSE(session.canUndo());
    for (const ImageItem& item : session.items()) {
      EXPECT_FALSE(item.thumbnail);
      EXPECT_FALSE(item.skipped);
    }
    VirtualClock::settle();
  }
}

TEST_F(ScansTest, AddingAFolderAgainAddsOnlyWhatIsNew) {
  const fs::path roll = dir / "roll";
  touch(roll / "f1.tif");
  touch(roll / "f2.tif");
  model->addScans({roll});
  const std::vector<Uuid> first = idsOf(*model);
  model->setSelection(first[1]);
  model->setHasUnsavedChanges(false);

  model->addScans({roll});
  EXPECT_EQ(model->notice(), "No new scans found (RAW, TIFF or JPEG).");
  EXPECT_FALSE(model->hasUnsavedChanges());
  EXPECT_EQ(idsOf(*model), first);

  touch(roll / "f10.tif");
  model->setNotice(std::nullopt);
  model->addScans({roll});
  EXPECT_EQ(urlsOf(*model), (std::vector<fs::path>{roll / "f1.tif", roll / "f2.tif",
                                                    roll / "f10.tif"}));
  EXPECT_EQ(model->selection(), first[1]);  // a selected scan stays selected
  EXPECT_FALSE(model->notice());
  EXPECT_TRUE(model->hasUnsavedChanges());
  // Only the new scan is asked about; the earlier question is replaced.
  EXPECT_EQ(model->filmTypeQuestion(), std::vector<Uuid>{model->items()[2].id});
}

// Three new scans, the middle one with a stored record: only the other two get the defaults for
// new scans and the question, which only asks while askFilmType is on. Records left in older
// per-image sidecars move into the folder file first, only while sidecars are saved.
TEST_F(ScansTest, StoredRecordsDefaultsAndTheQuestion) {
  struct Case {
    const char* name;
    bool askFilmType;
    bool saveSidecars;
    bool perImageSidecar;
  };
  for (const Case& c : {Case{"folder record, asking", true, true, false},
                        Case{"folder record, not asking", false, true, false},
                        Case{"per-image record, migrated", true, true, true},
                        Case{"per-image record, sidecars off", true, false, true}}) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    for (const char* name : {"s1.tif", "s2.tif", "s3.tif"}) touch(folder / name);
    ConversionSettings stored;
    stored.mode = FilmMode::positive;
    stored.look = ScannerLook::frontier;
    stored.exposure = 0.5;
    if (c.perImageSidecar) {
      std::ofstream(SettingsSidecar::sidecarURL(folder / "s2.tif")) << toJson(stored).dump();
    } else {
      FolderEdits::setSettings(stored, folder / "s2.tif");
    }
    TestServices fresh;
    AppModel session(fresh.services());
    session.setDefaultMode(FilmMode::bwNegative);
    session.setDefaultLook(ScannerLook::noritsu);
    session.setAskFilmType(c.askFilmType);
    session.setSaveSidecars(c.saveSidecars);
    session.addScans({folder.path()});
    const auto& items = session.items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].settings, stored);
    for (size_t i : {0u, 2u}) {
      ConversionSettings expected;
      expected.mode = FilmMode::bwNegative;
      expected.look = ScannerLook::noritsu;
      EXPECT_EQ(items[i].settings, expected) << i;
    }
    if (c.askFilmType) {
      EXPECT_EQ(session.filmTypeQuestion(), (std::vector<Uuid>{items[0].id, items[2].id}));
    } else {
      EXPECT_FALSE(session.filmTypeQuestion());
    }
    const bool migrated = c.perImageSidecar && c.saveSidecars;
    EXPECT_EQ(fs::exists(SettingsSidecar::sidecarURL(folder / "s2.tif")),
              c.perImageSidecar && !migrated);
    EXPECT_EQ(FolderEdits::settings(folder / "s2.tif").has_value(), !c.perImageSidecar || migrated);
    VirtualClock::settle();
  }
}

// A folder file that cannot be understood: its scans are new scans, asked about, and the file
// keeps every byte.
TEST_F(ScansTest, ADamagedSidecarGivesTheDefaultsAndIsLeftAlone) {
  const fs::path roll = dir / "roll";
  touch(roll / "a.tif");
  const std::string damaged = "{\"version\": 1, \"scans\": {\"a.tif\": ";
  std::ofstream(FolderEdits::fileURL(roll)) << damaged;
  model->setDefaultMode(FilmMode::positive);
  model->addScans({roll});
  ASSERT_EQ(model->items().size(), 1u);
  EXPECT_EQ(model->items()[0].settings.mode, FilmMode::positive);
  EXPECT_EQ(model->filmTypeQuestion(), idsOf(*model));
  EXPECT_EQ(FileBytes::read(FolderEdits::fileURL(roll)), damaged);
}

TEST_F(ScansTest, AnsweringTheFilmTypeQuestion) {
  struct Case {
    const char* name;
    FilmMode answer;
    std::vector<FilmMode> modes;  // of the three scans afterwards
  };
  for (const Case& c : {Case{"the type they carry", FilmMode::colorNegative,
                             {FilmMode::colorNegative, FilmMode::positive, FilmMode::colorNegative}},
                        Case{"another type", FilmMode::bwNegative,
                             {FilmMode::bwNegative, FilmMode::positive, FilmMode::bwNegative}}}) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    for (const char* name : {"s1.tif", "s2.tif", "s3.tif"}) touch(folder / name);
    ConversionSettings stored;
    stored.mode = FilmMode::positive;
    FolderEdits::setSettings(stored, folder / "s2.tif");
    TestServices fresh;
    AppModel session(fresh.services());
    session.addScans({folder.path()});
    QSignalSpy itemsChanged(&session, &AppModel::itemsChanged);
    session.answerFilmType(c.answer);
    EXPECT_FALSE(session.filmTypeQuestion());
    EXPECT_EQ(session.defaultMode(), c.answer);  // written even when no scan changes
    std::vector<FilmMode> modes;
    for (const ImageItem& item : session.items()) modes.push_back(item.settings.mode);
    EXPECT_EQ(modes, c.modes);
    EXPECT_EQ(itemsChanged.isEmpty(), c.answer == FilmMode::colorNegative);
    // Undo does not take the answer back.
    EXPECT_FALSE(session.canUndo());
    session.undo();
    modes.clear();
    for (const ImageItem& item : session.items()) modes.push_back(item.settings.mode);
    EXPECT_EQ(modes, c.modes);
    VirtualClock::settle();
  }
}

TEST_F(ScansTest, AnAnswerWithoutAQuestionOrWithItsScansGone) {
  model->answerFilmType(FilmMode::positive);
  EXPECT_EQ(model->defaultMode(), FilmMode::colorNegative);

  touch(dir / "roll" / "a.tif");
  model->addScans({dir / "roll"});
  model->removeItems(idsOf(*model));
  model->answerFilmType(FilmMode::bwNegative);
  EXPECT_EQ(model->defaultMode(), FilmMode::bwNegative);
  EXPECT_TRUE(model->items().empty());
}

// Scans A to E: which are removed, which was selected and marked, then what is left.
TEST_F(ScansTest, RemovingScansAndTheNewSelection) {
  struct Case {
    const char* name;
    std::vector<size_t> removed;
    std::optional<size_t> selected;
    std::vector<size_t> marked;
    std::vector<size_t> left;
    std::optional<size_t> selectedAfter;  // index into the five
    std::vector<size_t> markedAfter;
  };
  const std::vector<Case> cases = {
      {"B and D with D selected", {1, 3}, 3, {}, {0, 2, 4}, 2, {}},
      {"the last, selected", {4}, 4, {}, {0, 1, 2, 3}, 3, {}},
      {"the selected and all after it", {2, 3, 4}, 2, {}, {0, 1}, 1, {}},
      {"every scan", {0, 1, 2, 3, 4}, 2, {}, {}, std::nullopt, {}},
      {"not the selected one", {1}, 3, {1, 2}, {0, 2, 3, 4}, 3, {2}},
      {"nothing selected", {0}, std::nullopt, {0, 4}, {1, 2, 3, 4}, std::nullopt, {4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices fresh;
    AppModel session(fresh.services());
    for (const char* name : {"A.tif", "B.tif", "C.tif", "D.tif", "E.tif"}) touch(dir / "r" / name);
    session.addScans({dir / "r"});
    const std::vector<Uuid> five = idsOf(session);
    session.setSelection(c.selected ? std::optional<Uuid>(five[*c.selected]) : std::nullopt);
    std::set<Uuid> marks;
    for (size_t i : c.marked) marks.insert(five[i]);
    session.setMarked(marks);
    session.setHasUnsavedChanges(false);
    std::vector<Uuid> removed;
    for (size_t i : c.removed) removed.push_back(five[i]);
    removed.push_back(Uuid::random());  // not in the session
    session.removeItems(removed);
    std::vector<Uuid> left;
    for (size_t i : c.left) left.push_back(five[i]);
    EXPECT_EQ(idsOf(session), left);
    EXPECT_EQ(session.selection(),
              c.selectedAfter ? std::optional<Uuid>(five[*c.selectedAfter]) : std::nullopt);
    std::set<Uuid> marksAfter;
    for (size_t i : c.markedAfter) marksAfter.insert(five[i]);
    EXPECT_EQ(session.marked(), marksAfter);
    EXPECT_TRUE(session.hasUnsavedChanges());
    VirtualClock::settle();
  }
}

TEST_F(ScansTest, RemovingOnlyUnknownIdsChangesNothing) {
  const auto five = addFive();
  model->setHasUnsavedChanges(false);
  QSignalSpy itemsChanged(model.get(), &AppModel::itemsChanged);
  model->removeItems({Uuid::random()});
  model->removeItems({});
  EXPECT_EQ(idsOf(*model), five);
  EXPECT_TRUE(itemsChanged.isEmpty());
  EXPECT_FALSE(model->hasUnsavedChanges());
}

// Removed files are forgotten by the preview, light and thumbnail renderers; the fast and detail
// renderers keep theirs. Closing the session empties the same three.
TEST_F(ScansTest, RemovalAndClosingForgetOnlyWhatTheyShould) {
  const auto five = addFive();
  VirtualClock::settle();
  const ConversionSettings defaults;
  const auto proxiesHeld = [&](Renderer& renderer) {
    std::optional<size_t> count;
    auto task = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
      auto held = co_await renderer.perform([](RenderCache& cache) { return cache.proxyCount(); });
      count = held.value();
    });
    VirtualClock::settle();
    return count.value_or(99);
  };
  std::vector<Renderer*> all = {&model->previewRenderer(), &model->lightRenderer(),
                                &model->thumbRenderer(), &model->fastRenderer(),
                                &model->detailRenderer()};
  for (Renderer* renderer : all) {
    for (const ImageItem& item : model->items()) {
      auto task = TaskHandle::start([&, renderer](std::stop_token) -> QCoro::Task<> {
        co_await renderer->proxy(item.url, defaults);
      });
      VirtualClock::settle();
    }
  }
  const std::vector<size_t> before = {proxiesHeld(model->previewRenderer()),
                                      proxiesHeld(model->lightRenderer()),
                                      proxiesHeld(model->thumbRenderer()),
                                      proxiesHeld(model->fastRenderer()),
                                      proxiesHeld(model->detailRenderer())};
  EXPECT_EQ(before, (std::vector<size_t>{4, 5, 5, 4, 1}));

  model->removeItems({five[1], five[3], five[4]});
  VirtualClock::settle();
  // E was the last one decoded, so the capacity-one detail renderer holds it still.
  EXPECT_EQ(proxiesHeld(model->previewRenderer()), 1u);  // C, of B to E
  EXPECT_EQ(proxiesHeld(model->lightRenderer()), 2u);
  EXPECT_EQ(proxiesHeld(model->thumbRenderer()), 2u);
  EXPECT_EQ(proxiesHeld(model->fastRenderer()), 4u);
  EXPECT_EQ(proxiesHeld(model->detailRenderer()), 1u);

  model->closeSession();
  VirtualClock::settle();
  EXPECT_EQ(proxiesHeld(model->previewRenderer()), 0u);
  EXPECT_EQ(proxiesHeld(model->lightRenderer()), 0u);
  EXPECT_EQ(proxiesHeld(model->thumbRenderer()), 0u);
  EXPECT_EQ(proxiesHeld(model->fastRenderer()), 4u);
  EXPECT_EQ(proxiesHeld(model->detailRenderer()), 1u);
}

// The prompt's answers as the dialogs give them: its index in the order of the buttons. A
// project in a folder that does not exist cannot be saved, so "Save…" keeps the session.
TEST_F(ScansTest, TheSavePromptsAnswers) {
  struct Case {
    const char* name;
    bool unsaved;
    bool withScans;
    bool project;
    std::optional<int> button;  // none: no alert is expected
    bool goOn;
  };
  const std::vector<Case> cases = {
      {"nothing unsaved", false, true, false, std::nullopt, true},
      {"no scans", true, false, false, std::nullopt, true},
      {"Don't Save", true, true, false, 1, true},
      {"Cancel", true, true, false, 2, false},
      {"Save, the save panel cancelled", true, true, false, 0, false},
      {"Save into a project that cannot be written", true, true, true, 0, false},
      {"Don't Save with a project", true, true, true, 1, true},
      {"Cancel with a project", true, true, true, 2, false},
  };
  const auto five = addFive();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices fresh;
    AppModel session(fresh.services());
    if (c.withScans) session.addScans({dir / "five"});
    if (c.project) session.setProjectURL(dir / "missing" / "Roll 12.kelvadorium");
    session.setHasUnsavedChanges(c.unsaved);
    if (c.button) fresh.dialogs.alertAnswers.push_back(*c.button);
    std::optional<bool> answer;
    auto task = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
      answer = co_await session.confirmSaveBeforeClosing();
    });
    VirtualClock::settle();
    EXPECT_EQ(answer, c.goOn);
    ASSERT_EQ(fresh.dialogs.alertsAsked.size(), c.button ? 1u : 0u);
    if (!c.button) continue;
    const DialogService::Alert& alert = fresh.dialogs.alertsAsked[0];
    EXPECT_EQ(alert.title, c.project ? QString::fromUtf8("Save changes to \u201C%1\u201D?")
                                           .arg(session.projectName())
                                     : QString("Save these scans as a project?"));
    EXPECT_EQ(alert.text,
              "Settings are also kept next to each scan, but a project remembers the whole "
              "session.");
    EXPECT_EQ(alert.buttons, (QStringList{QString::fromUtf8("Save\u2026"),
                                          QString::fromUtf8("Don\u2019t Save"), "Cancel"}));
    // Answering changes nothing of the session.
    EXPECT_EQ(session.items().size(), 5u);
    VirtualClock::settle();
  }
}

// "Clear Images": the project closes, the list, selection, preview, analysis and thumbnail queue
// empty, and with them the marks, the range anchor and a pending question, so that commands for
// several scans act on the selected scan of the next session. The copied settings, the notice
// and the history stay.
TEST_F(ScansTest, ClearImagesEmptiesTheSession) {
  const auto five = addFive();
  model->setProjectURL(dir / "roll.kelvadorium");
  model->setMarked({five[1], five[2]});
  model->plain().rangeAnchor = five[1];
  model->setSelection(five[2]);
  model->setAnalysis(FilmAnalysis{});
  model->setPreview(std::make_shared<const PreviewImage>());
  ConversionSettings copied;
  copied.exposure = 1;
  model->setCopiedSettings(copied);
  model->setNotice(QString("kept"));
  model->plain().thumbQueue.push_back(five[4]);
  ASSERT_TRUE(model->filmTypeQuestion());

  model->closeSession();
  EXPECT_FALSE(model->projectURL());
  EXPECT_FALSE(model->hasUnsavedChanges());
  EXPECT_TRUE(model->items().empty());
  EXPECT_FALSE(model->selection());
  EXPECT_FALSE(model->preview());
  EXPECT_FALSE(model->analysis());
  EXPECT_TRUE(model->plain().thumbQueue.empty());
  EXPECT_TRUE(model->marked().empty());
  EXPECT_FALSE(model->plain().rangeAnchor);
  EXPECT_FALSE(model->filmTypeQuestion());
  EXPECT_EQ(model->copiedSettings(), copied);
  EXPECT_EQ(model->notice(), "kept");

  touch(dir / "next" / "n.tif");
  model->addScans({dir / "next"});
  ASSERT_EQ(model->items().size(), 1u);
  EXPECT_EQ(model->targetIDs(), std::vector<Uuid>{model->items()[0].id});
}

TEST_F(ScansTest, TheAddPanel) {
  touch(dir / "roll" / "a.tif");
  touch(dir / "b.dng");
  services.dialogs.openAnswers.push_back({dir / "roll", dir / "b.dng"});
  auto added = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    co_await model->showAddPanel();
  });
  VirtualClock::settle();
  ASSERT_EQ(services.dialogs.openAsked.size(), 1u);
  const DialogService::OpenPanel& panel = services.dialogs.openAsked[0];
  EXPECT_EQ(panel.prompt, "Add");
  EXPECT_EQ(panel.title, "Choose scans or a folder of scans");
  EXPECT_TRUE(panel.files && panel.folders && panel.multiple);
  for (const char* extension : {"nef", "dng", "tif", "tiff", "jpg", "jpeg", "png", "heic"}) {
    EXPECT_TRUE(panel.extensions.contains(extension)) << extension;
  }
  EXPECT_EQ(urlsOf(*model), (std::vector<fs::path>{dir / "b.dng", dir / "roll/a.tif"}));

  // Cancelled: nothing happens, not even the notice.
  auto cancelled = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    co_await model->showAddPanel();
  });
  VirtualClock::settle();
  EXPECT_EQ(model->items().size(), 2u);
  EXPECT_FALSE(model->notice());
}

}  // namespace
