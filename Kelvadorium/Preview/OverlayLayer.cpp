#include "Preview/OverlayLayer.h"

#include <QPaintDevice>
#include <QPainter>
#include <cmath>

namespace {

// The device's rectangle in the painter's untransformed points: a widget counts in points, an
// image in pixels of its own pixel ratio.
QRectF deviceRectOf(const QPaintDevice* device) {
  const qreal ratio = device->devType() == QInternal::Image ? device->devicePixelRatioF() : 1;
  return QRectF(0, 0, device->width() / ratio, device->height() / ratio);
}

// The part of `bounds` (overlay points) that lies on the painter's device, in its untransformed
// points, widened to whole points; empty when none does.
QRect shownPart(const QPainter& painter, const QRectF& bounds) {
  return painter.transform()
      .mapRect(bounds)
      .intersected(deviceRectOf(painter.device()))
      .toAlignedRect();
}

QImage scratch(QSize size, qreal ratio) {
  QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  return image;
}

}  // namespace

void OverlayLayer::draw(QPainter& painter, QSizeF size,
                        const std::function<void(QPainter&)>& paintMarks) {
  const QRectF overlay(QPointF(0, 0), size);
  const qreal ratio = painter.device()->devicePixelRatioF();
  const QRectF deviceRect = deviceRectOf(painter.device());
  if (!valid_ || transform_ != painter.transform() || deviceRect_ != deviceRect ||
      ratio_ != ratio) {
    transform_ = painter.transform();
    deviceRect_ = deviceRect;
    ratio_ = ratio;
    const QRect part = shownPart(painter, overlay);
    origin_ = part.topLeft();
    image_ = part.isEmpty() ? QImage() : scratch(part.size(), ratio);
    if (!image_.isNull()) {
      QPainter layer(&image_);
      layer.setRenderHint(QPainter::Antialiasing);
      layer.setTransform(transform_ * QTransform::fromTranslate(-origin_.x(), -origin_.y()));
      layer.setClipRect(overlay);
      paintMarks(layer);
    }
    valid_ = true;
  }
  if (image_.isNull()) return;
  painter.save();
  painter.resetTransform();
  painter.drawImage(origin_, image_);
  painter.restore();
}

void OverlayLayer::group(QPainter& painter, const QRectF& bounds, double opacity,
                         const std::function<void(QPainter&)>& body) {
  const QRect part = shownPart(painter, bounds);
  if (part.isEmpty()) return;
  const qreal ratio = painter.device()->devicePixelRatioF();
  QImage image = scratch(part.size(), ratio);
  {
    QPainter inner(&image);
    inner.setRenderHints(painter.renderHints());
    inner.setTransform(painter.transform() * QTransform::fromTranslate(-part.x(), -part.y()));
    body(inner);
  }
  painter.save();
  painter.resetTransform();
  painter.setOpacity(painter.opacity() * opacity);
  painter.drawImage(part.topLeft(), image);
  painter.restore();
}
