// The Colour section with its HSL panel over a real session on virtual time: the filtration rows
// and their rounding, one undo step a drag, Auto Balance and Reset All, the panel's quantity
// picker, its own fold and its Reset, and the section left out for black-and-white negatives.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "Inspector/AdjustRow.h"
#include "Inspector/FoldHeader.h"
#include "Inspector/FoldSection.h"
#include "Inspector/HSLPanel.h"
#include "InspectorSession.h"
#include "ViewKit/SegmentedPicker.h"
#include "ViewKit/ValueSlider.h"

namespace {

using S = ConversionSettings;

struct Colour : InspectorSession {
  Colour() {
    select(0);
    panel = find<HSLPanel>("HSLPanel");
  }
  // A filtration row (the HSL panel has a "Yellow" row too).
  AdjustRow* row(const QString& label) const {
    return view->section("Colour")->content()->findChild<AdjustRow*>(label,
                                                                     Qt::FindDirectChildrenOnly);
  }
  // The band rows the panel shows, in order.
  std::vector<AdjustRow*> bands() const {
    std::vector<AdjustRow*> shown;
    for (int m = 0; m < 3; ++m)
      for (size_t b = 0; b < 8; ++b)
        if (panel->row(m, b)->isVisibleTo(view.get())) shown.push_back(panel->row(m, b));
    return shown;
  }
  HSLPanel* panel;
};

TEST(ColourSection, FiltrationRowsRoundToHundredthsAndADragIsOneUndoStep) {
  Colour t;
  t.row("Magenta")->slider()->valueMoved(1.125);
  EXPECT_EQ(t.session.settings(0).cmy, (std::vector<double>{1, 1.13, 1}));
  t.settle();
  EXPECT_EQ(t.row("Magenta")->valueText()->text(), "1.13");
  QTest::mouseDClick(t.row("Magenta")->labelGroup(), Qt::LeftButton);
  EXPECT_EQ(t.session.settings(0).cmy, (std::vector<double>{1, 1, 1}));

  t.session.wait(1);
  const size_t before = t.session.undoStack().size();
  // A drag's stream of moves, the column refreshing between them.
  ValueSlider* slider = t.row("Cyan")->slider();
  for (int i = 0; i < 6; ++i) {
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    t.settle();
  }
  EXPECT_GT(t.session.settings(0).cmy[0], 1);
  EXPECT_EQ(t.session.undoStack().size(), before + 1);
  EXPECT_EQ(t.session.undoStack().back().before.cmy[0], 1);
}

TEST(ColourSection, AutoBalanceIsOneUndoStepAndResetAllKeepsTheFrame) {
  Colour t;
  t.store(0, [](S& s) {
    s.cmy = {1.1, 0.95, 1.0};
    s.temperature = 12;
    s.tint = -4;
    s.rotationQuarterTurns = 1;
    s.crop = NormRect{0.1, 0.1, 0.5, 0.5};
    s.exposure = 1;
    s.hsl.hue[3] = 10;
    s.filmInfo.camera = "Rangefinder";
    s.flatField = "/scans/blank.tif";
  });
  t.find<QPushButton>("Auto Balance")->click();
  t.settle();
  for (const char* label : {"Cyan", "Magenta", "Yellow"})
    EXPECT_EQ(t.row(label)->valueText()->text(), "1.00") << label;
  EXPECT_EQ(t.session.settings(0).temperature, 0);
  t.model().undo();
  EXPECT_EQ(t.session.settings(0).cmy, (std::vector<double>{1.1, 0.95, 1.0}));
  EXPECT_EQ(t.session.settings(0).tint, -4);

  t.find<QPushButton>("Reset All")->click();
  EXPECT_EQ(t.session.settings(0).rotationQuarterTurns, 1);
  EXPECT_TRUE(t.session.settings(0).crop.has_value());
  EXPECT_EQ(t.session.settings(0).exposure, 0);
  EXPECT_TRUE(t.session.settings(0).hsl.isNeutral());
  // Film information and the even-light reference go with the rest.
  EXPECT_EQ(t.session.settings(0).filmInfo.camera, "");
  EXPECT_FALSE(t.session.settings(0).flatField.has_value());
}

TEST(ColourSection, LeftOutForBlackAndWhiteNegativesWithItsPanel) {
  Colour t;
  t.store(1, [](S& s) { s.mode = FilmMode::bwNegative; });
  t.select(1);
  EXPECT_FALSE(t.shown("HSLPanel"));
  EXPECT_FALSE(t.shown("Cyan"));
  t.select(0);
  EXPECT_TRUE(t.shown("HSLPanel"));
}

TEST(HSLPanel, OpensOnSaturationAndThePickerSwapsValuesHelpAndBinding) {
  Colour t;
  t.store(0, [](S& s) {
    s.hsl.hue[4] = 15;
    s.hsl.saturation[4] = -20;
    s.hsl.luminance[4] = 7;
  });
  EXPECT_EQ(t.panel->mode(), 1);
  std::vector<AdjustRow*> rows = t.bands();
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[4]->label(), "Aqua");
  EXPECT_EQ(rows[4]->valueText()->text(), "-20");
  EXPECT_EQ(rows[0]->valueText()->text(), "+0");
  EXPECT_EQ(*rows[4]->help(), "Right is more colourful, left is greyer.");

  t.panel->modePicker()->segment(2)->click();
  rows = t.bands();
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[4]->label(), "Aqua");
  EXPECT_EQ(rows[4]->tint(), QColor::fromRgbF(0, 0.8f, 0.8f));
  EXPECT_EQ(rows[4]->valueText()->text(), "+7");
  EXPECT_EQ(*rows[4]->help(), "Right is brighter, left is darker.");
  rows[4]->slider()->valueMoved(33);
  EXPECT_EQ(t.session.settings(0).hsl.luminance[4], 33);
  EXPECT_EQ(t.session.settings(0).hsl.saturation[4], -20);
  // Another colour scan keeps the quantity.
  t.select(1);
  EXPECT_EQ(t.panel->mode(), 2);
  EXPECT_EQ(t.find<HSLPanel>("HSLPanel"), t.panel);
}

TEST(HSLPanel, ResetFollowsTheValuesAndWorksWhileFolded) {
  Colour t;
  QPushButton* reset = t.panel->resetButton();
  EXPECT_FALSE(reset->isEnabled());
  t.store(0, [](S& s) { s.hsl.saturation[2] = 35; });
  EXPECT_TRUE(reset->isEnabled());
  t.panel->modePicker()->segment(0)->click();
  t.panel->header()->click();
  t.settle();
  EXPECT_FALSE(t.model().preferences().boolValue("fold.HSL", true));
  EXPECT_TRUE(t.bands().empty());
  EXPECT_FALSE(t.shown("HSL"));
  ASSERT_TRUE(reset->isVisibleTo(t.view.get()));
  reset->click();
  t.settle();
  EXPECT_TRUE(t.session.settings(0).hsl.isNeutral());
  EXPECT_FALSE(reset->isEnabled());
  // Unfolded again: the quantity chosen before folding.
  t.panel->header()->click();
  EXPECT_EQ(t.panel->mode(), 0);
  EXPECT_EQ(t.bands().size(), 8u);
}

}  // namespace
