#include "Preview/ScrollZoom.h"

#include <algorithm>
#include <cmath>

#include "Model/ZoomGeometry.h"

namespace ScrollZoom {

namespace {

constexpr double perLine = 0.12;
constexpr double perPoint = 0.01;
constexpr double mostExponent = 20;
constexpr double eighthsPerLine = 120;

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0; }

}  // namespace

Scroll fromWheel(QPoint pixelDelta, QPoint angleDelta, bool ctrl, QPointF location) {
  if (!pixelDelta.isNull()) return {QPointF(pixelDelta), true, ctrl, location};
  return {QPointF(angleDelta) / eighthsPerLine, false, ctrl, location};
}

double factor(double dy, bool precise) {
  const double exponent = finiteOrZero(dy) * (precise ? perPoint : perLine);
  return std::exp(std::clamp(exponent, -mostExponent, mostExponent));
}

Outcome decide(const Scroll& scroll, double zoom, QSizeF area) {
  Outcome outcome;
  if (!scroll.precise || scroll.ctrl) {
    outcome.kind = Outcome::Kind::zoom;
    outcome.factor = factor(scroll.delta.y(), scroll.precise);
    outcome.anchor = {scroll.location.x() - area.width() / 2,
                      scroll.location.y() - area.height() / 2};
    return outcome;
  }
  if (zoom > ZoomGeometry::fittedZoom) {
    outcome.kind = Outcome::Kind::pan;
    outcome.panBy = {finiteOrZero(scroll.delta.x()), finiteOrZero(scroll.delta.y())};
  }
  return outcome;
}

double pinchZoom(double startZoom, double magnificationSum) {
  const double scale = 1 + finiteOrZero(magnificationSum);
  const double zoom = startZoom * scale;
  // The model keeps the zoom within its limits; this only keeps the request a finite number.
  if (!std::isfinite(zoom)) return std::max(startZoom, 1.0) * std::exp(mostExponent);
  return std::max(zoom, 0.0);
}

}  // namespace ScrollZoom
