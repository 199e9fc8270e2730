// Edit history: undo and redo entries, and the bookkeeping after every settings change.
#include <algorithm>

#include "Model/AppModel.h"

namespace {

// Edits of one scan closer together than this are one undo step.
constexpr Clock::Duration mergeWindow = seconds(0.7);
// Entries kept, counted in entries; whole groups leave, oldest first.
constexpr size_t historyCap = 300;

// Drops whole groups from the front while the stack is over the cap; the newest group stays
// whole even when it alone is over the cap, so its undo restores every scan it changed.
void evictOldGroups(std::vector<HistoryEntry>& stack) {
  size_t drop = 0;
  const Uuid newest = stack.back().group;
  while (stack.size() - drop > historyCap && stack[drop].group != newest) {
    const Uuid oldest = stack[drop].group;
    while (stack[drop].group == oldest) ++drop;
  }
  stack.erase(stack.begin(), stack.begin() + static_cast<ptrdiff_t>(drop));
}

}  // namespace

void AppModel::settingsChanged(size_t index) {
  setHasUnsavedChanges(true);
  const Uuid id = items_[index].id;
  if (selection_ == id) requestRender();
  scheduleSidecarSave(id);
  refreshThumbnail(id);
}

void AppModel::recordEdit(const Uuid& id, const ConversionSettings& before,
                          const ConversionSettings& after, std::optional<Uuid> group) {
  auto& undoStack = plain_.undoStack;
  const bool merges = !group && !undoStack.empty() && undoStack.back().id == id &&
                      clock().isWithin(plain_.lastEditTime, mergeWindow);
  if (merges) {
    undoStack.back().after = after;
  } else {
    undoStack.push_back(HistoryEntry{group.value_or(Uuid::random()), id, before, after});
    evictOldGroups(undoStack);
  }
  plain_.lastEditTime = group ? Clock::Moment{} : Clock::Moment{clock().now()};
  plain_.redoStack.clear();
  setCanUndo(true);
  setCanRedo(false);
}

void AppModel::undo() { moveTopGroup(plain_.undoStack, plain_.redoStack, true); }

void AppModel::redo() { moveTopGroup(plain_.redoStack, plain_.undoStack, false); }

void AppModel::moveTopGroup(std::vector<HistoryEntry>& from, std::vector<HistoryEntry>& to,
                            bool undoing) {
  if (from.empty()) return;
  const Uuid group = from.back().group;
  while (!from.empty() && from.back().group == group) {
    HistoryEntry entry = std::move(from.back());
    from.pop_back();
    applyEdit(entry.id, undoing ? entry.before : entry.after);
    to.push_back(std::move(entry));
  }
  plain_.lastEditTime = Clock::Moment{};
  setCanUndo(!plain_.undoStack.empty());
  setCanRedo(!plain_.redoStack.empty());
}

std::optional<size_t> AppModel::indexOf(const Uuid& id) const {
  const auto found = std::find_if(items_.begin(), items_.end(),
                                  [&](const ImageItem& item) { return item.id == id; });
  if (found == items_.end()) return std::nullopt;
  return static_cast<size_t>(found - items_.begin());
}

void AppModel::applyEdit(const Uuid& id, const ConversionSettings& settings) {
  const auto index = indexOf(id);
  if (!index) return;
  storeSettings(*index, settings);
  settingsChanged(*index);
  if (selection_ != id && marked_.empty()) setSelection(id);
}

void AppModel::storeSettings(size_t index, ConversionSettings settings) {
  items_[index].settings = std::move(settings);
  emit itemsChanged();
}

bool AppModel::writeOutsideHistory(const Uuid& id, const Change& change) {
  const auto index = indexOf(id);
  if (!index) return false;
  ConversionSettings changed = items_[*index].settings;
  change(changed);
  if (changed == items_[*index].settings) return false;
  for (auto* stack : {&plain_.undoStack, &plain_.redoStack}) {
    for (HistoryEntry& entry : *stack) {
      if (entry.id != id) continue;
      change(entry.before);
      change(entry.after);
    }
  }
  storeSettings(*index, std::move(changed));
  return true;
}
