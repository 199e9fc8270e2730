// An embedded ICC profile for grey and RGB pixels, through the conversion into Display P3.
#include <cstring>

#include "Conversion/ColorProfile.h"
#include "FuzzSupport.h"

namespace {

// Three pixels, black to white, of 16-bit samples with `channels` channels.
SourceImage ramp(int channels, const uint8_t* data, size_t size) {
  SourceImage image;
  image.allocate(3, 1, channels, SourceImage::Sample::uint16);
  for (int i = 0; i < 3 * channels; ++i) {
    const uint16_t value = static_cast<uint16_t>(i / channels * 32767);
    std::memcpy(image.row(0) + i * 2, &value, 2);
  }
  image.icc.assign(data, data + size);
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const int channels : {1, 2, 3, 4}) {
    const SourceImage source = ramp(channels, data, size);
    const ColorProfile profile = ColorProfile::of(source);
    profile.convert(source);
    float row[3 * 4];
    profile.rowConverter(source)(0, row);
  }
  return 0;
}
