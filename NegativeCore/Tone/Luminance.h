// The engine's luminance plane of an interleaved RGB buffer: Y = 0.229·R + 0.6917·G + 0.0793·B.
// The tone controls, the film effects, export sharpening and the dust finders all measure
// brightness with these weights.
#pragma once

#include <cstdint>
#include <vector>

namespace Adjustments {

// One value per pixel (width × height, row-major) of `rgb`, which holds width × height × 3
// floats.
std::vector<float> luminance(int64_t width, int64_t height, const std::vector<float>& rgb);

// The same weighting for one pixel.
inline float luminanceOf(float r, float g, float b) {
  return 0.229f * r + 0.6917f * g + 0.0793f * b;
}

}  // namespace Adjustments
