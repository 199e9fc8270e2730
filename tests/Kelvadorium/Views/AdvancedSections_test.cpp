// The Advanced, Film Info and Export & Batch sections over a real session on virtual time: the
// border row's reset, the density range only while a measurement is published, typing film
// information without undo steps or renders (and an undo that leaves it alone), the cursor kept
// through refreshes, and the two buttons that need a second scan.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "Inspector/AdjustRow.h"
#include "Inspector/FilmInfoSection.h"
#include "Inspector/FoldSection.h"
#include "Inspector/InspectorView.h"
#include "InspectorSession.h"

namespace {

using S = ConversionSettings;

// The two sections folded by default, open.
struct Sections : InspectorSession {
  explicit Sections(size_t scans = 3) : InspectorSession(scans, {"Advanced", "Film Info"}) {}
};

TEST(AdvancedSection, IgnoreEdgesReadsPercentAndResetsToTheDefaultBorder) {
  Sections t;
  t.select(std::nullopt);
  AdjustRow* edges = t.find<AdjustRow>("Ignore edges");
  EXPECT_EQ(edges->valueText()->text(), "8%");
  t.store(0, [](S& s) { s.analysisInset = 0.12; });
  t.select(0);
  EXPECT_EQ(edges->valueText()->text(), "12%");
  EXPECT_EQ(edges->labelHelp(),
            "Border left out when the film is measured: rebate, sprockets, light around the "
            "frame. Double-click to reset.");
  // The tooltip's promise holds: the double-click restores the default border.
  QTest::mouseDClick(edges->labelGroup(), Qt::LeftButton);
  EXPECT_EQ(t.session.settings(0).analysisInset, 0.08);
  EXPECT_EQ(t.session.undoStack().size(), 1u);
}

TEST(AdvancedSection, DensityRangeOnlyWhileAMeasurementIsPublished) {
  Sections t;
  t.store(1, [](S& s) { s.mode = FilmMode::bwNegative; });
  t.select(0);
  t.model().setAnalysis(std::nullopt);
  t.settle();
  EXPECT_FALSE(t.shown("densityRow"));
  FilmAnalysis analysis;
  analysis.dMin = {0.18, 0.25, 0.31};
  analysis.dMax = {1.92, 2.05, 2.2};
  t.model().setAnalysis(analysis);
  t.settle();
  EXPECT_TRUE(t.shown("densityRow"));
  EXPECT_EQ(t.find<QLabel>("densityRange")->text(), "R 0.18–1.92  G 0.25–2.05  B 0.31–2.20");
  t.model().setSelection(t.session.id(1));
  t.model().setAnalysis(analysis);
  t.settle();
  EXPECT_EQ(t.find<QLabel>("densityRange")->text(), "0.18 – 1.92");
}

TEST(FilmInfoSection, FieldsInTheirOrderWithPlaceholders) {
  Sections t;
  t.select(0);
  const QStringList titles = {"Camera",       "Lens",          "Film",     "ISO",
                              "Focal length", "Shutter speed", "Aperture", "Date taken",
                              "Photographer", "Copyright",     "Notes"};
  const QList<QLineEdit*> edits =
      t.view->section("Film Info")->content()->findChildren<QLineEdit*>();
  ASSERT_EQ(edits.size(), titles.size());
  for (int i = 0; i < titles.size(); ++i) EXPECT_EQ(edits[i]->objectName(), titles[i]);
  EXPECT_EQ(t.find<QLineEdit>("Copyright")->placeholderText(), "© 2026 Your name");
  EXPECT_EQ(t.find<QLineEdit>("Focal length")->placeholderText(), "105mm");
}

TEST(FilmInfoSection, TypingWritesWithoutUndoOrRenderAndUndoLeavesTheText) {
  Sections t;
  t.select(0);
  t.session.touch();  // an earlier image edit
  const double edited = t.session.settings(0).exposure;
  t.session.wait(1);
  t.settle();
  const int64_t renders = t.model().plain().renderGen;
  QLineEdit* camera = t.find<QLineEdit>("Camera");
  camera->setFocus();
  // Any script, stored as typed: keys, then text an input method commits.
  QTest::keyClicks(camera, "Pentax 67 ");
  QInputMethodEvent composed;
  composed.setCommitString("— ペンタックス ✓");
  QApplication::sendEvent(camera, &composed);
  const QString typed = "Pentax 67 — ペンタックス ✓";
  t.settle();
  EXPECT_EQ(t.session.settings(0).filmInfo.camera, typed.toStdString());
  EXPECT_EQ(t.session.undoStack().size(), 1u);
  EXPECT_EQ(t.model().plain().renderGen, renders);
  EXPECT_TRUE(t.model().hasUnsavedChanges());
  // The refreshes between the keys kept the cursor at the end, so the text came out in order.
  EXPECT_EQ(camera->cursorPosition(), typed.size());
  camera->setCursorPosition(3);
  t.model().setMarked({t.session.id(1)});
  t.settle();
  EXPECT_EQ(camera->cursorPosition(), 3);

  // The menu's undo takes back the image edit, not the text.
  camera->clearFocus();
  t.model().undo();
  t.settle();
  EXPECT_NE(t.session.settings(0).exposure, edited);
  EXPECT_EQ(t.session.settings(0).filmInfo.camera, typed.toStdString());
  EXPECT_EQ(camera->text(), typed);
  t.model().redo();
  EXPECT_EQ(t.session.settings(0).exposure, edited);
  EXPECT_EQ(t.session.settings(0).filmInfo.camera, typed.toStdString());
}

TEST(FilmInfoSection, SameTextChangesNothingAndASelectionChangeWritesNothing) {
  Sections t;
  t.store(0, [](S& s) { s.filmInfo.lens = "50mm"; });
  t.store(1, [](S& s) { s.filmInfo.lens = "90mm"; });
  t.select(0);
  QLineEdit* lens = t.find<QLineEdit>("Lens");
  lens->setFocus();
  // What retyping the stored text amounts to when the field reports it.
  lens->textEdited("50mm");
  EXPECT_FALSE(t.model().hasUnsavedChanges());
  // Focus stays in the field while another scan is selected: it shows that scan's text.
  t.select(1);
  EXPECT_EQ(lens->text(), "90mm");
  t.select(2);
  EXPECT_EQ(lens->text(), "");
  EXPECT_EQ(t.session.settings(0).filmInfo.lens, "50mm");
  EXPECT_EQ(t.session.settings(1).filmInfo.lens, "90mm");
  EXPECT_EQ(t.session.settings(2).filmInfo.lens, "");
  EXPECT_FALSE(t.model().hasUnsavedChanges());
}

// Records the controls cannot show exactly (a border outside the slider's range or between its
// steps, text in a field that has focus) are never edited by showing them.
TEST(AdvancedSections, RefreshingNeverWritesAValueBack) {
  Sections t;
  const std::string long_(5000, 'x');
  t.store(0, [&](S& s) {
    s.analysisInset = 0.5;
    s.filmInfo.notes = long_;
  });
  t.store(1, [](S& s) {
    s.analysisInset = 0.123456;
    s.mode = FilmMode::bwNegative;
    s.filmInfo.camera = "Fujica GW690 — 富士";
  });
  t.store(2, [](S& s) { s.analysisInset = -0.1; });
  std::vector<S> stored;
  for (size_t i = 0; i < 3; ++i) stored.push_back(t.session.settings(i));
  t.find<QLineEdit>("Camera")->setFocus();
  FilmAnalysis analysis;
  analysis.dMin = {0.1, 0.2, 0.3};
  analysis.dMax = {1.1, 1.2, 1.3};
  for (size_t i : {0, 1, 2, 1, 0}) {
    t.select(i);
    t.model().setAnalysis(analysis);
    t.settle();
  }
  t.select(std::nullopt);
  t.select(1);
  QApplication::processEvents();
  EXPECT_EQ(t.find<QLineEdit>("Camera")->text(), "Fujica GW690 — 富士");
  EXPECT_EQ(t.find<AdjustRow>("Ignore edges")->valueText()->text(), "12%");
  EXPECT_TRUE(t.session.undoStack().empty());
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(t.session.settings(i), stored[i]) << i;
  EXPECT_FALSE(t.model().hasUnsavedChanges());
}

TEST(ExportBatchSection, TheToggleAndTheButtonsThatNeedASecondScan) {
  for (size_t scans : {1u, 2u}) {
    SCOPED_TRACE(scans);
    Sections t(scans);
    t.select(0);
    EXPECT_EQ(t.find<QPushButton>("Apply Film Info to Whole Roll")->isEnabled(), scans >= 2);
    EXPECT_EQ(t.find<QPushButton>("Apply These Settings to All Images")->isEnabled(), scans >= 2);
  }
  Sections t(2);
  t.select(0);
  auto* skip = t.find<QCheckBox>("Leave Out of Export All");
  EXPECT_FALSE(skip->isChecked());
  QTest::mouseClick(skip, Qt::LeftButton);
  t.settle();
  EXPECT_TRUE(t.model().items()[0].skipped);
  EXPECT_TRUE(skip->isChecked());
  EXPECT_TRUE(t.session.undoStack().empty());
  t.select(1);
  EXPECT_FALSE(skip->isChecked());
  t.select(std::nullopt);
  EXPECT_FALSE(skip->isChecked());
}

}  // namespace
