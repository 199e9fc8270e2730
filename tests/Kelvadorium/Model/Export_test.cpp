// Export orchestration: which scans each entry point picks and what it counts, the options
// kept, the folder and the question about files already there, and the export itself: one
// scan at a time with its progress, skipping or replacing, failures, cancellation, the summary
// and the folder revealed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <nlohmann/json.hpp>

#include "Driver/ExportScan.h"
#include "Model/AppModel.h"
#include "Model/ExportMessages.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace fs = std::filesystem;

namespace {

using Paths = std::vector<fs::path>;

class ExportTest : public ::testing::Test {
 protected:
  ExportTest() { fs::create_directories(prints); }

  ImageItem scan(const fs::path& path, bool skipped = false) const {
    fs::create_directories(path.parent_path());
    ScanFixtures::writeTiff(path, {});
    ImageItem item;
    item.url = path;
    item.skipped = skipped;
    return item;
  }
  std::vector<ImageItem> scans(std::initializer_list<const char*> names) const {
    std::vector<ImageItem> items;
    for (const char* name : names) items.push_back(scan(dir / "roll" / name));
    return items;
  }
  static std::vector<std::string> names(const std::optional<std::vector<ImageItem>>& items) {
    std::vector<std::string> result;
    for (const ImageItem& item : items.value_or(std::vector<ImageItem>{})) {
      result.push_back(item.url.filename().string());
    }
    return result;
  }
  static ExportOptions formats(std::vector<ExportFormat> wanted) {
    ExportOptions options;
    options.formats = std::move(wanted);
    options.longEdge = 16;
    return options;
  }
  // Accepts the sheet and lets the export run to its end.
  static void exportNow(AppModel& model, std::vector<ImageItem> targets, ExportOptions options) {
    QCoro::waitFor(model.confirmExport(std::move(targets), std::move(options)));
    finish(model);
  }
  static void finish(AppModel& model) {
    QElapsedTimer timer;
    timer.start();
    while (model.exportProgress() && timer.elapsed() < 60000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    ASSERT_FALSE(model.exportProgress());
  }

  TempDir dir;
  fs::path prints = dir / "Prints";
};

// Each entry point: the scans it puts into the request (none: no request) and the event counted.
TEST_F(ExportTest, EntryPointsPickTheirScansAndCountTheirEvents) {
  struct Case {
    const char* name;
    std::function<void(AppModel&, const std::vector<ImageItem>&)> act;
    std::optional<std::vector<std::string>> request;
    QStringList events;
  };
  const std::vector<Case> cases = {
      {"selected",
       [](AppModel& m, auto& s) {
         m.setSelection(s[2].id);
         m.exportSelected();
       },
       std::vector<std::string>{"c.tif"},
       {"export.one"}},
      {"selected, nothing selected",
       [](AppModel& m, auto&) { m.exportSelected(); },
       std::nullopt,
       {"export.one"}},
      {"all but the skipped",
       [](AppModel& m, auto&) { m.exportAll(); },
       std::vector<std::string>{"a.tif", "c.tif", "d.tif"},
       {"export.all"}},
      {"ids in list order",
       [](AppModel& m, auto& s) {
         m.exportItems({s[3].id, Uuid::random(), s[0].id});
       },
       std::vector<std::string>{"a.tif", "d.tif"},
       {"export.selected"}},
      {"one id",
       [](AppModel& m, auto& s) { m.exportItems({s[1].id}); },
       std::vector<std::string>{"b.tif"},
       {"export.one"}},
      {"no id matches",
       [](AppModel& m, auto&) { m.exportItems({Uuid::random()}); },
       std::nullopt,
       {}},
      {"marked",
       [](AppModel& m, auto& s) {
         m.setMarked({s[3].id, s[1].id});
         m.exportMarked();
       },
       std::vector<std::string>{"b.tif", "d.tif"},
       {}},
      {"none marked", [](AppModel& m, auto&) { m.exportMarked(); }, std::vector<std::string>{}, {}},
  };
  auto items = scans({"a.tif", "b.tif", "c.tif", "d.tif"});
  items[1].skipped = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices services;
    AppModel model(services.services());
    model.setItems(items);
    c.act(model, items);
    EXPECT_EQ(model.exportRequest().has_value(), c.request.has_value());
    if (c.request) {
      EXPECT_EQ(names(model.exportRequest()), *c.request);
    }
    EXPECT_EQ(services.telemetry.events, c.events);
  }

