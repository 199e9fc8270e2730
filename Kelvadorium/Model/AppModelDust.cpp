// Finding dust on the selected scan and removing the finds the user did not keep.
#include "Model/AppModel.h"

void AppModel::findDust() {}

bool AppModel::isFaintDust(const Uuid&) const { return false; }

void AppModel::toggleKeptDust(const Uuid&) {}

void AppModel::removeDust() {}
