#include "Conversion/SourceImage.h"

#include <new>
#include <stdexcept>

void SourceImage::allocate(int64_t newWidth, int64_t newHeight, int newChannels, Sample newSample) {
  if (newWidth < 1 || newHeight < 1 || newChannels < 1 || newChannels > 4)
    throw std::invalid_argument("SourceImage: bad layout");
  width = newWidth;
  height = newHeight;
  channels = newChannels;
  sample = newSample;
  sampleMax = newSample == Sample::uint8 ? 255 : newSample == Sample::uint16 ? 65535 : 1;
  // Sizes come from files: a byte count that does not fit is an allocation that cannot succeed.
  size_t bytes = 0;
  if (__builtin_mul_overflow(rowBytes(), static_cast<size_t>(height), &bytes) ||
      static_cast<uint64_t>(width) > (uint64_t{1} << 40))
    throw std::bad_alloc();
  data = std::make_unique_for_overwrite<std::byte[]>(bytes);
}

size_t SourceImage::bytesPerSample() const {
  switch (sample) {
    case Sample::uint8:
      return 1;
    case Sample::uint16:
      return 2;
    case Sample::float32:
      return 4;
  }
  return 1;
}
