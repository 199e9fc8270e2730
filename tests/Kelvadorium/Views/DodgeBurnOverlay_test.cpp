// The dodge & burn overlay: shapes placed from the record through the mapping, the pin and
// removal hits, the drag rules, gestures through the overlay interface on an 800 × 400 overlay
// (a preview point is the image point, a length of the long edge spans 800 times its share), the
// painted outlines, and one drag through the picture host at zoom 2 with a pan.
#include "Preview/DodgeBurnOverlay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "MarkedScan.h"

namespace {

using Mode = DodgeBurnOverlay::DragMode;
using End = DodgeBurnOverlay::EndAction;

const QSizeF size(800, 400);

LocalLayer layerOf(std::vector<DodgeBurnStroke> shapes, double exposure = 0.5,
                   bool visible = true) {
  LocalLayer layer;
  layer.name = "Layer";
  layer.shapes = std::move(shapes);
  layer.adjust.exposure = exposure;
  layer.visible = visible;
  return layer;
}

DodgeBurnStroke brush(std::vector<std::vector<double>> points, double radius = 0.01) {
  DodgeBurnStroke stroke;
  stroke.id = Uuid::random();
  stroke.points = std::move(points);
  stroke.radius = radius;
  return stroke;
}

DodgeBurnStroke radial(double x, double y, double rx = 0.05, double ry = 0.05) {
  return DodgeBurnStroke::radial({x, y}, rx, ry, 0, 0.5, false);
}

DodgeBurnStroke linear(std::vector<double> a, std::vector<double> b) {
  return DodgeBurnStroke::linear(a, b, 0);
}

DodgeBurnOverlay::Shape shapeOf(DodgeBurnOverlay::Geo geo, bool selected = true) {
  return DodgeBurnOverlay::Shape{Uuid::random(), std::move(geo), true, selected};
}

struct DodgeScan : MarkedScan {
  DodgeScan() {
    model.setDodgeSize(0.025);  // r = 20 points, painted points kept beyond 6
    model.setDodgeShape(DodgeShape::brush);
  }
  void layers(std::vector<LocalLayer> all) {
    ConversionSettings settings = record();
    settings.layers = std::move(all);
    store(settings);
  }
  std::vector<DodgeBurnStroke> strokes() const {
    std::vector<DodgeBurnStroke> all;
    for (const LocalLayer& layer : record().layers) {
      all.insert(all.end(), layer.shapes.begin(), layer.shapes.end());
    }
    return all;
  }
  DodgeBurnOverlay overlay{model};
};

}  // namespace

TEST(DodgeBurnGeometry, DistancesClampToSegmentEnds) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::vector<QPointF> points;
    QPointF q;
    double distance;
  };
  for (const Case& c : std::vector<Case>{
           {{}, {0, 0}, inf},
           {{{3, 4}}, {0, 0}, 5},
           {{{0, 0}, {10, 0}}, {5, 3}, 3},
           {{{0, 0}, {10, 0}}, {13, 4}, 5},  // beyond the end: to the end point
           {{{0, 0}, {10, 0}}, {-3, -4}, 5},
           {{{2, 2}, {2, 2}}, {5, 6}, 5},  // a segment of no length is its first point
           {{{0, 0}, {10, 0}, {10, 10}}, {12, 5}, 2},
       }) {
    EXPECT_EQ(DodgeBurnOverlay::distanceToPolyline(c.points, c.q), c.distance)
        << c.q.x() << "," << c.q.y();
  }
}

