// The rubber band's rules over laid-out cells: when a press has become a drag, the rectangle the
// drag spans, the cells it touches and what it hands to the model.
#pragma once

#include <QPointF>
#include <QRectF>
#include <Qt>
#include <optional>
#include <set>
#include <vector>

#include "Sidebar/ThumbGrid.h"
#include "Support/Uuid.h"

namespace MarqueeRules {

constexpr double threshold = 6;

// A press that has moved at least 6 from where it went down.
bool isDrag(QPointF press, QPointF now);
QRectF spanned(QPointF start, QPointF current);
// Shift, Alt or Ctrl at the drag's first change: the marquee adds to what is marked.
bool adds(Qt::KeyboardModifiers modifiers);
// The ids of the cells whose frame meets `rect`; `ids` in the layout's order.
std::set<Uuid> hits(const ThumbGrid::Layout& layout, const std::vector<Uuid>& ids,
                    const QRectF& rect, bool horizontal);
// What the model is handed: the hits and the base together.
std::set<Uuid> result(const std::set<Uuid>& hits, const std::set<Uuid>& base);

}  // namespace MarqueeRules
