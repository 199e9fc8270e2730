#include "Preview/PicturePixmaps.h"

#include <QCoreApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QThreadPool>
#include <algorithm>
#include <cmath>

#include "Rendering/PreviewImage.h"
#include "Support/ParallelFor.h"

namespace {

constexpr int smallestEdge = 256;

// The device pixels per point of what the painter paints on: a widget redirected into an image
// paints at the image's ratio.
double deviceRatio(const QPainter& painter) {
  const QPaintEngine* engine = painter.paintEngine();
  const QPaintDevice* device =
      engine && engine->paintDevice() ? engine->paintDevice() : painter.device();
  return device ? device->devicePixelRatioF() : 1.0;
}

// Each pixel the mean of a 2 × 2 block of the source (RGB888); an odd last row or column
// repeats.
QImage halved(const QImage& source) {
  const int w = std::max(1, source.width() / 2);
  const int h = std::max(1, source.height() / 2);
  QImage out(w, h, QImage::Format_RGB888);
  if (out.isNull()) return out;
  parallelForRows(
      h,
      [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) {
          const int y0 = std::min(static_cast<int>(2 * y), source.height() - 1);
          const int y1 = std::min(y0 + 1, source.height() - 1);
          const uchar* a = source.constScanLine(y0);
          const uchar* b = source.constScanLine(y1);
          uchar* o = out.scanLine(static_cast<int>(y));
          for (int x = 0; x < w; ++x) {
            const int x0 = std::min(2 * x, source.width() - 1);
            const int x1 = std::min(x0 + 1, source.width() - 1);
            for (int c = 0; c < 3; ++c) {
              const int sum = a[3 * x0 + c] + a[3 * x1 + c] + b[3 * x0 + c] + b[3 * x1 + c];
              o[3 * x + c] = static_cast<uchar>((sum + 2) / 4);
            }
          }
        }
      },
      64);
  return out;
}

// The pixels of `rect` of an RGB888 picture as RGB32, read in place.
QImage visiblePart(const QImage& picture, const QRect& rect) {
  const QImage view(picture.constScanLine(rect.y()) + 3 * rect.x(), rect.width(), rect.height(),
                    picture.bytesPerLine(), picture.format());
  return view.convertToFormat(QImage::Format_RGB32);
}

// The whole source pixels of `level` that land on `visible` when the level covers `target`,
// and where they land.
struct Span {
  QRect source;
  QRectF target;
};
Span spanOf(const QImage& level, const QRectF& target, const QRectF& visible) {
  const QRectF shown = target.intersected(visible);
  if (shown.isEmpty()) return {};
  const double sx = target.width() / level.width();
  const double sy = target.height() / level.height();
  const QRectF inLevel((shown.x() - target.x()) / sx, (shown.y() - target.y()) / sy,
                       shown.width() / sx, shown.height() / sy);
  // One pixel more at each side, so smooth sampling at the visible edge has its neighbours.
  const QRect source = inLevel.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(level.rect());
  if (source.isEmpty()) return {};
  return {source, QRectF(target.x() + source.x() * sx, target.y() + source.y() * sy,
                         source.width() * sx, source.height() * sy)};
}

}  // namespace

PicturePixmaps::PicturePixmaps(QObject* context, std::function<void()> ready)
    : context_(context), ready_(std::move(ready)), self_(std::make_shared<PicturePixmaps*>(this)) {}

PicturePixmaps::~PicturePixmaps() { *self_ = nullptr; }

std::vector<QImage> PicturePixmaps::reductions(const QImage& picture) {
  std::vector<QImage> chain;
  QImage source = picture.format() == QImage::Format_RGB888
                      ? picture
                      : picture.convertToFormat(QImage::Format_RGB888);
  while (std::max(source.width(), source.height()) > 2 * smallestEdge &&
         std::min(source.width(), source.height()) >= 2) {
    source = halved(source);
    if (source.isNull()) break;
    // Kept in the painter's own format, which it samples fastest.
    chain.push_back(source.convertToFormat(QImage::Format_RGB32));
  }
  return chain;
}

PicturePixmaps::Entry* PicturePixmaps::entryOf(const std::shared_ptr<const PreviewImage>& image) {
  if (!image || image->screen.isNull()) return nullptr;
  for (Entry& entry : entries_) {
    // The address alone could be a new image in the memory of a forgotten one.
    if (entry.address == image.get() && entry.image.lock() == image) return &entry;
  }
  Entry entry;
  entry.image = image;
  entry.address = image.get();
  entry.full = image->screen;  // shared, not copied
  entries_.push_back(std::move(entry));
  startReductions(image);
  return &entries_.back();
}

