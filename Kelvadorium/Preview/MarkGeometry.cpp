#include "Preview/MarkGeometry.h"

#include <QLineF>
#include <algorithm>
#include <cmath>
#include <limits>

namespace MarkGeometry {

bool drawable(QPointF p, QSizeF size) {
  return std::isfinite(p.x()) && std::isfinite(p.y()) && p.x() >= -reach && p.y() >= -reach &&
         p.x() <= size.width() + reach && p.y() <= size.height() + reach;
}

bool drawable(double length) { return std::isfinite(length) && std::abs(length) <= reach; }

std::optional<QPointF> overlayPoint(const PreviewMapping::Frame& frame, double x, double y,
                                    QSizeF size) {
  const auto mapped = PreviewMapping::previewPoint(frame, QPointF(x, y));
  if (!mapped) return std::nullopt;
  const QPointF p(mapped->x() * size.width(), mapped->y() * size.height());
  if (!drawable(p, size)) return std::nullopt;
  return p;
}

std::optional<QPointF> overlayPoint(const PreviewMapping::Frame& frame,
                                    const std::vector<double>& stored, QSizeF size) {
  if (stored.size() < 2) return std::nullopt;
  return overlayPoint(frame, stored[0], stored[1], size);
}

std::optional<double> overlayLength(const PreviewMapping::Frame& frame, double length,
                                    QSizeF size) {
  const double l = size.width() * PreviewMapping::previewLength(frame, length);
  if (!drawable(l)) return std::nullopt;
  return l;
}

double distanceToSegment(QPointF q, QPointF a, QPointF b) {
  const QPointF v = b - a;
  const double lengthSquared = QPointF::dotProduct(v, v);
  if (!(lengthSquared > 0)) return QLineF(q, a).length();
  const double t = std::clamp(QPointF::dotProduct(q - a, v) / lengthSquared, 0.0, 1.0);
  return QLineF(q, a + t * v).length();
}

double distanceToPolyline(QPointF q, const std::vector<QPointF>& points) {
  if (points.empty()) return std::numeric_limits<double>::infinity();
  if (points.size() == 1) return QLineF(points.front(), q).length();
  double nearest = std::numeric_limits<double>::infinity();
  for (size_t i = 1; i < points.size(); ++i) {
    nearest = std::min(nearest, distanceToSegment(q, points[i - 1], points[i]));
  }
  return nearest;
}

bool sameFrame(const std::optional<PreviewMapping::Frame>& a,
               const std::optional<PreviewMapping::Frame>& b) {
  if (!a || !b) return !a && !b;
  const auto sameNumber = [](double x, double y) {
    return x == y || (std::isnan(x) && std::isnan(y));
  };
  return a->width == b->width && a->height == b->height && sameNumber(a->angle, b->angle) &&
         a->crop == b->crop && a->photo == b->photo;
}

}  // namespace MarkGeometry
