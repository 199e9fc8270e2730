// Writes baseline JPEG files with libjpeg-turbo: 8-bit RGB rows, a quality of 1…100, 4:4:4
// chroma or 4:2:0, the embedded ICC profile, and the export metadata as an Exif (APP1) and an
// IPTC (APP13) segment encoded by exiv2.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Export/ExportMetadata.h"

namespace JpegWriter {

class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Settings {
  int64_t width = 0;
  int64_t height = 0;
  int quality = 92;                // 1…100
  bool fullChromaSampling = true;  // 4:4:4, else 4:2:0
  uint16_t exifColorSpace = 0xFFFF;  // Exif's ColorSpace (Exporter::exifColorSpace)
};

// Fills `rows` rows from `firstRow` on with interleaved 8-bit R, G, B. Called from several
// threads at once for different rows.
using RowSource = std::function<void(int64_t firstRow, int64_t rows, uint8_t* out)>;

// The metadata does not fit into JPEG's marker segments.
inline constexpr const char* metadataTooLong = "the film information is too long for a JPEG file";

// Writes the file at `path`, replacing what is there. Throws WriteError on any failure; its text
// is metadataTooLong when the metadata cannot be stored.
void write(const std::filesystem::path& path, const Settings& settings, const RowSource& rows,
           const std::vector<uint8_t>& iccProfile, const Exporter::Metadata& metadata);

}  // namespace JpegWriter
