// A symbol drawn in one colour at a given size, for the marks the windows colour themselves
// (a lit clipping triangle, a section's chevron): the symbol's own shape, filled with the colour.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace TintedSymbol {

// `size` in device-independent pixels, drawn for the screen's scale `scale`.
QPixmap pixmap(const QString& symbol, const QColor& colour, QSize size, qreal scale);

}  // namespace TintedSymbol
