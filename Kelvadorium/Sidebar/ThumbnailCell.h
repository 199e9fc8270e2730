// One thumbnail cell, painted from the scan, whether it is the selection and whether it is
// marked: the square picture box (dark backdrop, the thumbnail fitted or a spinner, dimmed with
// an eye-slash badge when left out of Export All), the check badge of a marked scan, the
// selection ring, and the file name shortened in the middle under it.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>

struct ImageItem;
class QPainter;
class ThumbPixmapCache;

namespace ThumbnailCell {

struct Look {
  QColor accent;
  QColor primary;    // the selected scan's caption
  QColor secondary;  // every other caption
  QFont caption;
  qreal scale = 1;   // the screen's backing scale
  int spinnerPhase = 0;
};

// The caption line's height in `font`.
double captionHeight(const QFont& font);
// The square picture box of a cell whose frame is `frame`.
QRectF pictureBox(const QRectF& frame);

void paint(QPainter& painter, const QRectF& frame, const ImageItem& item, bool selected,
           bool marked, const Look& look, ThumbPixmapCache& pixmaps);

}  // namespace ThumbnailCell