TEST(DodgeBurnGeometry, RemovalHitsEachKindWithinItsReach) {
  const auto b = DodgeBurnOverlay::Brush{{{100, 100}, {200, 100}}, 4};
  const auto wide = DodgeBurnOverlay::Brush{{{100, 100}}, 20};
  const auto r = DodgeBurnOverlay::Radial{{400, 200}, 100, 50, 0.5, false};
  const auto l = DodgeBurnOverlay::Linear{{100, 300}, {200, 300}};
  struct Case {
    const char* name;
    DodgeBurnOverlay::Geo geo;
    QPointF q;
    bool hit;
  };
  for (const Case& c : std::vector<Case>{
           {"thin brush within 8", b, {150, 108}, true},
           {"thin brush beyond 8", b, {150, 108.5}, false},
           {"thin brush past its end", b, {207, 100}, true},
           {"wide brush within its radius", wide, {100, 119}, true},
           {"wide brush beyond", wide, {100, 121}, false},
           {"radial centre", r, {408, 200}, true},
           {"radial inside, off both", r, {440, 200}, false},
           {"radial near the outer ellipse across", r, {507, 200}, true},
           {"radial near the outer ellipse down", r, {400, 258}, true},
           {"radial beyond the ellipse", r, {400, 259}, false},
           {"linear start guide far along it", l, {105, 20}, true},
           {"linear end guide", l, {192, 390}, true},
           {"linear between the guides off the axis", l, {150, 280}, false},
           {"linear on the axis", l, {150, 307}, true},
           {"linear beyond the end guide", l, {209, 300}, false},
       }) {
    EXPECT_EQ(DodgeBurnOverlay::removalHits(shapeOf(c.geo), c.q), c.hit) << c.name;
  }
}

TEST(DodgeBurnGeometry, PinsAndRemovalPreferSelectedShapesThenTheTopmost) {
  const DodgeBurnOverlay::Radial near{{100, 100}, 30, 30, 0.5, false};
  const DodgeBurnOverlay::Radial alsoNear{{104, 100}, 30, 30, 0.5, false};
  // The selected pin wins though an unselected one lies later and nearer.
  EXPECT_EQ(
      DodgeBurnOverlay::centrePinHit({shapeOf(near, true), shapeOf(alsoNear, false)}, {104, 100}),
      0u);
  EXPECT_EQ(
      DodgeBurnOverlay::centrePinHit({shapeOf(near, false), shapeOf(alsoNear, false)}, {100, 100}),
      1u);
  EXPECT_EQ(DodgeBurnOverlay::centrePinHit({shapeOf(near)}, {110, 100}), 0u);
  EXPECT_EQ(DodgeBurnOverlay::centrePinHit({shapeOf(near)}, {110.5, 100}), std::nullopt);
  // A brush has no pin; a linear gradient's pin is the middle of its axis.
  EXPECT_EQ(DodgeBurnOverlay::centrePinHit({shapeOf(DodgeBurnOverlay::Brush{{{100, 100}}, 5})},
                                           {100, 100}),
            std::nullopt);
  EXPECT_EQ(
      DodgeBurnOverlay::centrePinHit({shapeOf(DodgeBurnOverlay::Linear{{0, 0}, {40, 0}})}, {20, 9}),
      0u);

  const auto dab = DodgeBurnOverlay::Brush{{{100, 100}}, 10};
  EXPECT_EQ(DodgeBurnOverlay::removalHit({shapeOf(dab, true), shapeOf(dab, false)}, {100, 100}),
            0u);
  EXPECT_EQ(DodgeBurnOverlay::removalHit({shapeOf(dab, true), shapeOf(dab, true)}, {100, 100}), 1u);
  EXPECT_EQ(DodgeBurnOverlay::removalHit({shapeOf(dab, false), shapeOf(dab, false)}, {100, 100}),
            1u);
  EXPECT_EQ(DodgeBurnOverlay::removalHit({shapeOf(dab, true)}, {100, 200}), std::nullopt);
}

