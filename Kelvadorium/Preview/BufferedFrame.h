// A widget's frame painted on a thread of the global pool while the GUI thread waits: straight
// into the window's pixels when the widget paints one pixel per point on a 32-bit backing
// store, else into a kept image then copied onto the widget in one blit. On the GUI thread Qt's
// raster engine hands every fill, line and image covering more than a few dozen rows to the
// pool in slices and waits for them; on a pool thread it paints straight through. A preview
// frame is many such operations, and waking the workers for each cost several times the
// painting itself.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <functional>

class QPainter;

class BufferedFrame {
 public:
  // Paints `area` (widget points) of a widget of `size` with `draw`, given a painter in widget
  // points clipped to that part, filled with the opaque `backdrop` there. Paints on `onto`
  // directly, over the backdrop, when no pool thread is free.
  void paint(QPainter& onto, const QSize& size, const QRect& area, const QColor& backdrop,
             const std::function<void(QPainter&)>& draw);

  // Device pixels per point of what `painter` paints on (a widget redirected into an image
  // paints at the image's ratio).
  static double deviceRatio(const QPainter& painter);

 private:
  QImage image_;
};
