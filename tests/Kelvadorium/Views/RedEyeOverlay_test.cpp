// The red-eye overlay: marks placed through the mapping, the removal hit and the size of a
// dragged mark, gestures through the overlay interface on a 2000 × 1000 overlay (a preview point
// is the image point and the long edge spans the preview's width), the painted size circle, and
// option-clicks through the picture host at zoom 2 with a pan.
#include "Preview/RedEyeOverlay.h"

#include <gtest/gtest.h>

#include <cmath>

#include "MarkedScan.h"

namespace {

const QSizeF size(2000, 1000);

RedEyeOverlay::Mark markAt(QPointF centre, double radius) {
  return RedEyeOverlay::Mark{Uuid::random(), centre, radius};
}

struct RedEyeScan : MarkedScan {
  RedEyeScan() { model.setRedEyeSize(0.012); }
  void marks(std::vector<RedEye> all) {
    ConversionSettings settings = record();
    settings.redEyes = std::move(all);
    store(settings);
  }
  RedEyeOverlay overlay{model};
};

}  // namespace

TEST(RedEyeGeometry, RemovalHitsTheTopmostMarkWithinItsReach) {
  struct Case {
    const char* name;
    std::vector<RedEyeOverlay::Mark> marks;
    QPointF s;
    std::optional<size_t> hit;
  };
  const auto small = markAt({100, 100}, 5);
  const auto large = markAt({100, 100}, 20);
  for (const Case& c : std::vector<Case>{
           {"7 from a mark of radius 5", {small}, {107, 100}, 0},
           {"8 from it, inclusive", {small}, {100, 108}, 0},
           {"9 from it", {small}, {109, 100}, std::nullopt},
           {"19 from a mark of radius 20", {large}, {100, 119}, 0},
           {"21 from it", {large}, {121, 100}, std::nullopt},
           {"overlapping: the later", {large, markAt({105, 100}, 20)}, {102, 100}, 1},
           {"none", {}, {0, 0}, std::nullopt},
       }) {
    EXPECT_EQ(RedEyeOverlay::removalHit(c.marks, c.s), c.hit) << c.name;
  }
}

TEST(RedEyeGeometry, ADraggedMarkIsSizedByItsLengthWithinLimits) {
  struct Case {
    double length;
    double longEdge;
    double size;
  };
  for (const Case& c : std::vector<Case>{
           {0, 1, 0.012},
           {3, 1, 0.012},
           {3.5, 1, 0.002},  // 0.00175 is raised
           {4, 1, 0.002},    // exactly the smallest
           {50, 1, 0.025},
           {50, 0.5, 0.05},
           {160, 1, 0.08},
           {161, 1, 0.08},
           {5000, 1, 0.08},
           {50, 0, 0.012},  // no long edge to measure by
       }) {
    EXPECT_DOUBLE_EQ(RedEyeOverlay::addedSize(c.length, 2000, c.longEdge, 0.012), c.size)
        << c.length << " " << c.longEdge;
  }
}

TEST(RedEyeGeometry, MarksThatDoNotMapOrLieFarAwayAreLeftOut) {
  RedEyeScan s;
  s.marks({RedEye{Uuid::random(), 0.25, 0.5, 0.01}, RedEye{Uuid::random(), 1e300, 0.5, 0.01},
           RedEye{Uuid::random(), 0.5, 0.5, 1e300}, RedEye{Uuid::random(), 0.75, 0.25, 0.02}});
  const auto marks = RedEyeOverlay::marks(s.record().redEyes, s.model.mappingFrame(), size);
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0].centre, QPointF(500, 500));
  EXPECT_DOUBLE_EQ(marks[0].radius, 20);
  EXPECT_EQ(marks[1].centre, QPointF(1500, 250));
  EXPECT_DOUBLE_EQ(marks[1].radius, 40);
  EXPECT_TRUE(RedEyeOverlay::marks(s.record().redEyes, std::nullopt, size).empty());
}

TEST(RedEyeGestures, ClicksAndDragsAddMarksWhereTheyStart) {
  struct Case {
    QPointF d;
    double r;
  };
  for (const Case& c : std::vector<Case>{{{0, 0}, 0.012},
                                         {{3, 0}, 0.012},
                                         {{0, 3.5}, 0.002},
                                         {{30, 40}, 0.025},
                                         {{900, 0}, 0.08}}) {
    RedEyeScan s;
    const QPointF from(600, 300);
    dragOn(s.overlay, size, from, {from + c.d / 2}, from + c.d);
    const auto marks = s.record().redEyes;
    ASSERT_EQ(marks.size(), 1u) << c.d.x();
    EXPECT_DOUBLE_EQ(marks[0].x, 0.3);
    EXPECT_DOUBLE_EQ(marks[0].y, 0.3);
    EXPECT_DOUBLE_EQ(marks[0].r, c.r) << c.d.x() << "," << c.d.y();
    EXPECT_DOUBLE_EQ(s.model.redEyeSize(), 0.012);
  }
}

