// The output size rules every decode shares: the scaled size of a full-size side, and the largest
// image a decode renders.
#pragma once

#include <cstdint>

namespace DecodeSize {

// The most pixels a decode renders: 199,999,999 (200,000,000 is already too many).
inline constexpr int64_t maxPixelCount = 199'999'999;

// ceil(side · scale), the product taken in 32-bit float arithmetic.
int64_t scaled(int64_t side, float scale);

// Both sides positive and width × height at most maxPixelCount.
bool isRenderable(int64_t width, int64_t height);

}  // namespace DecodeSize
