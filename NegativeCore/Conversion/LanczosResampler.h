// Separable Lanczos-3 resampling of a LinearImage to an exact size. When shrinking, the kernel
// widens by the reduction factor, so every source pixel contributes and nothing aliases. All four
// channels are filtered; the negative lobes may take values slightly outside 0…1, as they should
// in an extended colour space. Rows run in parallel.
#pragma once

#include <cstdint>

#include "Conversion/LinearImage.h"

namespace LanczosResampler {

// The image resampled to width × height (both at least 1). The same size returns the image
// itself, sharing its pixels.
LinearImage resample(const LinearImage& image, int64_t width, int64_t height);

}  // namespace LanczosResampler
