// Selection, marks and keyboard browsing. Every move of the selection writes `selection` whole,
// so its observer resets the view state of the scan that was shown and starts the new one.
#include <algorithm>

#include "Model/AppModel.h"
#include "Model/Browsing.h"

void AppModel::selectionDidSet(const std::optional<Uuid>& old) {
  if (selection_ == old) return;
  setZoom(1);
  setPan(QSizeF(0, 0));
  plain_.detailTask.cancel();
  setDetailPreview(nullptr);
  plain_.detailFor.reset();
  setWbPickMode(false);
  if (!dustCandidates_.empty()) clearDustCandidates();
  const std::optional<size_t> index = selectedIndex();
  if (spotMode_) {
    // Healing's Cancel puts back the repairs of the scan now shown, not of the one left.
    takeHealEntry();
    setHealSource(std::nullopt);
    setSelectedRepair(std::nullopt);
  }
  if (index) {
    // The thumbnail stands in until the render arrives, unless the view shows something a
    // thumbnail is not: the unconverted scan, or the whole uncropped frame.
    const ImageItem& item = items_[*index];
    if (item.thumbnail && !showNegative_ && !cropMode_) setPreview(item.thumbnail);
    if (old) {
      if (const std::optional<size_t> previous = indexOf(*old)) {
        plain_.browseDirection = *index < *previous ? -1 : +1;
      }
    }
  }
  plain_.lastSelectionChange = clock().now();
  // The neighbour being prefetched belongs to the scan left behind.
  plain_.prefetchTask.cancel();
  requestRender();
  warmUpSelected();
}

std::vector<Uuid> AppModel::targetIDs() const {
  if (!marked_.empty()) {
    std::vector<Uuid> ids;
    for (const ImageItem& item : items_) {
      if (marked_.contains(item.id)) ids.push_back(item.id);
    }
    return ids;
  }
  if (selection_) return {*selection_};
  return {};
}

void AppModel::moveSelection(int64_t offset) {
  if (items_.empty()) return;
  const size_t target = Browsing::clampedTarget(items_.size(), selectedIndex().value_or(0), offset);
  setSelection(items_[target].id);
}

void AppModel::plainClick(const Uuid& id) {
  setMarked({});
  setSelection(id);
  plain_.rangeAnchor = id;
}

void AppModel::selectWithModifiers(const Uuid& id, bool command, bool shift) {
  if (command) {
    std::set<Uuid> marks = marked_;
    // The first ⌘ click keeps the scan already selected in the set it starts; an id that names
    // no scan is never marked, or the commands for several scans would act on nothing.
    if (marks.empty() && selectedIndex()) marks.insert(*selection_);
    if (!marks.erase(id)) marks.insert(id);
    setMarked(std::move(marks));
    setSelection(id);
    plain_.rangeAnchor = id;
    return;
  }
  if (!shift) return plainClick(id);
  const std::optional<Uuid> anchor = plain_.rangeAnchor ? plain_.rangeAnchor : selection_;
  const std::optional<size_t> from = anchor ? indexOf(*anchor) : std::nullopt;
  const std::optional<size_t> to = indexOf(id);
  if (!from || !to) return plainClick(id);
  std::set<Uuid> range;
  for (size_t i = std::min(*from, *to); i <= std::max(*from, *to); ++i) range.insert(items_[i].id);
  setMarked(std::move(range));
  plain_.rangeAnchor = anchor;
  setSelection(id);
}

bool AppModel::handleBrowseKey(BrowseKey key, bool shift) {
  // Crop mode keeps every key for its own handles.
  if (items_.empty() || cropMode_) return false;
  if (key == BrowseKey::mark) {
    if (!selectedIndex()) return false;
    std::set<Uuid> marks = marked_;
    if (!marks.erase(*selection_)) marks.insert(*selection_);
    setMarked(std::move(marks));
    plain_.rangeAnchor = selection_;
    return true;
  }
  if (key == BrowseKey::delete_) {
    return spotMode_ && spotSelecting_ && deleteSelectedRepair();
  }
  const size_t current = selectedIndex().value_or(0);
  const size_t target = Browsing::clampedTarget(
      items_.size(), current, Browsing::keyOffset(key, plain_.thumbColumns).value_or(0));
  if (target == current) return true;
  const Uuid id = items_[target].id;
  if (shift) {
    selectWithModifiers(id, false, true);
  } else {
    setSelection(id);
    plain_.rangeAnchor = id;
  }
  return true;
}

void AppModel::markAll() {
  std::set<Uuid> all;
  for (const ImageItem& item : items_) all.insert(item.id);
  setMarked(std::move(all));
}

void AppModel::applyMarquee(const std::set<Uuid>& ids) {
  if (ids.empty()) return;
  if (ids.size() == 1) {
    setMarked({});
    setSelection(*ids.begin());
    return;
  }
  if (marked_ != ids) setMarked(ids);
  if (selection_ && ids.contains(*selection_)) return;
  const auto first = std::find_if(items_.begin(), items_.end(),
                                  [&](const ImageItem& item) { return ids.contains(item.id); });
  setSelection(first == items_.end() ? std::nullopt : std::optional<Uuid>(first->id));
}

std::vector<Uuid> AppModel::contextTargets(const Uuid& clicked) const {
  if (marked_.size() > 1 && marked_.contains(clicked)) return targetIDs();
  return {clicked};
}

void AppModel::setSkipped(const std::vector<Uuid>& ids, bool skipped) {
  std::vector<ImageItem> changed = items_;
  for (ImageItem& item : changed) {
    if (std::find(ids.begin(), ids.end(), item.id) != ids.end()) item.skipped = skipped;
  }
  setItems(std::move(changed));
  setHasUnsavedChanges(true);
}

void AppModel::toggleSkipped(std::optional<Uuid> id) {
  const std::optional<Uuid> target = id ? id : selection_;
  if (!target) return;
  const std::optional<size_t> index = indexOf(*target);
  if (!index) return;
  std::vector<ImageItem> changed = items_;
  changed[*index].skipped = !changed[*index].skipped;
  setItems(std::move(changed));
  setHasUnsavedChanges(true);
}

void AppModel::revealInFinder(const Uuid& id) {
  if (const std::optional<size_t> index = indexOf(id)) {
    workspace().reveal(items_[*index].url);
  }
}
