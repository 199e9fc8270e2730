// The healing overlay: its pure geometry (thinning, distances, the hit test, the shapes of the
// repairs, the click-or-stroke decision, the brush radius), what it paints, and the gestures
// through the picture host over a real session of one tiny scan whose preview maps one to one.
#include "Preview/SpotOverlay.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QRegion>
#include <cmath>
#include <limits>

#include "Kelvadorium/Model/EditSession.h"
#include "MarkedScan.h"
#include "Preview/PreviewCalls.h"
#include "Preview/ZoomablePreview.h"

namespace {

using Points = std::vector<QPointF>;
const double infinity = std::numeric_limits<double>::infinity();

// A 2000 × 1000 scan shown whole on a 2000 × 1000 overlay: an image point (u, v) lies at
// (2000 u, 1000 v), and a radius r of the long edge spans 2000 r points.
const QSizeF size(2000, 1000);
PreviewMapping::Frame wholeFrame() {
  PreviewMapping::Frame frame;
  frame.width = 2000;
  frame.height = 1000;
  frame.crop = NormRect{0, 0, 1, 1};
  return frame;
}

SpotOverlay::HealedShape shapeOf(Points points, double radius) {
  return SpotOverlay::HealedShape{Uuid::random(), std::move(points), radius};
}

Spot spotIn(std::optional<Uuid> group, double x, double y, double r = 0.01) {
  Spot spot = makeSpot(x, y, r);
  spot.group = group;
  return spot;
}

std::vector<Spot> strokeOf(int count, double y, double x0 = 0.2, double dx = 0.01) {
  const Uuid group = Uuid::random();
  std::vector<Spot> spots;
  for (int i = 0; i < count; ++i) spots.push_back(spotIn(group, x0 + dx * i, y));
  return spots;
}

}  // namespace

TEST(SpotGeometry, Thinning) {
  struct Case {
    const char* name;
    Points in;
    Points out;
  };
  for (const Case& c : std::vector<Case>{
           {"empty", {}, {}},
           {"one point", {{5, 5}}, {{5, 5}}},
           {"all close: the first and the last",
            {{0, 0}, {1, 0}, {2, 0}, {2.5, 0}},
            {{0, 0}, {2.5, 0}}},
           {"exactly the spacing is kept", {{0, 0}, {3, 0}, {6, 0}}, {{0, 0}, {3, 0}, {6, 0}}},
           {"spacing from the last kept, not the last seen",
            {{0, 0}, {2, 0}, {4, 0}, {5, 0}},
            {{0, 0}, {4, 0}, {5, 0}}},
           {"a last point equal to the last kept is not doubled",
            {{0, 0}, {1, 0}, {3, 0}},
            {{0, 0}, {3, 0}}},
           {"a closed loop keeps its return",
            {{0, 0}, {4, 0}, {4, 4}, {0, 0}},
            {{0, 0}, {4, 0}, {4, 4}, {0, 0}}},
       }) {
    EXPECT_EQ(SpotOverlay::thinned(c.in, 3), c.out) << c.name;
  }
}

TEST(SpotGeometry, PolylineDistance) {
  struct Case {
    const char* name;
    Points line;
    QPointF p;
    double distance;
  };
  for (const Case& c : std::vector<Case>{
           {"empty", {}, {0, 0}, infinity},
           {"one point", {{3, 4}}, {0, 0}, 5},
           {"a segment of no length is its first point", {{3, 4}, {3, 4}}, {0, 0}, 5},
           {"across the middle", {{0, 0}, {10, 0}}, {5, 2}, 2},
           {"beyond the end: to the end", {{0, 0}, {10, 0}}, {13, 4}, 5},
           {"before the start: to the start", {{0, 0}, {10, 0}}, {-3, -4}, 5},
           {"the nearest of several segments", {{0, 0}, {10, 0}, {10, 10}}, {11, 6}, 1},
       }) {
    EXPECT_DOUBLE_EQ(SpotOverlay::polylineDistance(c.p, c.line), c.distance) << c.name;
  }
}

