// The inspector over a real session of tiny scans on virtual time: the fold keys and their
// defaults, folding through the preferences wrapper, the layouts of colour, black-and-white and
// no selection, the Basic Settings rows against their table, what a drag, a double-click, a
// stepper click and the wheel do, and a refresh that never writes a value back.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <bit>
#include <cstdio>
#include <memory>

#include "Inspector/AdjustRow.h"
#include "Inspector/FoldHeader.h"
#include "Inspector/FoldSection.h"
#include "Inspector/InspectorView.h"
#include "Kelvadorium/Model/EditSession.h"
#include "TestSupport/LocaleGuard.h"
#include "ViewKit/Stepper.h"
#include "ViewKit/ValueSlider.h"

namespace {

using S = ConversionSettings;

const QStringList titles = {"Histogram", "Film",         "Basic Settings", "Tone Curve",
                            "Effects",   "Dodge & Burn", "Healing",        "Crop & Orientation",
                            "Colour",    "Advanced",     "Film Info",      "Export & Batch"};

// An inspector over its own session; the view goes before the model.
struct Inspector {
  explicit Inspector(size_t scans = 3, const QString& settings = {}) : session(scans, settings) {
    view = std::make_unique<InspectorView>(*session.model);
    view->resize(310, 4000);
    view->show();
  }
  AppModel& model() { return *session.model; }
  // What the next turn of the event loop would run, now.
  void settle() {
    QApplication::sendPostedEvents();
    view->refreshNow();
  }
  AdjustRow* row(const QString& label) const { return view->findChild<AdjustRow*>(label); }
  FoldSection* section(const QString& title) const { return view->section(title); }
  QStringList shownSections() const {
    QStringList shown;
    for (FoldSection* s : view->sections()) {
      if (!s->isHidden()) shown << s->title();
    }
    return shown;
  }
  // Stores a record as if it had been read from a sidecar: no undo entry, no bookkeeping.
  void store(size_t index, const std::function<void(S&)>& change) {
    S settings = session.settings(index);
    change(settings);
    model().storeSettings(index, settings);
  }
  void select(std::optional<size_t> index) {
    model().setSelection(index ? std::optional(session.id(*index)) : std::nullopt);
    settle();
  }
  QString valueText(const QString& label) const { return row(label)->valueText()->text(); }
  // A later edit of the same scan is a new undo step.
  void pause() { session.wait(1); }

