// What a scroll or a pinch over the preview does. A mouse wheel (deltas in lines) or any scroll
// with Ctrl zooms about the pointer by e^(dy·k): k = 0.12 per line, 0.01 per precise point; a
// trackpad scroll without Ctrl pans while magnified and is passed on at the fitted zoom. The
// anchor is measured from the area's centre, also in crop mode where the picture sits higher.
// Pure functions over values.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QSizeF>

namespace ScrollZoom {

// One scroll as the preview sees it: deltas in points (precise) or lines, Ctrl, and the pointer
// in the area's points from its top left.
struct Scroll {
  QPointF delta;
  bool precise = false;
  bool ctrl = false;
  QPointF location;
};

// A wheel event's values: precise when it carries a pixel delta (points), else the angle delta
// in lines of 120 eighths of a degree. X11 touchpads send no pixel delta and so zoom like wheels.
Scroll fromWheel(QPoint pixelDelta, QPoint angleDelta, bool ctrl, QPointF location);

// e^(dy·k), with the exponent held within ±20 so that a wild delta still gives a finite,
// positive factor; a delta that is not a number changes nothing.
double factor(double dy, bool precise);

struct Outcome {
  enum class Kind { zoom, pan, pass };
  Kind kind = Kind::pass;
  double factor = 1;   // zoom: the zoom is multiplied by it
  QPointF anchor;      // zoom: from the area's centre
  QSizeF panBy{0, 0};  // pan: added to the pan
};
Outcome decide(const Scroll& scroll, double zoom, QSizeF area);

// The zoom of a pinch: the zoom when it began times 1 + the sum of its steps' magnifications,
// kept finite and above 0.
double pinchZoom(double startZoom, double magnificationSum);

}  // namespace ScrollZoom