void PicturePixmaps::startReductions(const std::shared_ptr<const PreviewImage>& image) {
  using Image = std::shared_ptr<const PreviewImage>;
  auto arrive = [](const std::shared_ptr<PicturePixmaps*>& self, const Image& image,
                   std::vector<QImage> chain) {
    PicturePixmaps* pixmaps = *self;
    if (!pixmaps) return;
    for (Entry& entry : pixmaps->entries_) {
      if (entry.address != image.get() || entry.image.lock() != image || entry.reducedArrived) {
        continue;
      }
      entry.reduced = std::move(chain);
      entry.reducedArrived = true;
      if (pixmaps->ready_) pixmaps->ready_();
      return;
    }
  };
  if (!context_) {
    arrive(self_, image, reductions(image->screen));
    return;
  }
  std::weak_ptr<PicturePixmaps*> weakSelf = self_;
  QThreadPool::globalInstance()->start([image, weakSelf, arrive] {
    std::vector<QImage> chain = reductions(image->screen);
    // Back on the GUI thread, where this object lives and dies: the weak reference tells there
    // whether it is still there.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [weakSelf, image, chain = std::move(chain), arrive]() mutable {
          if (auto self = weakSelf.lock()) arrive(self, image, std::move(chain));
        },
        Qt::QueuedConnection);
  });
}

void PicturePixmaps::draw(QPainter& painter, const std::shared_ptr<const PreviewImage>& image,
                          const QRectF& target, const QRectF& visible, double degrees,
                          bool smooth) {
  Entry* entry = entryOf(image);
  if (!entry || !(target.width() > 0) || !(target.height() > 0)) return;
  const double ratio = deviceRatio(painter);
  // The smallest copy with at least as many pixels across as the drawing's device pixels.
  const double across = target.width() * ratio;
  const QImage* level = &entry->full;
  for (const QImage& reduced : entry->reduced) {
    if (reduced.width() < across) break;
    level = &reduced;
  }
  const bool turned = degrees != 0 && std::isfinite(degrees);
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  QRectF placed = target;
  QRectF seen = visible;
  if (turned) {
    // Drawn about the target's centre in a turned frame: the visible rectangle seen from it.
    const QPointF centre = target.center();
    painter.translate(centre);
    painter.rotate(degrees);
    QTransform back;
    back.rotate(-degrees);
    back.translate(-centre.x(), -centre.y());
    placed = target.translated(-centre);
    seen = back.mapRect(visible);
  }
  const Span span = spanOf(*level, placed, seen);
  if (!span.source.isEmpty()) {
    QRectF at = span.target;
    // One copy pixel per device pixel: whole device pixels, so the copy is blitted as it is.
    const bool blit = !turned && std::abs(at.width() * ratio - span.source.width()) < 0.01 &&
                      std::abs(at.height() * ratio - span.source.height()) < 0.01;
    if (blit) {
      at = QRectF(std::round(at.x() * ratio) / ratio, std::round(at.y() * ratio) / ratio,
                  span.source.width() / ratio, span.source.height() / ratio);
    }
    // Converting costs a pass over the source part, sampling one over the device pixels.
    const double sourcePixels = double(span.source.width()) * span.source.height();
    const double devicePixels = at.width() * at.height() * ratio * ratio;
    if (blit || level->format() == QImage::Format_RGB32 || sourcePixels > devicePixels) {
      painter.drawImage(at, *level, QRectF(span.source));
    } else {
      // The screen copy itself, magnified: its visible part in the painter's format first, so
      // the sampling runs on the fast path. The part is smaller than what the area shows.
      const QImage part = visiblePart(*level, span.source);
      painter.drawImage(at, part, QRectF(part.rect()));
    }
  }
  painter.restore();
}

void PicturePixmaps::drawBlocks(QPainter& painter, const QImage& picture, const QRectF& target,
                                const QRectF& visible) {
  if (picture.isNull() || !(target.width() > 0) || !(target.height() > 0)) return;
  const Span span = spanOf(picture, target, visible);
  if (span.source.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(span.target, picture, QRectF(span.source));
  painter.restore();
}

void PicturePixmaps::keepOnly(std::initializer_list<const PreviewImage*> images) {
  std::erase_if(entries_, [&](const Entry& entry) {
    return entry.image.expired() ||
           std::find(images.begin(), images.end(), entry.address) == images.end();
  });
}

int PicturePixmaps::pixmapCount() const {
  int count = 0;
  for (const Entry& entry : entries_) count += 1 + static_cast<int>(entry.reduced.size());
  return count;
}

qint64 PicturePixmaps::reducedBytes() const {
  qint64 bytes = 0;
  for (const Entry& entry : entries_) {
    for (const QImage& reduced : entry.reduced) bytes += reduced.sizeInBytes();
  }
  return bytes;
}

bool PicturePixmaps::reduced(const PreviewImage* image) const {
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) {
    return entry.address == image && entry.reducedArrived;
  });
}