  // Every scan skipped: an empty request; accepting it only keeps the options.
  for (auto& item : items) item.skipped = true;
  TestServices services;
  AppModel model(services.services());
  model.setItems(items);
  model.exportAll();
  ASSERT_TRUE(model.exportRequest());
  EXPECT_TRUE(model.exportRequest()->empty());
  ExportOptions options = formats({ExportFormat::jpeg});
  options.suffix = "_web";
  QCoro::waitFor(model.confirmExport(*model.exportRequest(), options));
  EXPECT_FALSE(model.exportRequest());
  EXPECT_EQ(model.exportOptionsData().toStdString(), toJSON(options).dump());
  EXPECT_EQ(model.storedExportOptions(), options);
  EXPECT_TRUE(services.dialogs.folderAsked.empty());
}

// Requests that open no panel: no targets, no format, an export already running. Options that
// cannot be encoded store empty bytes and still export.
TEST_F(ExportTest, RefusedRequestsOpenNoPanel) {
  const auto items = scans({"a.tif", "b.tif"});
  TestServices services;
  AppModel model(services.services());
  model.setItems(items);
  QCoro::waitFor(model.confirmExport({}, formats({ExportFormat::jpeg})));
  QCoro::waitFor(model.confirmExport(items, formats({})));
  model.setExportProgress(ExportProgress{0, 1, "x.tif"});
  QCoro::waitFor(model.confirmExport(items, formats({ExportFormat::jpeg})));
  EXPECT_TRUE(services.dialogs.folderAsked.empty());
  model.setExportProgress(std::nullopt);

  ExportOptions unencodable = formats({ExportFormat::jpeg});
  unencodable.notes = "\xff\xfe";  // not UTF-8
  services.dialogs.folderAnswers = {prints};
  exportNow(model, {items[0]}, unencodable);
  EXPECT_TRUE(model.exportOptionsData().isEmpty());
  EXPECT_EQ(model.notice(), "1 file written to Prints.");
}

// The panel's texts and start, the question's texts, and what each answer writes and counts.
TEST_F(ExportTest, TheQuestionAboutExistingFilesAndItsAnswers) {
  const auto items = scans({"a.tif", "b.tif", "c.tif"});
  const ExportOptions two = formats({ExportFormat::tiff16, ExportFormat::jpeg});
  TestServices services;
  AppModel model(services.services());
  model.setItems(items);
  services.dialogs.folderAnswers = {prints};
  exportNow(model, {items[0]}, two);
  ASSERT_EQ(services.dialogs.folderAsked.size(), 1u);
  EXPECT_EQ(services.dialogs.folderAsked[0].title, "Export 1 image");
  EXPECT_EQ(services.dialogs.folderAsked[0].prompt, "Export Here");
  EXPECT_EQ(services.dialogs.folderAsked[0].directory, fs::path());
  EXPECT_TRUE(services.dialogs.alertsAsked.empty());
  EXPECT_EQ(model.notice(), "2 files written to Prints.");
  EXPECT_EQ(model.lastExportPath(), prints);

  struct Case {
    const char* name;
    Paths removed;  // of a.tif's two files before the export
    int answer;
    QString question;
    QString summary;
  };
  const std::vector<Case> cases = {
      {"skip",
       {prints / "a.jpg"},
       0,
       "1 file already exists in “Prints”",
       "1 file written to Prints."},
      {"replace",
       {prints / "a.jpg"},
       1,
       "1 file already exists in “Prints”",
       "2 files written to Prints."},
      {"skip, all there", {}, 0, "2 files already exist in “Prints”", "0 files written to Prints."},
      {"replace, all there",
       {},
       1,
       "2 files already exist in “Prints”",
       "2 files written to Prints."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& file : c.removed) fs::remove(file);
    services.dialogs.alertsAsked.clear();
    services.workspace.revealed.clear();
    services.dialogs.folderAnswers = {prints};
    services.dialogs.alertAnswers = {c.answer};
    exportNow(model, {items[0]}, two);
    ASSERT_EQ(services.dialogs.alertsAsked.size(), 1u);
    EXPECT_EQ(services.dialogs.alertsAsked[0].title, c.question);
    EXPECT_EQ(services.dialogs.alertsAsked[0].text,
              "Replace them, or only export the images that are not there yet?");
    EXPECT_EQ(services.dialogs.alertsAsked[0].buttons,
              (QStringList{"Skip Existing", "Replace", "Cancel"}));
    EXPECT_EQ(model.notice(), c.summary);
    EXPECT_EQ(services.workspace.revealed, c.summary.startsWith("0") ? Paths{} : Paths{prints});
    EXPECT_TRUE(fs::exists(prints / "a.jpg"));
  }

  // Cancelling the question exports nothing but remembers the folder; the panel starts there.
  model.setNotice(std::nullopt);
  model.setLastExportPath(dir.path());
  services.dialogs.folderAnswers = {prints / ""};
  services.dialogs.alertAnswers = {2};
  QCoro::waitFor(model.confirmExport(items, two));
  EXPECT_EQ(services.dialogs.folderAsked.back().title, "Export 3 images");
  EXPECT_EQ(services.dialogs.folderAsked.back().directory, dir.path());
  EXPECT_EQ(model.lastExportPath(), prints);
  EXPECT_FALSE(model.exportProgress());
  EXPECT_FALSE(model.notice());
  EXPECT_FALSE(fs::exists(prints / "b.jpg"));
}

// Progress shows each scan as it starts, done = total − 1 during the last, none after; a scan
// that fails is named and the others are written.
TEST_F(ExportTest, ProgressPerScanAndAFailingScan) {
  auto items = scans({"a.tif", "bad.tif", "c.tif"});
  {
    QFile bad(QString::fromStdString(items[1].url.native()));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bad.write("II*\0 this is no image");
  }
  TestServices services;
  AppModel model(services.services());
  model.setItems(items);
  std::vector<std::optional<ExportProgress>> seen;
  QObject::connect(&model, &AppModel::exportProgressChanged,
                   [&] { seen.push_back(model.exportProgress()); });
  services.dialogs.folderAnswers = {prints};
  QCoro::waitFor(model.confirmExport(items, formats({ExportFormat::jpeg})));
  // Shown before the first scan starts.
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), (ExportProgress{0, 3, "a.tif"}));
  finish(model);
  const std::vector<std::optional<ExportProgress>> expected = {
      ExportProgress{0, 3, "a.tif"}, ExportProgress{0, 3, "a.tif"}, ExportProgress{1, 3, "bad.tif"},
      ExportProgress{2, 3, "c.tif"}, std::nullopt};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(model.notice(), "2 files written to Prints. Failed: bad.tif.");
  EXPECT_EQ(services.workspace.revealed, Paths{prints});
  EXPECT_FALSE(model.plain().exportTask);
  EXPECT_TRUE(fs::exists(prints / "c.jpg"));
}

