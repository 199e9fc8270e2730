// Reads a PNG file with libpng: grey, RGB and palette images of any depth with or without alpha,
// 16-bit kept; its colour space from iCCP, else sRGB, else gAMA and cHRM, else sRGB; an eXIf
// orientation applied.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

#include "Conversion/SourceImage.h"

namespace PngReader {

// Throws DecodeError::unreadable when the file cannot be read as a PNG image; whatever the size
// check throws passes through.
SourceImage read(const std::filesystem::path& url, const SizeCheck& check);

// The stored width and height from the header.
// With `upright`, exchanged when the eXIf orientation turns the picture by a quarter.
std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright = false);

}  // namespace PngReader
