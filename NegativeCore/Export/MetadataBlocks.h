// Metadata blocks that exiv2 encodes in memory while a file is written: the IPTC records for a
// TIFF file's IPTC tag, and the Exif (APP1) and IPTC (APP13) segments of a JPEG file. IPTC text
// is declared UTF-8; dates and times are stored in IPTC's own forms.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Export/ExportMetadata.h"

namespace MetadataBlocks {

// The IPTC-IIM records, empty when there is nothing to write.
std::vector<uint8_t> iptcRecords(const Exporter::Metadata::IPTC& iptc);

// What the JPEG's required Exif entries state about the written image.
struct JpegImage {
  int64_t width = 0;
  int64_t height = 0;
  uint16_t exifColorSpace = 0xFFFF;  // Exporter::exifColorSpace
};

// The payload of a JPEG APP1 segment: "Exif\0\0" and a little-endian TIFF structure with the
// TIFF entries in IFD0 and the Exif entries in its Exif IFD, each with the entries JPEG's Exif
// requires. Nothing when the entries do not fit into one segment (exiv2 would drop the longest
// ones to make them fit).
std::optional<std::vector<uint8_t>> jpegExifSegment(const Exporter::Metadata& metadata,
                                                    const JpegImage& image);

// The payload of a JPEG APP13 segment: "Photoshop 3.0\0" and an 8BIM resource holding the IPTC
// records; empty when there are none, nothing when they do not fit into one segment.
std::optional<std::vector<uint8_t>> jpegIptcSegment(const Exporter::Metadata::IPTC& iptc);

// The largest payload of one JPEG marker segment.
inline constexpr size_t jpegSegmentLimit = 65533;

// Exif's "UserComment" bytes for ASCII text: the character code "ASCII\0\0\0" and the text.
std::vector<uint8_t> asciiUserComment(const std::string& text);

}  // namespace MetadataBlocks
