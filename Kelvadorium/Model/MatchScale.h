// The scale a reference match decodes its scan at: about 450 pixels on the long side, never
// more, never enlarged.
#pragma once

#include <optional>
#include <utility>

namespace MatchScale {

// The long side the match works at.
inline constexpr double longSide = 450;

// For a file of `size` pixels (width and height, as stored): the largest decode scale whose
// long side, rounded up from the scale as the decoder rounds it, is at most longSide pixels;
// at most 1. A quarter when the size is unknown.
double forSize(const std::optional<std::pair<double, double>>& size);

}  // namespace MatchScale
