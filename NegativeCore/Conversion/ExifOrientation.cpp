#include "Conversion/ExifOrientation.h"

namespace ExifOrientation {

int fromTiffBlock(const uint8_t* data, size_t size) {
  if (!data || size < 8) return 1;
  const bool little = data[0] == 'I' && data[1] == 'I';
  const bool big = data[0] == 'M' && data[1] == 'M';
  if (!little && !big) return 1;
  const auto u16 = [&](size_t at) -> uint32_t {
    return little ? data[at] | (data[at + 1] << 8) : (data[at] << 8) | data[at + 1];
  };
  const auto u32 = [&](size_t at) -> uint32_t {
    return little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2);
  };
  if (u16(2) != 42) return 1;
  const size_t ifd = u32(4);
  if (ifd > size || size - ifd < 2) return 1;
  const size_t entries = u16(ifd);
  for (size_t i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + i * 12;
    if (entry > size || size - entry < 12) return 1;
    if (u16(entry) != 0x0112) continue;
    if (u16(entry + 2) != 3) return 1;  // SHORT
    const uint32_t value = u16(entry + 8);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

}  // namespace ExifOrientation
