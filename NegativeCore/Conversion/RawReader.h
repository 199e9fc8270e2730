// Camera RAW decoding through LibRaw with every rendering aid off: linear 16-bit output, no
// auto-brightening, no lowering of the white level, no noise reduction, LibRaw's daylight white
// balance, its raw colour output converted by our own float matrix into extended linear Display
// P3. At scales up to 0.5 the sensor data is read at half size and resampled the rest of the way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

#include "Conversion/LinearImage.h"

namespace RawReader {

// The decoded image at ceil(W·scale) × ceil(H·scale) of the full size (the float scale,
// product exact),
// turned upright by the camera's orientation and then mirrored and turned as the edit asks;
// nothing when LibRaw does not take the file (the caller then reads it as an ordinary image).
// scale is already limited to 0.01…1. Throws DecodeError::renderFailed when LibRaw takes the file
// but yields no image, or when the output size is not renderable.
std::optional<LinearImage> decode(const std::filesystem::path& url, float scale, bool mirrored,
                                  int64_t quarterTurns);

// The stored size of the full-size image (before the camera's orientation), from the header;
// with `upright`, after the camera's orientation.
std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright = false);

}  // namespace RawReader
