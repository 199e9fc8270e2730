// The tone-curve editor in the inspector over a real session on virtual time: pointer drags and
// double-clicks on the graph as the model stores them, a drag that the curve changed under
// (undo, a new selection), the channel across selections, the presets menu and Reset.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>

#include "Inspector/AdjustRow.h"
#include "Inspector/ToneCurveEditor.h"
#include "Inspector/ToneCurveGraph.h"
#include "InspectorSession.h"
#include "ViewKit/MenuButton.h"
#include "ViewKit/SegmentedPicker.h"

namespace {

using S = ConversionSettings;
using Points = std::vector<std::vector<double>>;

struct Editor : InspectorSession {
  Editor() {
    select(0);
    editor = find<ToneCurveEditor>("ToneCurveEditor");
    graph = editor->graph();
  }
  // A pointer event at a normalised point of the graph moved by (dx, dy) points.
  void send(QEvent::Type type, double x, double y, double dx = 0, double dy = 0) {
    const QPointF at = graph->position({x, y}) + QPointF(dx, dy);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, graph->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(graph, &event);
  }
  void click(double x, double y, double dx = 0, double dy = 0) {
    send(QEvent::MouseButtonPress, x, y, dx, dy);
    send(QEvent::MouseButtonRelease, x, y, dx, dy);
  }
  // As the platform delivers it: press, release, double-click, release.
  void doubleClick(double x, double y) {
    click(x, y);
    send(QEvent::MouseButtonDblClick, x, y);
    send(QEvent::MouseButtonRelease, x, y);
  }
  void drag(double x, double y, double toX, double toY) {
    send(QEvent::MouseButtonPress, x, y);
    send(QEvent::MouseMove, (x + toX) / 2, (y + toY) / 2);
    send(QEvent::MouseMove, toX, toY);
    send(QEvent::MouseButtonRelease, toX, toY);
  }
  double w() const { return graph->plot().width(); }
  const Points& rgb(size_t scan = 0) const { return session.settings(scan).curves.rgb.points; }
  void storeRGB(Points points, size_t scan = 0) {
    store(scan, [&](S& s) { s.curves.rgb.points = points; });
  }

