// The five tool modes: each switch-on turns the others off, in a fixed order. Switching a mode
// off writes false through its setter, so its own observer runs before the next step and the
// observers nest; by the time any setter returns, the five flags and both snapshots agree.
#include "Model/AppModel.h"

void AppModel::cropModeDidSet(const bool& old) {
  if (cropMode_ == old) return;
  if (cropMode_) {
    switchOff({&AppModel::setSpotMode, &AppModel::setDodgeMode, &AppModel::setWbPickMode,
               &AppModel::setRedEyeMode});
    const std::optional<size_t> index = selectedIndex();
    plain_.cropEntry = index ? std::optional(items_[*index].settings) : std::nullopt;
    setZoom(1);
    setPan(QSizeF(0, 0));
  } else {
    plain_.cropEntry.reset();
  }
  // The loop renders the whole, uncropped frame while cropping, and the crop again after.
  requestRender();
}

void AppModel::spotModeDidSet(const bool& old) {
  if (spotMode_) {
    // Every write of true, also a repeated one: a tool choice re-asserts healing over the rest.
    switchOff({&AppModel::setCropMode, &AppModel::setDodgeMode, &AppModel::setWbPickMode,
               &AppModel::setRedEyeMode});
  }
  if (spotMode_ == old) return;
  if (spotMode_) {
    takeHealEntry();
  } else {
    plain_.healEntry.reset();
    setHealSource(std::nullopt);
    setSpotSelecting(false);
    setSelectedRepair(std::nullopt);
  }
}

void AppModel::takeHealEntry() {
  plain_.healEntry.reset();
  if (const std::optional<size_t> index = selectedIndex()) {
    plain_.healEntry.emplace(items_[*index].id, items_[*index].settings.spots);
  }
}

void AppModel::switchOff(std::initializer_list<void (AppModel::*)(bool)> modes) {
  for (const auto setter : modes) (this->*setter)(false);
}

// The three modes without a snapshot act only on entering; leaving them changes nothing else.
void AppModel::wbPickModeDidSet(const bool&) {
  if (!wbPickMode_) return;
  switchOff({&AppModel::setSpotMode, &AppModel::setCropMode, &AppModel::setDodgeMode,
             &AppModel::setRedEyeMode});
}

void AppModel::dodgeModeDidSet(const bool&) {
  if (!dodgeMode_) return;
  switchOff({&AppModel::setSpotMode, &AppModel::setCropMode, &AppModel::setWbPickMode,
             &AppModel::setRedEyeMode});
}

void AppModel::redEyeModeDidSet(const bool&) {
  if (!redEyeMode_) return;
  switchOff({&AppModel::setSpotMode, &AppModel::setCropMode, &AppModel::setWbPickMode,
             &AppModel::setDodgeMode});
}

void AppModel::clearDustCandidates() {
  setDustCandidates({});
  setKeptDust({});
  plain_.dustFor.reset();
}

// Filled in with the editing tools.
void AppModel::cancelCrop() { setCropMode(false); }

void AppModel::cancelHealing() { setSpotMode(false); }

double AppModel::straightenAngle() const { return 0; }

void AppModel::setStraightenAngle(double) {}

void AppModel::endLiveRotation() {}

bool AppModel::resizeBrush(bool) { return false; }
