// Recognises a file that an earlier export of this program wrote, by the software name every
// export carries in its first TIFF directory (TIFF files) or its Exif segment (JPEG files). Only
// the file's structure is read, never its pixels, so the check costs a few small reads.
#pragma once

#include <filesystem>

namespace EarlierExport {

// True when `path` is a regular file (a symbolic link is followed) whose TIFF Software entry,
// directly or inside a JPEG's Exif segment, is Exporter::softwareName. Anything unreadable,
// damaged or of another format is not an earlier export.
bool recognise(const std::filesystem::path& path);

}  // namespace EarlierExport
