// Reads a JPEG file with libjpeg-turbo: grey or RGB (CMYK converted plainly, its profile
// dropped), with its ICC profile and its EXIF orientation.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

#include "Conversion/SourceImage.h"

namespace JpegReader {

// Throws DecodeError::unreadable when the file cannot be read as a JPEG image; whatever the size
// check throws passes through.
SourceImage read(const std::filesystem::path& url, const SizeCheck& check);

// The stored width and height from the frame header; with `upright`, exchanged when the EXIF
// orientation turns the picture by a quarter.
std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright = false);

}  // namespace JpegReader
