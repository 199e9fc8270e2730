#include "Sidebar/MarqueeRules.h"

#include <algorithm>
#include <cmath>

namespace MarqueeRules {

bool isDrag(QPointF press, QPointF now) {
  return std::hypot(now.x() - press.x(), now.y() - press.y()) >= threshold;
}

QRectF spanned(QPointF start, QPointF current) {
  return {std::min(start.x(), current.x()), std::min(start.y(), current.y()),
          std::abs(current.x() - start.x()), std::abs(current.y() - start.y())};
}

bool adds(Qt::KeyboardModifiers modifiers) {
  return modifiers & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
}

namespace {
// Closed on the rectangle's side, so a band of no width still touches what it crosses.
bool meets(const QRectF& frame, const QRectF& rect) {
  return rect.left() < frame.right() && frame.left() <= rect.right() &&
         rect.top() < frame.bottom() && frame.top() <= rect.bottom();
}
}  // namespace

std::set<Uuid> hits(const ThumbGrid::Layout& layout, const std::vector<Uuid>& ids,
                    const QRectF& rect, bool horizontal) {
  std::set<Uuid> found;
  const auto [first, last] = horizontal ? layout.indexesAcross(rect.left(), rect.right(), true)
                                        : layout.indexesAcross(rect.top(), rect.bottom(), false);
  const int end = std::min(last, static_cast<int>(ids.size()));
  for (int i = first; i < end; ++i) {
    if (meets(layout.frame(i), rect)) found.insert(ids[static_cast<size_t>(i)]);
  }
  return found;
}

std::set<Uuid> result(const std::set<Uuid>& hits, const std::set<Uuid>& base) {
  std::set<Uuid> all = base;
  all.insert(hits.begin(), hits.end());
  return all;
}

}  // namespace MarqueeRules
