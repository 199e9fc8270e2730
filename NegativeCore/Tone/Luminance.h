// The luminance plane of an interleaved RGB buffer, weighted as Color/LuminanceWeights.h says.
#pragma once

#include <cstdint>
#include <vector>

namespace Adjustments {

// One value per pixel (width × height, row-major) of `rgb`, which holds width × height × 3
// floats.
std::vector<float> luminance(int64_t width, int64_t height, const std::vector<float>& rgb);

}  // namespace Adjustments
