// Zoom, the 1:1 detail render and before/after compare.
#include "Model/AppModel.h"

void AppModel::compareModeDidSet(const CompareMode&) {}

void AppModel::startDetailRender() {}
void AppModel::renderBefore() {}