TEST(SpotGeometry, TheHitTestTriesTheTopmostShapeFirst) {
  struct Case {
    const char* name;
    std::vector<SpotOverlay::HealedShape> shapes;
    QPointF p;
    std::optional<size_t> hit;
  };
  const auto tiny = shapeOf({{100, 100}, {100.01, 100}}, 1);
  const auto wide = shapeOf({{100, 100}, {300, 100}}, 20);
  for (const Case& c : std::vector<Case>{
           {"a tiny repair within 6", {tiny}, {100, 106}, 0},
           {"a tiny repair beyond 6", {tiny}, {100, 106.5}, std::nullopt},
           {"a wide band within its radius", {wide}, {200, 119}, 0},
           {"beside it", {wide}, {200, 121}, std::nullopt},
           {"overlap: the later wins", {wide, tiny}, {101, 100}, 1},
           {"overlap the other way round", {tiny, wide}, {101, 100}, 1},
           {"only the earlier reaches", {wide, tiny}, {250, 100}, 0},
           {"none", {}, {0, 0}, std::nullopt},
       }) {
    EXPECT_EQ(SpotOverlay::shapeAt(c.shapes, c.p), c.hit) << c.name;
  }
}

TEST(SpotGeometry, AReleaseIsAClickBelowFourPointsOfThinnedStroke) {
  struct Case {
    Points thinned;
    bool click;
  };
  for (const Case& c : std::vector<Case>{
           {{}, true},
           {{{7, 7}}, true},
           {{{0, 0}, {3.99, 0}}, true},
           {{{0, 0}, {4, 0}}, false},
           {{{0, 0}, {2, 0}, {2, 2.5}}, false},  // 4.5 along, 3.2 across
           {{{0, 0}, {2, 0}, {0, 0}}, false},    // there and back counts its length
       }) {
    EXPECT_EQ(SpotOverlay::isClick(c.thinned), c.click) << c.thinned.size();
  }
  EXPECT_DOUBLE_EQ(SpotOverlay::thinningSpacing(20), 7);
  EXPECT_DOUBLE_EQ(SpotOverlay::thinningSpacing(4), 2);
}

TEST(SpotGeometry, BrushRadius) {
  EXPECT_DOUBLE_EQ(SpotOverlay::brushRadius(wholeFrame(), 0.008, 2000), 16);
  EXPECT_DOUBLE_EQ(SpotOverlay::brushRadius(std::nullopt, 0.008, 2000), 20) << "nothing maps";
  PreviewMapping::Frame cropped = wholeFrame();
  cropped.crop = NormRect{0, 0, 0.5, 1};
  EXPECT_DOUBLE_EQ(SpotOverlay::brushRadius(cropped, 0.008, 2000), 32) << "a crop magnifies";
  EXPECT_DOUBLE_EQ(SpotOverlay::brushRadius(wholeFrame(), 1e300, 2000), 20) << "beyond drawing";
}