TEST(DodgeBurnGeometry, DragRules) {
  struct First {
    bool option;
    bool move;
    DodgeShape tool;
    bool brushOnly;
    Mode mode;
  };
  for (const First& c : std::vector<First>{
           {true, true, DodgeShape::brush, true, Mode::blocked},
           {false, true, DodgeShape::linear, false, Mode::move},
           {false, false, DodgeShape::brush, false, Mode::paint},
           {false, false, DodgeShape::linear, true, Mode::gradient},
           {false, false, DodgeShape::radial, true, Mode::gradient},
           {false, false, DodgeShape::radial, false, Mode::blocked},
       }) {
    EXPECT_EQ(DodgeBurnOverlay::firstMode(c.option, c.move, c.tool, c.brushOnly), c.mode);
  }
  EXPECT_EQ(DodgeBurnOverlay::endAction(Mode::move, true), End::selectLayer);
  EXPECT_EQ(DodgeBurnOverlay::endAction(Mode::paint, true), End::remove);
  EXPECT_EQ(DodgeBurnOverlay::endAction(Mode::blocked, true), End::remove);
  EXPECT_EQ(DodgeBurnOverlay::endAction(Mode::blocked, false), End::nothing);
  EXPECT_EQ(DodgeBurnOverlay::endAction(Mode::gradient, false), End::add);

  EXPECT_EQ(DodgeBurnOverlay::pointSpacing(4), 2);
  EXPECT_DOUBLE_EQ(DodgeBurnOverlay::pointSpacing(20), 6);

  struct Radii {
    QPointF d;
    std::optional<QPointF> radii;
  };
  for (const Radii& c : std::vector<Radii>{
           {{6, 0}, std::nullopt},
           {{0, -6.5}, QPointF(6.5, 6.5)},
           {{10, 3}, QPointF(10, 10)},
           {{3, -10}, QPointF(10, 10)},
           {{5, 5}, QPointF(5, 5)},
           {{-20, 12}, QPointF(20, 12)},
       }) {
    EXPECT_EQ(DodgeBurnOverlay::radialRadii(c.d), c.radii) << c.d.x() << "," << c.d.y();
  }
}

TEST(DodgeBurnShapes, VisibleMappedShapesOnlyWithTheirLayersLook) {
  DodgeScan s;
  LocalLayer burning =
      layerOf({brush({{0.1, 0.1}, {0.2}, {0.3, 0.1, 7}}),  // a point with one number is left out
               brush({{1e300, 0.5}}),                      // nowhere on the overlay: not drawn
               linear({0.5, 0.5}, {1e300, 0.5}),           // one point left: not drawn
               radial(0.5, 0.5, 0.1, 0.05)},
              -1);
  burning.shapes[3].feather = 0.01;
  LocalLayer hidden = layerOf({radial(0.2, 0.2)}, 0.5, false);
  LocalLayer dodging = layerOf({radial(0.7, 0.7)}, 0);
  dodging.shapes[0].feather = 0.3;
  dodging.shapes[0].invert = true;
  s.layers({burning, hidden, dodging});

  const auto frame = s.model.mappingFrame();
  const auto layers = s.record().layers;
  auto shapes = DodgeBurnOverlay::shapes(layers, std::nullopt, frame, size);
  ASSERT_EQ(shapes.size(), 3u);
  const auto& b = std::get<DodgeBurnOverlay::Brush>(shapes[0].geo);
  EXPECT_EQ(b.points, (std::vector<QPointF>{{80, 40}, {240, 40}}));
  EXPECT_DOUBLE_EQ(b.radius, 8);
  EXPECT_FALSE(shapes[0].dodge);
  const auto& r = std::get<DodgeBurnOverlay::Radial>(shapes[1].geo);
  EXPECT_EQ(r.c, QPointF(400, 200));
  EXPECT_DOUBLE_EQ(r.rx, 80);
  EXPECT_DOUBLE_EQ(r.ry, 40);
  EXPECT_DOUBLE_EQ(r.inner, 0.98);
  const auto& d = std::get<DodgeBurnOverlay::Radial>(shapes[2].geo);
  EXPECT_DOUBLE_EQ(d.inner, 0.7);
  EXPECT_TRUE(d.outside);
  EXPECT_TRUE(shapes[2].dodge);
  for (const auto& shape : shapes) EXPECT_TRUE(shape.selected);

  // The selected layer's shapes are selected; an id no layer has selects none.
  shapes = DodgeBurnOverlay::shapes(layers, layers[2].id, frame, size);
  EXPECT_FALSE(shapes[0].selected);
  EXPECT_TRUE(shapes[2].selected);
  shapes = DodgeBurnOverlay::shapes(layers, Uuid::random(), frame, size);
  for (const auto& shape : shapes) EXPECT_FALSE(shape.selected);
  // Nothing maps without an analysis.
  EXPECT_TRUE(DodgeBurnOverlay::shapes(layers, std::nullopt, std::nullopt, size).empty());
  // What is left out does not reach the paint, and a radial just within reach paints.
  s.layers({layerOf({brush({{1e300, 0.5}}), linear({0.5, 0.5}, {1e300, 0.5}),
                     radial(0.5, 0.5, 1e6 / 800, 1e6 / 800)})});
  const QImage image = painted(s.overlay, size, 2);
  EXPECT_EQ(qAlpha(image.pixel(1590, 790)), 0);
  EXPECT_GT(qAlpha(image.pixel(800, 400)), 0);  // its pin
}

