// Reads the orientation tag (0x0112) from an EXIF block: the TIFF structure that JPEG files carry
// in their APP1 segment after "Exif\0\0" and PNG files in their eXIf chunk. Bounds-checked, since
// the block comes from the file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ExifOrientation {

// The tag's value 1 to 8 from the first IFD; 1 when the block has none or is damaged.
int fromTiffBlock(const uint8_t* data, size_t size);

}  // namespace ExifOrientation
