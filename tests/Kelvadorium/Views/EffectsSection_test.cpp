// The Effects section over a real session on virtual time: the secondary rows by their strict
// 0.5 thresholds, the border entries by film type and frame list, the picker's blank entry for
// a frame not offered, the Find Dust states, the sensitivity preference, and the refresh of
// these sections that never writes a value back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include "Finishing/FilmFrames.h"
#include "Inspector/AdjustRow.h"
#include "Inspector/EffectsSection.h"
#include "InspectorSession.h"
#include "ViewKit/ValueSlider.h"

namespace {

using S = ConversionSettings;
using EffectsSection::BorderChoice;

struct Effects : InspectorSession {
  Effects() { select(0); }
  QComboBox* border() const { return find<QComboBox>("Border"); }
  QStringList entries() const {
    QStringList list;
    for (int i = 0; i < border()->count(); ++i)
      list << (border()->itemData(i).isValid() ? border()->itemText(i) : QString("—"));
    return list;
  }
};

FilmFrame frame(const char* id, std::optional<bool> allFilm, std::optional<bool> colorOnly) {
  FilmFrame f;
  f.id = id;
  f.name = std::string("Frame ") + id;
  f.allFilm = allFilm;
  f.colorOnly = colorOnly;
  return f;
}

TEST(EffectsSection, BorderChoicesFollowTheFilmTypeAndTheFrameList) {
  const std::vector<FilmFrame> frames{frame("all", true, std::nullopt),
                                      frame("colour", std::nullopt, true),
                                      frame("mono", std::nullopt, std::nullopt),
                                      frame("mono2", false, false)};
  const std::vector<BorderChoice> styles{{"None", "none"}, {"White", "white"}, {"Black", "black"}};
  struct Case {
    FilmMode mode;
    std::vector<std::string> tags;
  };
  const std::vector<Case> cases{
      {FilmMode::colorNegative, {"film:all", "film:colour"}},
      {FilmMode::positive, {"film:all", "film:colour"}},
      {FilmMode::bwNegative, {"film:all", "film:mono", "film:mono2"}},
  };
  for (const Case& c : cases) {
    const auto choices = EffectsSection::borderChoices(frames, c.mode);
    EXPECT_EQ(choices.styles, styles);
    std::vector<std::string> tags;
    for (const BorderChoice& f : choices.frames) tags.push_back(f.tag);
    EXPECT_EQ(tags, c.tags) << toString(c.mode);
  }
  EXPECT_EQ(EffectsSection::borderChoices(frames, FilmMode::colorNegative).frames[0].title,
            "Frame all");
  EXPECT_TRUE(EffectsSection::borderChoices({frame("mono", std::nullopt, std::nullopt)},
                                            FilmMode::positive)
                  .frames.empty());
}

TEST(EffectsSection, TheBorderPickerListsFramesByTypeAndShowsNoEntryForOneNotOffered) {
  ASSERT_FALSE(FilmFrames::all().empty());
  Effects t;
  QStringList want{"None", "White", "Black", "—"};
  for (const FilmFrame& f : FilmFrames::all())
    if (f.isAvailable(FilmMode::colorNegative)) want << QString::fromStdString(f.name);
  EXPECT_EQ(t.entries(), want);
  EXPECT_EQ(t.border()->currentText(), "None");
  EXPECT_FALSE(t.shown("Border size"));

  t.border()->activated(t.border()->findData("white"));
  EXPECT_EQ(t.session.settings(0).border, BorderStyle::white);
  t.settle();
  EXPECT_TRUE(t.shown("Border size"));

  // A black-and-white negative's frame on a colour scan: kept, shown as no entry.
  std::string monoOnly;
  for (const FilmFrame& f : FilmFrames::all())
    if (!f.isAvailable(FilmMode::colorNegative)) monoOnly = f.id;
  ASSERT_FALSE(monoOnly.empty());
  t.store(1, [&](S& s) {
    s.border = BorderStyle::film;
    s.borderFrame = monoOnly;
  });
  t.select(1);
  EXPECT_EQ(t.border()->currentIndex(), -1);
  EXPECT_FALSE(t.shown("Border size"));
  t.store(1, [](S& s) { s.mode = FilmMode::bwNegative; });
  EXPECT_EQ(t.border()->currentData().toString().toStdString(), "film:" + monoOnly);
  EXPECT_TRUE(t.session.undoStack().size() == 1u);  // the White choice only
}

TEST(EffectsSection, TheWheelPassesOverTheBorderPicker) {
  // Qt's combo box steps its choice on the wheel and reports it as chosen: scrolling the column
  // past it would write a border.
  Effects t;
  const QPointF at(t.border()->width() / 2.0, t.border()->height() / 2.0);
  for (int delta : {-120, 120, -120}) {
    QWheelEvent wheel(at, t.border()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    // As the desktop delivers it.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::instance()->notify(t.border(), &wheel);
  }
  EXPECT_EQ(t.border()->currentText(), "None");
  EXPECT_EQ(t.session.settings(0).border, BorderStyle::none);
  EXPECT_TRUE(t.session.undoStack().empty());
}

TEST(EffectsSection, SecondaryRowsShowStrictlyAboveHalfAndKeepTheirValues) {
  Effects t;
  struct Case {
    double S::*amount;
    std::vector<const char*> rows;
  };
  const std::vector<Case> cases{{&S::grainAmount, {"Grain size", "Roughness"}},
                                {&S::vignetteAmount, {"Midpoint", "Feather"}},
                                {&S::glowAmount, {"Glow size"}}};
  for (const Case& c : cases) {
    for (const double amount : {0.0, 0.5, -0.5, 1.0, -1.0}) {
      t.store(0, [&](S& s) { s.*c.amount = amount; });
      const bool want = c.amount == &S::vignetteAmount ? std::abs(amount) > 0.5 : amount > 0.5;
      for (const char* row : c.rows) EXPECT_EQ(t.shown(row), want) << row << " at " << amount;
    }
  }
  // Dragging Grain to 1 shows its rows; back to 0 hides them, their values kept.
  t.store(0, [](S& s) { s.grainSize = 60; });
  t.find<AdjustRow>("Grain")->slider()->valueMoved(1);
  t.settle();
  EXPECT_TRUE(t.shown("Grain size"));
  EXPECT_EQ(t.find<AdjustRow>("Grain size")->valueText()->text(), "60");
  t.find<AdjustRow>("Grain")->slider()->valueMoved(0);
  t.settle();
  EXPECT_FALSE(t.shown("Grain size"));
  EXPECT_EQ(t.session.settings(0).grainSize, 60);
  // Without a selection none of them shows.
  t.store(0, [](S& s) { s.glowAmount = 40; });
  t.select(std::nullopt);
  EXPECT_FALSE(t.shown("Glow size"));
}

TEST(EffectsSection, FindDustReadyThenSearchingThenFindsPending) {
  Effects t;
  auto* button = t.find<QPushButton>("Find Dust");
  EXPECT_EQ(button->text(), "Find Dust");
  EXPECT_TRUE(button->isEnabled());
  EXPECT_FALSE(t.shown("searching"));

  t.model().setIsFindingDust(true);
  EXPECT_EQ(button->text(), "Finding Dust…");
  EXPECT_FALSE(button->isEnabled());
  EXPECT_TRUE(t.shown("searching"));

  Spot speck;
  speck.x = 0.5;
  speck.y = 0.5;
  speck.r = 0.01;
  t.model().setDustCandidates({{speck}});
  t.model().setIsFindingDust(false);
  EXPECT_EQ(button->text(), "Find Dust");
  EXPECT_FALSE(button->isEnabled());
  EXPECT_FALSE(t.shown("searching"));

  t.model().setDustCandidates({});
  EXPECT_TRUE(button->isEnabled());
}

TEST(EffectsSection, SensitivityIsThePreferenceShownAsPercent) {
  Effects t;
  AdjustRow* row = t.find<AdjustRow>("Sensitivity");
  EXPECT_EQ(row->valueText()->text(), "50%");
  row->slider()->valueMoved(0.75);
  EXPECT_EQ(t.model().dustSensitivity(), 0.75);
  EXPECT_EQ(row->valueText()->text(), "75%");
  QTest::mouseDClick(row->labelGroup(), Qt::LeftButton);
  EXPECT_EQ(t.model().dustSensitivity(), 0.5);
  EXPECT_EQ(row->valueText()->text(), "50%");
  EXPECT_TRUE(t.session.undoStack().empty());
}

// Stored values beyond the rows' ranges, on scans selected in turn: the sections show them and
// write nothing back.
TEST(EffectsSection, RefreshingTheseSectionsWritesNothingBack) {
  Effects t;
  t.store(1, [](S& s) {
    s.grainAmount = 300;
    s.vignetteAmount = -150;
    s.borderSize = 40;
    s.border = BorderStyle::black;
    s.cmy = {1.5, 0.2, 1};
    s.hsl.saturation[0] = 180;
    s.curves.regions = {250, 0, 0, -101};
    s.curves.blue.points = {{0, 0}, {0.5, 0.7, 1}, {1, 1}};
  });
  t.store(2, [](S& s) { s.border = BorderStyle::film; s.borderFrame = "no such frame"; });
  for (size_t i : {1, 2, 0, 1}) t.select(i);
  EXPECT_TRUE(t.session.undoStack().empty());
  EXPECT_EQ(t.find<AdjustRow>("Grain")->valueText()->text(), "300");
  EXPECT_EQ(t.find<AdjustRow>("Border size")->valueText()->text(), "40.0%");
  EXPECT_EQ(t.find<QWidget>("Colour content")->findChild<AdjustRow*>("Cyan")->valueText()->text(), "1.50");
  EXPECT_EQ(t.find<QWidget>("ToneCurveEditor")->findChild<AdjustRow*>("Highlights")->valueText()->text(), "+250");
  EXPECT_EQ(t.session.settings(1).curves.blue.points.size(), 3u);
}

}  // namespace