  EditSession session;
  std::unique_ptr<InspectorView> view;
};

std::string cFormat(const char* pattern, double value) {
  LocaleGuard c("C");
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

QPoint handleCentre(QSlider* slider) {
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.orientation = slider->orientation();
  option.minimum = slider->minimum();
  option.maximum = slider->maximum();
  option.sliderPosition = slider->sliderPosition();
  option.sliderValue = slider->value();
  option.subControls = QStyle::SC_All;
  return slider->style()
      ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
      .center();
}

bool sameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

TEST(Inspector, FirstLaunchFoldsAdvancedAndFilmInfoOnly) {
  Inspector t;
  ASSERT_EQ(t.view->sections().size(), 12u);
  for (int i = 0; i < titles.size(); ++i) {
    FoldSection* section = t.view->sections()[i];
    EXPECT_EQ(section->title(), titles[i]);
    EXPECT_EQ(section->objectName(), titles[i]);
    const bool open = titles[i] != "Advanced" && titles[i] != "Film Info";
    EXPECT_EQ(section->expanded(), open) << titles[i].toStdString();
    EXPECT_EQ(section->header()->shownExpanded(), open);
    EXPECT_EQ(section->header()->toolTip(), (open ? "Fold " : "Unfold ") + titles[i]);
  }
  QStringList keys;
  for (const QString& title : titles) keys << "fold." + title;
  keys << "fold.HSL";
  EXPECT_EQ(InspectorView::foldKeys(), keys);
}

TEST(Inspector, AStoredValueThatIsNoBooleanReadsAsTheDefault) {
  Inspector t(1,
              "[General]\nfold.Advanced=1\nfold.Histogram=maybe\nfold.Film=false\n"
              "fold.Film%20Info=true\n");
  EXPECT_FALSE(t.section("Advanced")->expanded());
  EXPECT_TRUE(t.section("Histogram")->expanded());
  EXPECT_FALSE(t.section("Film")->expanded());
  EXPECT_TRUE(t.section("Film Info")->expanded());
}

TEST(Inspector, FoldingOneSectionWritesOnlyItsKeyAndDropsItsContent) {
  Inspector t;
  t.select(0);
  FoldSection* basic = t.section("Basic Settings");
  QPointer<QWidget> content = basic->content();
  ASSERT_TRUE(content);
  QSignalSpy writes(&t.model().preferences(), &Preferences::changed);
  QTest::mouseClick(basic->header(), Qt::LeftButton);
  ASSERT_EQ(writes.size(), 1);
  EXPECT_EQ(writes[0][0].toString(), "fold.Basic Settings");
  EXPECT_FALSE(t.model().preferences().boolValue("fold.Basic Settings", true));
  EXPECT_FALSE(content);
  EXPECT_EQ(basic->content(), nullptr);
  EXPECT_EQ(t.row("Exposure"), nullptr);
  EXPECT_EQ(basic->header()->toolTip(), "Unfold Basic Settings");
  for (FoldSection* other : t.view->sections()) {
    if (other == basic) continue;
    EXPECT_EQ(other->expanded(), other->title() != "Advanced" && other->title() != "Film Info");
  }
  // Open again: new rows showing the scan's values.
  QTest::mouseClick(basic->header(), Qt::LeftButton);
  ASSERT_NE(t.row("Exposure"), nullptr);
  EXPECT_EQ(t.valueText("Exposure"), "+0.00");
}

TEST(Inspector, FoldAllThroughThePreferencesFoldsOpenSectionsAtOnce) {
  Inspector t;
  t.select(0);
  Preferences& preferences = t.model().preferences();
  // What the menu's Fold All does: false into every key, nothing else.
  for (const QString& key : InspectorView::foldKeys()) preferences.setBool(key, false);
  for (FoldSection* section : t.view->sections()) {
    EXPECT_FALSE(section->header()->shownExpanded()) << section->title().toStdString();
    EXPECT_TRUE(section->header()->toolTip().startsWith("Unfold "));
    EXPECT_EQ(section->content(), nullptr);
  }
  EXPECT_EQ(t.view->findChild<AdjustRow*>(), nullptr);
  // The next inspector over the same preferences starts folded too.
  InspectorView next(t.model());
  for (FoldSection* section : next.sections()) EXPECT_FALSE(section->expanded());

  for (const QString& key : InspectorView::foldKeys()) preferences.setBool(key, true);
  for (FoldSection* section : t.view->sections()) {
    EXPECT_TRUE(section->header()->shownExpanded()) << section->title().toStdString();
  }
  EXPECT_NE(t.row("Exposure"), nullptr);
}

TEST(Inspector, LayoutFollowsTheSelectedFilmType) {
  struct Case {
    const char* name;
    std::optional<FilmMode> mode;  // none: nothing selected
    bool colour;
    bool enabled;
  };
  const Case cases[] = {
      {"no selection", std::nullopt, true, false},
      {"colour negative", FilmMode::colorNegative, true, true},
      {"black-and-white negative", FilmMode::bwNegative, false, true},
      {"slide", FilmMode::positive, true, true},
  };
  Inspector t;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.mode) {
      t.store(0, [&](S& s) { s.mode = *c.mode; });
      t.select(0);
    } else {
      t.select(std::nullopt);
    }
    QStringList expected = titles;
    if (!c.colour) expected.removeAll("Colour");
    EXPECT_EQ(t.shownSections(), expected);
    EXPECT_EQ(t.view->isMonochrome(), !c.colour);
    for (FoldSection* section : t.view->sections()) {
      EXPECT_EQ(section->header()->isEnabled(), c.enabled) << section->title().toStdString();
    }
    EXPECT_EQ(t.row("Exposure")->slider()->isEnabled(), c.enabled);
    for (const char* label : {"Temperature", "Tint", "Saturation"}) {
      EXPECT_EQ(t.row(label)->isVisibleTo(t.view.get()), c.colour) << label;
    }
    EXPECT_EQ(t.view->findChild<QWidget*>("whiteBalanceRow")->isVisibleTo(t.view.get()), c.colour);
    EXPECT_EQ(t.view->findChild<QWidget*>("resetAllRow")->isVisibleTo(t.view.get()), !c.colour);
  }
}

