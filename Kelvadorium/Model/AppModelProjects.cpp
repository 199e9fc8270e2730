// Projects and the recent-projects list.
#include "Model/AppModel.h"

QString AppModel::projectName() const { return {}; }
bool AppModel::saveProject(const std::filesystem::path&) { return false; }
QCoro::Task<> AppModel::saveProjectAs() { co_return; }
