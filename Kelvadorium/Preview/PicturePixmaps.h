// The pictures the preview draws from: for each published image its screen copy as it is, and a
// chain of reduced copies, each half the size of the one before, made once per image on a worker
// thread (together less than a third of the image's pixels, in the painter's 32-bit format). A drawing takes the smallest copy
// that still has as many pixels across as the drawing covers on the device and reads only the
// part of it that falls on the visible rectangle, so its cost follows the pane's size, never the
// zoom, and nothing is ever sized by the zoom. Until the copies arrive the screen copy serves.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <functional>
#include <memory>
#include <vector>

struct PreviewImage;
class QPainter;

class PicturePixmaps {
 public:
  // Finished reductions come back on the GUI thread, where `ready` is then run (the host
  // repaints); without a context they are made at once, on the calling thread.
  explicit PicturePixmaps(QObject* context = nullptr, std::function<void()> ready = {});
  ~PicturePixmaps();
  PicturePixmaps(const PicturePixmaps&) = delete;
  PicturePixmaps& operator=(const PicturePixmaps&) = delete;

  // Draws the image stretched over `target` (the painter's points, untransformed), turned by
  // `degrees` clockwise about the target's centre, reading only what lands within `visible`.
  // `smooth`: interpolated sampling; otherwise each pixel stays a hard-edged block.
  void draw(QPainter& painter, const std::shared_ptr<const PreviewImage>& image,
            const QRectF& target, const QRectF& visible, double degrees = 0, bool smooth = true);
  // Draws a plain picture (the clipping mask) stretched over `target`, within `visible`, pixel
  // by pixel.
  static void drawBlocks(QPainter& painter, const QImage& picture, const QRectF& target,
                         const QRectF& visible);
  // Forgets the copies of every image but these (null entries allowed).
  void keepOnly(std::initializer_list<const PreviewImage*> images);

  // Copies held, the screen copies included, and the bytes of the reduced ones (for tests and
  // measuring).
  int pixmapCount() const;
  qint64 reducedBytes() const;
  // Whether the reduced copies of this image have arrived.
  bool reduced(const PreviewImage* image) const;

  // The chain of halvings of `picture` down to a long edge of 256 pixels, first the largest.
  static std::vector<QImage> reductions(const QImage& picture);

 private:
  struct Entry {
    std::weak_ptr<const PreviewImage> image;
    const PreviewImage* address = nullptr;
    QImage full;
    std::vector<QImage> reduced;  // largest first
    bool reducedArrived = false;
  };
  Entry* entryOf(const std::shared_ptr<const PreviewImage>& image);
  void startReductions(const std::shared_ptr<const PreviewImage>& image);

  QPointer<QObject> context_;
  std::function<void()> ready_;
  std::vector<Entry> entries_;
  // Shared with the workers: a reduction that finishes after this object went is dropped.
  std::shared_ptr<PicturePixmaps*> self_;
};
