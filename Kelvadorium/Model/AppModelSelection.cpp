// Selection, marks and keyboard browsing.
#include "Model/AppModel.h"

void AppModel::selectionDidSet(const std::optional<Uuid>&) {}

std::vector<Uuid> AppModel::targetIDs() const {
  if (selection_) return {*selection_};
  return {};
}
