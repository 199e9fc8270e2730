// The pixmaps the preview draws its pictures from: one per published image, made from the screen
// copy the model publishes with it the first time it is drawn, and for each the drawing scaled
// to the size it was last drawn at, kept until the zoom or the pane's size changes. Painting
// never converts or copies an image; only a new image or a new size makes a pixmap.
#pragma once

#include <QPixmap>
#include <QRectF>
#include <memory>
#include <vector>

struct PreviewImage;
class QPainter;

class PicturePixmaps {
 public:
  // Draws the image stretched over `target`, in the painter's coordinates, which must be the
  // widget's own (no scaling or turning). A shrinking drawing comes from the cached scaled
  // pixmap, placed on whole device pixels; a magnifying one samples the pixmap smoothly.
  void draw(QPainter& painter, const std::shared_ptr<const PreviewImage>& image,
            const QRectF& target);
  // Draws it over `target` through whatever transform the painter has (a turning picture),
  // sampled smoothly from the pixmap.
  void drawTransformed(QPainter& painter, const std::shared_ptr<const PreviewImage>& image,
                       const QRectF& target);
  // Forgets the pixmaps of every image but these (null entries allowed).
  void keepOnly(std::initializer_list<const PreviewImage*> images);

  // Pixmaps held, the scaled ones included (for tests and measuring).
  int pixmapCount() const;

 private:
  struct Entry {
    std::weak_ptr<const PreviewImage> image;
    const PreviewImage* address = nullptr;
    QPixmap full;
    QPixmap scaled;
  };
  Entry* entryOf(const std::shared_ptr<const PreviewImage>& image);

  std::vector<Entry> entries_;
};
