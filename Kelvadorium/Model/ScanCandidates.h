// The scan files that a choice of files and folders reaches, before the session is asked about
// them. Paths are absolute and lexically normal, symbolic links left as they are. A folder is
// walked through every level, skipping hidden names (a leading ".") and never following a
// symbolic link to a folder, so a link loop ends; a file or folder chosen directly counts as
// what it points to and is not tested for being hidden. Anything that cannot be read (a path
// that is gone, an unreadable folder, a link that leads nowhere) contributes nothing and never
// stops the rest.
#pragma once

#include <filesystem>
#include <vector>

namespace ScanCandidates {

// Whether the name's extension, in any letter case, is one the decoder accepts.
bool hasScanExtension(const std::filesystem::path& path);

// The scan files under the chosen paths, in the order given and, within a folder, in the walk's
// order; a file reached twice (a folder and a file in it, overlapping folders) is kept once, at
// its first place.
std::vector<std::filesystem::path> collect(const std::vector<std::filesystem::path>& chosen);

}  // namespace ScanCandidates
