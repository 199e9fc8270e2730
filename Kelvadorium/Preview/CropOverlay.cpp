#include "Preview/CropOverlay.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "ViewKit/MonospacedDigits.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace {

constexpr double band = 12;     // grab distance of an edge
constexpr double minSide = 24;  // a dragged edge keeps this far from the opposite one

bool isLeft(CropOverlay::Grab g) {
  using G = CropOverlay::Grab;
  return g == G::w || g == G::nw || g == G::sw;
}
bool isRight(CropOverlay::Grab g) {
  using G = CropOverlay::Grab;
  return g == G::e || g == G::ne || g == G::se;
}
bool isTop(CropOverlay::Grab g) {
  using G = CropOverlay::Grab;
  return g == G::n || g == G::nw || g == G::ne;
}
bool isBottom(CropOverlay::Grab g) {
  using G = CropOverlay::Grab;
  return g == G::s || g == G::sw || g == G::se;
}

// Where the box of a ratio-bound resize goes: against the start rectangle, on the side the grab
// leaves fixed.
QPointF placeAgainst(CropOverlay::Grab grab, const QRectF& c, double w, double h) {
  using G = CropOverlay::Grab;
  switch (grab) {
    case G::n:
      return {c.center().x() - w / 2, c.bottom() - h};
    case G::s:
      return {c.center().x() - w / 2, c.top()};
    case G::e:
      return {c.left(), c.center().y() - h / 2};
    case G::w:
      return {c.right() - w, c.center().y() - h / 2};
    case G::ne:
      return {c.left(), c.bottom() - h};
    case G::nw:
      return {c.right() - w, c.bottom() - h};
    case G::se:
      return {c.left(), c.top()};
    case G::sw:
      return {c.right() - w, c.top()};
    case G::move:
    case G::rotate:
      break;
  }
  return c.topLeft();
}

// The uniformly shrunk box's anchor inside the unshrunk box F.
QPointF shrinkAnchor(CropOverlay::Grab grab, const QRectF& f, double w, double h) {
  using G = CropOverlay::Grab;
  switch (grab) {
    case G::n:
    case G::w:
    case G::nw:
      return {f.right() - w, f.bottom() - h};
    case G::ne:
      return {f.left(), f.bottom() - h};
    case G::sw:
      return {f.right() - w, f.top()};
    default:
      return f.topLeft();
  }
}

}  // namespace

std::array<QPointF, 8> CropOverlay::handlePoints(const QRectF& r) {
  const double midX = r.center().x();
  const double midY = r.center().y();
  return {QPointF(r.left(), r.top()), QPointF(midX, r.top()),        QPointF(r.right(), r.top()),
          QPointF(r.left(), midY),    QPointF(r.right(), midY),      QPointF(r.left(), r.bottom()),
          QPointF(midX, r.bottom()),  QPointF(r.right(), r.bottom())};
}

std::optional<CropOverlay::Grab> CropOverlay::hitTest(QPointF p, const QRectF& r) {
  const bool left = std::abs(p.x() - r.left()) < band;
  const bool right = std::abs(p.x() - r.right()) < band;
  const bool top = std::abs(p.y() - r.top()) < band;
  const bool bottom = std::abs(p.y() - r.bottom()) < band;
  const bool inX = r.left() - band < p.x() && p.x() < r.right() + band;
  const bool inY = r.top() - band < p.y() && p.y() < r.bottom() + band;
  if (top && left) return Grab::nw;
  if (top && right) return Grab::ne;
  if (bottom && left) return Grab::sw;
  if (bottom && right) return Grab::se;
  if (left && inY) return Grab::w;
  if (right && inY) return Grab::e;
  if (top && inX) return Grab::n;
  if (bottom && inX) return Grab::s;
  if (r.contains(p)) return Grab::move;
  return std::nullopt;
}

QPointF CropOverlay::rotateHandleCentre(const QRectF& r, double width, double height) {
  return {std::min(width - 16, r.right() + 28),
          std::min(height - 16, std::max(r.center().y() + 56, 16.0))};
}

