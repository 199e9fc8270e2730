#include "Tone/Luminance.h"

#include "Color/LuminanceWeights.h"
#include "Support/ParallelFor.h"
#include "Support/PlanePool.h"
#include "Tone/PlaneSupport.h"
#include "Tone/RgbRows.h"

namespace Adjustments {

std::vector<float> luminance(int64_t width, int64_t height, const std::vector<float>& rgb) {
  requirePlaneSize("luminance", rgb.size(), width, height, 3);
  std::vector<float> plane = PlanePool::take(static_cast<size_t>(width * height));
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        // Channel rows first, so that the weighting runs over contiguous floats and vectorises.
        std::vector<float> channels(static_cast<size_t>(3 * width));
        float* red = channels.data();
        float* green = red + width;
        float* blue = green + width;
        for (int64_t y = begin; y < end; ++y) {
          RgbRows::split(rgb.data() + 3 * y * width, red, green, blue, static_cast<size_t>(width));
          float* out = plane.data() + y * width;
          for (int64_t x = 0; x < width; ++x)
            out[x] = LuminanceWeights::luminanceOf(red[x], green[x], blue[x]);
        }
      },
      smallPlaneRows(width, height));
  return plane;
}

}  // namespace Adjustments
