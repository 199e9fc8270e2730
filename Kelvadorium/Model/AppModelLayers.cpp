// Dodge & burn layers with their shapes, and red-eye marks.
#include "Model/AppModel.h"

std::vector<LocalLayer> AppModel::selectedLayers() const { return {}; }

std::optional<int> AppModel::selectedLayerIndex() const { return std::nullopt; }

bool AppModel::selectedLayerIsBrushOnly() const { return true; }

QString AppModel::nextLayerName() const { return QStringLiteral("Layer 1"); }

bool AppModel::radialOutside() const { return false; }

void AppModel::setRadialOutside(bool) {}

double AppModel::selectedLayerValue(double LocalAdjustment::*) const { return 0; }

void AppModel::setSelectedLayerValue(double LocalAdjustment::*, double) {}

void AppModel::addBrushStroke(const std::vector<QPointF>&) {}

void AppModel::addLinearGradient(QPointF, QPointF) {}

void AppModel::addRadialGradient(QPointF, double, double) {}

void AppModel::addStroke(const DodgeBurnStroke&) {}

void AppModel::addLayer() {}

void AppModel::toggleLayerSelection(const Uuid&) {}

void AppModel::deleteLayer(const Uuid&) {}

void AppModel::dragStroke(const Uuid&, const std::vector<std::vector<double>>&, double, double) {}

void AppModel::removeStroke(ConversionSettings&, const Uuid&) {}

void AppModel::toggleStrokeInvert(ConversionSettings&, const Uuid&) {}

void AppModel::toggleLayerVisible(ConversionSettings&, const Uuid&) {}

void AppModel::removeRedEye(ConversionSettings&, const Uuid&) {}
