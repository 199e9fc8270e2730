// The rows of the inspector that start the session's measuring and batch actions, driven as the
// user drives them on a session of tiny generated scans: the even-light menu through the open
// panel to the measured blank frame, the roll analysis from its button to the balance line, the
// reference match from its button through its progress, and the two buttons that copy the look
// and the film information to the other scans.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "Inspector/ElidedLabel.h"
#include "Inspector/FlatFieldRow.h"
#include "InspectorSession.h"
#include "PaintedRed.h"
#include "TestSupport/ScanFixtures.h"
#include "ViewKit/MenuButton.h"

namespace fs = std::filesystem;

namespace {

using S = ConversionSettings;

// A 16-bit linear blank frame whose light falls off from the middle to `corner` in the corners.
void writeBlankFrame(const fs::path& path, double corner) {
  ScanFixtures::Tiff tiff;
  tiff.width = 96;
  tiff.height = 64;
  tiff.bitsPerSample = 16;
  tiff.icc = ScanFixtures::linearDisplayP3Profile();
  tiff.pattern = [corner](int64_t x, int64_t y) {
    const double X = (static_cast<double>(x) + 0.5) / 48 - 1;
    const double Y = (static_cast<double>(y) + 0.5) / 32 - 1;
    const auto v = static_cast<float>(0.8 * (1 - (1 - corner) * (X * X + Y * Y) / 2));
    return std::array<float, 4>{v, v, v, 1};
  };
  ScanFixtures::writeTiff(path, tiff);
}

// A small colour negative in place of scan `index`, before anything reads it.
void writeNegative(InspectorSession& t, size_t index) {
  ScanFixtures::Negative negative;
  negative.width = 150;
  negative.height = 100;
  negative.edgeSoftness = 2;
  negative.baseDensity[0] += 0.02 * static_cast<double>(index);
  ScanFixtures::writeNegativeTiff(t.model().items()[index].url, negative);
}

// Large colour blocks that share nothing with a scan: a photo whose mood is matched.
void writeMoodPhoto(const fs::path& path) {
  ScanFixtures::Png png;
  png.width = 120;
  png.height = 80;
  png.pattern = [](int64_t x, int64_t y) {
    return (x / 20 + y / 40) % 2 == 0 ? std::array<float, 4>{0.95f, 0.85f, 0.6f, 1}
                                      : std::array<float, 4>{0.7f, 0.5f, 0.4f, 1};
  };
  ScanFixtures::writePng(path, png);
}

struct Rows : InspectorSession {
  using InspectorSession::InspectorSession;
  ScriptedDialogs& dialogs() { return session.services.dialogs; }
  QString notice() const { return session.model->notice().value_or(QString()); }
  bool visible(QWidget* widget) const { return widget->isVisibleTo(view.get()); }
  void mark(std::initializer_list<size_t> indexes) {
    std::set<Uuid> ids;
    for (size_t i : indexes) ids.insert(session.id(i));
    model().setMarked(ids);
    settle();
  }
  // Runs what the click started (renderer work, queued events) to its end, then refreshes.
  void finish() {
    VirtualClock::settle();
    settle();
  }
};

// ---- Even light ---------------------------------------------------------------------------------

TEST(FlatFieldRow, TheMenuMeasuresTheChosenFrameForTheTargetsOrForEveryScan) {
  Rows t(4);
  const fs::path blank = t.session.folder / "blank.tif";
  const fs::path wider = t.session.folder / "other blank.tif";
  writeBlankFrame(blank, 0.88);
  writeBlankFrame(wider, 0.7);
  t.select(1);
  t.mark({1, 2});
  auto* row = t.find<FlatFieldRow>("FlatFieldRow");
  ASSERT_EQ(row->forTargets()->text(), "For the 2 Selected Scans…");

  // Cancelling the panel changes nothing.
  row->forTargets()->trigger();
  t.finish();
  EXPECT_EQ(t.dialogs().openAsked.size(), 1u);
  EXPECT_TRUE(t.session.undoStack().empty());
  EXPECT_EQ(row->chooseButton()->text(), "Choose Blank Frame…");

  t.dialogs().openAnswers.push_back({blank});
  row->forTargets()->trigger();
  t.finish();
  EXPECT_EQ(t.dialogs().openAsked.back().directory, t.session.folder.path());
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(t.session.settings(i).flatField,
              i == 1 || i == 2 ? std::optional(blank.string()) : std::nullopt)
        << i;
  }
  EXPECT_EQ(t.notice(),
            "Even Light Correction set for 2 scans. The corners were 12% darker than the middle; "
            "that is now corrected.");
  EXPECT_TRUE(t.visible(row->fileName()));
  EXPECT_EQ(row->fileName()->fullText(), "blank.tif");
  EXPECT_EQ(row->fileName()->toolTip(), QString::fromStdString(blank.string()));
  EXPECT_FALSE(paintsRed(row->fileName()));
  EXPECT_EQ(row->chooseButton()->text(), "Change…");
  EXPECT_EQ(row->offButton()->toolTip(),
            "Stop using Even Light Correction for the 2 selected scans");

