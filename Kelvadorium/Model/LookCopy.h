// Copying one scan's look onto another: everything of the record travels except what belongs to
// the target's own frame (its framing and orientation, healed spots, red-eye marks and film
// information).
#pragma once

#include "Record/ConversionSettings.h"

namespace LookCopy {

// `look` with the target's own quarter turns, mirroring, crop, crop aspect, straightening,
// auto-crop and its margin, spots, red-eye marks and film information. Red-eye marks sit on the
// pupils of one frame, so they stay with it.
ConversionSettings carried(const ConversionSettings& look, const ConversionSettings& target);

}  // namespace LookCopy
