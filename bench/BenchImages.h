// Synthetic scans for the benchmarks: a colour negative's orange-masked transmissions with
// some structure, so that no branch or cache behaves better than on a real scan.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>

#include "Conversion/LinearImage.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

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

// A 6000 × 4000 synthetic colour negative DNG, written once for the whole run.
// The 6000 × 4000 synthetic colour negative, written once per process by `write`.
inline std::filesystem::path negative24mp(const char* name,
                                          void (*write)(const std::filesystem::path&,
                                                        const ScanFixtures::Negative&)) {
  static TempDir dir;
  ScanFixtures::Negative negative;
  negative.width = 6000;
  negative.height = 4000;
  const auto file = dir / name;
  write(file, negative);
  return file;
}

inline const std::filesystem::path& negativeDng24mp() {
  static const std::filesystem::path path =
      negative24mp("negative-6000x4000.dng", ScanFixtures::writeNegativeDng);
  return path;
}

// The same negative as a 16-bit TIFF.
inline const std::filesystem::path& negativeTiff24mp() {
  static const std::filesystem::path path =
      negative24mp("negative-6000x4000.tif", ScanFixtures::writeNegativeTiff);
  return path;
}

}  // namespace BenchImages
