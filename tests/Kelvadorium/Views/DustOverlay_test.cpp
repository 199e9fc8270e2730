// The dust overlay: finds placed through the mapping, the halo width, the pick with its
// tolerance, clicks and hovers through the overlay interface on a 2000 × 1000 overlay (a preview
// point is the image point and a radius of r spans 2000 r points), the painted halo and rim, and
// a click through the picture host at zoom 2 with a pan.
#include "Preview/DustOverlay.h"

#include <gtest/gtest.h>

#include <cmath>

#include "MarkedScan.h"

namespace {

const QSizeF size(2000, 1000);

Spot spotAt(double x, double y, double r, std::optional<Uuid> group = std::nullopt) {
  Spot spot;
  spot.id = Uuid::random();
  spot.x = x;
  spot.y = y;
  spot.r = r;
  spot.group = group;
  return spot;
}

DustOverlay::Find findAt(std::vector<QPointF> points, double radius) {
  return DustOverlay::Find{Uuid::random(), std::move(points), radius};
}

struct DustScan : MarkedScan {
  DustOverlay overlay{model};
};

}  // namespace

TEST(DustGeometry, HaloWidthsAndPicks) {
  EXPECT_DOUBLE_EQ(DustOverlay::haloWidth(10, 1), 32);
  EXPECT_DOUBLE_EQ(DustOverlay::haloWidth(2, 1), 10);
  EXPECT_DOUBLE_EQ(DustOverlay::haloWidth(2, 4), 2 * (2 + 1.2));
  EXPECT_DOUBLE_EQ(DustOverlay::haloWidth(1, 0), 2 * (1 + 300));

  const auto tiny = findAt({{100, 100}}, 1);
  const auto large = findAt({{130, 100}}, 20);
  const auto hair = findAt({{300, 100}, {340, 100}}, 2);
  struct Case {
    const char* name;
    std::vector<DustOverlay::Find> finds;
    QPointF p;
    double zoom;
    std::optional<size_t> picked;
  };
  for (const Case& c : std::vector<Case>{
           {"zoom 4, 2 away from radius 1", {tiny}, {102, 100}, 4, 0},
           {"zoom 4, 2.5 away", {tiny}, {100, 102.5}, 4, std::nullopt},
           {"zoom 1, 7 away", {tiny}, {107, 100}, 1, 0},
           {"zoom 1, 8.5 away", {tiny}, {108.5, 100}, 1, std::nullopt},
           {"equally near: the earlier",
            {findAt({{90, 100}}, 5), findAt({{110, 100}}, 5)},
            {100, 100},
            1,
            0},
           {"a near small find hides a large one", {tiny, large}, {112, 100}, 1, std::nullopt},
           {"the large one alone takes it", {large}, {112, 100}, 1, 0},
           {"a hair by its nearest spot", {hair}, {345, 102}, 1, 0},
           {"a gap in a hair chain", {hair}, {320, 100}, 1, std::nullopt},
           {"none", {}, {0, 0}, 1, std::nullopt},
       }) {
    EXPECT_EQ(DustOverlay::pick(c.finds, c.p, c.zoom), c.picked) << c.name;
  }
  EXPECT_TRUE(std::isinf(DustOverlay::distance(findAt({}, 1), {0, 0})));
}

TEST(DustGeometry, FindsAreKeyedAndSizedByTheirFirstMappedSpot) {
  DustScan s;
  const Uuid hairGroup = Uuid::random();
  const Spot speck = spotAt(0.25, 0.5, 0.005);
  const std::vector<std::vector<Spot>> candidates{
      {speck},
      {spotAt(1e300, 0.5, 0.5, hairGroup), spotAt(0.5, 0.5, 0.002, hairGroup),
       spotAt(0.51, 0.5, 0.004, hairGroup)},
      {spotAt(std::nan(""), 0.5, 0.01)},
      {spotAt(0.75, 0.5, 1e300)},
      {}};
  const auto finds = DustOverlay::finds(candidates, s.model.mappingFrame(), size);
  ASSERT_EQ(finds.size(), 2u);
  EXPECT_EQ(finds[0].key, speck.id);
  EXPECT_EQ(finds[0].points, std::vector<QPointF>{QPointF(500, 500)});
  EXPECT_DOUBLE_EQ(finds[0].radius, 10);
  EXPECT_EQ(finds[1].key, hairGroup);
  EXPECT_EQ(finds[1].points, (std::vector<QPointF>{{1000, 500}, {1020, 500}}));
  EXPECT_DOUBLE_EQ(finds[1].radius, 4);
  EXPECT_TRUE(DustOverlay::finds(candidates, std::nullopt, size).empty());
}

