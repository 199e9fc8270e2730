// Writes 8- or 16-bit RGB TIFF files, LZW with horizontal differencing (plain LZW makes 16-bit
// photographs larger), with ICC profile and metadata written in the same pass. Strips are encoded
// in parallel, groups of strips through their own in-memory libtiff handles, then stored raw in
// order: the file equals a serial libtiff encoding.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <vector>

#include "Export/ExportMetadata.h"

namespace TiffWriter {

class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Layout {
  int64_t width = 0;
  int64_t height = 0;
  int bitsPerSample = 16;      // 8 or 16
  uint16_t exifColorSpace = 0xFFFF;  // Exif's ColorSpace (Exporter::exifColorSpace)
};

// Fills `rows` image rows from `firstRow` on into `out`: interleaved R, G, B samples of the
// layout's depth (uint8_t or uint16_t), rows without padding. Called from several threads at
// once for different rows.
using RowSource = std::function<void(int64_t firstRow, int64_t rows, void* out)>;

// Rows per strip: strips of about 256 KB, at least one row.
int64_t rowsPerStrip(const Layout& layout);

// Writes the file at `path`, replacing what is there: TIFF entries in the image directory, Exif
// entries in an Exif directory of our own (ExifDirectory.h), IPTC records encoded by exiv2 and
// stored as 32-bit words, the type readers expect. Throws WriteError on any failure.
void write(const std::filesystem::path& path, const Layout& layout, const RowSource& rows,
           const std::vector<uint8_t>& iccProfile, const Exporter::Metadata& metadata);

}  // namespace TiffWriter
