// Healing repairs: the tools' presets, clicks and strokes, and their sources.
#include "Model/AppModel.h"

void AppModel::chooseHealTool(SpotKind) {}

void AppModel::switchHealTool(SpotKind) {}

void AppModel::chooseSelectTool() {}

void AppModel::addRepairSpot(double, double) {}

void AppModel::addRepairStroke(const std::vector<QPointF>&) {}

std::vector<Spot> AppModel::applyHealToolSettings(std::vector<Spot> spots) const { return spots; }

bool AppModel::applyCloneSource(std::vector<Spot>&) { return false; }

int AppModel::repairCount() const { return 0; }

void AppModel::removeLastRepair() {}
