// The Film section over a real session of tiny scans on virtual time: its texts in tables, the
// rows of each film type, the look pickers' hover protocol and every way of closing their list,
// the reset confirmation, Look Amount's enabling, the roll and reference rows' progress, the
// even-light row, and refreshes that never write a value back.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "Inspector/AdjustRow.h"
#include "Inspector/ElidedLabel.h"
#include "Inspector/FilmTexts.h"
#include "Inspector/FlatFieldRow.h"
#include "Inspector/FoldHeader.h"
#include "Inspector/FoldSection.h"
#include "Inspector/InspectorView.h"
#include "Inspector/LookPicker.h"
#include "Inspector/ResetEverythingButton.h"
#include "InspectorSession.h"
#include "PaintedRed.h"
#include "PointerCrossing.h"
#include "Print/FilmPresets.h"
#include "ViewKit/MenuButton.h"

namespace {

using S = ConversionSettings;

struct Film : InspectorSession {
  using InspectorSession::InspectorSession;
  LookPicker* picker(const QString& label) const { return find<LookPicker>(label); }
  QStringList presetEntries() const {
    QStringList shown;
    for (QAction* action : find<MenuButton>("Preset")->menu()->actions()) {
      if (action->isVisible()) shown << action->text();
    }
    return shown;
  }
};

using PointerCrossing::enter;
using PointerCrossing::leave;
LookEntry* entry(LookPicker* picker, const QString& title) {
  for (LookEntry* e : picker->entries()) {
    if (e->title() == title) return e;
  }
  return nullptr;
}
QString title(const std::string& id) {
  return QString::fromStdString(FilmPresets::preset(id)->title());
}

TEST(FilmTexts, CountsAndRanges) {
  EXPECT_EQ(FilmTexts::rollBalanceLine(6), "Using the roll's colour balance (6 frames)");
  const std::pair<long long, const char*> counts[] = {{0, "0 frames would be used."},
                                                      {1, "1 frame would be used."},
                                                      {2, "2 frames would be used."}};
  for (const auto& [n, text] : counts) EXPECT_EQ(FilmTexts::frameCountLine(n), text);

  const std::tuple<size_t, const char*, const char*> targets[] = {
      {0, "Stop using Even Light Correction for this scan", "For This Scan…"},
      {1, "Stop using Even Light Correction for this scan", "For This Scan…"},
      {3, "Stop using Even Light Correction for the 3 selected scans", "For the 3 Selected Scans…"},
  };
  for (const auto& [n, off, first] : targets) {
    EXPECT_EQ(FilmTexts::flatFieldOffHelp(n), off);
    EXPECT_EQ(FilmTexts::forTargetsTitle(n), first);
  }
  EXPECT_EQ(FilmTexts::chooseMenuTitle(true), "Change…");
  EXPECT_EQ(FilmTexts::chooseMenuTitle(false), "Choose Blank Frame…");
  EXPECT_EQ(FilmTexts::blankFrameHelp("/a/b.tif", false), "Not found: /a/b.tif");
  EXPECT_EQ(FilmTexts::blankFrameHelp("/a/b.tif", true), "/a/b.tif");

  FilmAnalysis analysis;
  analysis.dMin = {0.18, 0.25, 0.31};
  analysis.dMax = {1.92, 2.05, 2.2};
  EXPECT_EQ(FilmTexts::densityText(analysis, false), "R 0.18–1.92  G 0.25–2.05  B 0.31–2.20");
  analysis.dMin[0] = 0.205;  // rounds as printf rounds the double
  analysis.dMax[0] = 1.87;
  EXPECT_EQ(FilmTexts::densityText(analysis, true), "0.20 – 1.87");
}

TEST(FilmTexts, PresetsAndNames) {
  const QStringList colour = {"Soft", "Standard", "Punchy"};
  for (FilmMode mode : {FilmMode::colorNegative, FilmMode::positive}) {
    QStringList labels;
    for (const auto& [preset, label] : FilmTexts::presetsFor(mode)) labels << label;
    EXPECT_EQ(labels, colour);
  }
  const auto mono = FilmTexts::presetsFor(FilmMode::bwNegative);
  ASSERT_EQ(mono.size(), 4u);
  EXPECT_EQ(mono.back().first, BuiltInPreset::merivaldoonMono1);
  EXPECT_EQ(mono.back().second, "Kelvadorium Merivaldoon Mono 1");

  EXPECT_EQ(FilmTexts::filmLookName(std::nullopt), "None");
  EXPECT_EQ(FilmTexts::filmLookName("no-such-look"), "None");
  EXPECT_EQ(FilmTexts::filmLookName("Portra400-rich"), "None");  // ids match case-sensitively
  EXPECT_EQ(FilmTexts::filmLookName("portra400-rich"), title("portra400-rich"));
  EXPECT_EQ(FilmTexts::scannerName(ScannerLook::neutral), "Neutral");
  EXPECT_EQ(FilmTexts::scannerName(ScannerLook::frontier), "Frontier Style");
  EXPECT_EQ(FilmTexts::scannerName(ScannerLook::noritsu), "Noritsu Style");
  EXPECT_EQ(FilmTexts::filmModeLabel(FilmMode::bwNegative), "B&W negative");
}

TEST(FilmSection, RowsFollowTheFilmType) {
  struct Case {
    const char* name;
    std::optional<FilmMode> mode;
    bool look;
    int presets;
    QString typeText;
  };
  const Case cases[] = {
      {"no selection", std::nullopt, true, 3, "Colour negative"},
      {"colour negative", FilmMode::colorNegative, true, 3, "Colour negative"},
      {"black-and-white", FilmMode::bwNegative, false, 4, "B&W negative"},
      {"slide", FilmMode::positive, true, 3, "Positive / slide"},
  };
  Film t;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.mode) {
      t.store(0, [&](S& s) { s.mode = *c.mode; });
      t.select(0);
    } else {
      t.select(std::nullopt);
    }
    EXPECT_EQ(t.find<QComboBox>("Type")->currentText(), c.typeText);
    for (const char* row :
         {"typeRow", "ResetEverythingButton", "FlatFieldRow", "presetRow", "referenceMatchRow"}) {
      EXPECT_TRUE(t.shown(row)) << row;
    }
    EXPECT_EQ(t.shown("lookGroup"), c.look);
    EXPECT_EQ(t.presetEntries().size(), c.presets);
    EXPECT_EQ(t.find<QPushButton>("Reset Everything")->isEnabled(), c.mode.has_value());
    EXPECT_EQ(t.find<QPushButton>("Match Reference…")->isEnabled(), c.mode.has_value());
  }
  EXPECT_TRUE(t.session.undoStack().empty());
}

