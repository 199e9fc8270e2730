// Adding, removing and clearing scans, and the save prompt before the session is dropped.
#include "Model/AppModel.h"

QCoro::Task<bool> AppModel::confirmSaveBeforeClosing() { co_return true; }

void AppModel::closeSession() {}
