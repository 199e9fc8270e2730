// Record changes of the editing tools.
#include "Model/AppModel.h"

bool AppModel::deleteSelectedRepair() { return false; }
