// The four export colour spaces: their ICC profiles, built in code with lcms2 from primaries,
// white point and tone curve, and the conversion of 16-bit Display P3 samples into them.
// sRGB and Display P3 use the sRGB curve and D65 white; Adobe RGB (1998) gamma 563/256 and
// D65; ProPhoto (ROMM RGB) D50 white and gamma 1.8 with a linear segment below 1/512.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Export/ExportOptions.h"

namespace ColorProfiles {

// The profile's bytes, built once per process on first use; safe to call from any thread.
const std::vector<uint8_t>& iccProfile(ExportColorSpace space);

// Converts `pixels` interleaved RGB samples of 16-bit Display P3 into the space, relative
// colorimetric with Bradford adaptation (as the profiles' colorants are), colours outside the
// space clipped. Each output sample is v × max + 0.5 truncated, max being 65535 or 255.
// Into Display P3 itself the 16-bit samples are copied and the 8-bit ones rounded from them.
void convert(ExportColorSpace space, const uint16_t* displayP3, size_t pixels, uint16_t* out);
void convert(ExportColorSpace space, const uint16_t* displayP3, size_t pixels, uint8_t* out);

}  // namespace ColorProfiles