TEST(FilmSection, ChoosingATypeEditsOnlyTheModeAndKeepsTheLook) {
  Film t;
  t.store(0, [](S& s) {
    s.filmPreset = "portra400-rich";
    s.lookAmount = 40;
  });
  t.select(0);
  QComboBox* type = t.find<QComboBox>("Type");
  type->activated(1);  // as the user's choice arrives
  t.settle();
  EXPECT_EQ(t.session.settings(0).mode, FilmMode::bwNegative);
  EXPECT_EQ(t.session.settings(0).filmPreset, "portra400-rich");
  EXPECT_EQ(t.session.settings(0).lookAmount, 40);
  EXPECT_EQ(t.session.undoStack().size(), 1u);
  EXPECT_FALSE(t.shown("lookGroup"));
  EXPECT_EQ(t.presetEntries().last(), "Kelvadorium Merivaldoon Mono 1");
}

TEST(FilmSection, APresetIsOneEditAndCounted) {
  Film t;
  t.select(0);
  QAction* punchy = nullptr;
  for (QAction* a : t.find<MenuButton>("Preset")->menu()->actions()) {
    if (a->text() == "Punchy") punchy = a;
  }
  ASSERT_NE(punchy, nullptr);
  punchy->trigger();
  EXPECT_EQ(t.session.undoStack().size(), 1u);
  EXPECT_NE(t.session.settings(0), S::defaults());
}

