#include "Sidebar/ThumbGrid.h"

#include <algorithm>
#include <cmath>

namespace ThumbGrid {

QRectF Layout::frame(int index) const {
  const int column = index % columns;
  const int row = index / columns;
  return {left + column * xStep, top + row * yStep, cellWidth, cellHeight};
}

std::pair<int, int> Layout::indexesAcross(double from, double to, bool horizontal) const {
  if (count == 0) return {0, 0};
  const double origin = horizontal ? left : top;
  const double step = horizontal ? xStep : yStep;
  const double extent = horizontal ? cellWidth : cellHeight;
  // Lines (rows of the grid, cells of the strip) whose span meets [from, to].
  const double lines = horizontal ? count : rows();
  const double first = std::clamp(std::floor((from - origin - extent) / step) + 1, 0.0, lines);
  const double last = std::clamp(std::floor((to - origin) / step) + 1, 0.0, lines);
  const int perLine = horizontal ? 1 : columns;
  return {std::min(count, static_cast<int>(first) * perLine),
          std::min(count, static_cast<int>(last) * perLine)};
}

int columnEstimate(double width) {
  const double columns = std::trunc((width - 2 * padding + columnSpacing) /
                                    (minColumn + columnSpacing));
  // A width that is not a number or absurdly large is clamped before the conversion.
  return static_cast<int>(std::clamp(std::isnan(columns) ? 1.0 : columns, 1.0, 10000.0));
}

Layout grid(double width, int count, double captionHeight) {
  Layout layout;
  layout.count = count;
  const double available = std::max(0.0, width - 2 * padding);
  layout.columns = columnEstimate(width);
  const double shared =
      (available - columnSpacing * (layout.columns - 1)) / layout.columns;
  layout.cellWidth = std::max(1.0, std::min(maxColumn, shared));
  layout.cellHeight = layout.cellWidth + captionGap + captionHeight;
  layout.xStep = layout.cellWidth + columnSpacing;
  layout.yStep = layout.cellHeight + rowSpacing;
  const double used = layout.columns * layout.cellWidth + (layout.columns - 1) * columnSpacing;
  layout.left = padding + std::max(0.0, (available - used) / 2);
  layout.top = padding;
  layout.width = std::max(width, used + 2 * padding);
  const int rows = layout.rows();
  layout.height = 2 * padding + rows * layout.cellHeight + std::max(0, rows - 1) * rowSpacing;
  return layout;
}

double stripSide(double height) { return std::max(height - 34, 60.0); }

Layout strip(double height, double viewHeight, int count, double captionHeight) {
  Layout layout;
  layout.count = count;
  layout.columns = std::max(1, count);
  layout.cellWidth = stripSide(height);
  layout.cellHeight = layout.cellWidth + captionGap + captionHeight;
  layout.xStep = layout.cellWidth + stripSpacing;
  layout.yStep = layout.cellHeight;
  layout.left = stripPaddingX;
  const double rowHeight = layout.cellHeight + 2 * stripPaddingY;
  layout.top = stripPaddingY + std::max(0.0, (viewHeight - rowHeight) / 2);
  layout.width = 2 * stripPaddingX + count * layout.cellWidth +
                 std::max(0, count - 1) * stripSpacing;
  layout.height = std::max(viewHeight, rowHeight);
  return layout;
}

QString countLine(size_t scans, size_t skipped) {
  if (scans == 0) return {};
  QString line = QString::number(scans) + (scans == 1 ? " scan" : " scans");
  if (skipped > 0) line += QString(" \u00B7 %1 skipped").arg(skipped);
  return line;
}

double minimalScroll(double current, double extent, double start, double end, double maxOffset) {
  double offset = current;
  if (end - start >= extent || start < current) {
    offset = start;
  } else if (end > current + extent) {
    offset = end - extent;
  }
  return std::clamp(offset, 0.0, std::max(0.0, maxOffset));
}

double centredScroll(double centre, double extent, double maxOffset) {
  return std::clamp(centre - extent / 2, 0.0, std::max(0.0, maxOffset));
}

}  // namespace ThumbGrid
