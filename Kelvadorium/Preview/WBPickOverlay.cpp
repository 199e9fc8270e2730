#include "Preview/WBPickOverlay.h"

#include <QLineF>
#include <algorithm>
#include <utility>

#include "Preview/PreviewCalls.h"

namespace {
// A press and release further apart than this are a drag, not a click.
constexpr double clickSlop = 4;
}  // namespace

void WBPickOverlay::press(const OverlayPointer& pointer) {
  pressedAt_.reset();
  if (pointer.buttons & Qt::LeftButton) pressedAt_ = pointer.point;
  cursor_ = Qt::CrossCursor;
}

void WBPickOverlay::release(const OverlayPointer& pointer) {
  const auto at = std::exchange(pressedAt_, std::nullopt);
  const QSizeF size = pointer.frame.size;
  if (!at || !(size.width() > 0) || !(size.height() > 0)) return;
  // The slop is a distance on the screen; overlay points are magnified by the zoom.
  const double zoom = std::max(pointer.frame.zoom, 0.01);
  if (QLineF(*at, pointer.point).length() * zoom > clickSlop) return;
  calls_.pickWhiteBalance(at->x() / size.width(), at->y() / size.height());
}