TEST(RedEyeGestures, OptionClicksRemoveTheTopmostMarkAndAddNothing) {
  RedEyeScan s;
  const RedEye under{Uuid::random(), 0.5, 0.5, 0.01};
  const RedEye over{Uuid::random(), 0.502, 0.5, 0.01};
  s.marks({under, over});
  // An option-drag removes under its start, whatever its length.
  dragOn(s.overlay, size, {1002, 500}, {{1200, 600}}, {1300, 700}, Qt::AltModifier,
         Qt::AltModifier);
  ASSERT_EQ(s.record().redEyes, std::vector<RedEye>{under});
  dragOn(s.overlay, size, {1002, 500}, {}, {1002, 500}, Qt::NoModifier, Qt::ControlModifier);
  EXPECT_TRUE(s.record().redEyes.empty());
  // A miss removes nothing and adds nothing.
  dragOn(s.overlay, size, {1002, 500}, {}, {1002, 500}, Qt::AltModifier, Qt::AltModifier);
  EXPECT_TRUE(s.record().redEyes.empty());
}

TEST(RedEyeGestures, NothingIsAddedOrRemovedWithoutTheMapping) {
  RedEyeScan s;
  s.marks({RedEye{Uuid::random(), 0.5, 0.5, 0.01}});
  s.unmapped();
  const ConversionSettings before = s.record();
  dragOn(s.overlay, size, {1000, 500}, {}, {1000, 500}, Qt::AltModifier, Qt::AltModifier);
  dragOn(s.overlay, size, {300, 300}, {}, {300, 300});
  EXPECT_EQ(s.record(), before);
  EXPECT_EQ(qAlpha(painted(s.overlay, size).pixel(1020, 500)), 0);
}

TEST(RedEyePaint, TheSizeCircleShowsBeyondThreePointsAroundTheStart) {
  RedEyeScan s;
  const QSizeF small(400, 200);
  s.overlay.press(pointerAt({100, 100}, small));
  s.overlay.move(pointerAt({103, 100}, small));
  // Within 3 points the brush circle follows the pointer: radius 400 · 0.012 = 4.8.
  QImage image = painted(s.overlay, small);
  EXPECT_GT(qAlpha(image.pixel(103, 95)), 0);
  s.overlay.move(pointerAt({130, 100}, small));
  image = painted(s.overlay, small);
  // Now a dashed circle of radius 30 about the start, and no brush at the pointer.
  int lit = 0;
  constexpr int samples = 120;
  for (int i = 0; i < samples; ++i) {
    const double angle = 2 * M_PI * i / samples;
    const QPoint p = (QPointF(100, 100) + 30 * QPointF(std::cos(angle), std::sin(angle))).toPoint();
    lit += qAlpha(image.pixel(p)) > 0;
  }
  EXPECT_GT(lit, samples / 4);
  EXPECT_LT(lit, samples * 7 / 8);
  EXPECT_EQ(qAlpha(image.pixel(125, 100)), 0);
  EXPECT_EQ(qAlpha(image.pixel(130, 95)), 0);
  EXPECT_EQ(qAlpha(image.pixel(100, 100)), 0);
  s.overlay.release(pointerAt({130, 100}, small, 1, Qt::AltModifier, Qt::NoButton));
}

TEST(RedEyeHost, OptionClicksAtZoomTwoWithAPanLandOnTheRightMark) {
  for (Qt::KeyboardModifier key : {Qt::AltModifier, Qt::ControlModifier}) {
    HostedScan s;
    const RedEye left{Uuid::random(), 0.4, 0.5, 0.005};
    const RedEye right{Uuid::random(), 0.42, 0.5, 0.005};
    ConversionSettings settings = s.record();
    settings.redEyes = {left, right};
    s.store(settings);
    s.model.setRedEyeMode(true);
    s.model.setZoom(2);
    s.model.setPan({80, -40});
    ASSERT_NE(dynamic_cast<RedEyeOverlay*>(s.host->toolOverlay()), nullptr);
    const QSizeF fitted = s.host->fittedSize();
    s.click(QPointF(0.42 * fitted.width() + 3, 0.5 * fitted.height()), key);
    EXPECT_EQ(s.record().redEyes, std::vector<RedEye>{left});
    s.click(QPointF(0.7 * fitted.width(), 0.2 * fitted.height()));
    ASSERT_EQ(s.record().redEyes.size(), 2u);
    EXPECT_NEAR(s.record().redEyes[1].x, 0.7, 1e-9);
    EXPECT_NEAR(s.record().redEyes[1].y, 0.2, 1e-9);
  }
}