TEST(DustGestures, ClicksSwitchTheFindUnderThemAndHoverFollows) {
  DustScan s;
  const Spot a = spotAt(0.25, 0.5, 0.005);
  const Spot b = spotAt(0.75, 0.5, 0.005);
  s.model.setDustCandidates({{a}, {b}});
  dragOn(s.overlay, size, {1505, 500}, {}, {1505, 500});
  EXPECT_EQ(s.model.keptDust(), std::set<Uuid>{b.id});
  dragOn(s.overlay, size, {1505, 500}, {}, {1505, 500});
  EXPECT_TRUE(s.model.keptDust().empty());
  // A miss and a drag change nothing.
  dragOn(s.overlay, size, {1000, 500}, {}, {1000, 500});
  dragOn(s.overlay, size, {500, 500}, {{520, 500}}, {540, 500});
  EXPECT_TRUE(s.model.keptDust().empty());

  s.overlay.hover(pointerAt({510, 505}, size, 1, Qt::NoModifier, Qt::NoButton));
  EXPECT_EQ(s.overlay.hovered(), a.id);
  s.overlay.hover(pointerAt({1000, 505}, size, 1, Qt::NoModifier, Qt::NoButton));
  EXPECT_EQ(s.overlay.hovered(), std::nullopt);
  s.overlay.hover(pointerAt({1500, 500}, size, 1, Qt::NoModifier, Qt::NoButton));
  s.overlay.hoverEnd();
  EXPECT_EQ(s.overlay.hovered(), std::nullopt);

  // Without the mapping nothing is drawn or picked.
  s.unmapped();
  dragOn(s.overlay, size, {500, 500}, {}, {500, 500});
  EXPECT_TRUE(s.model.keptDust().empty());
  EXPECT_EQ(qAlpha(painted(s.overlay, size).pixel(500, 500)), 0);
}

TEST(DustPaint, HalosRimsAndColours) {
  DustScan s;
  // A smaller overlay, so the painted images stay small at zoom 4: a radius of r spans 500 r.
  const QSizeF size(500, 250);
  Spot faint = spotAt(0.75, 0.5, 0.02);
  faint.score = 0.2;
  const Spot speck = spotAt(0.25, 0.5, 0.02);  // radius 10 points: a disc 32 across
  s.model.setDustCandidates({{speck}, {faint}});
  const auto alphaAt = [](const QImage& image, double x, double y) {
    return image.pixelColor(QPointF(x, y).toPoint()).alphaF();
  };
  // The rim: what lies beyond the halo's edge, `from` overlay points from the centre, along a
  // row of screen pixels across it (down when `down`), summed.
  const auto rimWidth = [](const QImage& image, QPointF centre, double from, double zoom,
                           bool down = false) {
    const int x = int(std::floor(centre.x() * zoom + (down ? 0 : from * zoom)));
    const int y = int(std::floor(centre.y() * zoom + (down ? from * zoom : 0)));
    double sum = 0;
    for (int i = 0; i < 6; ++i) {
      sum += image.pixelColor(down ? QPoint(x, y + i) : QPoint(x + i, y)).alphaF();
    }
    return sum;
  };
  for (double zoom : {1.0, 4.0}) {
    QImage image = painted(s.overlay, size, zoom);
    EXPECT_NEAR(alphaAt(image, 125 * zoom, 125 * zoom), 0.15, 0.01) << zoom;
    EXPECT_NEAR(rimWidth(image, {125, 125}, DustOverlay::haloWidth(10, zoom) / 2, zoom), 0.75, 0.1)
        << zoom;
    const QColor red = image.pixelColor(QPoint(125 * zoom, 125 * zoom));
    EXPECT_GT(red.red(), 240);
    EXPECT_LT(red.green(), 10);
  }
  s.overlay.hover(pointerAt({125, 125}, size, 1, Qt::NoModifier, Qt::NoButton));
  QImage image = painted(s.overlay, size);
  EXPECT_NEAR(alphaAt(image, 125, 125), 0.35, 0.01);
  EXPECT_NEAR(alphaAt(image, 375, 125), 0.15, 0.01);

  // Kept: grey, or orange when faint, with a fainter rim.
  s.model.setKeptDust({speck.id, faint.id});
  s.overlay.hoverEnd();
  image = painted(s.overlay, size);
  const QColor grey = image.pixelColor(125, 125);
  EXPECT_EQ(grey.red(), grey.blue());
  const QColor orange = image.pixelColor(375, 125);
  EXPECT_GT(orange.red(), 240);
  EXPECT_GT(orange.green(), 100);
  EXPECT_LT(orange.blue(), 10);
  EXPECT_NEAR(rimWidth(image, {125, 125}, 16, 1), 0.75 * 0.6, 0.08);

  // A hair is a band with a rim, erased inside the rim only.
  const Uuid group = Uuid::random();
  s.model.setDustCandidates({{spotAt(0.5, 0.2, 0.008, group), spotAt(0.55, 0.2, 0.008, group)}});
  image = painted(s.overlay, size);
  EXPECT_NEAR(alphaAt(image, 262, 50), 0.15, 0.01);
  EXPECT_NEAR(rimWidth(image, {262, 50}, DustOverlay::haloWidth(4, 1) / 2, 1, true), 0.75, 0.1);
}

TEST(DustHost, AClickAtZoomTwoWithAPanSwitchesTheFindUnderIt) {
  HostedScan s;
  const Spot a = spotAt(0.5, 0.5, 0.002);
  const Spot b = spotAt(0.52, 0.5, 0.002);
  s.model.setDustCandidates({{a}, {b}});
  s.model.setZoom(2);
  s.model.setPan({-60, 25});
  ASSERT_NE(dynamic_cast<DustOverlay*>(s.host->toolOverlay()), nullptr);
  const QSizeF fitted = s.host->fittedSize();
  s.mouse(QEvent::MouseMove, QPointF(0.52 * fitted.width() - 3, 0.5 * fitted.height()),
          Qt::NoModifier);
  EXPECT_EQ(dynamic_cast<DustOverlay*>(s.host->toolOverlay())->hovered(), b.id);
  s.click(QPointF(0.52 * fitted.width() - 3, 0.5 * fitted.height()));
  EXPECT_EQ(s.model.keptDust(), std::set<Uuid>{b.id});
}
