// The measuring actions of the session: even light from a blank frame, the roll's colour
// balance, matching a reference photo and copying the look to every other scan.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThreadPool>
#include <QTimer>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Color/SrgbCurve.h"
#include "Conversion/FlatField.h"
#include "Driver/Converter.h"
#include "Model/AppModel.h"
#include "Model/LookCopy.h"
#include "TestSupport/ReferenceScenes.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace fs = std::filesystem;

namespace {

// ---- Fixtures -------------------------------------------------------------------------------

double centred(int64_t i, int64_t n) {
  return (static_cast<double>(i) + 0.5) / static_cast<double>(n) * 2 - 1;
}

// A light source's fall-off from 1 in the middle to `corner` in the corners, quadratic in the
// distance from the middle.
double falloff(double corner, double X, double Y) { return 1 - (1 - corner) * (X * X + Y * Y) / 2; }

// A 16-bit linear blank frame whose corners sit at `corner` of its middle.
void writeBlankFrame(const fs::path& path, double corner, double level = 0.8) {
  ScanFixtures::Tiff tiff;
  tiff.width = 192;
  tiff.height = 128;
  tiff.bitsPerSample = 16;
  tiff.icc = ScanFixtures::linearDisplayP3Profile();
  tiff.pattern = [=](int64_t x, int64_t y) {
    const auto v = static_cast<float>(level * falloff(corner, centred(x, 192), centred(y, 128)));
    return std::array<float, 4>{v, v, v, 1};
  };
  ScanFixtures::writeTiff(path, tiff);
}

void writeText(const fs::path& path, const std::string& text = "not a picture\n") {
  std::ofstream(path) << text;
}

// A synthetic colour negative as a 16-bit linear TIFF, optionally under a light's fall-off.
void writeNegative(const fs::path& path, int64_t width, int64_t height,
                   std::optional<double> corner = std::nullopt, uint32_t seed = 1) {
  const LinearImage negative = ReferenceScenes::colourNegative(width, height, seed);
  ScanFixtures::Tiff tiff;
  tiff.width = width;
  tiff.height = height;
  tiff.bitsPerSample = 16;
  tiff.icc = ScanFixtures::linearDisplayP3Profile();
  tiff.pattern = [=](int64_t x, int64_t y) {
    const float light =
        corner ? static_cast<float>(falloff(*corner, centred(x, width), centred(y, height))) : 1;
    const float* p = negative.row(y) + 4 * x;
    return std::array<float, 4>{p[0] * light, p[1] * light, p[2] * light, 1};
  };
  ScanFixtures::writeTiff(path, tiff);
}

// A print as a float TIFF in linear Display P3, so that reading it gives the print back.
void writePrint(const fs::path& path, const PrintImage& print) {
  ScanFixtures::Tiff tiff;
  tiff.width = print.width;
  tiff.height = print.height;
  tiff.bitsPerSample = 32;
  tiff.floatingPoint = true;
  tiff.icc = ScanFixtures::linearDisplayP3Profile();
  tiff.pattern = [&print](int64_t x, int64_t y) {
    const float* p = print.rgb.data() + (y * print.width + x) * 3;
    std::array<float, 4> linear{0, 0, 0, 1};
    for (int c = 0; c < 3; ++c) linear[c] = static_cast<float>(SrgbCurve::decode(p[c]));
    return linear;
  };
  ScanFixtures::writeTiff(path, tiff);
}

// The scan's print as previews show it: decoded with its blank frame, measured and printed.
PrintImage printOf(const fs::path& scan, const ConversionSettings& settings) {
  const LinearImage decoded = FlatField::decodeCorrected(scan, settings, 1);
  return Converter::process(decoded, Converter::analyze(decoded, settings), settings, true, false);
}

// Large colour blocks that share nothing with the scene.
void writeBlocks(const fs::path& path) {
  ScanFixtures::Png png;
  png.width = 120;
  png.height = 80;
  png.pattern = [](int64_t x, int64_t y) {
    const bool a = (x / 20 + y / 40) % 2 == 0;
    return a ? std::array<float, 4>{0.95f, 0.85f, 0.6f, 1}
             : std::array<float, 4>{0.7f, 0.5f, 0.4f, 1};
  };
  ScanFixtures::writePng(path, png);
}

struct Session {
  explicit Session(size_t scans = 0, const QString& settingsFile = {}) {
    services.writeSettingsFile(settingsFile);
    model = std::make_unique<AppModel>(services.services());
    std::vector<ImageItem> items;
    for (size_t i = 0; i < scans; ++i) {
      ImageItem item;
      // Appended: GCC 12 warns wrongly (-Wrestrict) about "s" + to_string(i) + ".tif" here.
      item.url = dir / (std::string("s").append(std::to_string(i)).append(".tif"));
      items.push_back(item);
    }
    model->setItems(std::move(items));
  }

