#include "Preview/RedEyeOverlay.h"

#include <QLineF>
#include <QPainter>
#include <algorithm>

#include "Model/AppModel.h"
#include "Preview/MarkGeometry.h"

namespace {

constexpr double removalReach = 8;
constexpr double smallestSize = 0.002;
constexpr double largestSize = 0.08;

}  // namespace

std::vector<RedEyeOverlay::Mark> RedEyeOverlay::marks(
    const std::vector<RedEye>& redEyes, const std::optional<PreviewMapping::Frame>& frame,
    QSizeF size) {
  std::vector<Mark> all;
  if (!frame) return all;
  for (const RedEye& m : redEyes) {
    const auto centre = MarkGeometry::overlayPoint(*frame, m.x, m.y, size);
    const auto radius = MarkGeometry::overlayLength(*frame, m.r, size);
    if (centre && radius) all.push_back(Mark{m.id, *centre, *radius});
  }
  return all;
}

std::optional<size_t> RedEyeOverlay::removalHit(const std::vector<Mark>& marks, QPointF s) {
  for (size_t i = marks.size(); i-- > 0;) {
    if (QLineF(marks[i].centre, s).length() <= std::max(marks[i].radius, removalReach)) return i;
  }
  return std::nullopt;
}

double RedEyeOverlay::addedSize(double length, double width, double longEdge, double brushSize) {
  if (!(length > sizingDrag && longEdge > 0)) return brushSize;
  const double size = length / width / longEdge;
  if (size <= smallestSize) return smallestSize;
  return size > largestSize ? largestSize : size;
}

const std::vector<RedEyeOverlay::Mark>& RedEyeOverlay::currentMarks(QSizeF size) {
  static const std::vector<RedEye> none;
  const auto index = model_.selectedIndex();
  const std::vector<RedEye>& redEyes = index ? model_.items()[*index].settings.redEyes : none;
  const auto frame = model_.mappingFrame();
  if (!marksValid_ || marksSize_ != size || !MarkGeometry::sameFrame(marksFrame_, frame) ||
      marksOf_ != redEyes) {
    marksOf_ = redEyes;
    marksFrame_ = frame;
    marksSize_ = size;
    marks_ = marks(redEyes, frame, size);
    marksValid_ = true;
    layer_.invalidate();
  }
  return marks_;
}

void RedEyeOverlay::paint(QPainter& painter, const OverlayFrame& frame) {
  const QSizeF size = frame.size;
  const double z = std::max(frame.zoom, 0.01);
  const std::vector<Mark>& all = currentMarks(size);
  if (layerZoom_ != z) layer_.invalidate();
  layerZoom_ = z;
  painter.setRenderHint(QPainter::Antialiasing);
  layer_.draw(painter, size, [&](QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::red, 1.5 / z));
    for (const Mark& mark : all) p.drawEllipse(mark.centre, mark.radius, mark.radius);
  });
  painter.setClipRect(QRectF(QPointF(0, 0), size));
  painter.setBrush(Qt::NoBrush);
  const double length = drag_ ? QLineF(drag_->first, drag_->second).length() : 0;
  if (drag_ && length > sizingDrag) {
    QPen dashed(Qt::red, 1 / z, Qt::CustomDashLine, Qt::FlatCap);
    // The pen counts dashes in widths; these are 4 and 3 points on the overlay.
    dashed.setDashPattern({4 * z, 3 * z});
    painter.setPen(dashed);
    painter.drawEllipse(drag_->first, length, length);
  } else if (hover_) {
    const double b = size.width() * model_.previewLength(model_.redEyeSize());
    painter.setOpacity(0.8);
    painter.setPen(QPen(Qt::red, 1 / z));
    painter.drawEllipse(*hover_, b, b);
  }
}

void RedEyeOverlay::press(const OverlayPointer& pointer) {
  if (!(pointer.buttons & Qt::LeftButton)) return;
  hover_ = pointer.point;
  drag_ = std::pair(pointer.point, pointer.point);
  repaint();
}

void RedEyeOverlay::move(const OverlayPointer& pointer) {
  if (!drag_) return;
  hover_ = pointer.point;
  drag_->second = pointer.point;
  repaint();
}

void RedEyeOverlay::release(const OverlayPointer& pointer) {
  if (!drag_) return;
  const QPointF s = drag_->first;
  const QPointF e = pointer.point;
  drag_.reset();
  repaint();
  const QSizeF size = pointer.frame.size;
  if (optionHeld(pointer.modifiers)) {
    const std::vector<Mark>& all = currentMarks(size);
    if (const auto hit = removalHit(all, s)) {
      const Uuid id = all[*hit].id;
      model_.editSelected(
          [&](ConversionSettings& settings) { AppModel::removeRedEye(settings, id); });
    }
    return;
  }
  const auto q = model_.imagePoint(s.x() / size.width(), s.y() / size.height());
  if (!q) return;
  const double added =
      addedSize(QLineF(s, e).length(), size.width(), model_.previewLength(1), model_.redEyeSize());
  model_.addRedEye(added, q->x(), q->y());
}

void RedEyeOverlay::hover(const OverlayPointer& pointer) {
  hover_ = pointer.point;
  repaint();
}

void RedEyeOverlay::hoverEnd() {
  hover_.reset();
  repaint();
}
