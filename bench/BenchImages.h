// Synthetic scans for the benchmarks: a colour negative's orange-masked transmissions with
// some structure, so that no branch or cache behaves better than on a real scan.
#pragma once

#include <cstdint>
#include <random>

#include "Conversion/LinearImage.h"

namespace BenchImages {

inline LinearImage negative(int64_t width, int64_t height) {
  LinearImage image(width, height);
  std::mt19937 random(42);
  std::uniform_real_distribution<float> noise(0.9f, 1.1f);
  for (int64_t y = 0; y < height; ++y) {
    float* row = image.mutableRow(y);
    for (int64_t x = 0; x < width; ++x) {
      const float t = 0.05f + 0.9f * static_cast<float>(x + y) / static_cast<float>(width + height);
      row[4 * x] = 0.7f * t * noise(random);
      row[4 * x + 1] = 0.45f * t * noise(random);
      row[4 * x + 2] = 0.25f * t * noise(random);
      row[4 * x + 3] = 1;
    }
  }
  return image;
}

}  // namespace BenchImages
