// The 16-bit Display P3 image every preview and exported file is made from: 16 bits per
// component, three components a pixel without alpha, rows of exactly 6 × width bytes, top to
// bottom. Samples are native unsigned 16-bit integers (little-endian on our platforms).
#pragma once

#include <cstdint>
#include <vector>

struct DisplayP3Image {
  int64_t width = 0;
  int64_t height = 0;
  std::vector<uint16_t> samples;  // width × height × 3: R, G, B
};