// A cancel lets the scan in hand finish and starts no other; the folder is not revealed.
TEST_F(ExportTest, CancellingFinishesTheScanInHand) {
  const auto items = scans({"a.tif", "b.tif", "c.tif"});
  TestServices services;
  AppModel model(services.services());
  model.setItems(items);
  services.dialogs.folderAnswers = {prints};
  QCoro::waitFor(model.confirmExport(items, formats({ExportFormat::jpeg})));
  ASSERT_TRUE(model.plain().exportTask);
  model.plain().exportTask.cancel();
  finish(model);
  EXPECT_EQ(model.notice(), "Export cancelled. 1 file written to Prints.");
  EXPECT_TRUE(fs::exists(prints / "a.jpg"));
  EXPECT_FALSE(fs::exists(prints / "b.jpg"));
  EXPECT_TRUE(services.workspace.revealed.empty());
}

template <class T>
QCoro::Task<RenderResult<T>> awaited(Renderer::Call<T> call) {
  co_return co_await std::move(call);
}

// Each scan is measured on the preview renderer; a proxy the preview held stays, one decoded
// only for the export does not, so an export of many scans holds one proxy at a time.
TEST_F(ExportTest, TheExportLeavesThePreviewsProxiesAsTheyWere) {
  const auto items = scans({"a.tif", "b.tif", "c.tif"});
  TestServices services;
  AppModel model(services.services());
  Renderer& preview = model.previewRenderer();
  ASSERT_TRUE(QCoro::waitFor(awaited(preview.proxy(items[1].url, items[1].settings))).ok());
  services.dialogs.folderAnswers = {prints};
  exportNow(model, items, formats({ExportFormat::jpeg}));
  EXPECT_EQ(model.notice(), "3 files written to Prints.");
  const auto held = QCoro::waitFor(awaited(preview.perform([](RenderCache& cache) {
    std::vector<fs::path> urls;
    for (const ProxyKey& key : cache.order()) urls.push_back(key.url);
    return urls;
  })));
  ASSERT_TRUE(held.ok());
  EXPECT_EQ(held.value(), Paths{items[1].url});
  EXPECT_EQ(preview.counts().decodes, 3);
}