  // For every scan, marked or not, as one more undo group.
  t.dialogs().openAnswers.push_back({wider});
  row->forAll()->trigger();
  t.finish();
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(t.session.settings(i).flatField, wider.string()) << i;
  EXPECT_EQ(row->fileName()->fullText(), "other blank.tif");

  // "Off" without marks: only the selected scan.
  t.mark({});
  t.select(3);
  EXPECT_EQ(row->offButton()->toolTip(), "Stop using Even Light Correction for this scan");
  QTest::mouseClick(row->offButton(), Qt::LeftButton);
  t.settle();
  EXPECT_EQ(t.session.settings(3).flatField, std::nullopt);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(t.session.settings(i).flatField, wider.string()) << i;
  EXPECT_FALSE(t.visible(row->fileName()));
  EXPECT_FALSE(t.visible(row->offButton()));
  EXPECT_EQ(row->chooseButton()->text(), "Choose Blank Frame…");

  t.model().undo();
  t.settle();
  EXPECT_EQ(t.session.settings(3).flatField, wider.string());
  EXPECT_EQ(row->fileName()->fullText(), "other blank.tif");
  t.model().undo();
  t.settle();
  EXPECT_EQ(t.session.settings(3).flatField, std::nullopt);
  EXPECT_EQ(t.session.settings(1).flatField, blank.string());
}

TEST(FlatFieldRow, AnUnusableFrameChangesNothingAndAMovedOneTurnsRed) {
  Rows t(2);
  const fs::path blank = t.session.folder / "blank.tif";
  const fs::path text = t.session.folder / "notes.tif";
  writeBlankFrame(blank, 0.9);
  std::ofstream(text) << "not a picture\n";
  t.select(0);
  auto* row = t.find<FlatFieldRow>("FlatFieldRow");
  t.dialogs().openAnswers.push_back({blank});
  t.dialogs().openAnswers.push_back({text});
  row->forTargets()->trigger();
  t.finish();
  ASSERT_EQ(t.session.settings(0).flatField, blank.string());

  row->forAll()->trigger();
  t.finish();
  EXPECT_TRUE(t.model().errorMessage().has_value());
  EXPECT_EQ(t.session.settings(0).flatField, blank.string());
  EXPECT_EQ(t.session.settings(1).flatField, std::nullopt);
  EXPECT_EQ(t.session.undoStack().size(), 1u);
  EXPECT_EQ(row->fileName()->fullText(), "blank.tif");

  // Moved away after it was chosen: red at the next refresh, and kept in the record.
  fs::rename(blank, t.session.folder / "moved.tif");
  t.select(1);
  t.select(0);
  EXPECT_TRUE(paintsRed(row->fileName()));
  EXPECT_EQ(row->fileName()->toolTip(), "Not found: " + QString::fromStdString(blank.string()));
  EXPECT_EQ(t.session.settings(0).flatField, blank.string());
}

// ---- Roll analysis --------------------------------------------------------------------------

