#include "TestSupport/ReferenceScenes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "Color/Chromaticities.h"

namespace ReferenceScenes {

LinearImage colourNegative(int64_t width, int64_t height, uint32_t seed) {
  struct Blob {
    double x, y, radius;
    std::array<double, 3> colour;
  };
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<Blob> blobs(7);
  for (Blob& blob : blobs)
    blob = {unit(random),
            unit(random),
            0.08 + 0.15 * unit(random),
            {unit(random), unit(random), unit(random)}};

  const double angle = 2 * M_PI * unit(random);
  const std::array<double, 3> ramp{0.1 + 0.2 * unit(random), 0.1 + 0.2 * unit(random),
                                   0.1 + 0.2 * unit(random)};
  constexpr std::array<double, 3> base{0.25, 0.55, 0.8};
  constexpr std::array<double, 3> slope{0.6, 0.65, 0.7};
  LinearImage image(width, height);
  for (int64_t y = 0; y < height; ++y) {
    float* row = image.mutableRow(y);
    for (int64_t x = 0; x < width; ++x) {
      const double u = (x + 0.5) / width;
      const double v = (y + 0.5) / height;
      // Scene exposure 0.02…1 in each channel: a gradient along the seed's direction.
      const double along = 0.5 + (u - 0.5) * std::cos(angle) + (v - 0.5) * std::sin(angle);
      std::array<double, 3> e;
      for (int c = 0; c < 3; ++c) e[c] = 0.05 + ramp[c] * along;
      for (const Blob& blob : blobs) {
        const double d2 = ((u - blob.x) * (u - blob.x) + (v - blob.y) * (v - blob.y)) /
                          (blob.radius * blob.radius);
        const double weight = std::exp(-d2 * d2);  // flat-topped, soft-edged
        for (int c = 0; c < 3; ++c) e[c] += 0.7 * weight * blob.colour[c];
      }
      for (int c = 0; c < 3; ++c) {
        const double density = base[c] + slope[c] * (std::log10(std::clamp(e[c], 0.02, 1.0)) + 2);
        row[4 * x + c] = static_cast<float>(std::pow(10.0, -density));
      }
      row[4 * x + 3] = 1;
    }
  }
  return image;
}

ReferencePicture pictureOf(const PrintImage& print) {
  SourceImage source;
  source.allocate(print.width, print.height, 3, SourceImage::Sample::float32);
  source.sampleMax = 1;
  std::memcpy(source.data.get(), print.rgb.data(), print.rgb.size() * sizeof(float));
  source.described = SourceImage::Described{Chromaticities::displayP3(), std::nullopt};
  return ReferencePicture(std::move(source));
}

}  // namespace ReferenceScenes
