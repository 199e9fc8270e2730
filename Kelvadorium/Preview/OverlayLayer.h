// A picture of the marks an overlay draws beneath its live parts, kept at screen resolution for
// the zoom, pan and pane size it was made for: a move of the pointer blits it instead of
// stroking every mark again. It is made again when its owner says the marks changed or when the
// painter's placement differs. Groups are painted into a scratch image of their own and laid on
// at one opacity, so a stroke with the erasing blend mode erases only its own group.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <functional>

class QPainter;

class OverlayLayer {
 public:
  // Draws the layer over the W × H overlay of `painter` (whose transform maps overlay points),
  // clipped to that rectangle; `paintMarks` paints the marks in overlay points when the layer is
  // made again.
  void draw(QPainter& painter, QSizeF size, const std::function<void(QPainter&)>& paintMarks);
  // The marks changed: the next draw makes the layer again.
  void invalidate() { valid_ = false; }
  bool isValid() const { return valid_; }

  // Paints `body` (in the overlay points of `painter`) on a transparent scratch image covering
  // `bounds`, then lays it on `painter` at `opacity`.
  static void group(QPainter& painter, const QRectF& bounds, double opacity,
                    const std::function<void(QPainter&)>& body);

 private:
  QImage image_;
  QPointF origin_;  // where the image lies, in the painter's untransformed points
  QTransform transform_;
  QRectF deviceRect_;
  qreal ratio_ = 1;
  bool valid_ = false;
};
