// The loupe bar's read-out and the enabling of its zoom buttons. Pure functions over values.
#pragma once

#include <QString>
#include <optional>

namespace LoupeReadout {

// "Fit" at the fitted zoom (1.0001 or less); else the percentage of the 1:1 zoom ("250%"); and
// before the full-resolution size is known, the zoom itself ("2.5×").
QString text(double zoom, std::optional<int> percent);

// Zoom out is possible above the fitted zoom; zoom in below max(4 × 1:1 zoom, 8), with 0.001 to
// spare.
bool canZoomOut(double zoom);
bool canZoomIn(double zoom, double oneToOneZoom);

}  // namespace LoupeReadout
