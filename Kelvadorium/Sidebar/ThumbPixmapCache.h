// Thumbnails scaled once to the size a cell draws them at, kept in a cache bounded by bytes, so
// painting never scales the 320-pixel thumbnail again. An entry stands for one thumbnail at one
// pixel size; a thumbnail replaced or gone is never mistaken for its successor.
#pragma once

#include <QCache>
#include <QPixmap>
#include <QSize>
#include <memory>

struct PreviewImage;

class ThumbPixmapCache {
 public:
  static constexpr qsizetype defaultBytes = 64 * 1024 * 1024;

  explicit ThumbPixmapCache(qsizetype maxBytes = defaultBytes);

  // The thumbnail fitted into `box` device pixels, its aspect kept, at `scale`.
  QPixmap fitted(const std::shared_ptr<const PreviewImage>& thumbnail, QSize box, qreal scale);

  qsizetype bytes() const { return cache_.totalCost(); }
  qsizetype scalings() const { return scalings_; }

 private:
  struct Key {
    const PreviewImage* image;
    int width;
    int height;
    friend bool operator==(const Key&, const Key&) = default;
    friend size_t qHash(const Key& key, size_t seed = 0) {
      return qHashMulti(seed, key.image, key.width, key.height);
    }
  };
  struct Entry {
    std::weak_ptr<const PreviewImage> source;
    QPixmap pixmap;
  };
  QCache<Key, Entry> cache_;
  qsizetype scalings_ = 0;
};
