// The arithmetic of the magnified preview: the zoom's limits, the pan that keeps a point under
// the anchor, the slack the pan may take, the 1:1 zoom and its percentage, and the split
// divider's position. Sizes and offsets are in device-independent pixels; an offset is measured
// from the preview area's centre. Pure functions over values; the model holds the state.
#pragma once

#include <QSizeF>
#include <optional>

namespace ZoomGeometry {

// At or below this the preview counts as fitted: no pan.
inline constexpr double fittedZoom = 1.0001;
// Changes of the zoom up to this are no change at all.
inline constexpr double zoomTolerance = 0.0001;
// Points the magnified image may move beyond its overhang.
inline constexpr double panSlack = 24;

// The requested zoom kept within 1 … max(4 × oneToOne, 8).
double limitedZoom(double requested, double oneToOne);

// The offset limited per axis to ±max((fitted × zoom − container) / 2 + slack, 0); (0, 0) while
// the zoom is fitted.
QSizeF clampedPan(QSizeF offset, double zoom, QSizeF fitted, QSizeF container);

struct View {
  double zoom = 1;
  QSizeF pan{0, 0};
};

// The view zoomed to `requested` about the anchor (ax, ay), so that the image point under it
// stays there; nothing when the limited zoom is within the tolerance of the current one.
std::optional<View> zoomedAbout(const View& view, double requested, double ax, double ay,
                                double oneToOne, QSizeF fitted, QSizeF container);

// The zoom at which one image pixel covers one screen pixel; nothing while either width is not
// known. A backing scale that is not above 0 (no screen) counts as 2.
std::optional<double> oneToOneZoom(double fullPixelWidth, double fittedWidth, double backingScale);

// The zoom as a whole percentage of the 1:1 zoom, halves away from zero; nothing before a pass
// has told the full pixel size.
std::optional<int> zoomPercent(double zoom, double oneToOne, double fullPixelWidth);

// The divider's position for a drag at x across a preview `width` wide: x / width within
// 0.02 … 0.98; nothing for a preview without width.
std::optional<double> splitPosition(double x, double width);

}  // namespace ZoomGeometry