// The model may go at any moment of an export: while a scan is measured, or while its file is
// written on the export's thread; nothing of the export touches it afterwards.
TEST_F(ExportTest, TheModelMayGoDuringAnExport) {
  const auto items = scans({"a.tif", "b.tif"});
  for (bool waitForTheFirstFile : {false, true}) {
    SCOPED_TRACE(waitForTheFirstFile);
    TempDir out;
    {
      TestServices services;
      AppModel model(services.services());
      services.dialogs.folderAnswers = {out.path()};
      QCoro::waitFor(model.confirmExport(items, formats({ExportFormat::jpeg})));
      QElapsedTimer timer;
      timer.start();
      while (waitForTheFirstFile && !fs::exists(out / "a.jpg") && timer.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
      }
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 200) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

// Two scans of one name from two folders: the second never writes over the first one's file,
// whether existing files are skipped or replaced, and is named as failed. The file both would
// write counts once in the question.
TEST_F(ExportTest, OneExportNeverWritesOneFileTwice) {
  const ImageItem first = scan(dir / "day1" / "a.tif");
  const ImageItem second = scan(dir / "day2" / "a.tif");
  struct Case {
    const char* name;
    std::optional<int> answer;  // nothing: no question
    QString summary;
  };
  const std::vector<Case> cases = {
      {"empty folder", std::nullopt, "1 file written to Prints. Failed: a.tif."},
      {"skip", 0, "0 files written to Prints. Failed: a.tif."},
      {"replace", 1, "1 file written to Prints. Failed: a.tif."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices services;
    AppModel model(services.services());
    services.dialogs.folderAnswers = {prints};
    if (c.answer) services.dialogs.alertAnswers = {*c.answer};
    exportNow(model, {first, second}, formats({ExportFormat::jpeg}));
    ASSERT_EQ(services.dialogs.alertsAsked.size(), c.answer ? 1u : 0u);
    if (c.answer) {
      EXPECT_EQ(services.dialogs.alertsAsked[0].title, "1 file already exists in “Prints”");
    }
    EXPECT_EQ(model.notice(), c.summary);
  }
}

TEST(ExportMessages, Texts) {
  EXPECT_EQ(ExportMessages::folderPanel(1), "Export 1 image");
  EXPECT_EQ(ExportMessages::folderPanel(0), "Export 0 images");
  EXPECT_EQ(ExportMessages::existingFiles(1, "%1 x"), "1 file already exists in “%1 x”");
  struct Case {
    bool cancelled;
    size_t written;
    QStringList failed;
    QString text;
  };
  const std::vector<Case> cases = {
      {true,
       12,
       {"A001.NEF", "A004.NEF"},
       "Export cancelled. 12 files written to Prints. Failed: A001.NEF, A004.NEF."},
      {false, 1, {}, "1 file written to Prints."},
      {false, 0, {"A001.NEF"}, "0 files written to Prints. Failed: A001.NEF."},
      {true, 0, {}, "Export cancelled. 0 files written to Prints."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExportMessages::summary(c.cancelled, c.written, "Prints", c.failed), c.text);
  }
}

}  // namespace
