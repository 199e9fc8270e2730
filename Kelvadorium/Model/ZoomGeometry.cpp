#include "Model/ZoomGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ZoomGeometry {

namespace {

double clampedAxis(double value, double fitted, double zoom, double container) {
  const double limit = std::max((fitted * zoom - container) / 2 + panSlack, 0.0);
  return std::clamp(value, -limit, limit);
}

}  // namespace

double limitedZoom(double requested, double oneToOne) {
  const double atLeastFitted = requested > 1 ? requested : 1;
  return std::min(atLeastFitted, std::max(4 * oneToOne, 8.0));
}

QSizeF clampedPan(QSizeF offset, double zoom, QSizeF fitted, QSizeF container) {
  if (zoom <= fittedZoom) return {0, 0};
  return {clampedAxis(offset.width(), fitted.width(), zoom, container.width()),
          clampedAxis(offset.height(), fitted.height(), zoom, container.height())};
}

std::optional<View> zoomedAbout(const View& view, double requested, double ax, double ay,
                                double oneToOne, QSizeF fitted, QSizeF container) {
  const double zoom = limitedZoom(requested, oneToOne);
  if (std::abs(zoom - view.zoom) <= zoomTolerance) return std::nullopt;
  // The image point under the anchor, in fitted-image points from the image centre.
  const double kx = (ax - view.pan.width()) / view.zoom;
  const double ky = (ay - view.pan.height()) / view.zoom;
  return View{zoom, clampedPan({ax - zoom * kx, ay - zoom * ky}, zoom, fitted, container)};
}

std::optional<double> oneToOneZoom(double fullPixelWidth, double fittedWidth, double backingScale) {
  if (!(fittedWidth > 0) || !(fullPixelWidth > 0)) return std::nullopt;
  const double scale = backingScale > 0 ? backingScale : 2;
  return fullPixelWidth / (fittedWidth * scale);
}

std::optional<int> zoomPercent(double zoom, double oneToOne, double fullPixelWidth) {
  if (!(oneToOne > 0) || !(fullPixelWidth > 0)) return std::nullopt;
  const double percent = std::round(zoom / oneToOne * 100);
  // A tiny 1:1 zoom (an enormous fitted width) must not overflow the integer.
  constexpr double most = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(percent, -most, most));
}

std::optional<double> splitPosition(double x, double width) {
  if (!(width > 0) || !std::isfinite(x) || !std::isfinite(width)) return std::nullopt;
  return std::clamp(x / width, 0.02, 0.98);
}

}  // namespace ZoomGeometry
