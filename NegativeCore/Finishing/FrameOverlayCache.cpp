#include "Finishing/FrameOverlayCache.h"

std::shared_ptr<const FilmFrames::Box> FrameOverlayCache::find(std::string_view id) {
  std::lock_guard lock(mutex_);
  const auto it = index_.find(std::string(id));
  if (it == index_.end()) return nullptr;
  order_.splice(order_.begin(), order_, it->second);
  return it->second->box;
}

void FrameOverlayCache::store(const std::string& id, std::shared_ptr<const FilmFrames::Box> box) {
  if (!box) return;
  std::lock_guard lock(mutex_);
  if (const auto it = index_.find(id); it != index_.end()) remove(it->second);
  bytes_ += box->byteCount();
  order_.push_front(Entry{id, std::move(box)});
  index_[id] = order_.begin();
  while (bytes_ > byteLimit_ && order_.size() > 1) remove(std::prev(order_.end()));
}

size_t FrameOverlayCache::bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

size_t FrameOverlayCache::count() const {
  std::lock_guard lock(mutex_);
  return order_.size();
}

FrameOverlayCache& FrameOverlayCache::shared() {
  static FrameOverlayCache cache;
  return cache;
}

void FrameOverlayCache::remove(Order::iterator entry) {
  bytes_ -= entry->box->byteCount();
  index_.erase(entry->id);
  order_.erase(entry);
}
