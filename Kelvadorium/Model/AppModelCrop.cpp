// Crop actions beyond the crop edits themselves.
#include "Model/AppModel.h"

NormRect AppModel::effectiveCrop() const { return NormRect::full; }

QString AppModel::cropStatusText() const { return {}; }

void AppModel::autoCropAll() {}

QSize AppModel::previewAspectSize() const { return QSize(3, 2); }

void AppModel::swapCropOrientation() {}
