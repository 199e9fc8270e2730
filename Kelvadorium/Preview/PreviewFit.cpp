#include "Preview/PreviewFit.h"

#include <algorithm>
#include <cmath>

#include "Model/ZoomGeometry.h"

namespace PreviewFit {

Margins margins(bool cropMode) {
  if (cropMode) return {128, 44, 120};
  return {48, 24, 24};
}

QSizeF fittedSize(QSizeF area, QSize pixels, bool cropMode) {
  if (pixels.width() <= 0 || pixels.height() <= 0) return {};
  const Margins m = margins(cropMode);
  const double w = pixels.width();
  const double h = pixels.height();
  // NaN sizes count as nothing left, like a pane smaller than its margins.
  const double across = std::max(area.width() - m.across, 1.0);
  const double down = std::max(area.height() - m.top - m.bottom, 1.0);
  const double scale = std::min(across / w, down / h);
  return {scale * w, scale * h};
}

double centringOffset(bool cropMode) {
  const Margins m = margins(cropMode);
  return (m.top - m.bottom) / 2;
}

QPointF overlayPoint(const Placement& p, QPointF at) {
  const double zoom = p.zoom > 0 ? p.zoom : 1;
  return {
      (at.x() - p.area.width() / 2 - p.pan.width()) / zoom + p.fitted.width() / 2,
      (at.y() - p.area.height() / 2 - p.pan.height() - p.centring) / zoom + p.fitted.height() / 2};
}

QPointF areaPoint(const Placement& p, QPointF at) {
  const double zoom = p.zoom > 0 ? p.zoom : 1;
  return {
      (at.x() - p.fitted.width() / 2) * zoom + p.area.width() / 2 + p.pan.width(),
      (at.y() - p.fitted.height() / 2) * zoom + p.area.height() / 2 + p.pan.height() + p.centring};
}

bool panMode(bool spaceHeld, double zoom, bool anyToolMode) {
  return spaceHeld || (zoom > ZoomGeometry::fittedZoom && !anyToolMode);
}

double backingScale(std::optional<double> screenRatio) {
  return screenRatio && *screenRatio > 0 && std::isfinite(*screenRatio) ? *screenRatio : 2;
}

bool detailWish(double previewPixelWidth, bool quickPass, double fittedWidth, double zoom,
                double backingScale) {
  return (quickPass ? 2 : 1) * previewPixelWidth * 1.15 < fittedWidth * zoom * backingScale;
}

}  // namespace PreviewFit