TEST(RollRows, TheButtonMeasuresTheRollWhileTheBarFollowsIt) {
  Rows t(4);
  for (size_t i = 0; i < 4; ++i) writeNegative(t, i);
  t.store(3, [](S& s) { s.mode = FilmMode::positive; });
  t.select(0);
  auto* countLine = t.find<QWidget>("frameCountRow")->findChild<QLabel*>();
  EXPECT_EQ(countLine->text(), "3 frames would be used.");
  auto* analyse = t.find<QPushButton>("Analyse Roll");
  auto* bar = t.find<QProgressBar>("rollProgress");

  // What the row shows at each step the model publishes.
  struct Seen {
    bool button;
    bool bar;
    int value;
    int maximum;
  };
  std::vector<Seen> seen;
  QObject::connect(&t.model(), &AppModel::rollProgressChanged, t.view.get(), [&] {
    t.view->refreshNow();
    seen.push_back({t.visible(analyse), t.visible(bar), bar->value(), bar->maximum()});
  });
  QTest::mouseClick(analyse, Qt::LeftButton);
  // The button is gone at once: a second analysis cannot be started from here.
  t.settle();
  EXPECT_FALSE(t.visible(analyse));
  t.finish();

  ASSERT_EQ(seen.size(), 5u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(seen[i].button) << i;
    EXPECT_TRUE(seen[i].bar) << i;
    EXPECT_EQ(seen[i].value, i) << i;
    EXPECT_EQ(seen[i].maximum, 3) << i;
  }
  EXPECT_TRUE(seen.back().button);
  EXPECT_FALSE(seen.back().bar);

  EXPECT_EQ(t.notice(),
            "Roll colour balance measured on 3 frames and applied to them. Ctrl+Z undoes it.");
  EXPECT_TRUE(t.shown("rollBalanceRow"));
  EXPECT_FALSE(t.shown("frameCountRow"));
  EXPECT_EQ(t.find<QWidget>("rollBalanceRow")->findChild<QLabel*>()->text(),
            "Using the roll's colour balance (3 frames)");
  EXPECT_EQ(t.session.settings(3).rollBalance, std::nullopt);
  // The slide is a roll of its own, too short to measure.
  t.select(3);
  EXPECT_TRUE(t.shown("frameCountRow"));
  EXPECT_EQ(countLine->text(), "1 frame would be used.");
  QTest::mouseClick(analyse, Qt::LeftButton);
  t.finish();
  EXPECT_EQ(t.notice(), "Roll Analysis needs at least two colour frames of the same film type.");
  EXPECT_TRUE(t.visible(analyse));
  EXPECT_EQ(t.session.settings(3).rollBalance, std::nullopt);

  // One undo step takes the balance off the three frames.
  t.select(0);
  t.model().undo();
  t.settle();
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(t.session.settings(i).rollBalance, std::nullopt) << i;
  EXPECT_TRUE(t.shown("frameCountRow"));
}

// ---- Reference match ------------------------------------------------------------------------

TEST(ReferenceRow, TheButtonAsksForAPhotoAndShowsTheMatchUntilItEnds) {
  Rows t(2);
  writeNegative(t, 0);
  writeNegative(t, 1);
  const fs::path photo = t.session.folder / "mood.png";
  writeMoodPhoto(photo);
  t.select(0);
  auto* match = t.find<QPushButton>("Match Reference…");
  auto* bar = t.find<QProgressBar>("matchProgress");
  auto* row = t.find<QWidget>("referenceMatchRow");
  QLabel* matching = nullptr;
  for (QLabel* label : row->findChildren<QLabel*>()) {
    if (label->text() == "Matching…") matching = label;
  }
  ASSERT_NE(matching, nullptr);

  // Cancelled: no match starts.
  QTest::mouseClick(match, Qt::LeftButton);
  t.settle();
  EXPECT_EQ(t.dialogs().openAsked.size(), 1u);
  EXPECT_TRUE(t.visible(match));
  EXPECT_FALSE(t.visible(bar));

  std::vector<int> values;
  QObject::connect(&t.model(), &AppModel::matchProgressChanged, t.view.get(), [&] {
    t.view->refreshNow();
    if (t.visible(bar)) values.push_back(bar->value());
  });
  t.dialogs().openAnswers.push_back({photo});
  QTest::mouseClick(match, Qt::LeftButton);
  t.settle();
  EXPECT_FALSE(t.visible(match));
  EXPECT_TRUE(t.visible(bar));
  EXPECT_TRUE(t.visible(matching));

  QElapsedTimer timer;
  timer.start();
  while (t.model().matchProgress() && timer.elapsed() < 120000) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  QThreadPool::globalInstance()->waitForDone();
  QApplication::processEvents();
  t.settle();

  ASSERT_GE(values.size(), 2u);
  EXPECT_EQ(values.front(), 0);
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  EXPECT_EQ(bar->maximum(), 1000);
  EXPECT_TRUE(t.visible(match));
  EXPECT_FALSE(t.visible(bar));
  EXPECT_FALSE(t.visible(matching));
  EXPECT_TRUE(t.notice().startsWith("mood.png is a different picture")) << t.notice().toStdString();
  EXPECT_NE(t.session.settings(0), S{});
  EXPECT_EQ(t.session.settings(1), S{});
  EXPECT_EQ(t.session.undoStack().size(), 1u);
}

// ---- Copying to the other scans --------------------------------------------------------------