TEST(DodgeBurnGestures, PaintingHandsThePointsAsPainted) {
  DodgeScan s;
  // A click is one point: the release location.
  dragOn(s.overlay, size, {400, 200}, {}, {401, 200});
  // A drag keeps points more than 6 points from the last kept one, then the release.
  dragOn(s.overlay, size, {100, 100}, {{106, 100}, {106.5, 100}, {110, 100}, {120, 100}},
         {121, 100});
  const auto strokes = s.strokes();
  ASSERT_EQ(strokes.size(), 2u);
  EXPECT_EQ(strokes[0].points, (std::vector<std::vector<double>>{{401.0 / 800, 0.5}}));
  EXPECT_EQ(
      strokes[1].points,
      (std::vector<std::vector<double>>{
          {100.0 / 800, 0.25}, {106.5 / 800, 0.25}, {120.0 / 800, 0.25}, {121.0 / 800, 0.25}}));
  EXPECT_TRUE(s.overlay.stroke().empty());
  EXPECT_EQ(s.overlay.mode(), std::nullopt);
  // Another button paints nothing.
  s.overlay.press(pointerAt({400, 300}, size, 1, Qt::NoModifier, Qt::RightButton));
  s.overlay.release(pointerAt({400, 300}, size, 1, Qt::NoModifier, Qt::NoButton));
  EXPECT_EQ(s.strokes().size(), 2u);
}

TEST(DodgeBurnGestures, GradientsLongerThanSixPointsAreAddedWithTheirRadii) {
  struct Case {
    DodgeShape tool;
    QPointF d;
    std::optional<std::pair<double, double>> radii;  // of a radial, in preview widths
    bool added;
  };
  for (const Case& c : std::vector<Case>{
           {DodgeShape::linear, {6, 0}, std::nullopt, false},
           {DodgeShape::linear, {0, 6.5}, std::nullopt, true},
           {DodgeShape::radial, {6, 0}, std::nullopt, false},
           {DodgeShape::radial, {10, 3}, std::pair(10.0, 10.0), true},
           {DodgeShape::radial, {3, 10}, std::pair(10.0, 10.0), true},
           {DodgeShape::radial, {5, 5}, std::pair(5.0, 5.0), true},
           {DodgeShape::radial, {20, 12}, std::pair(20.0, 12.0), true},
       }) {
    DodgeScan s;
    s.model.setDodgeShape(c.tool);
    const QPointF from(300, 100);
    dragOn(s.overlay, size, from, {from + c.d / 2}, from + c.d);
    const auto strokes = s.strokes();
    ASSERT_EQ(strokes.size(), c.added ? 1u : 0u) << c.d.x() << "," << c.d.y();
    if (!c.added) continue;
    EXPECT_EQ(strokes[0].points[0], (std::vector<double>{300.0 / 800, 0.25}));
    if (c.radii) {
      EXPECT_DOUBLE_EQ(*strokes[0].rx, c.radii->first / 800);
      EXPECT_DOUBLE_EQ(*strokes[0].ry, c.radii->second / 800);
    } else {
      EXPECT_EQ(strokes[0].points[1],
                (std::vector<double>{(300 + c.d.x()) / 800, (100 + c.d.y()) / 400}));
    }
  }
}

TEST(DodgeBurnGestures, APinMovesItsGradientWithAnyToolAndSelectsItsLayer) {
  for (DodgeShape tool : {DodgeShape::brush, DodgeShape::linear, DodgeShape::radial}) {
    DodgeScan s;
    s.model.setDodgeShape(tool);
    // Two pins 4 points apart; the earlier layer is selected, so its pin wins.
    s.layers({layerOf({radial(0.5, 0.5)}), layerOf({radial(0.505, 0.5)})});
    const Uuid first = s.record().layers[0].id;
    s.model.setSelectedLayerID(first);
    dragOn(s.overlay, size, {403, 200}, {{423, 210}, {443, 220}}, {443, 220});
    const auto layers = s.record().layers;
    ASSERT_EQ(layers.size(), 2u);
    ASSERT_EQ(layers[0].shapes.size(), 1u);
    ASSERT_EQ(layers[1].shapes.size(), 1u);
    EXPECT_NEAR(layers[0].shapes[0].points[0][0], 0.55, 1e-12);
    EXPECT_NEAR(layers[0].shapes[0].points[0][1], 0.55, 1e-12);
    EXPECT_EQ(layers[1].shapes[0].points[0], (std::vector<double>{0.505, 0.5}));
    EXPECT_EQ(s.model.selectedLayerID(), first);
  }
}

