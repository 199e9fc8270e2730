// Turns a scan file into a LinearImage: linear floating-point RGBA in extended linear Display P3,
// scaled, mirrored and turned as the edit record asks, with no rendering of its own. Camera RAW
// files go through LibRaw with every rendering aid off; TIFF, JPEG, PNG and HEIC files are read
// by their content, with their orientation and colour profile applied. Thread-safe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "Conversion/DecodeError.h"
#include "Conversion/LinearImage.h"
#include "Conversion/SourceImage.h"

namespace Decoder {

// The scan at `scale` of its full size (at most 1; RAW files limit it to 0.01…1, other files
// are not enlarged), first mirrored left-right when `mirrored`, then turned clockwise by
// quarterTurns (taken modulo 4, so −1 acts as 3). Output sides are ceil(side · scale) of the
// upright full-size image, scale taken as a 32-bit float (DecodeSize::scaled). Throws DecodeError.
LinearImage decode(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored,
                   double scale);

// The first picture of a TIFF, JPEG, PNG or HEIC file (chosen by its content) as its reader
// stores it: samples, colour space and orientation tag, which is not applied. Throws DecodeError:
// unreadable for any other file, renderFailed for a picture larger than a decode renders.
SourceImage readPicture(const std::filesystem::path& url);

// The stored pixel width and height of the file's first image, from its header without
// decoding, orientation not applied; nothing when the file cannot be opened as an image or a
// side is not positive.
std::optional<std::pair<double, double>> pixelSize(const std::filesystem::path& url);
// The same size as the picture stands upright: width and height exchanged when the file's own
// orientation (EXIF or TIFF tag, the camera's flip, HEIF rotation) turns it by a quarter.
std::optional<std::pair<double, double>> uprightPixelSize(const std::filesystem::path& url);

// Accepted extensions in lower case: 13 RAW, 6 image, and their union (19).
const std::set<std::string>& rawExtensions();
const std::set<std::string>& imageExtensions();
const std::set<std::string>& supportedExtensions();

}  // namespace Decoder