TEST(ExportBatchSection, ApplyingTheLookCopiesItToEveryOtherScanAsOneUndoStep) {
  Rows t(5);
  const NormRect crop{0.1, 0.1, 0.5, 0.5};
  const RedEye eye{Uuid::random(), 0.4, 0.4, 0.02};
  t.store(0, [](S& s) {
    s.exposure = 0.7;
    s.filmPreset = "portra400-rich";
    s.rotationQuarterTurns = 1;
  });
  t.store(2, [&](S& s) {
    s.crop = crop;
    s.redEyes = {eye};
  });
  // Already the same look: counted all the same.
  t.store(4, [](S& s) {
    s.exposure = 0.7;
    s.filmPreset = "portra400-rich";
  });
  t.select(0);
  QTest::mouseClick(t.find<QPushButton>("Apply These Settings to All Images"), Qt::LeftButton);
  t.settle();
  EXPECT_EQ(t.notice(),
            "Look copied to 4 other images (crop, rotation and healed spots stay per image).");
  for (size_t i = 1; i < 5; ++i) {
    EXPECT_EQ(t.session.settings(i).exposure, 0.7) << i;
    EXPECT_EQ(t.session.settings(i).filmPreset, "portra400-rich") << i;
    EXPECT_EQ(t.session.settings(i).rotationQuarterTurns, 0) << i;
  }
  EXPECT_EQ(t.session.settings(2).crop, crop);
  EXPECT_EQ(t.session.settings(2).redEyes, std::vector<RedEye>{eye});
  t.model().undo();
  for (size_t i : {1, 2, 3}) EXPECT_EQ(t.session.settings(i).exposure, 0) << i;
  EXPECT_EQ(t.session.settings(4).exposure, 0.7);
  EXPECT_FALSE(t.model().canUndo());
}

TEST(ExportBatchSection, ALeftOutScanIsNotAskedForByExportAll) {
  Rows t(3);
  t.select(1);
  auto* skip = t.find<QCheckBox>("Leave Out of Export All");
  auto requested = [&t] {
    std::vector<Uuid> ids;
    for (const ImageItem& item : t.model().exportRequest().value()) ids.push_back(item.id);
    return ids;
  };
  QTest::mouseClick(skip, Qt::LeftButton);
  t.model().exportAll();
  EXPECT_EQ(requested(), (std::vector<Uuid>{t.session.id(0), t.session.id(2)}));
  t.model().setExportRequest(std::nullopt);
  t.settle();
  QTest::mouseClick(skip, Qt::LeftButton);
  t.model().exportAll();
  EXPECT_EQ(requested().size(), 3u);
}

TEST(FilmInfoSection, ApplyingToTheRollCountsOnlyTheScansItChanges) {
  Rows t(3, {"Film Info"});
  for (size_t i = 0; i < 3; ++i) {
    t.store(i, [i](S& s) {
      s.filmInfo.camera = "Pentax 67";
      s.filmInfo.notes = "frame " + std::to_string(i);
    });
  }
  t.select(0);
  auto* apply = t.find<QPushButton>("Apply Film Info to Whole Roll");
  QTest::mouseClick(apply, Qt::LeftButton);
  EXPECT_EQ(t.notice(), "The other scans already have this film info.");

  t.store(2, [](S& s) { s.filmInfo.camera = "Mamiya 7"; });
  QTest::mouseClick(apply, Qt::LeftButton);
  EXPECT_EQ(t.notice(),
            "Film info copied to 1 other scan (shutter speed, aperture and notes stay per photo).");

  QLineEdit* film = t.find<QLineEdit>("Film");
  QLineEdit* shutter = t.find<QLineEdit>("Shutter speed");
  QTest::keyClicks(film, "Portra 400");
  QTest::keyClicks(shutter, "1/60");
  QTest::mouseClick(apply, Qt::LeftButton);
  EXPECT_EQ(t.notice(),
            "Film info copied to 2 other scans (shutter speed, aperture and notes stay per "
            "photo).");
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(t.session.settings(i).filmInfo.film, "Portra 400") << i;
    EXPECT_EQ(t.session.settings(i).filmInfo.shutter, "") << i;
    EXPECT_EQ(t.session.settings(i).filmInfo.notes, "frame " + std::to_string(i)) << i;
  }
  EXPECT_TRUE(t.session.undoStack().empty());
  t.select(2);
  EXPECT_EQ(film->text(), "Portra 400");
  EXPECT_EQ(shutter->text(), "");
}

}  // namespace
