// The crop overlay's geometry over overlay points: what a press grabs, how moves and resizes
// (free and ratio-bound) stay inside the picture, the rotation angle and its label, cursors.
#include "Preview/CropOverlay.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include <clocale>
#include <cmath>
#include <limits>

#include "Model/AppModel.h"
#include "Preview/PreviewCalls.h"
#include "Preview/ZoomablePreview.h"
#include "Rendering/PreviewImage.h"
#include "Testing/TestServices.h"

namespace {

using Grab = CropOverlay::Grab;
constexpr double W = 1200;
constexpr double H = 800;

void expectRect(const QRectF& got, const QRectF& want) {
  EXPECT_NEAR(got.x(), want.x(), 1e-9);
  EXPECT_NEAR(got.y(), want.y(), 1e-9);
  EXPECT_NEAR(got.width(), want.width(), 1e-9);
  EXPECT_NEAR(got.height(), want.height(), 1e-9);
}

TEST(CropOverlayGeometry, HitTestPrefersCornersThenEdgesWithinTheBand) {
  const QRectF r(100, 100, 400, 300);
  struct Case {
    QPointF at;
    std::optional<Grab> want;
  };
  const std::vector<Case> cases = {
      {{89, 250}, Grab::w},          // 11 pt left of the left edge
      {{87, 250}, std::nullopt},     // 13 pt: outside the band
      {{100, 100}, Grab::nw},        {{500, 100}, Grab::ne},
      {{100, 400}, Grab::sw},        {{500, 400}, Grab::se},
      {{511.9, 250}, Grab::e},       {{512, 250}, std::nullopt},
      {{300, 89}, Grab::n},          {{300, 411}, Grab::s},
      {{300, 250}, Grab::move},      {{300, 600}, std::nullopt},
      {{89, 420}, std::nullopt},     // left near, but below the band's end (strict)
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CropOverlay::hitTest(c.at, r), c.want) << c.at.x() << "," << c.at.y();
  }
  // So small that opposite edges are both near: top wins over bottom, left over right.
  EXPECT_EQ(CropOverlay::hitTest({105, 105}, QRectF(100, 100, 10, 10)), Grab::nw);
}

TEST(CropOverlayGeometry, HandlesAndTheRotateHandleStayInside) {
  const auto points = CropOverlay::handlePoints(QRectF(100, 50, 400, 300));
  EXPECT_EQ(points[0], QPointF(100, 50));
  EXPECT_EQ(points[4], QPointF(500, 200));
  EXPECT_EQ(points[6], QPointF(300, 350));
  EXPECT_EQ(CropOverlay::rotateHandleCentre(QRectF(100, 50, 400, 300), W, H), QPointF(528, 256));
  EXPECT_EQ(CropOverlay::rotateHandleCentre(QRectF(0, 0, W, H), W, H), QPointF(W - 16, 456));
  EXPECT_EQ(CropOverlay::rotateHandleCentre(QRectF(0, 700, 100, 100), W, H), QPointF(128, H - 16));
  EXPECT_EQ(CropOverlay::rotateHandleCentre(QRectF(0, -200, 100, 100), W, H), QPointF(128, 16));
}

