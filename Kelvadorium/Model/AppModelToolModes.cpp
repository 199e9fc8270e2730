// The five tool modes: each switch-on turns the others off, in a fixed order.
#include "Model/AppModel.h"

void AppModel::cropModeDidSet(const bool&) {}
void AppModel::spotModeDidSet(const bool&) {}
void AppModel::wbPickModeDidSet(const bool&) {}
void AppModel::dodgeModeDidSet(const bool&) {}
void AppModel::redEyeModeDidSet(const bool&) {}

void AppModel::clearDustCandidates() {}
