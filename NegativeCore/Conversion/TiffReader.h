// Reads the first image of a TIFF file with libtiff: 8, 16 and 32-bit integer and 32-bit float
// samples, grey, RGB and RGBA, interleaved or in separate planes, in strips or tiles, MinIsWhite,
// with the embedded ICC profile and the orientation tag. Other kinds libtiff can render (palette,
// bilevel, YCbCr, CMYK …) arrive as 8-bit RGB(A) through its RGBA interface.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

#include "Conversion/SourceImage.h"

namespace TiffReader {

// Throws DecodeError::unreadable when the file cannot be read as a TIFF image; whatever the size
// check throws passes through.
SourceImage read(const std::filesystem::path& url, const SizeCheck& check);

// The stored width and height of the first image, read from its header; nothing when the file is
// no readable TIFF. With `upright`, exchanged when the orientation tag turns the picture by a
// quarter.
std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright = false);

}  // namespace TiffReader