TEST(Inspector, WithoutASelectionTheRowsShowTheDefaultRecord) {
  Inspector t;
  t.store(0, [](S& s) {
    s.exposure = 1.5;
    s.contrast = 1.8;
  });
  t.select(0);
  EXPECT_EQ(t.valueText("Exposure"), "+1.50");
  t.select(std::nullopt);
  const std::pair<const char*, const char*> shown[] = {
      {"Temperature", "+0"},  {"Exposure", "+0.00"}, {"Contrast", "1.00"},
      {"Saturation", "1.00"}, {"Sharpness", "0"},    {"Black Mist", "0"}};
  for (const auto& [label, text] : shown) EXPECT_EQ(t.valueText(label), text) << label;
  // A write that still arrives changes nothing.
  t.row("Exposure")->resetToNeutral();
  EXPECT_TRUE(t.session.undoStack().empty());
}

TEST(Inspector, ColourSectionComesBackWithItsFoldState) {
  Inspector t;
  t.store(1, [](S& s) { s.mode = FilmMode::bwNegative; });
  t.select(0);
  t.model().preferences().setBool("fold.Colour", false);
  t.select(1);
  EXPECT_TRUE(t.section("Colour")->isHidden());
  EXPECT_FALSE(t.model().preferences().boolValue("fold.Colour", true));
  t.select(2);
  EXPECT_FALSE(t.section("Colour")->isHidden());
  EXPECT_EQ(t.shownSections().indexOf("Colour"), 8);
  EXPECT_FALSE(t.section("Colour")->expanded());
}

// The rows as the section must build them: label, field, range, step, tint, format, scale,
// help, neutral.
struct BasicRow {
  const char* label;
  double S::*field;
  double lowest, highest, step;
  bool tinted;
  const char* format;
  const char* help;
  double neutral;
};
const BasicRow basicRows[] = {
    {"Temperature", &S::temperature, -100, 100, 1, true, "%+.0f",
     "Cooler (blue) to warmer (yellow-red).", 0},
    {"Tint", &S::tint, -100, 100, 1, true, "%+.0f", "Green to magenta.", 0},
    {"Exposure", &S::exposure, -3, 3, 0.05, false, "%+.2f",
     "Print exposure in stops. Right is brighter.", 0},
    {"Contrast", &S::contrast, 0.5, 2, 0.05, false, "%.2f", "Right is more contrast.", 1},
    {"Highlights", &S::highlights, -100, 100, 1, false, "%+.0f",
     "Bright areas. Left recovers detail, right brightens.", 0},
    {"Shadows", &S::shadows, -100, 100, 1, false, "%+.0f",
     "Dark areas. Right opens them up, left deepens.", 0},
    {"Whites", &S::whites, -100, 100, 1, false, "%+.0f", "The brightest tones. Right is brighter.",
     0},
    {"Blacks", &S::blacks, -100, 100, 1, false, "%+.0f",
     "The darkest tones. Right lifts them, left deepens.", 0},
    {"Clarity", &S::clarity, -100, 100, 1, false, "%+.0f",
     "Local midtone contrast, like Lightroom's Clarity. Right is stronger; left softens.", 0},
    {"Dehaze", &S::dehaze, -100, 100, 1, false, "%+.0f", "Right removes haze, left adds it.", 0},
    {"Sharpness", &S::sharpness, 0, 150, 1, false, "%.0f", "Right is sharper.", 0},
    {"Black Mist", &S::blackMist, 0, 100, 1, false, "%.0f",
     "Black Pro-Mist style diffusion: glowing highlights, softer contrast. Right is stronger.", 0},
    {"Saturation", &S::saturation, 0, 2, 0.05, false, "%.2f", nullptr, 1},
};

