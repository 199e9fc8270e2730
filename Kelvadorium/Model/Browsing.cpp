#include "Model/Browsing.h"

#include <algorithm>

namespace Browsing {

size_t clampedTarget(size_t count, size_t current, int64_t offset) {
  const int64_t last = static_cast<int64_t>(count) - 1;
  return static_cast<size_t>(std::clamp(static_cast<int64_t>(current) + offset, int64_t{0}, last));
}

std::optional<int64_t> keyOffset(BrowseKey key, int columns) {
  const int64_t row = columns < 2 ? 1 : columns;
  switch (key) {
    case BrowseKey::left:
      return -1;
    case BrowseKey::right:
      return +1;
    case BrowseKey::up:
      return -row;
    case BrowseKey::down:
      return +row;
    case BrowseKey::mark:
    case BrowseKey::delete_:
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<size_t> indexOf(const std::vector<ImageItem>& items, const Uuid& id) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].id == id) return i;
  }
  return std::nullopt;
}

}  // namespace Browsing
