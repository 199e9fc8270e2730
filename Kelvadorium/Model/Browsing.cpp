#include "Model/Browsing.h"

namespace Browsing {

size_t clampedTarget(size_t count, size_t current, int64_t offset) {
  const size_t last = count - 1;
  // Compared before adding, so that no offset can overflow.
  if (offset < 0) {
    const uint64_t back = 0 - static_cast<uint64_t>(offset);
    return back >= current ? 0 : current - static_cast<size_t>(back);
  }
  const uint64_t on = static_cast<uint64_t>(offset);
  return on >= last - current ? last : current + static_cast<size_t>(on);
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

}  // namespace Browsing