TEST(SpotGeometry, ShapesGroupStrokesInTheOrderOfTheirFirstSpot) {
  const Uuid a = Uuid::random();
  const Uuid e = Uuid::random();
  const Uuid lost = Uuid::random();
  const Spot lone = spotIn(std::nullopt, 0.5, 0.5, 0.02);
  // An ungrouped spot whose own id happens to be a stroke's group is none of its members.
  Spot impostor = spotIn(std::nullopt, 0.9, 0.9);
  impostor.id = a;
  const std::vector<Spot> spots{
      spotIn(a, 0.1, 0.1, 0.01),          lone,
      spotIn(e, std::nan(""), 0.3, 0.05),  // e's first member does not map
      spotIn(a, 0.2, 0.1, 0.03),          spotIn(lost, 1e300, 0.3),
      spotIn(e, 0.4, 0.3, 0.02),          impostor,
      spotIn(a, 0.3, 0.2, 0.01),          spotIn(e, 0.45, 0.3, 0.01),
      spotIn(std::nullopt, 0.5, -1e300),
  };
  const auto shapes = SpotOverlay::healedShapes(spots, wholeFrame(), size);
  ASSERT_EQ(shapes.size(), 3u);
  EXPECT_EQ(shapes[0].id, a);
  EXPECT_EQ(shapes[0].points, (Points{{200, 100}, {400, 100}, {600, 200}}));
  EXPECT_DOUBLE_EQ(shapes[0].radius, 20) << "the first member's";
  EXPECT_EQ(shapes[1].id, lone.id);
  EXPECT_EQ(shapes[1].points, (Points{{1000, 500}, {1000.01, 500}})) << "a disc";
  EXPECT_DOUBLE_EQ(shapes[1].radius, 40);
  EXPECT_EQ(shapes[2].id, e);
  EXPECT_EQ(shapes[2].points, (Points{{800, 300}, {900, 300}}));
  EXPECT_DOUBLE_EQ(shapes[2].radius, 40) << "the first mapped member's";

  EXPECT_TRUE(SpotOverlay::healedShapes(spots, std::nullopt, size).empty());
}

// A session of one tiny scan rendered for real, shown by the picture host in healing mode: the
// preview shows the whole frame unstraightened and without a border, so an overlay point (x, y)
// is the image point (x / W, y / H).
struct HealingHost {
  HealingHost() : calls(PreviewCalls::of(*s.model)) {
    s.select(0);
    s.wait(1);
    host = new ZoomablePreview(*s.model, calls, &window);
    window.resize(800, 640);
    host->resize(800, 640);
    window.show();
    QApplication::processEvents();
    s.model->chooseHealTool(SpotKind::heal);
  }
  AppModel& model() { return *s.model; }
  const std::vector<Spot>& spots() const { return s.settings(0).spots; }
  SpotOverlay* overlay() const { return dynamic_cast<SpotOverlay*>(host->toolOverlay()); }
  QSizeF fitted() const { return host->fittedSize(); }
  // The overlay point of an image point.
  QPointF at(double u, double v) const { return {u * fitted().width(), v * fitted().height()}; }
  void send(QEvent::Type type, QPointF overlayPoint, Qt::KeyboardModifiers modifiers) {
    const QPointF p = host->widgetPoint(overlayPoint);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, p, host->mapToGlobal(p), button, held, modifiers);
    QApplication::sendEvent(host, &event);
  }
  void hover(QPointF overlayPoint) {
    const QPointF p = host->widgetPoint(overlayPoint);
    QMouseEvent event(QEvent::MouseMove, p, host->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(host, &event);
  }
  // A press, moves and a release, the modifiers of the release as given; then the repair's
  // search runs to its end.
  void drag(QPointF from, const Points& via, QPointF to,
            Qt::KeyboardModifiers atEnd = Qt::NoModifier) {
    send(QEvent::MouseButtonPress, from, Qt::NoModifier);
    for (const QPointF& p : via) send(QEvent::MouseMove, p, Qt::NoModifier);
    send(QEvent::MouseButtonRelease, to, atEnd);
    s.wait(1);
  }
  void click(QPointF p, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    send(QEvent::MouseButtonPress, p, modifiers);
    send(QEvent::MouseButtonRelease, p, modifiers);
    s.wait(1);
  }
  void storeSpots(std::vector<Spot> spots) {
    ConversionSettings settings = s.settings(0);
    settings.spots = std::move(spots);
    model().storeSettings(0, settings);
  }

  EditSession s{1};
  PreviewCalls calls;
  QWidget window;
  ZoomablePreview* host = nullptr;
};

