// The blank-frame dust pass: dust on the light source or the scanner glass, found by the classic
// finders over the blank frame itself.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "Record/Spot.h"

namespace FlatField {

// Dust on the light source or the scanner glass: the classic finders at sensitivity 0.8 over the
// whole blank frame, decoded with the scan's quarter turns and mirroring at up to
// targetLongSide pixels (a quarter of its size when that cannot be read), uncorrected. Finds
// are normalised to the blank frame so decoded, without clone sources; a blank frame that
// cannot be decoded gives none.
std::vector<Spot> findDust(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored,
                           int64_t targetLongSide);

}  // namespace FlatField
