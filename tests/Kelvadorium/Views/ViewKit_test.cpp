// The controls every inspector section is built from: a refresh that runs once per turn, a
// slider and a picker that report only the user's own moves, a stepper that lands inside its
// range, tinted symbols, help texts naming a shortcut, and a scroll bar painted in bands that
// looks as a plain one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <limits>

#include "ViewKit/BandedScrollBar.h"
#include "ViewKit/RefreshGate.h"
#include "ViewKit/SegmentedPicker.h"
#include "ViewKit/ShortcutText.h"
#include "ViewKit/Stepper.h"
#include "ViewKit/TintedSymbol.h"
#include "ViewKit/ValueSlider.h"
#include "Windows/SymbolIcons.h"

namespace {

TEST(RefreshGate, RunsOncePerTurnHoweverOftenAsked) {
  int runs = 0;
  QObject owner;
  RefreshGate gate([&] { ++runs; }, &owner);
  gate.request();
  gate.request();
  gate.request();
  EXPECT_EQ(runs, 0);
  QApplication::processEvents();
  EXPECT_EQ(runs, 1);

  // Flushed early: the queued call that follows finds nothing left to do.
  gate.request();
  gate.flush();
  EXPECT_EQ(runs, 2);
  QApplication::processEvents();
  EXPECT_EQ(runs, 2);

  // A request made while refreshing is the next turn's.
  RefreshGate* self = nullptr;
  int chained = 0;
  RefreshGate again(
      [&] {
        if (++chained == 1) self->request();
      },
      &owner);
  self = &again;
  again.request();
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_EQ(chained, 2);
}

// Whole and in part, tall and wide, idle and with a part pressed: the banded bar shows the same
// pixels as a plain bar, band seams included.
TEST(BandedScrollBar, ShowsWhatThePlainBarShows) {
  struct Case {
    Qt::Orientation orientation;
    QSize size;
    QRect part;  // empty: the whole bar
    bool pressed;
  };
  const Case cases[] = {
      {Qt::Vertical, {16, 700}, {}, false}, {Qt::Vertical, {16, 700}, {0, 85, 16, 400}, false},
      {Qt::Vertical, {16, 700}, {}, true},  {Qt::Horizontal, {500, 16}, {}, false},
      {Qt::Vertical, {16, 60}, {}, false},
  };
  for (const Case& c : cases) {
    const auto shown = [&](QScrollBar& bar) {
      bar.resize(c.size);
      bar.setRange(0, 5000);
      bar.setPageStep(900);
      bar.setValue(1234);
      bar.show();
      if (c.pressed) {
        const bool vertical = c.orientation == Qt::Vertical;
        QTest::mousePress(
            &bar, Qt::LeftButton, {},
            vertical ? QPoint(8, c.size.height() - 40) : QPoint(c.size.width() - 40, 8));
      }
      QImage image(c.size, QImage::Format_ARGB32_Premultiplied);
      image.fill(Qt::magenta);
      if (c.part.isEmpty()) {
        bar.render(&image);
      } else {
        bar.render(&image, c.part.topLeft(), QRegion(c.part));
      }
      if (c.pressed) QTest::mouseRelease(&bar, Qt::LeftButton);
      return image;
    };
    QScrollBar plain(c.orientation);
    BandedScrollBar banded(c.orientation);
    const QImage expected = shown(plain);
    const QImage actual = shown(banded);
    EXPECT_TRUE(expected == actual) << c.size.width() << "x" << c.size.height() << " part "
                                    << c.part.y() << " pressed " << c.pressed;
  }
}

TEST(ValueSlider, ShowingAValueReportsNothingAndPinsOutsideValues) {
  ValueSlider slider(-3, 3);
  QSignalSpy moved(&slider, &ValueSlider::valueMoved);
  struct Case {
    double value;
    int position;
  };
  const Case cases[] = {{0, ValueSlider::positions / 2},
                        {3, ValueSlider::positions},
                        {-3, 0},
                        {7.5, ValueSlider::positions},
                        {-1e308, 0},
                        {1e308, ValueSlider::positions},
                        {std::numeric_limits<double>::quiet_NaN(), 0}};
  for (const Case& c : cases) {
    slider.showValue(c.value);
    EXPECT_EQ(slider.sliderPosition(), c.position) << c.value;
  }
  EXPECT_EQ(moved.size(), 0);
  EXPECT_EQ(slider.valueAt(0), -3);
  EXPECT_EQ(slider.valueAt(ValueSlider::positions), 3);
}

TEST(ValueSlider, ReportsTheUsersMoveAndLeavesTheWheelAlone) {
  ValueSlider slider(0, 100);
  slider.showValue(50);
  QSignalSpy moved(&slider, &ValueSlider::valueMoved);
  QTest::keyClick(&slider, Qt::Key_Right);
  ASSERT_EQ(moved.size(), 1);
  EXPECT_DOUBLE_EQ(moved[0][0].toDouble(), 51);

  const QPointF centre = QRectF(slider.rect()).center();
  QWheelEvent wheel(centre, slider.mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&slider, &wheel);
  EXPECT_FALSE(wheel.isAccepted());
  EXPECT_EQ(moved.size(), 1);
}

TEST(Stepper, LandsInsideTheRangeFromAnywhere) {
  Stepper stepper(0.5, 2, 0.05);
  struct Case {
    double from;
    int direction;
    double to;
  };
  const Case cases[] = {{1, +1, 1.05},
                        {2, +1, 2},
                        {0.5, -1, 0.5},
                        {2.7, -1, 2},
                        {0.1, +1, 0.5},
                        {std::numeric_limits<double>::quiet_NaN(), +1, 0.5},
                        {std::numeric_limits<double>::quiet_NaN(), -1, 2}};
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(stepper.stepped(c.from, c.direction), c.to) << c.from << " " << c.direction;
  }
  // A click reports the new value once; showing a value reports none.
  QSignalSpy stepped(&stepper, &Stepper::valueStepped);
  stepper.showValue(1);
  EXPECT_EQ(stepped.size(), 0);
  QTest::mouseClick(stepper.upButton(), Qt::LeftButton);
  ASSERT_EQ(stepped.size(), 1);
  EXPECT_DOUBLE_EQ(stepped[0][0].toDouble(), 1.05);
}

