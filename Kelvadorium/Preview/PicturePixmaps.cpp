#include "Preview/PicturePixmaps.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "Rendering/PreviewImage.h"

PicturePixmaps::Entry* PicturePixmaps::entryOf(const std::shared_ptr<const PreviewImage>& image) {
  if (!image || image->screen.isNull()) return nullptr;
  for (Entry& entry : entries_) {
    // The address alone could be a new image in the memory of a forgotten one.
    if (entry.address == image.get() && entry.image.lock() == image) return &entry;
  }
  Entry entry;
  entry.image = image;
  entry.address = image.get();
  entry.full = QPixmap::fromImage(image->screen);
  if (entry.full.isNull()) return nullptr;
  entries_.push_back(std::move(entry));
  return &entries_.back();
}

void PicturePixmaps::draw(QPainter& painter, const std::shared_ptr<const PreviewImage>& image,
                          const QRectF& target) {
  Entry* entry = entryOf(image);
  if (!entry || !(target.width() > 0) || !(target.height() > 0)) return;
  const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  const double deviceWidth = target.width() * scale;
  const double deviceHeight = target.height() * scale;
  if (deviceWidth >= entry->full.width() || deviceHeight >= entry->full.height()) {
    entry->scaled = QPixmap();
    drawTransformed(painter, image, target);
    return;
  }
  const QSize wanted(std::max(1, static_cast<int>(std::lround(deviceWidth))),
                     std::max(1, static_cast<int>(std::lround(deviceHeight))));
  if (entry->scaled.size() != wanted) {
    entry->scaled = entry->full.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    entry->scaled.setDevicePixelRatio(scale);
  }
  const QPointF at(std::round(target.x() * scale) / scale, std::round(target.y() * scale) / scale);
  painter.drawPixmap(at, entry->scaled);
}

void PicturePixmaps::drawTransformed(QPainter& painter,
                                     const std::shared_ptr<const PreviewImage>& image,
                                     const QRectF& target) {
  Entry* entry = entryOf(image);
  if (!entry || !(target.width() > 0) || !(target.height() > 0)) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(target, entry->full, QRectF(entry->full.rect()));
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
  for (const Entry& entry : entries_) count += 1 + (entry.scaled.isNull() ? 0 : 1);
  return count;
}
