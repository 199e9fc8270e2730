// The histogram view: when the clipping triangles light and what their help and the shares
// under the box say, the outline of a channel for any number of bins, channels that add up
// where they overlap, and the triangles and the check box switching the clipping overlay.
#include "Inspector/HistogramView.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <optional>
#include <vector>

#include "Model/AppModel.h"
#include "Testing/TestServices.h"

namespace {

Histogram clipped(double shadows, double highlights) {
  Histogram histogram;
  histogram.clipShadows = shadows;
  histogram.clipHighlights = highlights;
  return histogram;
}

struct Session {
  Session() { view.resize(300, 140); }
  void settle() { QApplication::sendPostedEvents(); }
  TestServices services;
  AppModel model{services.services()};
  HistogramView view{model};
};

TEST(HistogramView, TrianglesAndSharesFollowTheClippedFractions) {
  struct Case {
    const char* name;
    std::optional<Histogram> histogram;
    bool shadowLit, highlightLit;
    const char* shadowHelp;
    const char* highlightHelp;
    const char* text;  // null: no text
  };
  const Case cases[] = {
      {"no histogram", std::nullopt, false, false, "Crushed shadows: 0.00% of the picture",
       "Blown highlights: 0.00% of the picture", nullptr},
      {"a noticeable shadow share", clipped(0.0015, 0), true, false,
       "Crushed shadows: 0.15% of the picture", "Blown highlights: 0.00% of the picture",
       "Shadows 0.1% · Highlights 0.0%"},
      {"exactly the threshold", clipped(0.001, 0.001), false, false,
       "Crushed shadows: 0.10% of the picture", "Blown highlights: 0.10% of the picture",
       "Shadows 0.1% · Highlights 0.1%"},
      {"just above it, and half the picture", clipped(0.0010001, 0.5), true, true,
       "Crushed shadows: 0.10% of the picture", "Blown highlights: 50.00% of the picture",
       "Shadows 0.1% · Highlights 50.0%"},
  };
  Session s;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    s.model.setHistogram(c.histogram);
    s.settle();
    EXPECT_EQ(s.view.shadowIndicator()->property("lit").toBool(), c.shadowLit);
    EXPECT_EQ(s.view.highlightIndicator()->property("lit").toBool(), c.highlightLit);
    EXPECT_EQ(s.view.shadowIndicator()->toolTip(), c.shadowHelp);
    EXPECT_EQ(s.view.highlightIndicator()->toolTip(), c.highlightHelp);
    EXPECT_EQ(s.view.clipLabel()->isVisibleTo(&s.view), c.text != nullptr);
    if (c.text) {
      EXPECT_EQ(s.view.clipLabel()->text(), QString::fromUtf8(c.text));
    }
    EXPECT_TRUE(s.view.clippingBox()->isVisibleTo(&s.view));
    EXPECT_EQ(s.view.box()->height(), HistogramView::boxHeight);
  }
}

TEST(HistogramView, SharesAreDoubles) {
  // As a float, 0.0015 × 100 is a hair above 0.15 and would read 0.2.
  EXPECT_EQ(HistogramView::clipText(clipped(0.0015, 0.0015)), "Shadows 0.1% · Highlights 0.1%");
  EXPECT_TRUE(HistogramView::lit(0.0010000001));
  EXPECT_FALSE(HistogramView::lit(0.001));
}

TEST(HistogramView, OutlineSpansTheCanvasForAnyNumberOfBins) {
  const QSizeF canvas(255, 100);
  struct Case {
    const char* name;
    std::vector<float> values;
    std::vector<QPointF> points;  // every point of the outline, in order
  };
  const Case cases[] = {
      {"no bins", {}, {{0, 100}, {255, 100}, {0, 100}}},
      {"three bins, full, empty, half",
       {1, 0, 0.5f},
       {{0, 100}, {0, 0}, {1, 100}, {2, 50}, {255, 100}, {0, 100}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QPainterPath path = HistogramView::outline(c.values, canvas);
    ASSERT_EQ(path.elementCount(), static_cast<int>(c.points.size()));
    for (int i = 0; i < path.elementCount(); ++i) {
      EXPECT_EQ(QPointF(path.elementAt(i)), c.points[static_cast<size_t>(i)]) << i;
    }
  }
  // 256 bins: the first on the left edge, the last on the right edge, a full bin at the top.
  std::vector<float> bins(256, 0.25f);
  bins[0] = 1;
  bins[255] = 0;
  const QPainterPath path = HistogramView::outline(bins, QSizeF(300, 80));
  ASSERT_GE(path.elementCount(), 257);
  EXPECT_EQ(QPointF(path.elementAt(1)), QPointF(0, 0));
  EXPECT_EQ(QPointF(path.elementAt(2)), QPointF(300.0 / 255, 60));
  EXPECT_EQ(QPointF(path.elementAt(256)), QPointF(300, 80));
  EXPECT_EQ(path.boundingRect(), QRectF(0, 0, 300, 80));
}

TEST(HistogramView, ChannelsAddUpWhereTheyOverlap) {
  Session s;
  s.view.show();
  auto pixelOf = [&](bool red, bool green) {
    Histogram histogram;
    histogram.r.fill(red ? 1.0f : 0.0f);
    histogram.g.fill(green ? 1.0f : 0.0f);
    s.model.setHistogram(histogram);
    s.settle();
    const QImage image = s.view.box()->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
  };
  const QColor red = pixelOf(true, false);
  const QColor green = pixelOf(false, true);
  const QColor both = pixelOf(true, true);
  // Laid over each other, the green at 0.75 would hide three quarters of the red below it (red
  // would fall to about a third); added, red and green both stay near their own strength and the
  // overlap is yellow.
  EXPECT_GT(both.red(), 0.9 * red.red());
  EXPECT_GT(both.green(), 0.9 * green.green());
  EXPECT_GT(red.red(), red.green());
  EXPECT_GT(green.green(), green.red());
}

TEST(HistogramView, TrianglesAndTheCheckBoxSwitchTheOverlay) {
  Session s;
  s.model.setHistogram(clipped(0.2, 0.3));
  s.settle();
  QTest::mouseClick(s.view.shadowIndicator(), Qt::LeftButton);
  EXPECT_TRUE(s.model.showClipping());
  s.settle();
  EXPECT_TRUE(s.view.clippingBox()->isChecked());
  QTest::mouseClick(s.view.highlightIndicator(), Qt::LeftButton);
  EXPECT_FALSE(s.model.showClipping());
  s.settle();
  EXPECT_FALSE(s.view.clippingBox()->isChecked());
  QTest::mouseClick(s.view.clippingBox(), Qt::LeftButton);
  EXPECT_TRUE(s.model.showClipping());

  // Switched elsewhere (the menu): the box follows and writes nothing back.
  QSignalSpy writes(&s.model, &AppModel::showClippingChanged);
  s.model.setShowClipping(false);
  s.settle();
  EXPECT_FALSE(s.view.clippingBox()->isChecked());
  EXPECT_EQ(writes.size(), 1);
  EXPECT_EQ(s.view.clippingBox()->toolTip(),
            "Mark blown highlights red and crushed shadows blue on the picture (" +
                QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_J).toString(QKeySequence::NativeText) +
                ")");
}

}  // namespace
