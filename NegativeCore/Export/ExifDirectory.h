// The Exif directory (IFD) of an exported TIFF file, serialised by us so that its rationals are
// exact: libtiff keeps Exif rationals as single floats, which turns 1/125 s into
// 8589935/1073741824. The TIFF writer places these bytes right after the file header and points
// IFD0 at them.
#pragma once

#include <cstdint>
#include <vector>

#include "Export/ExportMetadata.h"

namespace ExifDirectory {

// The little-endian directory for the (even) file offset `offset`: entries in tag order, then
// the values longer than four bytes, each starting on an even offset. Empty when `exif` is.
// `colorSpace` is Exif's ColorSpace value (see Exporter::exifColorSpace).
std::vector<uint8_t> encode(const Exporter::Metadata::Exif& exif, uint16_t colorSpace,
                            uint32_t offset);

}  // namespace ExifDirectory