QRectF CropOverlay::draggedRect(Grab grab, const QRectF& c, QPointF t, double width, double height,
                                std::optional<double> ratio) {
  if (grab == Grab::move) {
    const double x = std::min(std::max(c.left() + t.x(), 0.0), width - c.width());
    const double y = std::min(std::max(c.top() + t.y(), 0.0), height - c.height());
    return {x, y, c.width(), c.height()};
  }
  double l = c.left();
  double r = c.right();
  double top = c.top();
  double b = c.bottom();
  if (isLeft(grab)) l = std::min(std::max(l + t.x(), 0.0), r - minSide);
  if (isRight(grab)) r = std::max(std::min(r + t.x(), width), l + minSide);
  if (isTop(grab)) top = std::min(std::max(top + t.y(), 0.0), b - minSide);
  if (isBottom(grab)) b = std::max(std::min(b + t.y(), height), top + minSide);
  if (!ratio) return {l, top, r - l, b - top};

  // A square start counts as landscape.
  const double shape = c.height() > c.width() ? 1 / *ratio : *ratio;
  double w = r - l;
  double h = b - top;
  if (grab == Grab::n || grab == Grab::s) {
    w = h * shape;
  } else if (grab == Grab::e || grab == Grab::w) {
    h = w / shape;
  } else if (shape < w / h) {
    w = h * shape;
  } else {
    h = w / shape;
  }
  const QRectF f(placeAgainst(grab, c, w, h), QSizeF(w, h));
  const QRectF bounds(0, 0, width, height);
  if (f.left() >= 0 && f.top() >= 0 && f.right() <= width && f.bottom() <= height) return f;
  const QRectF inside = f.intersected(bounds);
  const double s = std::min(inside.width() / f.width(), inside.height() / f.height());
  const double w2 = f.width() * s;
  const double h2 = f.height() * s;
  QPointF at = shrinkAnchor(grab, f, w2, h2);
  at.setX(std::min(std::max(at.x(), 0.0), width - w2));
  at.setY(std::min(std::max(at.y(), 0.0), height - h2));
  return {at, QSizeF(w2, h2)};
}

double CropOverlay::rotatedAngle(QPointF start, QPointF location, double width, double height,
                                 double rotateStart) {
  const QPointF c(width / 2, height / 2);
  const double a0 = std::atan2(start.y() - c.y(), start.x() - c.x());
  const double a1 = std::atan2(location.y() - c.y(), location.x() - c.x());
  double d = (a1 - a0) * 180 / std::numbers::pi;
  if (d > 180) d -= 360;
  if (d < -180) d += 360;
  const double angle = rotateStart + d;
  if (angle <= -45) return -45;
  if (angle > 45) return 45;
  return angle;
}

Qt::CursorShape CropOverlay::cursor(std::optional<Grab> grab) {
  if (!grab) return Qt::PointingHandCursor;
  switch (*grab) {
    case Grab::nw:
    case Grab::ne:
    case Grab::sw:
    case Grab::se:
      return Qt::CrossCursor;
    case Grab::w:
    case Grab::e:
      return Qt::SizeHorCursor;
    case Grab::n:
    case Grab::s:
      return Qt::SizeVerCursor;
    case Grab::move:
      return Qt::OpenHandCursor;
    case Grab::rotate:
      break;
  }
  return Qt::PointingHandCursor;
}

QString CropOverlay::angleLabel(double degrees) {
  // QString::asprintf formats with the C locale whatever the process locale is.
  return QString::asprintf("%+.2f", degrees) + QChar(0x00B0);
}

QRectF CropOverlay::committedRect() const {
  // A hand-edited record may hold a crop that is not finite or leaves the frame: show and drag
  // what the frame allows.
  const NormRect r = rect.clamped(0.02);  // the smallest crop an edit stores
  return {r.x * width, r.y * height, r.w * width, r.h * height};
}

QRectF CropOverlay::shownRect() const {
  if (!draft_) return committedRect();
  return {draft_->x * width, draft_->y * height, draft_->w * width, draft_->h * height};
}

