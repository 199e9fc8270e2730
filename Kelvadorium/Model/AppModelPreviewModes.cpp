// Preview modes, the looks under the pointer, prefetch and warm-up.
#include "Model/AppModel.h"

void AppModel::previewModeDidSet(PreviewMode) {}
void AppModel::hoverFilmLookDidSet(const std::optional<HoverLook>&) {}
void AppModel::hoverScannerDidSet(const std::optional<ScannerLook>&) {}
void AppModel::warmUpSelected() {}