TEST(SegmentedPicker, ReportsOnlyTheUsersChoice) {
  SegmentedPicker picker;
  for (int id : {0, 1, 2}) picker.addSegment(id, QString::number(id));
  QSignalSpy chosen(&picker, &SegmentedPicker::chosen);
  picker.showCurrent(1);
  EXPECT_EQ(picker.current(), 1);
  picker.showCurrent(7);  // no such choice: none is current
  EXPECT_EQ(picker.current(), -1);
  EXPECT_EQ(chosen.size(), 0);
  QTest::mouseClick(picker.segment(2), Qt::LeftButton);
  ASSERT_EQ(chosen.size(), 1);
  EXPECT_EQ(chosen[0][0].toInt(), 2);
  EXPECT_EQ(picker.current(), 2);
}

TEST(TintedSymbol, FillsTheSymbolsShapeWithTheColour) {
  // Tests run without an icon theme: these come from the program's own drawings.
  for (const char* symbol : {"chevron.right", "triangle.fill", "eyedropper"}) {
    EXPECT_FALSE(SymbolIcons::icon(symbol).isNull()) << symbol;
  }
  const QPixmap triangle = TintedSymbol::pixmap("triangle.fill", QColor(0, 122, 255), {9, 8}, 2);
  EXPECT_EQ(triangle.size(), QSize(18, 16));
  EXPECT_EQ(triangle.devicePixelRatio(), 2);
  const QImage image = triangle.toImage();
  const QColor inside = image.pixelColor(9, 11);
  EXPECT_EQ(inside.alpha(), 255);
  EXPECT_EQ(inside.rgb(), QColor(0, 122, 255).rgb());
  EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);  // beside the apex
}

TEST(ShortcutText, NamesTheKeysAsTheDesktopWritesThem) {
  const QKeySequence keys(Qt::CTRL | Qt::ALT | Qt::Key_G);
  EXPECT_EQ(ShortcutText::help("Pick", keys),
            "Pick (" + keys.toString(QKeySequence::NativeText) + ")");
  EXPECT_EQ(ShortcutText::keys(keys), "Ctrl+Alt+G");
  EXPECT_EQ(ShortcutText::help("Pick", QKeySequence()), "Pick");
}

}  // namespace
