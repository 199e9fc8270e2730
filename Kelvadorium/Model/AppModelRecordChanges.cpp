// Record changes of the editing tools: the few changes of a record that run inside settings
// edits, and removing one repair.
#include <algorithm>

#include "Model/AppModel.h"

namespace {

// A repair is a spot's group when it has one, else the spot alone.
Uuid repairID(const Spot& spot) { return spot.group.value_or(spot.id); }

bool validIndex(size_t size, int index) { return index >= 0 && static_cast<size_t>(index) < size; }

}  // namespace

bool AppModel::deleteSelectedRepair() {
  const auto index = selectedIndex();
  if (!selectedRepair_ || !index) return false;
  const auto& spots = items_[*index].settings.spots;
  const auto found = std::find_if(spots.begin(), spots.end(), [&](const Spot& spot) {
    return repairID(spot) == *selectedRepair_;
  });
  if (found == spots.end()) return false;
  removeRepair(found->id);
  setSelectedRepair(std::nullopt);
  return true;
}

void AppModel::removeRepair(const Uuid& spotID) {
  const auto index = selectedIndex();
  if (!index) return;
  const auto& spots = items_[*index].settings.spots;
  const auto found =
      std::find_if(spots.begin(), spots.end(), [&](const Spot& spot) { return spot.id == spotID; });
  if (found == spots.end()) return;
  const std::optional<Uuid> group = found->group;
  editSelected([&](ConversionSettings& s) {
    std::erase_if(
        s.spots, [&](const Spot& spot) { return group ? spot.group == group : spot.id == spotID; });
  });
}

void AppModel::applyStrokeInvert(ConversionSettings& settings, int layer, int shape, bool invert) {
  if (!validIndex(settings.layers.size(), layer)) return;
  auto& shapes = settings.layers[static_cast<size_t>(layer)].shapes;
  if (!validIndex(shapes.size(), shape)) return;
  shapes[static_cast<size_t>(shape)].invert = invert;
}

void AppModel::appendRedEye(ConversionSettings& settings, double radius, double x, double y) {
  settings.redEyes.push_back(RedEye{Uuid::random(), x, y, radius});
}

void AppModel::zeroLayerAdjust(ConversionSettings& settings, int layer) {
  if (!validIndex(settings.layers.size(), layer)) return;
  settings.layers[static_cast<size_t>(layer)].adjust = LocalAdjustment{};
}
