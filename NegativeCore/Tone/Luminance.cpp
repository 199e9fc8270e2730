#include "Tone/Luminance.h"

#include "Support/ParallelFor.h"
#include "Tone/PlaneSupport.h"

namespace Adjustments {

std::vector<float> luminance(int64_t width, int64_t height, const std::vector<float>& rgb) {
  requirePlaneSize("luminance", rgb.size(), width, height, 3);
  std::vector<float> plane = newPlane(static_cast<size_t>(width * height));
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        for (int64_t i = begin * width; i < end * width; ++i)
          plane[i] = luminanceOf(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
      },
      smallPlaneRows(width, height));
  return plane;
}

}  // namespace Adjustments
