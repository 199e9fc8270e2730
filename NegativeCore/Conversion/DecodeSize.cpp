#include "Conversion/DecodeSize.h"

#include <cmath>
#include <system_error>

#include "Conversion/DecodeError.h"

namespace DecodeSize {

int64_t scaled(int64_t side, float scale) {
  // Exact in double: a side below 2^29 times a 24-bit mantissa.
  const double product = std::ceil(static_cast<double>(side) * static_cast<double>(scale));
  // Clamped in floating point before the conversion: files and callers give any value.
  if (!(product > 0)) return 0;
  if (product > 9.0e15) return int64_t{9'000'000'000'000'000};
  return static_cast<int64_t>(product);
}

bool isRenderable(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= maxPixelCount && height <= maxPixelCount / width;
}

void checkStored(const std::filesystem::path& url, int64_t width, int64_t height,
                 double leastBytes) {
  if (!isRenderable(width, height)) throw DecodeError::renderFailed(url);
  std::error_code error;
  const uintmax_t fileBytes = std::filesystem::file_size(url, error);
  if (error || static_cast<double>(fileBytes) < leastBytes) throw DecodeError::unreadable(url);
}

}  // namespace DecodeSize