TEST(Inspector, BasicSettingsRowsFollowTheirTable) {
  Inspector t;
  t.select(0);
  const QList<AdjustRow*> built =
      t.section("Basic Settings")->content()->findChildren<AdjustRow*>();
  ASSERT_EQ(built.size(), std::size(basicRows));
  for (size_t i = 0; i < std::size(basicRows); ++i) {
    const BasicRow& r = basicRows[i];
    SCOPED_TRACE(r.label);
    AdjustRow* row = built[static_cast<int>(i)];
    EXPECT_EQ(row->label(), r.label);
    EXPECT_EQ(row->labelGroup()->toolTip(),
              r.help ? QString(r.help) + " Double-click to reset." : "Double-click to reset.");
    EXPECT_EQ(row->tint().has_value(), r.tinted);

    // A value between the grid steps shows as the format writes it.
    const double offGrid = r.lowest + (r.highest - r.lowest) * 0.6180339;
    t.store(0, [&](S& s) { s.*r.field = offGrid; });
    t.settle();
    EXPECT_EQ(row->valueText()->text().toStdString(), cFormat(r.format, offGrid));

    // The slider's ends are the range's.
    EXPECT_EQ(row->slider()->valueAt(0), r.lowest);
    EXPECT_EQ(row->slider()->valueAt(ValueSlider::positions), r.highest);

    // One stepper click up from the lowest value is one step.
    t.store(0, [&](S& s) { s.*r.field = r.lowest; });
    t.settle();
    EXPECT_FALSE(row->stepper()->downButton()->isEnabled());
    QTest::mouseClick(row->stepper()->upButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(t.session.settings(0).*r.field, r.lowest + r.step);

    // A double-click on the label restores the neutral value.
    t.pause();
    QTest::mouseDClick(row->labelGroup(), Qt::LeftButton);
    EXPECT_EQ(t.session.settings(0).*r.field, r.neutral);
  }
}

TEST(Inspector, ASliderDragIsOneUndoStep) {
  Inspector t;
  t.select(0);
  ValueSlider* slider = t.row("Exposure")->slider();
  const QPoint start = handleCentre(slider);
  auto drag = [&](int distance) {
    QTest::mousePress(slider, Qt::LeftButton, {}, start);
    for (int dx = 10; dx <= distance; dx += 10) {
      QTest::mouseMove(slider, start + QPoint(dx, 0));
      QApplication::processEvents();
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, start + QPoint(distance, 0));
    QApplication::processEvents();
  };
  drag(60);
  const double dragged = t.session.settings(0).exposure;
  EXPECT_GT(dragged, 0);
  EXPECT_EQ(t.session.undoStack().size(), 1u);
  EXPECT_EQ(t.valueText("Exposure").toStdString(), cFormat("%+.2f", dragged));
  // The refreshes between the moves wrote nothing back: the undo step goes back to the start.
  EXPECT_EQ(t.session.undoStack()[0].before.exposure, 0);

  t.pause();
  drag(30);
  EXPECT_EQ(t.session.undoStack().size(), 2u);
}

TEST(Inspector, DoubleClickResetsOnlyOnTheLabel) {
  Inspector t;
  t.store(0, [](S& s) { s.exposure = 0.5; });
  t.select(0);
  AdjustRow* row = t.row("Exposure");
  QTest::mouseDClick(row->valueText(), Qt::LeftButton);
  QTest::mouseDClick(row->slider(), Qt::LeftButton, {}, handleCentre(row->slider()));
  QApplication::processEvents();
  EXPECT_EQ(t.session.settings(0).exposure, 0.5);
  EXPECT_TRUE(t.session.undoStack().empty());

  QTest::mouseDClick(row->labelGroup(), Qt::LeftButton);
  EXPECT_EQ(t.session.settings(0).exposure, 0);
  EXPECT_EQ(t.session.undoStack().size(), 1u);
  // At the neutral value already: no further step.
  t.pause();
  QTest::mouseDClick(row->labelGroup(), Qt::LeftButton);
  EXPECT_EQ(t.session.undoStack().size(), 1u);
}

TEST(AdjustRow, ANeutralOutsideTheRangeIsNoReset) {
  struct Case {
    double neutral;
    bool resets;
  };
  // The range's ends belong to it.
  const Case cases[] = {{1.0, false}, {-0.01, false}, {0.3, true}, {0.0, true}, {0.1, true}};
  for (const Case& c : cases) {
    double value = 0.08;
    std::vector<double> writes;
    AdjustRow row("Ignore edges", {[&] { return value; }, [&](double v) { writes.push_back(v); }},
                  {0, 0.3}, 0.01, std::nullopt, "%.0f%%", 100, std::nullopt, c.neutral);
    row.refresh();
    EXPECT_EQ(row.valueText()->text(), "8%");
    QTest::mouseDClick(row.labelGroup(), Qt::LeftButton);
    EXPECT_EQ(writes, c.resets ? std::vector<double>{c.neutral} : std::vector<double>{})
        << c.neutral;
  }
}

TEST(AdjustRow, AFormatChosenByTheValue) {
  double value = 0.008;
  AdjustRow row("Size", {[&] { return value; }, [&](double v) { value = v; }}, {0.0005, 0.04},
                0.0005, std::nullopt,
                RowFormat([](double v) { return std::string(v < 0.01 ? "%.2f%%" : "%.1f%%"); }),
                100, std::nullopt, 0.008);
  row.refresh();
  EXPECT_EQ(row.valueText()->text(), "0.80%");
  value = 0.012;
  row.refresh();
  EXPECT_EQ(row.valueText()->text(), "1.2%");
}

TEST(Inspector, StepperAtAndBeyondTheEnds) {
  struct Case {
    const char* label;
    double S::*field;
    double stored;
    bool upEnabled, downEnabled;
    bool up;  // which arrow is clicked
    double after;
  };
  const Case cases[] = {
      {"Exposure", &S::exposure, 3, false, true, false, 2.95},
      {"Exposure", &S::exposure, -3, true, false, true, -2.95},
      {"Contrast", &S::contrast, 1.98, true, true, true, 2},
      {"Contrast", &S::contrast, 2.7, false, true, false, 2},  // lands inside
      {"Temperature", &S::temperature, -100.4, true, false, true, -99.4},
      {"Sharpness", &S::sharpness, 0, true, false, true, 1},
  };
  Inspector t;
  t.select(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.label) + " from " + std::to_string(c.stored));
    t.store(0, [&](S& s) { s.*c.field = c.stored; });
    t.settle();
    Stepper* stepper = t.row(c.label)->stepper();
    EXPECT_EQ(stepper->upButton()->isEnabled(), c.upEnabled);
    EXPECT_EQ(stepper->downButton()->isEnabled(), c.downEnabled);
    QTest::mouseClick(c.up ? stepper->upButton() : stepper->downButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(t.session.settings(0).*c.field, c.after);
  }
}

