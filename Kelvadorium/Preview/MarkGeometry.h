// Placing stored marks on an overlay: image points and lengths through one mapping snapshot into
// overlay points, and the distances the overlays' hit tests share. A stored point needs two
// numbers; geometry that is not finite or lies farther than `reach` outside the overlay is left
// out, because the painter turns coordinates into fixed-point integers and a hand-edited record
// holding 1e300 would otherwise hang or garble the paint.
#pragma once

#include <QPointF>
#include <QSizeF>
#include <optional>
#include <vector>

#include "Model/PreviewMapping.h"

namespace MarkGeometry {

inline constexpr double reach = 1e6;

// Finite and no farther than `reach` outside the W × H overlay.
bool drawable(QPointF point, QSizeF size);
// Finite and no longer than `reach`.
bool drawable(double length);

// The overlay point of an image point, when it maps and is drawable.
std::optional<QPointF> overlayPoint(const PreviewMapping::Frame& frame, double x, double y,
                                    QSizeF size);
// The same for a stored point; fewer than two numbers give nothing.
std::optional<QPointF> overlayPoint(const PreviewMapping::Frame& frame,
                                    const std::vector<double>& stored, QSizeF size);
// A length as a share of the scan's long edge, in overlay points, when drawable.
std::optional<double> overlayLength(const PreviewMapping::Frame& frame, double length, QSizeF size);

// From q to the segment a–b, the projection clamped to its ends; a segment of no length is a.
double distanceToSegment(QPointF q, QPointF a, QPointF b);

// From q to the nearest segment of a line through the points; one point is a line of no length,
// none is infinitely far.
double distanceToPolyline(QPointF q, const std::vector<QPointF>& points);

// Whether two snapshots map alike, so geometry mapped through one holds for the other.
bool sameFrame(const std::optional<PreviewMapping::Frame>& a,
               const std::optional<PreviewMapping::Frame>& b);

}  // namespace MarkGeometry
