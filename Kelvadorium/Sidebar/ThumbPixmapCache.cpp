#include "Sidebar/ThumbPixmapCache.h"

#include <QImage>

#include "Rendering/PreviewImage.h"

ThumbPixmapCache::ThumbPixmapCache(qsizetype maxBytes) : cache_(maxBytes) {}

QPixmap ThumbPixmapCache::fitted(const std::shared_ptr<const PreviewImage>& thumbnail, QSize box,
                                 qreal scale) {
  if (!thumbnail || thumbnail->screen.isNull() || box.isEmpty()) return {};
  const Key key{thumbnail.get(), box.width(), box.height()};
  if (Entry* entry = cache_.object(key)) {
    // The same address may belong to a newer thumbnail once the old one has gone.
    if (entry->source.lock() == thumbnail) return entry->pixmap;
  }
  const QImage scaled =
      thumbnail->screen.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QPixmap pixmap = QPixmap::fromImage(scaled);
  pixmap.setDevicePixelRatio(scale);
  ++scalings_;
  const qsizetype cost = std::max<qsizetype>(1, qsizetype(scaled.width()) * scaled.height() * 4);
  auto* entry = new Entry{thumbnail, pixmap};
  cache_.insert(key, entry, cost);
  return pixmap;
}