TEST(Inspector, TheWheelOverASliderScrollsTheColumn) {
  Inspector t;
  t.select(0);
  t.view->resize(310, 300);
  QApplication::processEvents();
  ValueSlider* slider = t.row("Exposure")->slider();
  t.view->ensureWidgetVisible(slider);
  QApplication::processEvents();
  QScrollBar* bar = t.view->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  const int before = bar->value();
  ASSERT_LT(before, bar->maximum());
  const QPointF at = handleCentre(slider);
  QWheelEvent wheel(at, slider->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  // As the desktop delivers it (sendEvent would mark it as the program's own, which Qt never
  // hands on to the parent).
  QSpontaneKeyEvent::setSpontaneous(&wheel);
  QApplication::instance()->notify(slider, &wheel);
  EXPECT_GT(bar->value(), before);
  EXPECT_EQ(t.session.settings(0).exposure, 0);
  EXPECT_TRUE(t.session.undoStack().empty());
}

TEST(Inspector, PickFollowsTheModelWithoutWritingBack) {
  Inspector t;
  t.select(0);
  auto* pick = t.view->findChild<QToolButton*>("Pick");
  EXPECT_EQ(pick->toolTip(),
            "Click something neutral grey in the picture to set Temperature and Tint (" +
                QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_G).toString(QKeySequence::NativeText) +
                ")");
  QTest::mouseClick(pick, Qt::LeftButton);
  EXPECT_TRUE(t.model().wbPickMode());
  QSignalSpy writes(&t.model(), &AppModel::wbPickModeChanged);
  t.model().setWbPickMode(false);
  t.settle();
  EXPECT_FALSE(pick->isChecked());
  EXPECT_EQ(writes.size(), 1);
}