TEST(SpotHost, ClicksAddASpotOrRemoveTheRepairUnderThem) {
  HealingHost h;
  ASSERT_NE(h.overlay(), nullptr);
  h.model().setSpotBrush(0.02);
  h.click(h.at(0.3, 0.6));
  ASSERT_EQ(h.spots().size(), 1u);
  EXPECT_NEAR(h.spots()[0].x, 0.3, 1e-9);
  EXPECT_NEAR(h.spots()[0].y, 0.6, 1e-9);

  // A whole stroke goes with a click on any part of it, and nothing else.
  std::vector<Spot> spots = h.spots();
  const std::vector<Spot> stroke = strokeOf(20, 0.2);
  spots.insert(spots.end(), stroke.begin(), stroke.end());
  h.storeSpots(spots);
  h.click(h.at(0.33, 0.2));
  ASSERT_EQ(h.spots().size(), 1u);
  EXPECT_FALSE(h.spots()[0].group);

  // A click within the repair's reach, off its centre, takes it away again.
  const double brush = 0.02 * h.fitted().width();
  h.click(h.at(0.3, 0.6) + QPointF(brush * 0.9, 0));
  EXPECT_TRUE(h.spots().empty());
}

TEST(SpotHost, ADragPaintsAStrokeAndAShortOneIsAClickAtItsEnd) {
  HealingHost h;
  h.model().setSpotBrush(0.01);
  const QPointF from = h.at(0.2, 0.5);
  Points via;
  for (int i = 1; i <= 40; ++i) via.push_back(from + QPointF(5.0 * i, 0.5 * i));
  h.drag(from, via, via.back());
  EXPECT_EQ(h.model().repairCount(), 1);
  ASSERT_GT(h.spots().size(), 2u);
  EXPECT_TRUE(h.spots()[0].group);
  EXPECT_NEAR(h.spots().front().x, 0.2, 1e-9);
  EXPECT_NEAR(h.spots().front().y, 0.5, 1e-9);
  EXPECT_NEAR(h.spots().back().x * h.fitted().width(), via.back().x(), 1.5);
  EXPECT_TRUE(h.overlay()->stroke().empty());

  // A wobble of 3 points is a click where it ends.
  h.model().removeAllRepairs();
  const QPointF start = h.at(0.6, 0.3);
  h.drag(start, {start + QPointF(2, 0), start + QPointF(3, 0)}, start + QPointF(3, 0));
  ASSERT_EQ(h.spots().size(), 1u);
  EXPECT_FALSE(h.spots()[0].group);
  EXPECT_NEAR(h.spots()[0].x * h.fitted().width(), start.x() + 3, 1e-6);
}

TEST(SpotHost, ADragLeavingThePictureKeepsItsInsidePart) {
  HealingHost h;
  h.model().setSpotBrush(0.01);
  const QPointF from = h.at(0.9, 0.5);
  const QPointF out(h.fitted().width() + 80, from.y());
  h.drag(from, {from + QPointF(20, 0), from + QPointF(60, 0), out}, out);
  EXPECT_EQ(h.model().repairCount(), 1);
  for (const Spot& spot : h.spots()) EXPECT_LE(spot.x, 1.0);
}

TEST(SpotHost, TheOptionKeySetsTheSourceAndPaintsOrRemovesNothing) {
  for (Qt::KeyboardModifier key : {Qt::AltModifier, Qt::ControlModifier}) {
    HealingHost h;
    h.storeSpots({spotIn(std::nullopt, 0.5, 0.5, 0.03)});
    const std::vector<Spot> before = h.spots();

    // Over a repair: the source lands there and the repair stays.
    h.click(h.at(0.5, 0.5), key);
    ASSERT_TRUE(h.model().healSource());
    EXPECT_NEAR(h.model().healSource()->x(), 0.5, 1e-9);
    EXPECT_EQ(h.spots(), before);

    // A drag sets it where it is let go, and paints nothing.
    const QPointF from = h.at(0.2, 0.2);
    h.drag(from, {from + QPointF(40, 0), from + QPointF(80, 10)}, from + QPointF(80, 10), key);
    EXPECT_NEAR(h.model().healSource()->x() * h.fitted().width(), from.x() + 80, 1e-6);
    EXPECT_EQ(h.spots(), before);

    // Let go outside the picture: the source stays.
    const QPointF kept = *h.model().healSource();
    h.drag(from, {QPointF(-60, from.y())}, QPointF(-60, from.y()), key);
    EXPECT_EQ(h.model().healSource(), kept);
    EXPECT_EQ(h.spots(), before);
  }
}

