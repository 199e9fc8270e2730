// The output size rules every decode shares: the scaled size of a full-size side, and the largest
// image a decode renders.
#pragma once

#include <cstdint>

namespace DecodeSize {

// The most pixels a decode renders: 199,999,999 (200,000,000 is already too many).
inline constexpr int64_t maxPixelCount = 199'999'999;

// ceil(side · scale) for the 32-bit float scale, computed exactly: 6000 at 0.1 gives 601, since
// the float nearest 0.1 lies just above it; 6000 at 0.25 gives 1500.
int64_t scaled(int64_t side, float scale);

// Both sides positive and width × height at most maxPixelCount.
bool isRenderable(int64_t width, int64_t height);

}  // namespace DecodeSize