TEST(DodgeBurnGestures, TheOptionKeyRemovesAtTheReleaseOnly) {
  struct Case {
    const char* name;
    Qt::KeyboardModifiers atStart;
    Qt::KeyboardModifiers atEnd;
    size_t left;  // shapes left of the two, after the gesture
    bool painted;
  };
  for (const Case& c : std::vector<Case>{
           {"Alt throughout removes the top-most", Qt::AltModifier, Qt::AltModifier, 1, false},
           {"Ctrl throughout removes", Qt::ControlModifier, Qt::ControlModifier, 1, false},
           {"Alt only at the release discards the stroke and removes", Qt::NoModifier,
            Qt::AltModifier, 1, false},
           {"Alt let go before the release does nothing", Qt::AltModifier, Qt::NoModifier, 2,
            false},
           {"no key paints", Qt::NoModifier, Qt::NoModifier, 2, true},
       }) {
    DodgeScan s;
    s.layers({layerOf({brush({{0.5, 0.5}}), brush({{0.52, 0.5}})})});
    s.overlay.press(pointerAt({300, 100}, size, 1, c.atStart));
    s.overlay.move(pointerAt({412, 200}, size, 1, c.atStart));
    // Held from the start, nothing is painted while dragging.
    EXPECT_EQ(s.overlay.stroke().empty(), c.atStart != Qt::NoModifier) << c.name;
    s.overlay.release(pointerAt({412, 200}, size, 1, c.atEnd, Qt::NoButton));
    const auto strokes = s.strokes();
    ASSERT_EQ(strokes.size(), c.left + (c.painted ? 1 : 0)) << c.name;
    if (c.left == 1) {
      EXPECT_EQ(strokes[0].points[0], (std::vector<double>{0.5, 0.5})) << c.name;
    }
  }
}

TEST(DodgeBurnGestures, BlockedGradientsHiddenLayersAndMissedRemovalsChangeNothing) {
  DodgeScan s;
  LocalLayer hidden = layerOf({brush({{0.25, 0.5}})}, 0.5, false);
  LocalLayer withGradient = layerOf({linear({0.1, 0.1}, {0.2, 0.1})});
  s.layers({hidden, withGradient});
  s.model.setSelectedLayerID(s.record().layers[1].id);
  const ConversionSettings before = s.record();

  s.model.setDodgeShape(DodgeShape::radial);
  s.overlay.press(pointerAt({500, 300}, size));
  s.overlay.move(pointerAt({560, 340}, size));
  EXPECT_EQ(s.overlay.mode(), Mode::blocked);
  // No preview while blocked: nothing is drawn near the drag.
  const QImage image = painted(s.overlay, size);
  for (QPoint p : {QPoint(500, 300), QPoint(560, 300), QPoint(500, 340)}) {
    EXPECT_EQ(qAlpha(image.pixel(p)), 0) << p.x() << "," << p.y();
  }
  s.overlay.release(pointerAt({560, 340}, size, 1, Qt::NoModifier, Qt::NoButton));
  // The hidden layer's dab cannot be removed; a miss removes nothing.
  dragOn(s.overlay, size, {200, 200}, {}, {200, 200}, Qt::AltModifier, Qt::AltModifier);
  dragOn(s.overlay, size, {700, 350}, {}, {700, 350}, Qt::AltModifier, Qt::AltModifier);
  EXPECT_EQ(s.record(), before);
}