TEST(SpotHost, PickingHighlightsPicksAndClearsAndDeleteRemovesThePick) {
  HealingHost h;
  const Spot lone = spotIn(std::nullopt, 0.7, 0.7, 0.03);
  const std::vector<Spot> stroke = strokeOf(10, 0.3);
  std::vector<Spot> spots = stroke;
  spots.push_back(lone);
  h.storeSpots(spots);
  h.model().chooseSelectTool();
  ASSERT_NE(h.overlay(), nullptr);

  h.hover(h.at(0.25, 0.3));
  EXPECT_EQ(h.overlay()->hoverShape(), stroke[0].group);
  h.hover(h.at(0.5, 0.9));
  EXPECT_FALSE(h.overlay()->hoverShape());

  // A drag while picking paints nothing; its release over the lone spot picks it.
  h.drag(h.at(0.5, 0.5), {h.at(0.6, 0.6)}, h.at(0.7, 0.7));
  EXPECT_EQ(h.model().selectedRepair(), lone.id);
  EXPECT_EQ(h.spots().size(), 11u);
  EXPECT_TRUE(h.overlay()->stroke().empty());

  h.click(h.at(0.5, 0.9));
  EXPECT_FALSE(h.model().selectedRepair()) << "empty picture clears the pick";

  h.click(h.at(0.22, 0.3));
  EXPECT_EQ(h.model().selectedRepair(), stroke[0].group);
  EXPECT_TRUE(h.model().handleBrowseKey(BrowseKey::delete_, false));
  EXPECT_EQ(h.spots(), std::vector<Spot>{lone});
}

// The parts of the host a hover move repaints.
struct PaintedParts : QObject {
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) parts += static_cast<QPaintEvent*>(event)->region();
    return false;
  }
  QRegion parts;
};

TEST(SpotHost, AHoverRepaintsTheBrushCirclesSquaresOrTheHighlightThatChanged) {
  HealingHost h;
  const std::vector<Spot> stroke = strokeOf(10, 0.3);
  h.storeSpots(stroke);
  ASSERT_NE(h.overlay(), nullptr);
  PaintedParts painted;
  h.host->installEventFilter(&painted);
  auto hoverAndPaint = [&](QPointF at) {
    painted.parts = {};
    h.hover(at);
    QApplication::processEvents();
    return painted.parts;
  };
  hoverAndPaint(h.at(0.5, 0.5));
  const QRegion moved = hoverAndPaint(h.at(0.6, 0.6));
  // Around the old circle and the new one, no more.
  for (QPointF centre :
       {h.host->widgetPoint(h.at(0.5, 0.5)), h.host->widgetPoint(h.at(0.6, 0.6))}) {
    EXPECT_TRUE(moved.contains(QRectF(centre - QPointF(3, 3), QSizeF(6, 6)).toRect()));
  }
  EXPECT_FALSE(moved.contains(QPoint(5, 5)));
  EXPECT_LT(moved.boundingRect().width(), h.host->width() / 2);

  // Picking draws no circle: moving over the same repair repaints nothing, onto another or
  // off it repaints its highlight.
  h.model().chooseSelectTool();
  hoverAndPaint(h.at(0.25, 0.3));
  EXPECT_TRUE(hoverAndPaint(h.at(0.26, 0.3)).isEmpty());
  EXPECT_FALSE(hoverAndPaint(h.at(0.5, 0.9)).isEmpty());
  h.host->removeEventFilter(&painted);
}