TEST(Inspector, ResetAllOfABlackAndWhiteScan) {
  Inspector t;
  t.store(0, [](S& s) {
    s.mode = FilmMode::bwNegative;
    s.exposure = 1;
    s.skewDegrees = 2;
  });
  t.select(0);
  auto* reset = t.view->findChild<QPushButton*>("Reset All");
  QTest::mouseClick(reset, Qt::LeftButton);
  EXPECT_EQ(t.session.settings(0).exposure, 0);
  EXPECT_EQ(t.session.settings(0).skewDegrees, 2);
  EXPECT_EQ(t.session.settings(0).mode, FilmMode::bwNegative);
}

// Showing values the rows cannot hit exactly, or cannot reach at all, must never edit them.
TEST(Inspector, RefreshingNeverWritesAValueBack) {
  Inspector t;
  t.store(0, [](S& s) {
    s.exposure = 0.123456789;
    s.contrast = 2.7;
  });
  t.store(1, [](S& s) {
    s.temperature = -100.4;
    s.saturation = 1.0 / 3;
    s.blackMist = 100.0000001;
  });
  t.store(2, [](S& s) {
    s.mode = FilmMode::bwNegative;
    s.exposure = -3.3;
    s.sharpness = 1e-9;
  });
  std::vector<S> stored;
  for (size_t i = 0; i < 3; ++i) stored.push_back(t.session.settings(i));
  const bool unsaved = t.model().hasUnsavedChanges();
  QSignalSpy preferenceWrites(&t.model().preferences(), &Preferences::changed);

  t.select(0);
  EXPECT_EQ(t.valueText("Exposure"), "+0.12");
  EXPECT_EQ(t.valueText("Contrast"), "2.70");
  EXPECT_EQ(t.row("Contrast")->slider()->sliderPosition(), ValueSlider::positions);
  t.select(1);
  EXPECT_EQ(t.valueText("Temperature"), "-100");
  EXPECT_EQ(t.row("Temperature")->slider()->sliderPosition(), 0);
  EXPECT_EQ(t.valueText("Saturation"), "0.33");
  t.select(2);
  EXPECT_EQ(t.valueText("Exposure"), "-3.30");
  FoldSection* basic = t.section("Basic Settings");
  QTest::mouseClick(basic->header(), Qt::LeftButton);
  QTest::mouseClick(basic->header(), Qt::LeftButton);
  t.settle();
  for (size_t i : {0, 1, 2, 0}) t.select(i);
  t.select(std::nullopt);
  t.select(1);
  QApplication::processEvents();

  EXPECT_TRUE(t.session.undoStack().empty());
  for (size_t i = 0; i < 3; ++i) {
    const S& now = t.session.settings(i);
    EXPECT_TRUE(now == stored[i]) << i;
    for (const BasicRow& r : basicRows) {
      EXPECT_TRUE(sameBits(now.*r.field, stored[i].*r.field)) << i << " " << r.label;
    }
  }
  EXPECT_TRUE(t.model().plain().sidecarTasks.empty());
  EXPECT_EQ(t.model().hasUnsavedChanges(), unsaved);
  // The two header clicks are the only preference writes.
  ASSERT_EQ(preferenceWrites.size(), 2);
  for (const auto& write : preferenceWrites) EXPECT_EQ(write[0].toString(), "fold.Basic Settings");
}

}  // namespace