TEST(DodgeBurnPaint, OutlinesRimsColoursAndHairlines) {
  DodgeScan s;
  // A burning brush across the middle, 20 points wide each side; a dodging linear gradient.
  s.layers({layerOf({brush({{0.25, 0.5}, {0.75, 0.5}}, 0.025)}, -1),
            layerOf({linear({0.1, 0.1}, {0.1, 0.3})}, 1)});
  for (double zoom : {1.0, 2.0}) {
    const QImage image = painted(s.overlay, size, zoom);
    const auto at = [&](double x, double y) {
      return image.pixelColor(QPointF(x * zoom, y * zoom).toPoint());
    };
    // The inside of the band is erased.
    EXPECT_EQ(at(400, 200).alpha(), 0) << zoom;
    EXPECT_EQ(at(400, 212).alpha(), 0) << zoom;
    // The rim, one screen pixel beyond the band's edge, is cyan.
    const QColor rim = image.pixelColor(int(400 * zoom), int(200 * zoom + 20 * zoom));
    EXPECT_GT(rim.alpha(), 100) << zoom;
    EXPECT_EQ(rim.red(), 0) << zoom;
    EXPECT_GT(rim.green(), 200) << zoom;
    EXPECT_GT(rim.blue(), 200) << zoom;
    // Nothing two screen pixels out.
    EXPECT_EQ(image.pixelColor(int(400 * zoom), int(200 * zoom + 20 * zoom + 2)).alpha(), 0)
        << zoom;
    // The start guide of the dodging gradient crosses the overlay in yellow, a little over a
    // screen pixel wide.
    const QColor guide = image.pixelColor(int(700 * zoom), int(40 * zoom));
    EXPECT_GT(guide.red(), 200);
    EXPECT_GT(guide.green(), 200);
    EXPECT_LT(guide.blue(), 30);
    EXPECT_EQ(image.pixelColor(int(700 * zoom), int(40 * zoom) + 2).alpha(), 0) << zoom;
  }
}

TEST(DodgeBurnPaint, TheBrushCursorHidesNearAPin) {
  DodgeScan s;
  s.layers({layerOf({radial(0.5, 0.5, 0.2, 0.2)})});
  const auto cursorShown = [&](QPointF hover) {
    s.overlay.hover(pointerAt(hover, size, 1, Qt::NoModifier, Qt::NoButton));
    // The cursor circle's right-most point, clear of the gradient's ellipses.
    return qAlpha(painted(s.overlay, size).pixel((hover + QPointF(20, 0)).toPoint())) > 0;
  };
  EXPECT_FALSE(cursorShown({400, 209}));
  EXPECT_TRUE(cursorShown({400, 211}));
  s.overlay.hoverEnd();
  EXPECT_EQ(qAlpha(painted(s.overlay, size).pixel(QPoint(420, 211))), 0);
}

TEST(DodgeBurnHost, AnOptionClickAtZoomTwoWithAPanRemovesTheShapeUnderIt) {
  for (Qt::KeyboardModifier key : {Qt::AltModifier, Qt::ControlModifier}) {
    HostedScan s;
    s.model.setDodgeSize(0.005);
    LocalLayer layer = layerOf({brush({{0.3, 0.5}}, 0.005), brush({{0.6, 0.5}}, 0.005)});
    ConversionSettings settings = s.record();
    settings.layers = {layer};
    s.store(settings);
    s.model.setSelectedLayerID(layer.id);
    s.model.setDodgeMode(true);
    s.model.setZoom(2);
    s.model.setPan({-120, 35});
    ASSERT_NE(dynamic_cast<DodgeBurnOverlay*>(s.host->toolOverlay()), nullptr);
    const QSizeF fitted = s.host->fittedSize();
    s.click(QPointF(0.6 * fitted.width() + 2, 0.5 * fitted.height()), key);
    const auto shapes = s.record().layers[0].shapes;
    ASSERT_EQ(shapes.size(), 1u);
    EXPECT_EQ(shapes[0].points[0], (std::vector<double>{0.3, 0.5}));
    // A plain click there paints a dab at the click.
    s.click(QPointF(0.8 * fitted.width(), 0.25 * fitted.height()));
    const auto after = s.record().layers[0].shapes;
    ASSERT_EQ(after.size(), 2u);
    EXPECT_NEAR(after[1].points[0][0], 0.8, 1e-9);
    EXPECT_NEAR(after[1].points[0][1], 0.25, 1e-9);
  }
}
