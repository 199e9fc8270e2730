#include "TestSupport/TexturedImage.h"

#include <cmath>

namespace {

uint64_t splitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Roughly normal, mean 0 and deviation 1: the sum of four uniforms, rescaled.
double gaussian(uint64_t key) {
  double sum = 0;
  for (int i = 0; i < 4; ++i) {
    key = splitMix(key);
    sum += static_cast<double>(key >> 11) * 0x1.0p-53;
  }
  return (sum - 2.0) * std::sqrt(3.0);
}

}  // namespace

LinearImage texturedImage(int64_t width, int64_t height, uint64_t seed, double grainLog10) {
  LinearImage image(width, height);
  float* pixels = image.mutablePixels();
  const double tilt[3] = {0.9, 1.0, 1.15};
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / static_cast<double>(width);
      const double v = static_cast<double>(y) / static_cast<double>(height);
      const double weave =
          0.025 * std::sin(0.9 * x + 0.4 * y) + 0.015 * std::sin(0.23 * x - 0.71 * y);
      const uint64_t key = splitMix(seed ^ static_cast<uint64_t>(y * width + x) * 0x100000001B3ull);
      const double grain = grainLog10 * gaussian(key);
      float* p = pixels + (y * width + x) * 4;
      for (int c = 0; c < 3; ++c) {
        const double level = -1.0 + 0.6 * u * tilt[c] + 0.3 * v - 0.1 * c * u * v;
        const double chroma = grainLog10 * 0.3 * gaussian(key + 17 * (c + 1));
        p[c] = static_cast<float>(std::pow(10.0, level + weave + grain + chroma));
      }
      p[3] = 1.0f;
    }
  }
  return image;
}
