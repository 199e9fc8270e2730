// Measuring across scans: even light, roll analysis, reference matching and copying the look.
#include "Model/AppModel.h"

QCoro::Task<> AppModel::chooseBlankFrame(bool) { co_return; }

void AppModel::setFlatField(std::optional<std::filesystem::path>, bool) {}

std::vector<ImageItem> AppModel::rollFrames() const { return {}; }

void AppModel::analyseRoll() {}

QCoro::Task<> AppModel::chooseReferencePhoto() { co_return; }

void AppModel::startReferenceMatch(const std::filesystem::path&) {}

void AppModel::copyLookToAll() {}
