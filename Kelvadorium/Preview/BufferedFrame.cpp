#include "Preview/BufferedFrame.h"

#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
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

namespace {

// The raster device's own pixels when `onto` paints a widget at one pixel per point on a
// 32-bit image (the window's backing store) with nothing but a translation and the system clip.
QImage* rasterPixels(const QPainter& onto) {
  QPaintEngine* engine = onto.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster || onto.hasClipping()) return nullptr;
  auto* image = dynamic_cast<QImage*>(engine->paintDevice());
  if (!image || image->devicePixelRatio() != 1 ||
      (image->format() != QImage::Format_RGB32 &&
       image->format() != QImage::Format_ARGB32_Premultiplied)) {
    return nullptr;
  }
  const QTransform toDevice = onto.deviceTransform();
  if (toDevice.type() > QTransform::TxTranslate || toDevice.dx() != std::round(toDevice.dx()) ||
      toDevice.dy() != std::round(toDevice.dy())) {
    return nullptr;
  }
  return image;
}

// Runs `work` on a thread of the global pool and waits for it, carrying back what it throws.
// False when no thread is free; `work` has not run then.
bool runOnPool(const std::function<void()>& work) {
  QSemaphore done;
  std::exception_ptr failure;
  auto task = [&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    done.release();
  };
  if (!QThreadPool::globalInstance()->tryStart(task)) return false;
  done.acquire();
  if (failure) std::rethrow_exception(failure);
  return true;
}

}  // namespace

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
  // The GUI thread waits for the whole painting, so whatever `draw` reads stays as it is.

  if (QImage* device = rasterPixels(onto)) {
    // Straight into the device's pixels: no kept image and no copy. Only what Qt asked to
    // paint is touched, so the widgets above keep theirs.
    const QPoint offset(static_cast<int>(onto.deviceTransform().dx()),
                        static_cast<int>(onto.deviceTransform().dy()));
    QRegion clip(shown.translated(offset));
    const QRegion system = onto.paintEngine()->systemClip();
    if (!system.isEmpty()) clip &= system;
    clip &= device->rect();
    if (clip.isEmpty()) return;
    uchar* pixels = device->bits();
    const bool painted = runOnPool([&] {
      QImage view(pixels, device->width(), device->height(), device->bytesPerLine(),
                  device->format());
      QPainter painter(&view);
      painter.setClipRegion(clip);
      painter.translate(offset);
      painter.fillRect(shown, backdrop);
      draw(painter);
    });
    if (!painted) paintDirectly();
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
  const bool painted = runOnPool([&] {
    QPainter painter(&image_);
    painter.setClipRect(shown);
    painter.fillRect(shown, backdrop);
    draw(painter);
  });
  if (!painted) {
    paintDirectly();
    return;
  }
  const QRectF source(shown.x() * ratio, shown.y() * ratio, shown.width() * ratio,
                      shown.height() * ratio);
  onto.drawImage(QRectF(shown), image_, source);
}