TEST(FilmSection, LookAmountNeedsAKnownFilmLook) {
  const std::pair<std::optional<std::string>, bool> cases[] = {
      {std::nullopt, false}, {"no-such-look", false}, {"portra400-rich", true}};
  Film t;
  t.select(0);
  for (const auto& [id, enabled] : cases) {
    SCOPED_TRACE(id.value_or("none"));
    t.store(0, [&](S& s) {
      s.filmPreset = id;
      s.lookAmount = 37;
    });
    AdjustRow* amount = t.find<AdjustRow>("Look Amount");
    EXPECT_EQ(amount->isEnabled(), enabled);
    EXPECT_EQ(amount->valueText()->text(), "37%");
    EXPECT_EQ(t.picker("Film look")->button()->text(),
              id && enabled ? title(*id) : QString("None"));
  }
  // With a look chosen, the label's double-click is 100%.
  QTest::mouseDClick(t.find<AdjustRow>("Look Amount")->labelGroup(), Qt::LeftButton);
  EXPECT_EQ(t.session.settings(0).lookAmount, 100);
}

TEST(LookPicker, ListsNoneThenEachStockWithItsLooks) {
  Film t;
  t.store(0, [](S& s) { s.filmPreset = "portra400-rich"; });
  t.select(0);
  LookPicker* film = t.picker("Film look");
  QTest::mouseClick(film->button(), Qt::LeftButton);
  ASSERT_TRUE(film->isOpen());
  EXPECT_EQ(film->list()->size(), QSize(230, 420));
  QStringList titles;
  for (LookEntry* e : film->entries()) titles << e->title();
  QStringList expected = {"None"};
  QStringList headers;
  for (const auto& [stock, presets] : FilmPresets::groupedByStock()) {
    headers << "Kelvadorium " + QString::fromStdString(FilmPresets::stockDisplayName(stock));
    for (const FilmPreset& p : presets) expected << QString::fromStdString(p.title());
  }
  EXPECT_EQ(titles, expected);
  QStringList shownHeaders;
  for (QLabel* h : film->list()->findChildren<QLabel*>("groupHeader")) shownHeaders << h->text();
  EXPECT_EQ(shownHeaders, headers);
  int current = 0;
  for (LookEntry* e : film->entries()) current += e->isCurrent();
  EXPECT_EQ(current, 1);
  EXPECT_TRUE(entry(film, title("portra400-rich"))->isCurrent());
  film->close();

  // An id the table does not hold: no checkmark anywhere.
  t.store(0, [](S& s) { s.filmPreset = "no-such-look"; });
  film->open();
  for (LookEntry* e : film->entries()) EXPECT_FALSE(e->isCurrent()) << e->title().toStdString();
  film->close();

  LookPicker* scanner = t.picker("Scanner");
  scanner->open();
  EXPECT_EQ(scanner->list()->width(), 200);
  titles.clear();
  for (LookEntry* e : scanner->entries()) titles << e->title();
  EXPECT_EQ(titles, QStringList({"Neutral", "Frontier Style", "Noritsu Style"}));
  EXPECT_TRUE(scanner->entries()[0]->isCurrent());
  scanner->close();
}

TEST(LookPicker, TheLastEnteredEntryIsPreviewedWhateverTheEventOrder) {
  Film t;
  t.store(0, [](S& s) { s.filmPreset = "portra400-rich"; });
  t.select(0);
  // The scan's own thumbnail and preview are out before the pointer comes.
  t.session.model->refreshThumbnail(t.session.id(0));
  t.session.wait(1);
  const std::shared_ptr<const PreviewImage> thumbnail = t.session.model->items()[0].thumbnail;
  ASSERT_TRUE(thumbnail);
  ASSERT_TRUE(t.model().preview());
  LookPicker* film = t.picker("Film look");
  film->open();
  LookEntry* a = entry(film, title("gold200-natural"));
  LookEntry* b = entry(film, title("portra400-moody"));
  LookEntry* none = entry(film, "None");

  enter(a);
  enter(b);
  leave(a);
  EXPECT_EQ(t.model().hoverFilmLook(), HoverLook{"portra400-moody"});
  EXPECT_EQ(film->hovered(), b->line());
  leave(b);
  EXPECT_EQ(t.model().hoverFilmLook(), std::nullopt);
  EXPECT_EQ(film->hovered(), std::nullopt);

  enter(a);
  leave(a);
  enter(none);
  const auto ownPreview = t.model().preview();
  t.session.wait(1);
  // Resting on None previews the scan without a look while its record keeps its own.
  EXPECT_EQ(t.model().hoverFilmLook(), HoverLook{std::nullopt});
  EXPECT_NE(t.model().preview(), ownPreview);
  EXPECT_EQ(t.session.settings(0).filmPreset, "portra400-rich");
  EXPECT_TRUE(t.session.undoStack().empty());
  EXPECT_EQ(t.session.model->items()[0].thumbnail, thumbnail);
  EXPECT_FALSE(t.model().hasUnsavedChanges());

  LookPicker* scanner = t.picker("Scanner");
  film->close();
  scanner->open();
  enter(scanner->entries()[2]);
  enter(scanner->entries()[1]);
  leave(scanner->entries()[2]);
  EXPECT_EQ(t.model().hoverScanner(), ScannerLook::frontier);
  scanner->close();
  EXPECT_EQ(t.model().hoverScanner(), std::nullopt);
}

