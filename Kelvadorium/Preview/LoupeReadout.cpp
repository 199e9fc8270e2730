#include "Preview/LoupeReadout.h"

#include <algorithm>

#include "Model/ZoomGeometry.h"
#include "ViewKit/PrintfText.h"

namespace LoupeReadout {

QString text(double zoom, std::optional<int> percent) {
  if (zoom <= ZoomGeometry::fittedZoom) return QStringLiteral("Fit");
  if (percent) return QString::number(*percent) + QLatin1Char('%');
  return PrintfText::format("%.1f\u00D7", zoom);
}

bool canZoomOut(double zoom) { return zoom > ZoomGeometry::fittedZoom; }

bool canZoomIn(double zoom, double oneToOneZoom) {
  return zoom < std::max(4 * oneToOneZoom, 8.0) - 0.001;
}

}  // namespace LoupeReadout
