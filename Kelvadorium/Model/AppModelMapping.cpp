// Between the shown preview and the scan's own frame.
#include "Model/AppModel.h"

std::optional<QPointF> AppModel::imagePoint(double, double) const { return std::nullopt; }

std::optional<QPointF> AppModel::previewPoint(double, double) const { return std::nullopt; }

double AppModel::previewLength(double) const { return 0.01; }

std::optional<AppModel::PreviewCircle> AppModel::previewCircle(const Spot&) const {
  return std::nullopt;
}

QRectF AppModel::photoRect() const { return QRectF(0, 0, 1, 1); }
