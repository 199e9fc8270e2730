// Where the thumbnail cells go: the sidebar's grid of columns at least 96 wide and at most 200,
// 10 apart, rows 12 apart, centred within 10 of padding; and the filmstrip's single row of cells
// sized from its height. Pure arithmetic, in device-independent pixels, so the views and the
// marquee agree on every frame without measuring a widget.
#pragma once

#include <QRectF>
#include <QString>
#include <cstddef>
#include <utility>

namespace ThumbGrid {

constexpr double padding = 10;
constexpr double columnSpacing = 10;
constexpr double rowSpacing = 12;
constexpr double minColumn = 96;
constexpr double maxColumn = 200;
constexpr double captionGap = 4;  // between the picture box and its caption
constexpr double stripSpacing = 8;
constexpr double stripPaddingX = 10;
constexpr double stripPaddingY = 6;

// The cells of one view: frames in the content's coordinates (the padded grid or row, origin at
// its top-left corner).
struct Layout {
  int count = 0;
  int columns = 1;
  double cellWidth = 0;   // the picture box's side
  double cellHeight = 0;  // box, gap and caption
  double left = 0;        // of the first column
  double top = 0;         // of the first row
  double xStep = 0;       // from one column to the next
  double yStep = 0;       // from one row to the next
  double width = 0;       // of the content
  double height = 0;

  int rows() const { return count == 0 ? 0 : (count + columns - 1) / columns; }
  QRectF frame(int index) const;
  // The first and one past the last index whose frame meets the band [y0, y1] (grid) or
  // [x0, x1] (strip): the cells a repaint or a marquee has to look at.
  std::pair<int, int> indexesAcross(double from, double to, bool horizontal) const;
};

// The column estimate the browsing keys use: max(1, trunc((w − 20 + 10) / 106)).
int columnEstimate(double width);
// The sidebar's grid for `count` cells across `width` (the width it is laid out in).
Layout grid(double width, int count, double captionHeight);

// The filmstrip's cell side for a strip `height` high: max(h − 34, 60).
double stripSide(double height);
// The filmstrip's row; `viewHeight` centres it vertically when taller than the row.
Layout strip(double height, double viewHeight, int count, double captionHeight);

// "12 scans · 3 skipped", "1 scan"; empty without scans.
QString countLine(size_t scans, size_t skipped);

// The scroll offset that brings [start, end] into a viewport `extent` long, moving as little as
// needed from `current`; then clamped to [0, maxOffset].
double minimalScroll(double current, double extent, double start, double end, double maxOffset);
// The scroll offset that puts `centre` at the viewport's centre, as far as [0, maxOffset] allows.
double centredScroll(double centre, double extent, double maxOffset);

}  // namespace ThumbGrid
