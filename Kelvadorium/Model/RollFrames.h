// Which scans a roll colour balance is learned from: colour frames of the selected scan's film
// type, either the marked ones or, with fewer than two marked, every one in the session.
#pragma once

#include <optional>
#include <set>
#include <vector>

#include "Model/ImageItem.h"
#include "Support/Uuid.h"

namespace RollFrames {

// Indexes into `items`, in list order. Nothing without a selected scan or when it is a
// black-and-white negative. With two or more marked scans only marked ones count, and of those
// only the selected scan's film type: one balance across negatives and slides fits neither.
std::vector<size_t> pick(const std::vector<ImageItem>& items, std::optional<size_t> selected,
                         const std::set<Uuid>& marked);

}  // namespace RollFrames
