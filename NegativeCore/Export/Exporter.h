// Turns a finished print (interleaved RGB floats taken as Display P3) into the 16-bit Display P3
// image and into TIFF or JPEG files: reduction to a long edge, output sharpening, writing in the
// chosen colour space with its ICC profile and metadata. Any thread may call; pixel loops spread
// rows over the pool. Samples that are not numbers count as 0, infinities as the nearer of 0 and 1.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "Export/DisplayP3Image.h"
#include "Export/ExportError.h"
#include "Export/ExportOptions.h"
#include "Print/PrintImage.h"
#include "Record/FilmInfo.h"
#include "Support/AtomicFile.h"

namespace Exporter {

// One sample as a 16-bit value: v ≤ 0 (or not a number) gives 0, else min(v, 1) × 65535 + 0.5
// truncated, so 0.5 gives 32768 and everything from 1 up gives 65535.
uint16_t sixteenBitSample(float v);

// The 16-bit Display P3 image of width × height pixels of `rgb`; nothing when the size does not
// match the samples or the memory cannot be had.
std::optional<DisplayP3Image> makeCGImage(int64_t width, int64_t height,
                                          const std::vector<float>& rgb);

// The print reduced by area-weighted box averaging so that its long side is `longEdge`; the
// print itself, untouched, when it is not larger than that.
PrintImage resize(PrintImage print, int64_t longEdge);

// Output sharpening of the print in place: unsharp masking of its luminance, the same change to
// all three channels, every channel clamped to 0…1. `none` leaves the print untouched.
void sharpen(PrintImage& print, OutputSharpening sharpening);

// Writes one image file at `url` in `format`, replacing a file that is there, through a
// temporary file in the same folder that is renamed into place only when complete. Of the
// options it reads the colour space, the JPEG quality and the four metadata fallbacks. Throws
// ExportError naming `url`. `beforeReplacing`, when given, is asked at the moment of the rename
// whether an entry at `url` may be replaced; the ExportError it throws is passed on as it is.
void write(int64_t width, int64_t height, const std::vector<float>& rgb,
           const std::filesystem::path& url, ExportFormat format, const ExportOptions& options,
           const FilmInfo& filmInfo, const AtomicFile::ReplaceCheck& beforeReplacing = {});

// The same with the default options, the given JPEG quality and empty film information.
void write(int64_t width, int64_t height, const std::vector<float>& rgb,
           const std::filesystem::path& url, ExportFormat format, double jpegQuality);

// The JPEG quality the encoder gets: q clamped to 0.3…1 (a value that is not a number as 0.3),
// times 100, rounded.
int jpegQualityPercent(double jpegQuality);

}  // namespace Exporter
