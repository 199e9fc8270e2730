// The pictures the preview draws from: for each published image its screen copy as it is, and a
// chain of reduced copies, each half the size of the one before, made once per image on a worker
// thread (together less than a third of the image's pixels, in the painter's 32-bit format). A
// drawing takes the smallest copy that still has as many pixels across as the drawing covers on the
// device and reads only the part of it that falls on the visible rectangle, so its cost follows the
// pane's size, never the zoom. A picture shown whole keeps its drawing at the device's pixels
// (bounded, so never sized by a deep zoom), and a turned one is resampled by our own sampler.
// Until the copies arrive the screen copy serves.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTransform>
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
  // The whole picture as last drawn upright, one pixel per device pixel: kept while it is drawn
  // the same way again, which a fitted picture is at every repaint.
  struct Drawn {
    const QImage* level = nullptr;
    QRectF device;  // where the level landed, in device pixels
    bool smooth = true;
    QPoint at;     // the device pixel of the image's top-left corner
    QImage image;  // premultiplied, transparent beyond the picture's edges
  };
  struct Entry {
    std::weak_ptr<const PreviewImage> image;
    const PreviewImage* address = nullptr;
    QImage full;
    std::vector<QImage> reduced;  // largest first
    bool reducedArrived = false;
    Drawn drawn;
  };
  Entry* entryOf(const std::shared_ptr<const PreviewImage>& image);
  // The entry's whole upright drawing of `level` over `device`: the kept one when it is that
  // drawing, else, when `make`, made anew; null when it would be larger than we keep.
  const Drawn* drawnOf(Entry& entry, const QImage& level, const QRectF& device, bool smooth,
                       bool make);
  // Draws `source` turned: `toDevice` maps its pixel coordinates to the painter's device
  // pixels. Sampled bilinearly, in parallel rows, with a soft one-pixel edge; only the device
  // pixels within `clip` are written.
  void drawTurned(QPainter& painter, const QImage& source, const QTransform& toDevice,
                  const QRect& clip, double ratio);
  // Draws from the kept upright drawing or turned by our own sampler; false when neither
  // applies and the painter must sample.
  bool drawFast(QPainter& painter, Entry& entry, const QImage& level, double ratio,
                const QRectF& target, const QRectF& visible, double degrees, bool smooth);
  void startReductions(const std::shared_ptr<const PreviewImage>& image);

  QPointer<QObject> context_;
  std::function<void()> ready_;
  std::vector<Entry> entries_;
  QImage turned_;  // the last turned drawing's pixels, kept for the next
  // Shared with the workers: a reduction that finishes after this object went is dropped.
  std::shared_ptr<PicturePixmaps*> self_;
};
