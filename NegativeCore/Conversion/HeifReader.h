// Reads the primary image of a HEIC file with libheif, which applies the file's rotation and
// mirroring itself (so no EXIF orientation is applied again): 8-bit or deeper RGB(A), with its
// ICC profile or its nclx primaries and transfer curve.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

#include "Conversion/SourceImage.h"

namespace HeifReader {

// Throws DecodeError::unreadable when the file cannot be read as a HEIF image; whatever the size
// check throws passes through.
SourceImage read(const std::filesystem::path& url, const SizeCheck& check);

// The stored size of the primary image from its 'ispe' box, before rotation; with `upright`,
// after its rotation and mirroring boxes.
std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright = false);

}  // namespace HeifReader
