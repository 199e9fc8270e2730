// The five tool modes: each switch-on turns the others off, in a fixed order. Switching a mode
// off writes false through its setter, so its own observer runs before the next step and the
// observers nest; by the time any setter returns, the five flags and both snapshots agree.
#include <algorithm>
#include <cmath>

#include "Model/AppModel.h"

void AppModel::cropModeDidSet(const bool& old) {
  if (cropMode_ == old) return;
  if (cropMode_) {
    switchOff({&AppModel::setSpotMode, &AppModel::setDodgeMode, &AppModel::setWbPickMode,
               &AppModel::setRedEyeMode});
    const std::optional<size_t> index = selectedIndex();
    plain_.cropEntry = index ? std::optional(items_[*index].settings) : std::nullopt;
    plain_.cropEntryScan = index ? std::optional(items_[*index].id) : std::nullopt;
    setZoom(1);
    setPan(QSizeF(0, 0));
  } else {
    plain_.cropEntry.reset();
    plain_.cropEntryScan.reset();
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

void AppModel::cancelCrop() {
  // The snapshot belongs to the scan crop mode began on; after another scan was selected it
  // would write one scan's geometry and marks into another, so it is only dropped then.
  if (plain_.cropEntry && plain_.cropEntryScan && plain_.cropEntryScan == selection_) {
    restoreCropSettings(*plain_.cropEntry);
  }
  setLiveRotation(0);
  setCropMode(false);
}

void AppModel::cancelHealing() {
  // Repairs still searching for a source see the new session and are dropped on arrival.
  ++plain_.healSession;
  if (plain_.healEntry && plain_.healEntry->first == selection_) {
    restoreSpots(plain_.healEntry->second);
  }
  setSpotMode(false);
}

namespace {

double selectedSkew(const AppModel& model) {
  const std::optional<size_t> index = model.selectedIndex();
  return index ? model.items()[*index].settings.skewDegrees : 0;
}

// Changes of a smaller size than this are slider noise, not a rotation.
constexpr double rotationNoise = 0.001;

}  // namespace

// After a drag's end the record holds the angle; the live rotation left until the next preview
// only turns the old picture on screen and must not count twice.
double AppModel::straightenAngle() const {
  return selectedSkew(*this) + (plain_.isRotating ? liveRotation_ : 0);
}

void AppModel::setStraightenAngle(double angle) {
  plain_.isRotating = true;
  if (!std::isfinite(angle)) return;
  setLiveRotation(std::clamp(angle, -45.0, 45.0) - selectedSkew(*this));
}

void AppModel::endLiveRotation() {
  plain_.isRotating = false;
  if (std::abs(liveRotation_) > rotationNoise) {
    commitRotation(liveRotation_);
    // The preview on screen still shows the old angle; the render loop clears the live rotation
    // as it publishes the new one. Without a scan no render comes.
    if (!selectedIndex()) setLiveRotation(0);
  } else {
    setLiveRotation(0);
  }
}

bool AppModel::resizeBrush(bool larger) {
  struct Brush {
    double (AppModel::*get)() const;
    void (AppModel::*set)(double);
    double lower;
    double upper;
  };
  std::optional<Brush> brush;
  if (spotMode_) {
    brush = Brush{&AppModel::spotBrush, &AppModel::setSpotBrush, 0.0005, 0.04};
  } else if (dodgeMode_ && dodgeShape() == DodgeShape::brush) {
    brush = Brush{&AppModel::dodgeSize, &AppModel::setDodgeSize, 0.005, 0.2};
  } else if (redEyeMode_) {
    brush = Brush{&AppModel::redEyeSize, &AppModel::setRedEyeSize, 0.003, 0.05};
  }
  if (!brush) return false;
  const double factor = larger ? 1.15 : 0.8695652173913044;
  const double size =
      std::min(std::max((this->*brush->get)() * factor, brush->lower), brush->upper);
  (this->*brush->set)(size);
  return true;
}
