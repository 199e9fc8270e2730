#include "Conversion/DecodeSize.h"

#include <cmath>

namespace DecodeSize {

int64_t scaled(int64_t side, float scale) {
  const float product = std::ceil(static_cast<float>(side) * scale);
  // Clamped in floating point before the conversion: files and callers give any value.
  if (!(product > 0)) return 0;
  if (product > 9.0e15f) return int64_t{9'000'000'000'000'000};
  return static_cast<int64_t>(product);
}

bool isRenderable(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= maxPixelCount && height <= maxPixelCount / width;
}

}  // namespace DecodeSize
