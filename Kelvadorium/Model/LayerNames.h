// The name a new local adjustment layer gets: one more than the largest number among the
// existing "Layer <n>" names. Pure functions of the names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace LayerNames {

// The number a name carries once every "Layer " is taken out of it: an optional sign, then
// digits only, within the 64-bit range; nothing for any other name.
std::optional<int64_t> numberIn(std::string_view name);

// "Layer " and one more than the largest number the names carry (0 when none does). The largest
// 64-bit number gives "Layer 9223372036854775808" rather than wrapping round.
std::string next(const std::vector<std::string>& names);

}  // namespace LayerNames
