#include "Preview/BufferedFrame.h"

#include <QPaintEngine>
#include <QPainter>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <cmath>
#include <exception>

double BufferedFrame::deviceRatio(const QPainter& painter) {
  const QPaintEngine* engine = painter.paintEngine();
  const QPaintDevice* device =
      engine && engine->paintDevice() ? engine->paintDevice() : painter.device();
  return device ? device->devicePixelRatioF() : 1.0;
}

void BufferedFrame::paint(QPainter& onto, const QSize& size, const QRect& area,
                          const QColor& backdrop, const std::function<void(QPainter&)>& draw) {
  const QRect shown = area.intersected(QRect(QPoint(0, 0), size));
  if (shown.isEmpty()) return;
  auto paintDirectly = [&] {
    onto.fillRect(shown, backdrop);
    draw(onto);
  };
  const double ratio = deviceRatio(onto);
  QThreadPool* pool = QThreadPool::globalInstance();
  if (!(ratio > 0) || pool->contains(QThread::currentThread())) {
    paintDirectly();
    return;
  }
  const QSize pixels(static_cast<int>(std::ceil(size.width() * ratio)),
                     static_cast<int>(std::ceil(size.height() * ratio)));
  if (image_.size() != pixels || image_.devicePixelRatio() != ratio) {
    // Opaque, so the copy onto the widget is a plain blit.
    image_ = QImage(pixels, QImage::Format_RGB32);
    if (image_.isNull()) {
      paintDirectly();
      return;
    }
    image_.setDevicePixelRatio(ratio);
  }

  // The GUI thread waits for the whole painting, so whatever `draw` reads stays as it is.
  QSemaphore done;
  std::exception_ptr failure;
  auto paintHere = [&] {
    try {
      QPainter painter(&image_);
      painter.setClipRect(shown);
      painter.fillRect(shown, backdrop);
      draw(painter);
    } catch (...) {
      failure = std::current_exception();
    }
    done.release();
  };
  if (!pool->tryStart(paintHere)) {
    paintDirectly();
    return;
  }
  done.acquire();
  if (failure) std::rethrow_exception(failure);

  const QRectF source(shown.x() * ratio, shown.y() * ratio, shown.width() * ratio,
                      shown.height() * ratio);
  onto.drawImage(QRectF(shown), image_, source);
}