  ToneCurveEditor* editor;
  ToneCurveGraph* graph;
};

TEST(ToneCurveEditor, APressNearAPointGrabsItFartherAwayAddsOne) {
  Editor t;
  t.storeRGB({{0, 0}, {0.5, 0.5}, {1, 1}});
  t.click(0.5, 0.5, 5, 0);
  ASSERT_EQ(t.rgb().size(), 3u);
  EXPECT_NEAR(t.rgb()[1][0], 0.5 + 5 / t.w(), 1e-9);
  EXPECT_NEAR(t.rgb()[1][1], 0.5, 1e-9);
  // 15 pt under the point's old place (15.8 pt from it now): a new point of its own, the moved
  // one left where it is.
  t.click(0.5, 0.5, 0, 15);
  ASSERT_EQ(t.rgb().size(), 4u);
  EXPECT_NEAR(t.rgb()[1][0], 0.5, 1e-9);
  EXPECT_NEAR(t.rgb()[1][1], 0.5 - 15 / t.w(), 1e-9);
  EXPECT_NEAR(t.rgb()[2][0], 0.5 + 5 / t.w(), 1e-9);
  EXPECT_NEAR(t.rgb()[2][1], 0.5, 1e-9);
  EXPECT_EQ(t.graph->dragIndex(), std::nullopt);
}

TEST(ToneCurveEditor, DragsStopShortOfNeighboursAndMoveEndsVertically) {
  Editor t;
  t.storeRGB({{0, 0}, {0.3, 0.4}, {0.6, 0.7}, {1, 1}});
  t.drag(0.3, 0.4, 0.9, 0.5);
  EXPECT_NEAR(t.rgb()[1][0], 0.59, 1e-9);
  EXPECT_NEAR(t.rgb()[1][1], 0.5, 1e-9);
  t.session.wait(1);
  t.drag(1, 1, 0.7, 0.8);
  EXPECT_EQ(t.rgb()[3][0], 1);
  EXPECT_NEAR(t.rgb()[3][1], 0.8, 1e-9);
  // Two drags, two undo steps: the events of one drag coalesce.
  EXPECT_EQ(t.session.undoStack().size(), 2u);
}

TEST(ToneCurveEditor, DoubleClickRemovesTheMiddlePointNeverAnEndPoint) {
  Editor t;
  t.storeRGB({{0, 0}, {0.5, 0.6}, {1, 1}});
  t.doubleClick(0, 0);
  EXPECT_EQ(t.rgb().size(), 3u);
  t.doubleClick(0.5, 0.6);
  EXPECT_EQ(t.rgb(), (Points{{0, 0}, {1, 1}}));
  // Two points: the double-click's drag moves the end point onto the pointer, nothing goes.
  t.doubleClick(1, 1);
  EXPECT_EQ(t.rgb(), (Points{{0, 0}, {1, 1}}));
}

TEST(ToneCurveEditor, AStoredPointOfThreeNumbersIsDroppedByTheFirstEdit) {
  Editor t;
  t.storeRGB({{0, 0}, {0.5, 0.5, 0.5}, {1, 1}});
  EXPECT_EQ(t.graph->points().size(), 2u);
  t.click(1, 1);
  EXPECT_EQ(t.rgb(), (Points{{0, 0}, {1, 1}}));
}

TEST(ToneCurveEditor, UndoDuringADragEndsItWithoutAnEdit) {
  Editor t;
  t.drag(0.5, 0.8, 0.5, 0.85);
  const Points first = t.rgb();
  ASSERT_EQ(first.size(), 3u);
  t.session.wait(1);
  // A second point is added and dragged; Ctrl+Z takes it away in mid-drag.
  t.send(QEvent::MouseButtonPress, 0.75, 0.2);
  t.send(QEvent::MouseMove, 0.76, 0.25);
  ASSERT_EQ(t.rgb().size(), 4u);
  t.model().undo();
  ASSERT_EQ(t.rgb(), first);
  // The drag's index would now name the end point (1, 1): the rest of the drag edits nothing.
  t.send(QEvent::MouseMove, 0.8, 0.3);
  t.send(QEvent::MouseMove, 0.9, 0.1);
  t.send(QEvent::MouseButtonRelease, 0.9, 0.1);
  EXPECT_EQ(t.rgb(), first);
  EXPECT_TRUE(t.model().canRedo());
  EXPECT_EQ(t.graph->dragIndex(), std::nullopt);
}

TEST(ToneCurveEditor, ANewSelectionDuringADragEndsItWithoutAnEdit) {
  Editor t;
  t.storeRGB({{0, 0}, {0.5, 0.5}, {1, 1}});
  t.storeRGB({{0, 0}, {1, 1}}, 1);
  t.send(QEvent::MouseButtonPress, 0.5, 0.5);
  t.send(QEvent::MouseMove, 0.55, 0.6);
  const Points dragged = t.rgb(0);
  t.select(1);
  t.send(QEvent::MouseMove, 0.9, 0.9);
  t.send(QEvent::MouseButtonRelease, 0.9, 0.9);
  EXPECT_EQ(t.rgb(0), dragged);
  EXPECT_EQ(t.rgb(1), (Points{{0, 0}, {1, 1}}));
}

TEST(ToneCurveEditor, TheChannelSurvivesSelectionsAndBlackAndWhiteReturnsItToRGB) {
  Editor t;
  t.store(2, [](S& s) { s.mode = FilmMode::bwNegative; });
  t.editor->channelPicker()->segment(3)->click();
  EXPECT_EQ(t.editor->channel(), 3);
  t.select(1);
  EXPECT_EQ(t.find<ToneCurveEditor>("ToneCurveEditor"), t.editor);  // refreshed, not rebuilt
  EXPECT_EQ(t.editor->channel(), 3);
  EXPECT_EQ(t.editor->channelPicker()->current(), 3);
  // A blue drag edits the blue curve only.
  t.click(0.5, 0.2);
  EXPECT_EQ(t.session.settings(1).curves.blue.points.size(), 3u);
  EXPECT_TRUE(t.session.settings(1).curves.rgb.isIdentity());
  t.select(2);
  EXPECT_EQ(t.editor->channel(), 0);
  EXPECT_FALSE(t.shown("Channel"));
  t.select(0);
  EXPECT_EQ(t.editor->channel(), 0);
  EXPECT_TRUE(t.shown("Channel"));
}

QStringList shownPresets(ToneCurveEditor* editor) {
  QStringList titles;
  for (QAction* a : editor->presetsButton()->menu()->actions())
    if (a->isVisible()) titles << a->text();
  return titles;
}

TEST(ToneCurveEditor, PresetsListedByFilmTypeAndChoosingOneShowsTheMasterCurve) {
  EXPECT_EQ(ToneCurveEditor::presets(false).size(), 12u);
  EXPECT_EQ(ToneCurveEditor::presets(true).size(), 10u);
  Editor t;
  EXPECT_EQ(shownPresets(t.editor).size(), 12);
  EXPECT_EQ(shownPresets(t.editor).front(), "Linear (reset)");
  EXPECT_EQ(shownPresets(t.editor).back(), "Warm Fade (colour)");
  t.editor->channelPicker()->segment(3)->click();
  const auto preset = [&](const QString& title) {
    for (QAction* a : t.editor->presetsButton()->menu()->actions())
      if (a->text() == title) a->trigger();
  };
  preset("Cross Process (colour)");
  EXPECT_EQ(t.editor->channel(), 0);
  EXPECT_EQ(t.editor->channelPicker()->current(), 0);
  EXPECT_EQ(t.session.settings(0).curves, curves(CurvePreset::crossProcess));

  t.store(1, [](S& s) {
    s.mode = FilmMode::bwNegative;
    s.curves.red.points = {{0, 0.1}, {1, 1}};
  });
  t.select(1);
  const QStringList mono = shownPresets(t.editor);
  EXPECT_EQ(mono.size(), 10);
  EXPECT_FALSE(mono.contains("Cross Process (colour)"));
  EXPECT_FALSE(mono.contains("Warm Fade (colour)"));
  preset("Strong S (punchy)");
  EXPECT_EQ(t.session.settings(1).curves.rgb, curves(CurvePreset::strongS).rgb);
  EXPECT_EQ(t.session.settings(1).curves.red.points, (Points{{0, 0.1}, {1, 1}}));
}

TEST(ToneCurveEditor, ResetIsEnabledByTheChannelsCurveAndForRGBTheRegions) {
  ToneCurves green;
  green.green.points = {{0, 0}, {0.5, 0.6}, {1, 1}};
  ToneCurves regions;
  regions.regions = {20, 0, 0, 0};
  struct Case {
    int channel;
    std::optional<ToneCurves> curves;
    bool enabled;
  };
  const std::vector<Case> cases{
      {0, std::nullopt, false}, {0, ToneCurves{}, false}, {2, green, true}, {0, green, false},
      {1, green, false},        {0, regions, true},       {3, regions, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToneCurveEditor::resetEnabled(c.channel, c.curves), c.enabled)
        << "channel " << c.channel << (c.curves ? "" : " without a selection");
  }

  Editor t;
  EXPECT_FALSE(t.editor->resetButton()->isEnabled());
  t.store(0, [](S& s) { s.curves.regions = {20, 0, 0, 0}; });
  EXPECT_EQ(t.editor->findChild<AdjustRow*>("Highlights")->valueText()->text(), "+20");
  ASSERT_TRUE(t.editor->resetButton()->isEnabled());
  t.editor->resetButton()->click();
  t.settle();
  EXPECT_EQ(t.session.settings(0).curves.regions, (std::vector<double>{0, 0, 0, 0}));
  EXPECT_FALSE(t.editor->resetButton()->isEnabled());

  t.store(0, [](S& s) {
    s.curves.green.points = {{0, 0}, {0.5, 0.6}, {1, 1}};
    s.curves.regions = {0, 5, 0, 0};
  });
  t.editor->channelPicker()->segment(2)->click();
  ASSERT_TRUE(t.editor->resetButton()->isEnabled());
  t.editor->resetButton()->click();
  EXPECT_TRUE(t.session.settings(0).curves.green.isIdentity());
  EXPECT_EQ(t.session.settings(0).curves.regions, (std::vector<double>{0, 5, 0, 0}));
}

// The graph drawn into an image, read at a normalised point low in the plot (away from the
// curve and the grid).
QRgb pixelAt(Editor& t, double x, double y) {
  QImage image(t.graph->size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  t.graph->render(&image);
  return image.pixel(t.graph->position({x, y}).toPoint());
}

TEST(ToneCurveEditor, TheBackdropFollowsTheChannelsHistogramTheBrightestForRGB) {
  Editor t;
  const QRgb bare = pixelAt(t, 0.8, 0.1);
  Histogram histogram;
  for (size_t i = 0; i < 128; ++i) histogram.r[i] = 1;
  for (size_t i = 128; i < 256; ++i) histogram.g[i] = 1;
  t.model().setHistogram(histogram);
  // Green fills the right half: the master backdrop (the brightest) covers it, red does not.
  EXPECT_NE(pixelAt(t, 0.8, 0.1), bare);
  t.editor->channelPicker()->segment(1)->click();
  EXPECT_EQ(pixelAt(t, 0.8, 0.1), bare);
  EXPECT_NE(pixelAt(t, 0.2, 0.1), pixelAt(t, 0.8, 0.1));
  t.editor->channelPicker()->segment(2)->click();
  EXPECT_NE(pixelAt(t, 0.8, 0.1), bare);
  t.model().setHistogram(std::nullopt);
  EXPECT_EQ(pixelAt(t, 0.8, 0.1), bare);
}

TEST(ToneCurveEditor, WithoutASelectionTheGraphShowsTheIdentityAndIsDisabled) {
  Editor t;
  t.select(std::nullopt);
  EXPECT_EQ(t.graph->points().size(), 2u);
  EXPECT_FALSE(t.graph->isEnabled());
  EXPECT_FALSE(t.editor->resetButton()->isEnabled());
}

}  // namespace
