// Edit history: undo and redo entries, and the bookkeeping after every settings change.
#include "Model/AppModel.h"

void AppModel::settingsChanged(size_t) {}
