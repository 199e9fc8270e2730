// The screen copy against the export's exact conversion into sRGB: the same 8-bit codes within
// one step, over greys, saturated Display P3 colours and the darkest codes.
#include "Rendering/ScreenCopy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "Export/ColorProfiles.h"

namespace {

// The largest difference from the exact conversion over the seven rows at `width` columns.
int largestDifference(int64_t width) {
  DisplayP3Image image;
  image.width = width;
  image.height = 7;
  image.samples.resize(static_cast<size_t>(image.width * image.height * 3));
  // Rows: grey ramp, pure red, green, blue, a dark ramp (the curve's linear segment), and
  // two mixed colours.
  for (int64_t x = 0; x < image.width; ++x) {
    const auto v = static_cast<uint16_t>(x * 65535 / (width - 1));
    const auto dark = static_cast<uint16_t>(x * 2040 / (width - 1));
    const uint16_t rows[7][3] = {{v, v, v},          {v, 0, 0},        {0, v, 0},       {0, 0, v},
                                 {dark, dark, dark}, {v, dark, 40000}, {65535, v, dark}};
    for (int64_t y = 0; y < image.height; ++y) {
      for (int c = 0; c < 3; ++c) image.samples[(y * image.width + x) * 3 + c] = rows[y][c];
    }
  }
  const QImage copy = ScreenCopy::make(image);
  EXPECT_EQ(copy.format(), QImage::Format_RGB888);
  std::vector<uint8_t> exact(image.samples.size());
  ColorProfiles::convert(ExportColorSpace::sRGB, image.samples.data(),
                         static_cast<size_t>(image.width * image.height), exact.data());
  int largest = 0;
  for (int64_t y = 0; y < image.height; ++y) {
    const uchar* row = copy.constScanLine(static_cast<int>(y));
    for (int64_t i = 0; i < image.width * 3; ++i) {
      largest = std::max(largest, std::abs(row[i] - exact[y * image.width * 3 + i]));
    }
  }
  return largest;
}

// Widths that are not a multiple of four take the one-pixel path for their last columns.
TEST(ScreenCopy, AgreesWithTheExactSrgbConversion) {
  for (int64_t width : {256, 7, 6, 2}) EXPECT_LE(largestDifference(width), 1) << width;
}

}  // namespace