TEST(LookPicker, EveryWayOfClosingClearsThePreview) {
  struct Case {
    const char* name;
    std::function<void(Film&, LookPicker*)> close;
  };
  const Case cases[] = {
      {"Escape", [](Film&, LookPicker* p) { QTest::keyClick(p->list(), Qt::Key_Escape); }},
      {"the button again",
       [](Film&, LookPicker* p) { QTest::mouseClick(p->button(), Qt::LeftButton); }},
      {"a click outside",
       [](Film& t, LookPicker* p) {
         const QPoint outside = p->list()->mapFromGlobal(t.view->mapToGlobal(QPoint(5, 3000)));
         QTest::mousePress(p->list(), Qt::LeftButton, {}, outside);
       }},
      {"the section folds",
       [](Film& t, LookPicker*) {
         QTest::mouseClick(t.view->section("Film")->header(), Qt::LeftButton);
       }},
      {"the row hides for a black-and-white negative",
       [](Film& t, LookPicker*) { t.store(0, [](S& s) { s.mode = FilmMode::bwNegative; }); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Film t;
    t.select(0);
    QPointer<LookPicker> film = t.picker("Film look");
    QTest::mouseClick(film->button(), Qt::LeftButton);
    ASSERT_TRUE(film->isOpen());
    enter(entry(film, title("portra400-rich")));
    ASSERT_TRUE(t.model().hoverFilmLook());
    c.close(t, film);
    QApplication::processEvents();
    EXPECT_EQ(t.model().hoverFilmLook(), std::nullopt);
    if (film) {
      EXPECT_FALSE(film->isOpen());
      EXPECT_EQ(film->hovered(), std::nullopt);
    }
    EXPECT_EQ(t.session.settings(0).filmPreset, std::nullopt);
    EXPECT_TRUE(t.session.undoStack().empty());
  }
}

TEST(LookPicker, AClickCommitsOnceAndTheCurrentEntryRecordsNothing) {
  Film t;
  t.select(0);
  LookPicker* film = t.picker("Film look");
  film->open();
  LookEntry* rich = entry(film, title("portra400-rich"));
  enter(rich);
  QTest::mouseClick(rich, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_FALSE(film->isOpen());
  EXPECT_EQ(t.model().hoverFilmLook(), std::nullopt);
  EXPECT_EQ(t.session.settings(0).filmPreset, "portra400-rich");
  EXPECT_EQ(t.session.undoStack().size(), 1u);
  t.settle();
  EXPECT_EQ(film->button()->text(), title("portra400-rich"));
  EXPECT_TRUE(t.find<AdjustRow>("Look Amount")->isEnabled());

  t.session.wait(1);
  film->open();
  QTest::mouseClick(entry(film, title("portra400-rich")), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_FALSE(film->isOpen());
  EXPECT_EQ(t.session.undoStack().size(), 1u);

  LookPicker* scanner = t.picker("Scanner");
  scanner->open();
  QTest::mouseClick(scanner->entries()[2], Qt::LeftButton);
  EXPECT_EQ(t.session.settings(0).look, ScannerLook::noritsu);
  EXPECT_EQ(t.session.undoStack().size(), 2u);
}

TEST(LookPicker, WithoutASelectionTheButtonsNameNoneAndNeutral) {
  Film t;
  t.store(0, [](S& s) {
    s.filmPreset = "portra400-rich";
    s.look = ScannerLook::frontier;
  });
  t.select(std::nullopt);
  EXPECT_EQ(t.picker("Film look")->button()->text(), "None");
  EXPECT_EQ(t.picker("Scanner")->button()->text(), "Neutral");
  t.select(0);
  EXPECT_EQ(t.picker("Scanner")->button()->text(), "Frontier Style");
}

QMessageBox* confirmation(Film& t) {
  QTest::mouseClick(t.find<QPushButton>("Reset Everything"), Qt::LeftButton);
  auto* reset = t.find<ResetEverythingButton>("ResetEverythingButton");
  return reset->asking();
}

QAbstractButton* button(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons()) {
    if (b->text() == text) return b;
  }
  return nullptr;
}

TEST(ResetEverything, CancelKeepsTheRecordAndConfirmIsOneUndoStep) {
  Film t;
  t.store(0, [](S& s) {
    s.exposure = 1.2;
    s.filmPreset = "portra400-rich";
    s.mode = FilmMode::positive;
    s.skewDegrees = 3;
  });
  t.select(0);
  const S before = t.session.settings(0);
  QMessageBox* box = confirmation(t);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "Reset everything on this image?");
  EXPECT_TRUE(box->informativeText().endsWith(
      "You can undo this with " +
      QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText) + "."));
  EXPECT_EQ(box->defaultButton(), button(box, "Reset Everything"));
  QTest::mouseClick(button(box, "Cancel"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(t.session.settings(0), before);
  EXPECT_TRUE(t.session.undoStack().empty());

  box = confirmation(t);
  ASSERT_NE(box, nullptr);
  QTest::mouseClick(button(box, "Reset Everything"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(t.session.settings(0).exposure, 0);
  EXPECT_EQ(t.session.settings(0).filmPreset, std::nullopt);
  EXPECT_EQ(t.session.settings(0).mode, FilmMode::positive);
  EXPECT_EQ(t.session.settings(0).skewDegrees, 3);
  EXPECT_EQ(t.session.undoStack().size(), 1u);
  t.model().undo();
  EXPECT_EQ(t.session.settings(0), before);

  // On the default record already: nothing recorded.
  t.select(1);
  t.session.wait(1);
  box = confirmation(t);
  QTest::mouseClick(button(box, "Reset Everything"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(t.session.undoStack().size(), 0u);
}

TEST(RollRows, ProgressReplacesTheButtonAndTheLineFollowsTheBalance) {
  Film t(4);
  t.store(1, [](S& s) { s.mode = FilmMode::bwNegative; });
  t.select(0);
  auto* analyse = t.find<QPushButton>("Analyse Roll");
  auto* bar = t.find<QProgressBar>("rollProgress");
  const std::tuple<int, int, int> progress[] = {{0, 0, 1}, {0, 1, 1}, {2, 5, 5}};
  for (const auto& [done, total, maximum] : progress) {
    t.model().setRollProgress(std::pair(done, total));
    t.settle();
    EXPECT_FALSE(analyse->isVisibleTo(t.view.get()));
    EXPECT_TRUE(bar->isVisibleTo(t.view.get()));
    EXPECT_EQ(bar->maximum(), maximum);
    EXPECT_EQ(bar->value(), done);
  }
  t.model().setRollProgress(std::nullopt);
  t.settle();
  EXPECT_TRUE(analyse->isVisibleTo(t.view.get()));
  EXPECT_FALSE(bar->isVisibleTo(t.view.get()));

  EXPECT_TRUE(t.shown("frameCountRow"));
  EXPECT_FALSE(t.shown("rollBalanceRow"));
  t.model().setMatchProgress(0.25);
  t.settle();
  EXPECT_FALSE(t.find<QPushButton>("Match Reference…")->isVisibleTo(t.view.get()));
  EXPECT_EQ(t.find<QProgressBar>("matchProgress")->value(), 250);
  t.model().setMatchProgress(std::nullopt);
  t.settle();
  EXPECT_TRUE(t.find<QPushButton>("Match Reference…")->isVisibleTo(t.view.get()));

  for (size_t i : {0, 2, 3}) {
    t.store(i, [](S& s) {
      RollBalance balance;
      balance.offsets = {0, 0, 0};
      balance.ratios = {1, 1, 1};
      balance.frames = 6;
      s.rollBalance = balance;
    });
  }
  EXPECT_TRUE(t.shown("rollBalanceRow"));
  EXPECT_FALSE(t.shown("frameCountRow"));
  EXPECT_EQ(t.find<QWidget>("rollBalanceRow")->findChild<QLabel*>()->text(),
            "Using the roll's colour balance (6 frames)");
  t.model().setMarked({t.session.id(0), t.session.id(2), t.session.id(3)});
  t.settle();
  QTest::mouseClick(t.find<QWidget>("rollBalanceRow")->findChild<QToolButton*>("Off"),
                    Qt::LeftButton);
  for (size_t i : {0, 2, 3}) EXPECT_FALSE(t.session.settings(i).rollBalance) << i;
  t.settle();
  EXPECT_TRUE(t.shown("frameCountRow"));
  // One undo step brings all three back.
  t.model().undo();
  for (size_t i : {0, 2, 3}) EXPECT_TRUE(t.session.settings(i).rollBalance) << i;
  EXPECT_TRUE(t.session.undoStack().empty());
}

TEST(FlatFieldRow, AMissingBlankFrameIsRedAndStays) {
  Film t(3);
  const std::string missing =
      (t.session.folder / "gone" / "blank-frame-of-a-very-long-name.tif").string();
  const std::string present = t.session.model->items()[2].url.string();
  t.store(0, [&](S& s) { s.flatField = missing; });
  t.store(1, [&](S& s) { s.flatField = present; });
  t.select(0);
  auto* row = t.find<FlatFieldRow>("FlatFieldRow");
  EXPECT_TRUE(row->fileName()->isVisibleTo(t.view.get()));
  EXPECT_EQ(row->fileName()->fullText(), "blank-frame-of-a-very-long-name.tif");
  EXPECT_EQ(row->fileName()->toolTip(), "Not found: " + QString::fromStdString(missing));
  EXPECT_TRUE(paintsRed(row->fileName()));
  EXPECT_EQ(row->chooseButton()->text(), "Change…");
  EXPECT_EQ(row->offButton()->toolTip(), "Stop using Even Light Correction for this scan");
  EXPECT_EQ(t.session.settings(0).flatField, missing);

  t.select(1);
  EXPECT_EQ(row->fileName()->toolTip(), QString::fromStdString(present));
  EXPECT_FALSE(paintsRed(row->fileName()));

  t.model().setMarked({t.session.id(0), t.session.id(1), t.session.id(2)});
  t.settle();
  EXPECT_EQ(row->forTargets()->text(), "For the 3 Selected Scans…");
  EXPECT_EQ(row->offButton()->toolTip(),
            "Stop using Even Light Correction for the 3 selected scans");

  t.select(2);
  EXPECT_FALSE(row->fileName()->isVisibleTo(t.view.get()));
  EXPECT_FALSE(row->offButton()->isVisibleTo(t.view.get()));
  EXPECT_EQ(row->chooseButton()->text(), "Choose Blank Frame…");
  t.model().setMarked({});
  t.select(std::nullopt);
  EXPECT_EQ(row->forTargets()->text(), "For This Scan…");
  EXPECT_TRUE(t.session.undoStack().empty());
}

// Selection changes across records the controls cannot show exactly never edit them.
TEST(FilmSection, RefreshingNeverWritesAValueBack) {
  Film t;
  t.store(0, [](S& s) {
    s.lookAmount = 33.333333;
    s.filmPreset = "no-such-look";
    s.look = ScannerLook::noritsu;
  });
  t.store(1, [](S& s) {
    s.mode = FilmMode::bwNegative;
    s.lookAmount = 140;
  });
  t.store(2, [](S& s) {
    s.mode = FilmMode::positive;
    s.filmPreset = "portra400-rich";
    s.lookAmount = -3;
  });
  std::vector<S> stored;
  for (size_t i = 0; i < 3; ++i) stored.push_back(t.session.settings(i));
  for (size_t i : {0, 1, 2, 0, 2}) t.select(i);
  t.select(std::nullopt);
  t.select(1);
  QApplication::processEvents();
  EXPECT_TRUE(t.session.undoStack().empty());
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(t.session.settings(i), stored[i]) << i;
  EXPECT_FALSE(t.model().hasUnsavedChanges());
}

}  // namespace