void CropOverlay::dragChanged(QPointF start, QPointF location) {
  if (!(width > 0) || !(height > 0)) return;
  const QRectF c = committedRect();
  if (!grab_) {
    const QPointF handle = rotateHandleCentre(c, width, height);
    if (std::hypot(start.x() - handle.x(), start.y() - handle.y()) < rotateHandleReach) {
      grab_ = Grab::rotate;
    } else {
      grab_ = hitTest(start, c).value_or(Grab::rotate);
    }
    rotateStart_ = currentAngle;
  }
  if (*grab_ == Grab::rotate) {
    if (onRotate) onRotate(rotatedAngle(start, location, width, height, rotateStart_));
    return;
  }
  const QRectF r = draggedRect(*grab_, c, location - start, width, height, ratio);
  draft_ = NormRect{r.x() / width, r.y() / height, r.width() / width, r.height() / height};
}

void CropOverlay::dragEnded() {
  if (grab_ == Grab::rotate && onRotateEnd) onRotateEnd();
  if (draft_ && onCommit) onCommit(*draft_);
  draft_.reset();
  grab_.reset();
}

Qt::CursorShape CropOverlay::hoverCursor(std::optional<QPointF> point) const {
  if (!point) return Qt::ArrowCursor;
  const QRectF s = shownRect();
  const QPointF handle = rotateHandleCentre(s, width, height);
  if (std::hypot(point->x() - handle.x(), point->y() - handle.y()) < rotateHandleReach) {
    return Qt::PointingHandCursor;
  }
  return cursor(hitTest(*point, s));
}

QString CropOverlay::toolTip(QPointF point) const {
  const QPointF handle = rotateHandleCentre(shownRect(), width, height);
  if (std::hypot(point.x() - handle.x(), point.y() - handle.y()) < rotateHandleReach) {
    return QStringLiteral("Drag to rotate freely");
  }
  return {};
}

void CropOverlay::takeSize(const OverlayFrame& frame) {
  width = frame.size.width();
  height = frame.size.height();
}

namespace {

bool finiteRect(const QRectF& r) {
  return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
         std::isfinite(r.height());
}

// A soft translucent halo standing in for a drop shadow.
void halo(QPainter& painter, const QPainterPath& shape, double radius) {
  painter.save();
  painter.setBrush(Qt::NoBrush);
  for (int ring = 1; ring <= 3; ++ring) {
    painter.setPen(QPen(QColor(0, 0, 0, 40), radius * ring / 1.5));
    painter.drawPath(shape);
  }
  painter.restore();
}

void gridLines(QPainter& painter, const QRectF& s, int parts, double opacity) {
  painter.setPen(QPen(QColor(255, 255, 255, static_cast<int>(opacity * 255)), 0.5));
  // One call for all of them: each call sets up the stroker afresh.
  std::vector<QLineF> lines;
  for (int k = 1; k < parts; ++k) {
    const double x = s.left() + s.width() * k / parts;
    const double y = s.top() + s.height() * k / parts;
    lines.emplace_back(QPointF(x, s.top()), QPointF(x, s.bottom()));
    lines.emplace_back(QPointF(s.left(), y), QPointF(s.right(), y));
  }
  painter.drawLines(lines.data(), static_cast<int>(lines.size()));
}

}  // namespace

void CropOverlay::paint(QPainter& painter, const OverlayFrame& frame) {
  takeSize(frame);
  if (!(width > 0) || !(height > 0)) return;
  const QRectF s = shownRect();
  if (!finiteRect(s)) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);

  QPainterPath shade;
  shade.setFillRule(Qt::OddEvenFill);
  shade.addRect(QRectF(0, 0, width, height));
  shade.addRect(s);
  painter.fillPath(shade, QColor(0, 0, 0, static_cast<int>(0.55 * 255)));

  // Thirds: lighter while idle, stronger while any drag runs.
  gridLines(painter, s, 3, grab_ ? 0.6 : 0.25);
  if (grab_ == Grab::rotate) {
    gridLines(painter, s, 8, 0.35);
    const QFont font = MonospacedDigits::font(FontRoles::font(FontRole::callout));
    const QString text = angleLabel(currentAngle);
    const QFontMetricsF metrics(font);
    const QSizeF box(metrics.horizontalAdvance(text) + 16, metrics.height() + 6);
    const QRectF capsule(QPointF(s.center().x() - box.width() / 2, s.top() + 18 - box.height() / 2),
                         box);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, static_cast<int>(0.6 * 255)));
    painter.drawRoundedRect(capsule, box.height() / 2, box.height() / 2);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(capsule, Qt::AlignCenter, text);
  }

  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::white, 1));
  painter.drawRect(s);

  // The handles are small pictures kept per scale and quarter-pixel position, so each frame
  // only blits them: stroking their halos anew cost more than the rest of the overlay.
  drawHandle(painter, rotateHandleCentre(s, width, height), Handle::rotate);
  for (const QPointF& p : handlePoints(s)) drawHandle(painter, p, Handle::square);
  painter.restore();
}