TEST(CropOverlayGeometry, FreeResizeAndMoveStayInsideWithTheMinimumSide) {
  const QRectF c(100, 100, 300, 200);
  struct Case {
    const char* name;
    Grab grab;
    QPointF by;
    QRectF want;
  };
  const std::vector<Case> cases = {
      {"left edge far right stops 24 before the right", Grab::w, {1000, 0}, {376, 100, 24, 200}},
      {"left edge far left stops at 0", Grab::w, {-1000, 0}, {0, 100, 400, 200}},
      {"corner both ways", Grab::se, {50, -30}, {100, 100, 350, 170}},
      {"bottom stops at the picture", Grab::s, {0, 5000}, {100, 100, 300, 700}},
      {"move stops at the left edge, same size", Grab::move, {-500, 0}, {0, 100, 300, 200}},
      {"move stops at the right and bottom", Grab::move, {2000, 2000}, {900, 600, 300, 200}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    expectRect(CropOverlay::draggedRect(k.grab, c, k.by, W, H, std::nullopt), k.want);
  }
}

TEST(CropOverlayGeometry, RatioBoundResizeKeepsTheShapeOfTheStart) {
  struct Case {
    const char* name;
    Grab grab;
    QRectF start;
    QPointF by;
    double ratio;
    QRectF want;
  };
  const std::vector<Case> cases = {
      {"top up 30: 45 wider, centred, bottom fixed", Grab::n, {300, 300, 300, 200}, {0, -30}, 1.5,
       {277.5, 270, 345, 230}},
      {"portrait stays 2:3", Grab::e, {300, 200, 200, 300}, {30, 0}, 1.5, {300, 177.5, 230, 345}},
      {"square becomes 5:4 landscape", Grab::e, {100, 100, 200, 200}, {0, 0}, 1.25,
       {100, 120, 200, 160}},
      {"corner wider than the ratio: width follows height", Grab::se, {100, 100, 300, 200},
       {100, 0}, 1.5, {100, 100, 300, 200}},
      {"corner taller than the ratio: height follows width", Grab::se, {100, 100, 300, 200},
       {150, 100}, 1.5, {100, 100, 450, 300}},
      {"leaving the picture shrinks, bottom-right of the box kept", Grab::n, {50, 100, 300, 200},
       {0, -100}, 1.5, {0, 300 - 850.0 / 3, 425, 850.0 / 3}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const QRectF got = CropOverlay::draggedRect(k.grab, k.start, k.by, W, H, k.ratio);
    expectRect(got, k.want);
    const double longSide = std::max(got.width(), got.height());
    EXPECT_NEAR(longSide / std::min(got.width(), got.height()), k.ratio, 1e-9);
  }
}

TEST(CropOverlayGeometry, RotationAboutTheMiddleWrapsAndStopsAt45) {
  const QPointF start(900, 400);  // right of the middle (600, 400)
  struct Case {
    QPointF to;
    double from;
    double want;
  };
  const std::vector<Case> cases = {
      {{900, 450}, 0, 9.462322208025617},  // downwards: clockwise, positive
      {{900, 350}, 2, 2 - 9.462322208025617},
      {{600, 700}, 0, 45},   // 90° clamps to 45
      {{300, 401}, 0, 45},   // just short of the opposite point
      {{300, 399}, 0, -45},  // just past it: d jumps from +180 to −180
      {{900, 400}, -50, -45},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(CropOverlay::rotatedAngle(start, c.to, W, H, c.from), c.want, 1e-9)
        << c.to.x() << "," << c.to.y();
  }
}

TEST(CropOverlayGeometry, LabelsAndCursors) {
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // a decimal comma must not leak in
  EXPECT_EQ(CropOverlay::angleLabel(0), QString::fromUtf8("+0.00°"));
  EXPECT_EQ(CropOverlay::angleLabel(-12.5), QString::fromUtf8("-12.50°"));
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(CropOverlay::cursor(Grab::ne), Qt::CrossCursor);
  EXPECT_EQ(CropOverlay::cursor(Grab::w), Qt::SizeHorCursor);
  EXPECT_EQ(CropOverlay::cursor(Grab::s), Qt::SizeVerCursor);
  EXPECT_EQ(CropOverlay::cursor(Grab::move), Qt::OpenHandCursor);
  EXPECT_EQ(CropOverlay::cursor(Grab::rotate), Qt::PointingHandCursor);
  EXPECT_EQ(CropOverlay::cursor(std::nullopt), Qt::PointingHandCursor);
}

struct Calls {
  std::vector<NormRect> commits;
  std::vector<double> angles;
  int rotateEnds = 0;
};

CropOverlay overlayOver(NormRect rect, Calls& calls, std::optional<double> ratio = std::nullopt) {
  CropOverlay overlay;
  overlay.rect = rect;
  overlay.ratio = ratio;
  overlay.width = W;
  overlay.height = H;
  overlay.onCommit = [&calls](const NormRect& r) { calls.commits.push_back(r); };
  overlay.onRotate = [&calls](double a) { calls.angles.push_back(a); };
  overlay.onRotateEnd = [&calls] { ++calls.rotateEnds; };
  return overlay;
}

TEST(CropOverlayDrag, AMoveCommitsOnceAtTheEndFromTheCommittedRectangle) {
  Calls calls;
  CropOverlay overlay = overlayOver({0.25, 0.25, 0.5, 0.5}, calls);
  overlay.dragChanged({600, 400}, {612, 400});
  overlay.dragChanged({600, 400}, {660, 440});  // the total translation, not the step
  ASSERT_TRUE(overlay.draft().has_value());
  EXPECT_NEAR(overlay.draft()->x, 0.3, 1e-12);
  EXPECT_NEAR(overlay.draft()->y, 0.3, 1e-12);
  EXPECT_TRUE(calls.commits.empty());
  overlay.dragEnded();
  ASSERT_EQ(calls.commits.size(), 1u);
  EXPECT_NEAR(calls.commits[0].w, 0.5, 1e-12);
  EXPECT_FALSE(overlay.draft().has_value());
  EXPECT_FALSE(overlay.grab().has_value());
  EXPECT_EQ(calls.rotateEnds, 0);
  // A press that never moved commits nothing.
  overlay.dragEnded();
  EXPECT_EQ(calls.commits.size(), 1u);
}

TEST(CropOverlayDrag, TheRotateHandleAndTheOutsideRotateWithoutCommitting) {
  struct Case {
    const char* name;
    NormRect rect;
    QPointF start;
  };
  // The handle of a full-frame crop sits inside the right edge's band: the handle wins.
  const std::vector<Case> cases = {
      {"on the handle over the band", NormRect::full, {1184, 456}},
      {"outside the band", {0.25, 0.25, 0.5, 0.5}, {100, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Calls calls;
    CropOverlay overlay = overlayOver(c.rect, calls);
    overlay.currentAngle = 3;
    overlay.dragChanged(c.start, c.start + QPointF(0, 5));
    overlay.currentAngle = calls.angles.back();  // the preview passes the angle back
    overlay.dragChanged(c.start, c.start + QPointF(0, 10));
    EXPECT_EQ(overlay.grab(), CropOverlay::Grab::rotate);
    ASSERT_EQ(calls.angles.size(), 2u);
    // Both steps start from the angle at the drag's start, not from the last one shown.
    EXPECT_EQ(calls.angles[1] - 3,
              CropOverlay::rotatedAngle(c.start, c.start + QPointF(0, 10), W, H, 0));
    overlay.dragEnded();
    EXPECT_EQ(calls.rotateEnds, 1);
    EXPECT_TRUE(calls.commits.empty());
  }
}

TEST(CropOverlayDrag, DamagedCropsAndEmptyOverlaysNeverGiveNonFiniteRectangles) {
  Calls calls;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  CropOverlay overlay = overlayOver({nan, 0.5, 1e300, -2}, calls);
  const QRectF shown = overlay.shownRect();
  for (double v : {shown.x(), shown.y(), shown.width(), shown.height()}) EXPECT_TRUE(std::isfinite(v));
  EXPECT_TRUE(QRectF(0, 0, W, H).contains(shown));
  overlay.dragChanged({600, 400}, {700, 400});
  overlay.dragEnded();
  for (const NormRect& r : calls.commits) {
    for (double v : {r.x, r.y, r.w, r.h}) EXPECT_TRUE(std::isfinite(v));
  }
  Calls none;
  CropOverlay empty = overlayOver(NormRect::full, none);
  empty.width = 0;
  empty.dragChanged({0, 0}, {10, 10});
  empty.dragEnded();
  EXPECT_TRUE(none.commits.empty());
  EXPECT_TRUE(none.angles.empty());
}

TEST(CropOverlayDrag, HoverCursorsFollowTheShownRectangle) {
  Calls calls;
  const CropOverlay overlay = overlayOver({0.25, 0.25, 0.5, 0.5}, calls);
  EXPECT_EQ(overlay.hoverCursor(QPointF(300, 200)), Qt::CrossCursor);
  EXPECT_EQ(overlay.hoverCursor(QPointF(300, 400)), Qt::SizeHorCursor);
  EXPECT_EQ(overlay.hoverCursor(QPointF(600, 400)), Qt::OpenHandCursor);
  EXPECT_EQ(overlay.hoverCursor(QPointF(50, 50)), Qt::PointingHandCursor);
  EXPECT_EQ(overlay.hoverCursor(QPointF(928, 456)), Qt::PointingHandCursor);  // rotate handle
  EXPECT_EQ(overlay.hoverCursor(std::nullopt), Qt::ArrowCursor);
}

// The host in crop mode over an uncropped 300 × 200 preview of one selected scan, with the
// model's own calls counted.
struct CropSession {
  CropSession() {
    ImageItem item;
    item.url = "/scans/a.tif";
    item.settings.crop = NormRect{0.25, 0.25, 0.5, 0.5};
    model.setSelection(item.id);
    model.setItems({item});
    auto image = std::make_shared<PreviewImage>();
    image->screen = QImage(300, 200, QImage::Format_RGB888);
    image->screen.fill(Qt::gray);
    model.setPreview(image);
    calls = PreviewCalls::of(model);
    const PreviewCalls real = calls;
    calls.setCropRect = [this, real](double x, double y, double w, double h) {
      ++commits;
      real.setCropRect(x, y, w, h);
    };
    calls.setStraightenAngle = [this, real](double a) {
      ++angleSteps;
      real.setStraightenAngle(a);
    };
    calls.endLiveRotation = [this, real] {
      ++rotateEnds;
      real.endLiveRotation();
    };
    host = std::make_unique<ZoomablePreview>(model, calls);
    host->resize(800, 600);
    host->show();
    model.setCropMode(true);
    model.setPreviewIsUncropped(true);
  }
  // The widget point of an overlay point.
  QPointF at(double x, double y) const { return host->widgetPoint(QPointF(x, y)); }
  void mouse(QEvent::Type type, QPointF where, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, where, host->mapToGlobal(where), button, held, Qt::NoModifier);
    QApplication::sendEvent(host.get(), &event);
  }
  void drag(QPointF from, const std::vector<QPointF>& through) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (const QPointF& p : through) mouse(QEvent::MouseMove, p, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, through.empty() ? from : through.back(), Qt::NoButton);
  }
  const ConversionSettings& settings() const { return model.items().front().settings; }

  TestServices services;
  AppModel model{services.services()};
  PreviewCalls calls;
  std::unique_ptr<ZoomablePreview> host;
  int commits = 0;
  int angleSteps = 0;
  int rotateEnds = 0;
};

TEST(CropOverlayInTheHost, AMoveCommitsOnceOnReleaseAsOneUndoStepAtAnyZoom) {
  for (double zoom : {1.0, 2.0}) {
    SCOPED_TRACE(zoom);
    CropSession s;
    ASSERT_EQ(s.host->overlayKind(), OverlayKind::crop);
    s.model.setZoom(zoom);
    const QSizeF fitted = s.host->fittedSize();
    const QPointF middle(fitted.width() / 2, fitted.height() / 2);
    const QPointF by(fitted.width() * 0.1, fitted.height() * 0.05);
    s.drag(s.at(middle.x(), middle.y()),
           {s.at(middle.x() + by.x() / 2, middle.y()), s.at(middle.x() + by.x(), middle.y() + by.y())});
    EXPECT_EQ(s.commits, 1);
    EXPECT_EQ(s.angleSteps, 0);
    ASSERT_TRUE(s.settings().crop.has_value());
    EXPECT_NEAR(s.settings().crop->x, 0.35, 1e-6);
    EXPECT_NEAR(s.settings().crop->y, 0.30, 1e-6);
    EXPECT_EQ(s.model.plain().undoStack.size(), 1u);
    // A press without movement commits nothing.
    s.drag(s.at(middle.x(), middle.y()), {});
    EXPECT_EQ(s.commits, 1);
  }
}

TEST(CropOverlayInTheHost, ARotationStepsLiveAndCommitsOnceAtTheEnd) {
  CropSession s;
  const QSizeF fitted = s.host->fittedSize();
  // Outside the crop's band: the drag straightens.
  const QPointF start(fitted.width() * 0.95, fitted.height() / 2);
  s.drag(s.at(start.x(), start.y()), {s.at(start.x(), start.y() + 10), s.at(start.x(), start.y() + 20)});
  EXPECT_EQ(s.angleSteps, 2);
  EXPECT_EQ(s.rotateEnds, 1);
  EXPECT_EQ(s.commits, 0);
  EXPECT_GT(s.settings().skewDegrees, 0);  // clockwise from right of the middle
  EXPECT_EQ(s.settings().crop->x, 0.25);  // a rotation never moves the crop
}

TEST(CropOverlayInTheHost, CursorsOverCornerEdgeInsideAndOutside) {
  CropSession s;
  const QSizeF f = s.host->fittedSize();
  struct Case {
    QPointF point;
    Qt::CursorShape want;
  };
  const std::vector<Case> cases = {
      {{f.width() * 0.25, f.height() * 0.25}, Qt::CrossCursor},
      {{f.width() * 0.25, f.height() * 0.5}, Qt::SizeHorCursor},
      {{f.width() * 0.5, f.height() * 0.75}, Qt::SizeVerCursor},
      {{f.width() * 0.5, f.height() * 0.5}, Qt::OpenHandCursor},
      {{f.width() * 0.05, f.height() * 0.05}, Qt::PointingHandCursor},
  };
  for (const Case& c : cases) {
    s.mouse(QEvent::MouseMove, s.at(c.point.x(), c.point.y()), Qt::NoButton);
    EXPECT_EQ(s.host->cursor().shape(), c.want) << c.point.x() << "," << c.point.y();
  }
}

}  // namespace