// What the overlay draws on a 400 × 200 overlay of the one-to-one scan.
struct Painted : MarkedScan {
  static constexpr QSizeF small{400, 200};
  SpotOverlay overlay{model};
  void spots(std::vector<Spot> all) {
    ConversionSettings settings = record();
    settings.spots = std::move(all);
    store(settings);
  }
  QImage image(double zoom = 1) { return painted(overlay, small, zoom); }
};

TEST(SpotPaint, ARepairIsAThinWhiteRingAroundAFaintTint) {
  Painted p;
  // A disc of radius 20 at (200, 100) and a band of radius 10 from (40, 40) to (120, 40).
  p.spots({spotIn(std::nullopt, 0.5, 0.5, 0.05), spotIn(Uuid::random(), 0.1, 0.2, 0.025)});
  std::vector<Spot> all = p.record().spots;
  all.push_back(all[1]);
  all.back().id = Uuid::random();
  all.back().x = 0.3;
  p.spots(all);
  for (double zoom : {1.0, 4.0}) {
    const QImage image = p.image(zoom);
    const auto alphaAt = [&](QPointF q) { return qAlpha(image.pixel((q * zoom).toPoint())); };
    // The rim lies just outside the painted area, 1.25 screen points wide at any zoom.
    EXPECT_GT(alphaAt({200, 100 - 20 - 0.6 / zoom}), 150) << zoom;
    EXPECT_EQ(alphaAt({200, 100 - 20 - 3 / zoom}), 0) << zoom;
    EXPECT_NEAR(alphaAt({200, 100 - 10}), 18, 3) << "the tint inside";
    EXPECT_NEAR(alphaAt({80, 40}), 18, 3) << "inside the band";
    EXPECT_GT(alphaAt({80, 40 - 10 - 0.6 / zoom}), 150);
    EXPECT_GT(alphaAt({40 - 10 - 0.6 / zoom, 40}), 150) << "a round end";
    EXPECT_EQ(alphaAt({80, 40 - 10 - 3 / zoom}), 0);
  }
}

TEST(SpotPaint, TheLiveMarksFollowThePointerTheSourceAndThePicking) {
  Painted p;
  p.model.setSpotBrush(0.025);  // R = 10
  p.overlay.hover(pointerAt({300, 100}, Painted::small));
  QImage image = p.image();
  const QRgb brush = image.pixel(310, 100);
  EXPECT_GT(qAlpha(brush), 0) << "the brush circle";
  EXPECT_GT(qRed(brush), qBlue(brush)) << "yellow";
  EXPECT_EQ(qAlpha(image.pixel(300, 100)), 0);

  p.model.setHealSource(QPointF(0.25, 0.5));
  image = p.image();
  const QRgb cross = image.pixel(100 + 7, 100);
  EXPECT_GT(qAlpha(cross), 0) << "the source cross";
  EXPECT_GT(qBlue(cross), qRed(cross)) << "cyan";
  EXPECT_GT(qAlpha(image.pixel(100, 100 - 8)), 0);
  EXPECT_EQ(qAlpha(image.pixel(100 + 12, 100)), 0) << "arms of 9";

  // While picking there is no brush circle.
  p.model.setSpotSelecting(true);
  p.overlay.hover(pointerAt({300, 100}, Painted::small));
  EXPECT_EQ(qAlpha(p.image().pixel(310, 100)), 0);

  // The stroke being painted: a yellow rim around a band of 2R.
  p.model.setSpotSelecting(false);
  p.overlay.press(pointerAt({40, 150}, Painted::small));
  p.overlay.move(pointerAt({140, 150}, Painted::small));
  image = p.image();
  EXPECT_GT(qAlpha(image.pixel(90, 150 - 11)), 100);
  EXPECT_EQ(qAlpha(image.pixel(90, 150)), 0) << "its inside is open";
  p.overlay.release(pointerAt({140, 150}, Painted::small, 1, Qt::AltModifier, Qt::NoButton));
  EXPECT_TRUE(p.overlay.stroke().empty());
}