void CropOverlay::drawHandle(QPainter& painter, QPointF centre, Handle handle) {
  const QTransform toDevice = painter.deviceTransform();
  const double scale = std::hypot(toDevice.m11(), toDevice.m12());
  const QPointF at = toDevice.map(centre);
  if (!(scale > 0) || scale > 64 || !std::isfinite(at.x()) || !std::isfinite(at.y())) return;
  // Whole device pixels and the quarter of a pixel beyond them.
  int x = static_cast<int>(std::floor(at.x()));
  int y = static_cast<int>(std::floor(at.y()));
  int quarterX = static_cast<int>(std::lround((at.x() - x) * 4));
  int quarterY = static_cast<int>(std::lround((at.y() - y) * 4));
  if (quarterX == 4) ++x, quarterX = 0;
  if (quarterY == 4) ++y, quarterY = 0;
  const int scaleKey = static_cast<int>(std::lround(scale * 64));
  const HandleKey key{static_cast<int>(handle), scaleKey, quarterX * 4 + quarterY};
  auto found = handles_.find(key);
  if (found == handles_.end()) {
    if (handles_.size() >= 128) handles_.clear();  // zooming through many scales
    found =
        handles_.emplace(key, handlePicture(handle, scale, quarterX / 4.0, quarterY / 4.0)).first;
  }
  const QImage& picture = found->second;
  const int half = picture.width() / 2;
  const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  painter.save();
  // Device pixels: the picture lands whole, unscaled.
  painter.setTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
  painter.drawImage(QPoint(x - half, y - half), picture);
  painter.restore();
}

QImage CropOverlay::handlePicture(Handle handle, double scale, double offsetX, double offsetY) {
  // Room for the shape and its halo, the centre on a pixel's corner plus the offset.
  const double reach = handle == Handle::rotate ? 13 + 2 * 3 / 1.5 : 4.5 + 1 * 3 / 1.5;
  const int half = static_cast<int>(std::ceil(reach * scale)) + 2;
  QImage picture(2 * half, 2 * half, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(half + offsetX, half + offsetY);
  painter.scale(scale, scale);
  if (handle == Handle::rotate) {
    QPainterPath circle;
    circle.addEllipse(QPointF(0, 0), 13, 13);
    halo(painter, circle, 2);
    painter.fillPath(circle, Qt::white);
    const int side = static_cast<int>(std::lround(15 * scale));
    if (side > 0) {
      painter.drawImage(
          QRectF(-7.5, -7.5, 15, 15),
          SymbolIcons::image(QStringLiteral("arrow.triangle.2.circlepath"), QSize(side, side)));
    }
  } else {
    QPainterPath square;
    square.addRoundedRect(QRectF(-4.5, -4.5, 9, 9), 1.5, 1.5);
    halo(painter, square, 1);
    painter.fillPath(square, Qt::white);
  }
  return picture;
}

void CropOverlay::press(const OverlayPointer& pointer) {
  takeSize(pointer.frame);
  pressedAt_ = pointer.point;
  dragging_ = false;
}

void CropOverlay::move(const OverlayPointer& pointer) {
  if (!pressedAt_) return;
  takeSize(pointer.frame);
  const QPointF d = pointer.point - *pressedAt_;
  if (!dragging_ && std::hypot(d.x(), d.y()) < 1) return;
  dragging_ = true;
  dragChanged(*pressedAt_, pointer.point);
  repaint();
}

void CropOverlay::release(const OverlayPointer& pointer) {
  if (pressedAt_ && dragging_) {
    takeSize(pointer.frame);
    dragEnded();
    repaint();
  }
  pressedAt_.reset();
  dragging_ = false;
}

void CropOverlay::hover(const OverlayPointer& pointer) {
  takeSize(pointer.frame);
  cursor_ = hoverCursor(pointer.point);
}

void CropOverlay::hoverEnd() { cursor_ = hoverCursor(std::nullopt); }
