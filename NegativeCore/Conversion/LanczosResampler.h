// Separable Lanczos-3 resampling of a LinearImage to an exact size. When shrinking, the kernel
// widens by the reduction factor, so every source pixel contributes and nothing aliases. All four
// channels are filtered. Each pass holds every value within the range of the source pixels under
// the kernel's central lobe: the outer lobes would otherwise ring beside hard edges, and a dense
// patch next to a clear one would read denser than the film is. Values outside 0…1 in the source
// (an extended colour space) pass through. Rows run in parallel.
#pragma once

#include <cstdint>
#include <functional>

#include "Conversion/LinearImage.h"

namespace LanczosResampler {

// The image resampled to width × height (both at least 1). The same size returns the image
// itself, sharing its pixels.
LinearImage resample(const LinearImage& image, int64_t width, int64_t height);

// Source rows delivered on demand, each as sourceWidth × 4 floats: the function returns a pointer
// to row y, either into pixels it holds or into `scratch` after filling it. Called from several
// threads at once. This spares converting a whole full-size image before shrinking it.
using RowSource = std::function<const float*(int64_t y, float* scratch)>;
LinearImage resample(int64_t sourceWidth, int64_t sourceHeight, const RowSource& rows,
                     int64_t width, int64_t height);

}  // namespace LanczosResampler