TEST(SpotPaint, PickedAndHoveredRepairsAreHighlighted) {
  Painted p;
  const Spot left = spotIn(std::nullopt, 0.25, 0.5, 0.025);
  const Spot right = spotIn(std::nullopt, 0.75, 0.5, 0.025);
  p.spots({left, right});
  p.model.setSpotSelecting(true);
  p.model.setSelectedRepair(left.id);
  p.overlay.hover(pointerAt({300, 100}, Painted::small));
  EXPECT_EQ(p.overlay.hoverShape(), right.id);
  const QImage image = p.image();
  // Beyond the rim, within the highlight's extra 3 points.
  const int picked = qAlpha(image.pixel(100, 100 - 13));
  const int hovered = qAlpha(image.pixel(300, 100 - 13));
  EXPECT_NEAR(picked, 0.45 * 255, 8);
  EXPECT_NEAR(hovered, 0.2 * 255, 8);
}

TEST(SpotPaint, ZoomBelowAHundredthDrawsAsAtAHundredth) {
  Painted p;
  p.spots({spotIn(std::nullopt, 0.5, 0.5, 0.05)});
  const auto unscaled = [&](double zoom) {
    QImage image(400, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    p.overlay.paint(painter, OverlayFrame{Painted::small, zoom});
    return image;
  };
  const QImage image = unscaled(0.001);
  EXPECT_EQ(image, unscaled(0.01));
  EXPECT_EQ(image, unscaled(0));
  // At z = 0.01 the rim is 125 overlay points wide.
  EXPECT_GT(qAlpha(image.pixel(200 + 20 + 60, 100)), 150);
  EXPECT_EQ(qAlpha(image.pixel(200 + 20 + 130, 100)), 0);
}

// Hundreds of overlapping discs and strokes, a picked and a hovered one among them, painted whole:
// every pixel is compared through a checksum of the picture taken from the one-shape-at-a-time
// drawing, so splitting the work by rows may change the speed and nothing that shows.
TEST(SpotPaint, OverlappingRepairsPaintTheSamePixels) {
  Painted p;
  std::vector<Spot> all;
  for (int i = 0; i < 300; ++i) {
    // Scattered, not on a grid: the discs overlap each other and the strokes at every angle.
    const double x = 0.5 + 0.48 * std::sin(1.7 * i + 0.3);
    const double y = 0.5 + 0.47 * std::sin(2.3 * i + 1.1);
    all.push_back(spotIn(std::nullopt, x, y, 0.004 + 0.003 * (i % 9)));
    if (i % 100 == 40) {
      const Uuid group = Uuid::random();
      for (int k = 0; k < 400; ++k) {
        const double t = k / 400.0;
        all.push_back(spotIn(group, 0.05 + 0.9 * t, 0.5 + 0.35 * std::sin(9 * t + i), 0.006));
      }
    }
  }
  p.spots(all);
  p.model.setSpotSelecting(true);
  p.model.setSelectedRepair(all[41].group);
  const QPointF hovered(200 + 192 * std::sin(1.7 * 7 + 0.3), 100 + 94 * std::sin(2.3 * 7 + 1.1));
  p.overlay.hover(pointerAt(hovered, Painted::small));
  ASSERT_TRUE(p.overlay.hoverShape());
  // FNV-1a over the pixels, row by row.
  const auto checksum = [](const QImage& image) {
    uint64_t hash = 1469598103934665603ull;
    for (int y = 0; y < image.height(); ++y) {
      const auto* row = image.constScanLine(y);
      for (qsizetype i = 0; i < qsizetype(image.width()) * 4; ++i) {
        hash = (hash ^ row[i]) * 1099511628211ull;
      }
    }
    return hash;
  };
  const struct {
    double zoom;
    uint64_t sum;
  } cases[] = {{1, 9569974522476034922ull}, {2.5, 9817322764618224637ull}};
  for (const auto& c : cases) {
    EXPECT_EQ(checksum(p.image(c.zoom)), c.sum) << c.zoom;
  }
}
