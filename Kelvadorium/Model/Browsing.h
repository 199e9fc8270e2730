// The arithmetic of moving through the list of scans: where an arrow key or a step lands.
// Targets clamp to the list at both ends; nothing wraps around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "Model/BrowseKey.h"

namespace Browsing {

// The index `offset` away from `current` in a list of `count` scans, kept inside the list;
// `current` must be an index of the list. No offset overflows.
size_t clampedTarget(size_t count, size_t current, int64_t offset);

// The step of a direction key in a grid of `columns` columns: one scan sideways, one row up or
// down (a row is one scan below two columns). Nothing for the keys that do not move.
std::optional<int64_t> keyOffset(BrowseKey key, int columns);

}  // namespace Browsing