  const Uuid& id(size_t i) const { return model->items()[i].id; }
  const ConversionSettings& settings(size_t i) const { return model->items()[i].settings; }
  void select(size_t i) { model->setSelection(id(i)); }
  void mark(const std::vector<size_t>& indexes) {
    std::set<Uuid> ids;
    for (size_t i : indexes) ids.insert(id(i));
    model->setMarked(ids);
  }
  void editRecord(size_t i, const std::function<void(ConversionSettings&)>& change) {
    std::vector<ImageItem> items = model->items();
    change(items[i].settings);
    model->setItems(std::move(items));
  }
  const std::vector<HistoryEntry>& undoStack() const { return model->plain().undoStack; }
  QStringList events() const { return services.telemetry.events; }
  QString notice() const { return model->notice().value_or(QString()); }

  TempDir dir;
  TestServices services;
  std::unique_ptr<AppModel> model;
};

// ---- Even light -------------------------------------------------------------------------------

TEST(EvenLight, MeasuresTheBlankFrameAndWritesItsPathAsOneUndoGroup) {
  struct Case {
    double corner;
    std::vector<size_t> marks;
    const char* notice;
  };
  const Case cases[] = {
      {0.88,
       {},
       "Even Light Correction set for 1 scan. The corners were 12% darker than the middle; that "
       "is now corrected."},
      // Nearly even light is corrected all the same.
      {0.99,
       {0, 2},
       "Even Light Correction set for 2 scans. This setup is already very even (corners within "
       "2% of the middle)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.corner);
    Session s(3);
    const fs::path blank = s.dir / "blank.tif";
    writeBlankFrame(blank, c.corner);
    s.select(1);
    s.mark(c.marks);
    s.model->setFlatField(blank, false);
    EXPECT_EQ(s.notice(), QString::fromUtf8(c.notice));
    EXPECT_EQ(s.events(), QStringList{"flatField.on"});
    const std::vector<size_t> targets = c.marks.empty() ? std::vector<size_t>{1} : c.marks;
    for (size_t i = 0; i < 3; ++i) {
      const bool target = std::find(targets.begin(), targets.end(), i) != targets.end();
      EXPECT_EQ(s.settings(i).flatField, target ? std::optional(blank.string()) : std::nullopt)
          << i;
    }
    ASSERT_EQ(s.undoStack().size(), targets.size());
    EXPECT_EQ(s.undoStack().front().group, s.undoStack().back().group);
    s.model->undo();
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(s.settings(i).flatField, std::nullopt) << i;
  }
}

TEST(EvenLight, ForAllScansCountsEveryScanAndRecordsOnlyTheChangedOnes) {
  Session s(40);
  const fs::path blank = s.dir / "blank.tif";
  writeBlankFrame(blank, 0.88);
  for (size_t i = 0; i < 5; ++i) s.editRecord(i, [&](auto& r) { r.flatField = blank.string(); });
  s.select(7);
  s.model->setFlatField(blank, true);
  EXPECT_TRUE(s.notice().startsWith("Even Light Correction set for 40 scans. "))
      << s.notice().toStdString();
  for (size_t i = 0; i < 40; ++i) EXPECT_EQ(s.settings(i).flatField, blank.string()) << i;
  EXPECT_EQ(s.undoStack().size(), 35u);
}

TEST(EvenLight, StoppingClearsTheMarkedScansAsOneGroupWithoutNotice) {
  Session s(4);
  for (size_t i = 0; i < 4; ++i)
    s.editRecord(i, [](auto& r) { r.flatField = "/frames/blank.tif"; });
  s.select(0);
  s.mark({1, 2, 3});
  s.model->setFlatField(std::nullopt, false);
  EXPECT_EQ(s.model->notice(), std::nullopt);
  EXPECT_EQ(s.events(), QStringList{"flatField.off"});
  EXPECT_EQ(s.settings(0).flatField, "/frames/blank.tif");
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(s.settings(i).flatField, std::nullopt) << i;
  s.model->undo();
  EXPECT_TRUE(s.undoStack().empty());
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(s.settings(i).flatField, "/frames/blank.tif") << i;
}

TEST(EvenLight, NoTargetsStillCountsTheEventAndNoticesZeroScans) {
  Session s(2);
  const fs::path blank = s.dir / "blank.tif";
  writeBlankFrame(blank, 0.88);
  s.model->setFlatField(blank, false);
  EXPECT_TRUE(s.notice().startsWith("Even Light Correction set for 0 scans. "))
      << s.notice().toStdString();
  EXPECT_EQ(s.events(), QStringList{"flatField.on"});
  EXPECT_TRUE(s.undoStack().empty());
}

TEST(EvenLight, AnUnusableBlankFrameShowsTheLibrarysTextAndChangesNothing) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> write;
    FlatField::FlatError error;
  };
  const Case cases[] = {
      {"missing", [](const fs::path&) {}, FlatField::FlatError::unreadable()},
      {"text", [](const fs::path& p) { writeText(p); }, FlatField::FlatError::unreadable()},
      {"dark", [](const fs::path& p) { writeBlankFrame(p, 0.9, 0); },
       FlatField::FlatError::tooDark()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session s(2);
    const fs::path blank = s.dir / "blank.tif";
    c.write(blank);
    s.select(0);
    s.model->setFlatField(blank, true);
    EXPECT_EQ(s.model->errorMessage(), QString::fromUtf8(c.error.what()));
    EXPECT_TRUE(s.events().isEmpty());
    EXPECT_EQ(s.model->notice(), std::nullopt);
    EXPECT_TRUE(s.undoStack().empty());
    EXPECT_EQ(s.settings(0), ConversionSettings{});
  }
}

TEST(EvenLight, ThePanelStartsInTheScansFolderAndItsAnswerIsUsed) {
  Session s(3);
  const fs::path blank = s.dir / "blank.tif";
  writeBlankFrame(blank, 0.88);
  s.select(2);
  s.services.dialogs.openAnswers.push_back({});  // cancelled
  s.services.dialogs.openAnswers.push_back({blank});
  s.model->chooseBlankFrame(true);
  EXPECT_TRUE(s.undoStack().empty());
  EXPECT_TRUE(s.events().isEmpty());
  s.model->chooseBlankFrame(true);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(s.settings(i).flatField, blank.string()) << i;

  ASSERT_EQ(s.services.dialogs.openAsked.size(), 2u);
  const DialogService::OpenPanel& panel = s.services.dialogs.openAsked.back();
  EXPECT_EQ(panel.prompt, "Use for Even Light Correction");
  EXPECT_EQ(panel.message,
            "Choose the blank frame: shot with the same lens, aperture, distance and light as the "
            "scans, with no film (or clear film base) in the holder");
  EXPECT_TRUE(panel.files);
  EXPECT_FALSE(panel.folders);
  EXPECT_FALSE(panel.multiple);
  EXPECT_TRUE(panel.extensions.isEmpty());
  EXPECT_EQ(panel.directory, s.dir.path());
}

// ---- Roll analysis ----------------------------------------------------------------------------

struct Roll : Session {
  // Colour negatives, each from its own scene; "bad" ones are text files.
  explicit Roll(size_t frames, const std::set<size_t>& bad = {}, const QString& settingsFile = {})
      : Session(frames, settingsFile) {
    for (size_t i = 0; i < frames; ++i) {
      const fs::path& url = model->items()[i].url;
      if (bad.contains(i)) {
        writeText(url);
      } else {
        writeNegative(url, 90, 60, std::nullopt, static_cast<uint32_t>(i + 1));
      }
    }
    select(0);
  }
  // Collects every rollProgress published.
  std::vector<std::optional<std::pair<int, int>>> progress;
  void recordProgress() {
    QObject::connect(model.get(), &AppModel::rollProgressChanged, model.get(),
                     [this] { progress.push_back(model->rollProgress()); });
  }
};

TEST(RollAnalysis, WritesTheBalanceIntoEveryFrameAlsoWhereMeasuringFailed) {
  Roll r(5, {3});
  r.recordProgress();
  r.model->analyseRoll();
  r.model->analyseRoll();  // ignored while running
  VirtualClock::settle();

  using P = std::optional<std::pair<int, int>>;
  EXPECT_EQ(r.progress,
            (std::vector<P>{std::pair{0, 5}, std::pair{1, 5}, std::pair{2, 5}, std::pair{3, 5},
                            std::pair{4, 5}, std::pair{5, 5}, std::nullopt}));
  EXPECT_EQ(r.notice(),
            "Roll colour balance measured on 4 frames and applied to them. Ctrl+Z undoes it.");
  ASSERT_TRUE(r.settings(0).rollBalance);
  EXPECT_EQ(r.settings(0).rollBalance->frames, 4);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(r.settings(i).rollBalance, r.settings(0).rollBalance);
  ASSERT_EQ(r.undoStack().size(), 5u);

  r.model->undo();
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(r.settings(i).rollBalance, std::nullopt) << i;
  EXPECT_FALSE(r.model->canUndo());
}

TEST(RollAnalysis, MeasuresEachFrameWithoutTheBalanceItHolds) {
  // A balance already held would otherwise be learned from itself.
  Roll fresh(3), held(3);
  const RollBalance old{{0.3, 0, -0.3}, {1.4, 1, 0.6}, 9};
  for (size_t i = 0; i < 3; ++i) held.editRecord(i, [&](auto& r) { r.rollBalance = old; });
  fresh.model->analyseRoll();
  held.model->analyseRoll();
  VirtualClock::settle();
  ASSERT_TRUE(fresh.settings(1).rollBalance);
  EXPECT_EQ(held.settings(1).rollBalance, fresh.settings(1).rollBalance);
}

TEST(RollAnalysis, FramesOfTheSelectedFilmTypeAmongTheMarked) {
  Roll r(3);
  r.editRecord(2, [](auto& s) { s.mode = FilmMode::positive; });
  r.mark({0, 1, 2});
  EXPECT_EQ(r.model->rollFrames().size(), 2u);
  r.model->analyseRoll();
  VirtualClock::settle();
  EXPECT_TRUE(r.settings(0).rollBalance);
  EXPECT_TRUE(r.settings(1).rollBalance);
  EXPECT_EQ(r.settings(2).rollBalance, std::nullopt);
}

TEST(RollAnalysis, TooFewColourFramesOnlyNotices) {
  Roll r(3);
  for (size_t i = 0; i < 3; ++i) r.editRecord(i, [](auto& s) { s.mode = FilmMode::bwNegative; });
  r.model->analyseRoll();
  EXPECT_EQ(r.notice(), "Roll Analysis needs at least two colour frames of the same film type.");
  EXPECT_EQ(r.model->rollProgress(), std::nullopt);
  EXPECT_TRUE(r.model->rollFrames().empty());
}

TEST(RollAnalysis, FewerThanTwoMeasurementsEndSilently) {
  Roll r(3, {1, 2});
  r.model->analyseRoll();
  VirtualClock::settle();
  EXPECT_EQ(r.model->rollProgress(), std::nullopt);
  EXPECT_EQ(r.model->notice(), std::nullopt);
  EXPECT_TRUE(r.undoStack().empty());
}

TEST(RollAnalysis, AScanRemovedMeanwhileIsPassedOver) {
  Roll r(4);
  r.model->analyseRoll();
  const Uuid gone = r.id(2);
  r.model->removeItems({gone});
  VirtualClock::settle();
  ASSERT_EQ(r.model->items().size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(r.settings(i).rollBalance) << i;
  EXPECT_EQ(r.undoStack().size(), 3u);
  EXPECT_EQ(r.model->rollProgress(), std::nullopt);
}

TEST(RollAnalysis, APreviewRequestedMeanwhilePublishesBeforeTheLastFrame) {
  // Every pass a full one on the preview renderer, the renderer the frames are measured on.
  Roll r(6, {}, "[General]\npreviewMode=full\n");
  r.services.clock.advance(seconds(1));  // the first preview is out
  ASSERT_TRUE(r.model->preview());
  std::optional<int> doneAtPreview;
  QObject::connect(r.model.get(), &AppModel::previewChanged, r.model.get(), [&] {
    if (r.model->preview() && !doneAtPreview) {
      doneAtPreview = r.model->rollProgress() ? r.model->rollProgress()->first : -1;
    }
  });
  r.model->analyseRoll();
  r.model->editSelected([](ConversionSettings& s) { s.exposure = 0.3; });
  r.services.clock.advance(seconds(1));
  ASSERT_TRUE(doneAtPreview);
  EXPECT_GE(*doneAtPreview, 0);
  EXPECT_LT(*doneAtPreview, 6);
  EXPECT_TRUE(r.settings(5).rollBalance);
}

TEST(RollAnalysis, TheModelMayGoWhileTheRollIsMeasured) {
  auto r = std::make_unique<Roll>(4);
  r->model->analyseRoll();
  r->model.reset();
  VirtualClock::settle();
  SUCCEED();
}

// ---- Reference matching ---------------------------------------------------------------------

// Turns the GUI thread's events until the match in hand has ended.
bool awaitMatch(AppModel& model) {
  QElapsedTimer timer;
  timer.start();
  while (model.matchProgress() && timer.elapsed() < 120000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  QThreadPool::globalInstance()->waitForDone();
  QCoreApplication::processEvents();
  return !model.matchProgress();
}

struct Match : Session {
  // `writeFirst` writes the first scan in place of the plain negative; files are written before
  // the selection, whose warm-up starts reading them at once.
  explicit Match(const std::function<void(const fs::path&)>& writeFirst = {}) : Session(2) {
    for (size_t i = 0; i < 2; ++i) {
      const fs::path& url = model->items()[i].url;
      if (i == 0 && writeFirst) {
        writeFirst(url);
      } else {
        writeNegative(url, 150, 100, std::nullopt, static_cast<uint32_t>(i + 1));
      }
    }
    select(0);
  }
  fs::path ownPrint(const ConversionSettings& settings = {}) {
    const fs::path path = dir / "own print.tif";
    writePrint(path, printOf(model->items()[0].url, settings));
    return path;
  }
};

TEST(ReferenceMatch, OwnPrintIsMatchedWhileTheGuiKeepsRunning) {
  Match m;
  ConversionSettings target;
  target.exposure = 0.5;
  target.temperature = 20;
  const fs::path photo = m.ownPrint(target);
  m.services.dialogs.openAnswers.push_back({photo});
  std::vector<double> progress;
  QObject::connect(m.model.get(), &AppModel::matchProgressChanged, m.model.get(), [&] {
    if (m.model->matchProgress()) progress.push_back(*m.model->matchProgress());
  });
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(5);

  m.model->chooseReferencePhoto();
  EXPECT_EQ(m.model->matchProgress(), 0.0);  // the match runs elsewhere
  ASSERT_TRUE(awaitMatch(*m.model));
  EXPECT_GT(ticks, 0);

  const DialogService::OpenPanel& panel = m.services.dialogs.openAsked.at(0);
  EXPECT_EQ(panel.title, "Match Reference Photo");
  EXPECT_EQ(panel.message,
            "Choose a photo to match: the lab's scan of this frame, or any photo with the look you "
            "want.");
  EXPECT_FALSE(panel.multiple);
  EXPECT_EQ(panel.extensions, (QStringList{"heic", "jpeg", "jpg", "png", "tif", "tiff"}));

  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 1);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_TRUE(m.notice().startsWith("Matched to own print.tif: ")) << m.notice().toStdString();
  EXPECT_TRUE(m.notice().endsWith("% closer. Every adjustment stays editable; Ctrl+Z undoes it."));
  EXPECT_EQ(m.events(), QStringList{"matchReference"});
  EXPECT_GT(m.settings(0).exposure, 0.2);
  EXPECT_GT(m.settings(0).temperature, 5);
  EXPECT_EQ(m.settings(1), ConversionSettings{});

  m.model->undo();
  EXPECT_EQ(m.settings(0), ConversionSettings{});
}

TEST(ReferenceMatch, DifferentPictureGetsItsOwnWording) {
  Match m;
  const fs::path photo = m.dir / "mood.png";
  writeBlocks(photo);
  m.model->startReferenceMatch(photo);
  ASSERT_TRUE(awaitMatch(*m.model));
  EXPECT_TRUE(m.notice().startsWith(
      "mood.png is a different picture, so the overall tones and colours were matched ("))
      << m.notice().toStdString();
  EXPECT_TRUE(m.notice().endsWith("% closer). Ctrl+Z undoes it."));
}

TEST(ReferenceMatch, ASecondStartIsCountedButIgnored) {
  Match m;
  const fs::path photo = m.ownPrint();
  m.model->startReferenceMatch(photo);
  m.model->startReferenceMatch(m.dir / "other.png");
  EXPECT_EQ(m.events(), (QStringList{"matchReference", "matchReference"}));
  ASSERT_TRUE(awaitMatch(*m.model));
  EXPECT_TRUE(m.notice().startsWith("Matched to own print.tif: ")) << m.notice().toStdString();
}

TEST(ReferenceMatch, WithoutASelectedScanOnlyTheEventIsCounted) {
  Match m;
  m.model->setSelection(std::nullopt);
  m.model->chooseReferencePhoto();
  EXPECT_TRUE(m.services.dialogs.openAsked.empty());
  m.model->startReferenceMatch(m.ownPrint());
  EXPECT_EQ(m.model->matchProgress(), std::nullopt);
  EXPECT_EQ(m.events(), QStringList{"matchReference"});
}

TEST(ReferenceMatch, UnreadableFilesEndTheMatchWithANotice) {
  struct Case {
    const char* name;
    std::function<void(Match&, fs::path&)> prepare;
    const char* notice;
  };
  const Case cases[] = {
      {"text named like a picture",
       [](Match& m, fs::path& photo) {
         photo = m.dir / "photo.jpg";
         writeText(photo);
       },
       "Could not read that photo."},
      {"damaged picture",
       [](Match& m, fs::path& photo) {
         photo = m.ownPrint();
         fs::resize_file(photo, fs::file_size(photo) / 3);
       },
       "Could not read that photo."},
      {"camera raw",
       [](Match& m, fs::path& photo) {
         photo = m.dir / "frame.dng";
         ScanFixtures::writeDng(photo, {});
       },
       "Could not read that photo."},
      {"missing", [](Match& m, fs::path& photo) { photo = m.dir / "gone.png"; },
       "Could not read that photo."},
      // The scan, not the photo, is the file that failed.
      {"scan",
       [](Match& m, fs::path& photo) {
         photo = m.dir / "photo.png";
         writeBlocks(photo);
       },
       "Could not read the scan “s0.tif”."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool badScan = std::string(c.name) == "scan";
    Match m([&](const fs::path& url) {
      if (badScan) {
        writeText(url);
      } else {
        writeNegative(url, 150, 100);
      }
    });
    fs::path photo;
    c.prepare(m, photo);
    m.model->startReferenceMatch(photo);
    ASSERT_TRUE(awaitMatch(*m.model));
    EXPECT_EQ(m.notice(), QString::fromUtf8(c.notice));
    EXPECT_EQ(m.model->matchProgress(), std::nullopt);
    EXPECT_EQ(m.settings(0), ConversionSettings{});
    EXPECT_TRUE(m.undoStack().empty());
  }
}

TEST(ReferenceMatch, AResultForAScanNoLongerSelectedIsDropped) {
  Match m;
  ConversionSettings target;
  target.exposure = 0.5;
  m.model->startReferenceMatch(m.ownPrint(target));
  m.select(1);
  ASSERT_TRUE(awaitMatch(*m.model));
  EXPECT_EQ(m.model->notice(), std::nullopt);
  EXPECT_EQ(m.settings(0), ConversionSettings{});
  EXPECT_EQ(m.settings(1), ConversionSettings{});
  EXPECT_TRUE(m.undoStack().empty());
}

TEST(ReferenceMatch, TheScanIsMatchedAsCorrectedByItsBlankFrame) {
  // Under a strong fall-off the uncorrected scan is not the picture its corrected print shows,
  // so a match against the wrong decode moves the sliders away from the record.
  Match m([](const fs::path& url) { writeNegative(url, 150, 100, 0.55); });
  const fs::path blank = m.dir / "blank.tif";
  writeBlankFrame(blank, 0.55, 0.9);
  ConversionSettings start;
  start.flatField = blank.string();
  m.editRecord(0, [&](auto& s) { s = start; });
  m.model->startReferenceMatch(m.ownPrint(start));
  ASSERT_TRUE(awaitMatch(*m.model));
  EXPECT_TRUE(m.notice().startsWith("Matched to own print.tif: ")) << m.notice().toStdString();
  const ConversionSettings& matched = m.settings(0);
  EXPECT_NEAR(matched.exposure, 0, 0.03);
  EXPECT_NEAR(matched.contrast, 1, 0.03);
  EXPECT_NEAR(matched.temperature, 0, 1.5);
  EXPECT_NEAR(matched.tint, 0, 1.5);
  EXPECT_NEAR(matched.shadows, 0, 3);
  EXPECT_NEAR(matched.highlights, 0, 3);
  EXPECT_EQ(matched.flatField, blank.string());
}

TEST(ReferenceMatch, TheModelMayGoWhileTheMatchRuns) {
  auto m = std::make_unique<Match>();
  m->model->startReferenceMatch(m->ownPrint());
  m->model.reset();
  QThreadPool::globalInstance()->waitForDone();
  QCoreApplication::processEvents();
  SUCCEED();
}

// ---- Copying the look -------------------------------------------------------------------------

TEST(CopyLook, EveryOtherScanTakesTheLookAndKeepsItsFrame) {
  Session s(4);
  s.editRecord(0, [](auto& r) {
    r.mode = FilmMode::positive;
    r.exposure = 0.7;
    r.layers = {LocalLayer{}};
    r.redEyes = {RedEye{Uuid::random(), 0.2, 0.2, 0.01}};
    r.crop = NormRect{0, 0, 0.5, 0.5};
    r.filmInfo.camera = "Look";
  });
  const RedEye pupil{Uuid::random(), 0.6, 0.4, 0.02};
  s.editRecord(1, [&](auto& r) {
    r.crop = NormRect{0.1, 0.2, 0.6, 0.5};
    r.skewDegrees = 3.5;
    r.spots = {makeSpot(0.4, 0.4, 0.01)};
    r.filmInfo.camera = "Own";
    r.redEyes = {pupil};
  });
  // Scan 2 already has the look: it is counted but not written.
  const ConversionSettings look = s.settings(0);
  s.editRecord(2, [&](auto& r) { r = LookCopy::carried(look, r); });
  s.select(0);
  s.model->copyLookToAll();

  EXPECT_EQ(s.notice(),
            "Look copied to 3 other images (crop, rotation and healed spots stay per "
            "image).");
  const ConversionSettings& b = s.settings(1);
  EXPECT_EQ(b.mode, FilmMode::positive);
  EXPECT_EQ(b.exposure, 0.7);
  EXPECT_EQ(b.layers, look.layers);
  EXPECT_EQ(b.crop, (NormRect{0.1, 0.2, 0.6, 0.5}));
  EXPECT_EQ(b.skewDegrees, 3.5);
  EXPECT_EQ(b.spots.size(), 1u);
  EXPECT_EQ(b.filmInfo.camera, "Own");
  EXPECT_EQ(b.redEyes, std::vector<RedEye>{pupil});
  EXPECT_EQ(s.settings(3).mode, FilmMode::positive);
  EXPECT_TRUE(s.settings(3).redEyes.empty());

  // Written: scans 1 and 3, as one group; scan 2 gets no entry and no sidecar save.
  ASSERT_EQ(s.undoStack().size(), 2u);
  EXPECT_EQ(s.undoStack()[0].id, s.id(1));
  EXPECT_EQ(s.undoStack()[1].id, s.id(3));
  EXPECT_FALSE(s.model->plain().sidecarTasks.contains(s.id(2)));
  EXPECT_TRUE(s.model->plain().sidecarTasks.contains(s.id(3)));
  s.model->undo();
  EXPECT_EQ(s.settings(1).mode, FilmMode::colorNegative);
  EXPECT_EQ(s.settings(3), ConversionSettings{});
  EXPECT_FALSE(s.model->canUndo());
}

TEST(CopyLook, ASingleScanCopiesToNone) {
  Session s(1);
  s.select(0);
  s.model->copyLookToAll();
  EXPECT_EQ(s.notice(),
            "Look copied to 0 other images (crop, rotation and healed spots stay per "
            "image).");
  EXPECT_TRUE(s.undoStack().empty());
  EXPECT_FALSE(s.model->hasUnsavedChanges());
}

TEST(CopyLook, WithoutASelectedScanNothingHappens) {
  Session s(3);
  s.model->copyLookToAll();
  EXPECT_EQ(s.model->notice(), std::nullopt);
  EXPECT_TRUE(s.undoStack().empty());
}

}  // namespace
