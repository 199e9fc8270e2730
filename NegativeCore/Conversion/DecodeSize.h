// The size rules every decode shares: the scaled size of a full-size side, the largest image a
// decode renders, and the check of a stored size that readers make before they allocate.
#pragma once

#include <cstdint>
#include <filesystem>

namespace DecodeSize {

// The most pixels a decode renders: 199,999,999 (200,000,000 is already too many).
inline constexpr int64_t maxPixelCount = 199'999'999;

// ceil(side · scale) for the 32-bit float scale, computed exactly: 6000 at 0.1 gives 601, since
// the float nearest 0.1 lies just above it; 6000 at 0.25 gives 1500.
int64_t scaled(int64_t side, float scale);

// Both sides positive and width × height at most maxPixelCount.
bool isRenderable(int64_t width, int64_t height);

// Made by a reader from the header, before any allocation for the pixels: throws
// DecodeError::renderFailed when the stored width × height is not renderable, and
// DecodeError::unreadable when the file holds fewer than leastBytes, the fewest bytes in which
// its coding can hold those pixels (a small file declaring a huge picture is damaged).
void checkStored(const std::filesystem::path& url, int64_t width, int64_t height,
                 double leastBytes);

}  // namespace DecodeSize
