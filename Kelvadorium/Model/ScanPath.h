// A file's identity in the model: its absolute, lexically normal path, symbolic links left as
// they are. Every comparison of scan paths goes through this form.
#pragma once

#include <filesystem>

namespace ScanPath {

// `path` made absolute against the working folder and lexically normalised ("a/./b/../c" is
// "a/c"); no file-system access beyond the working folder.
std::filesystem::path normal(const std::filesystem::path& path);

}  // namespace ScanPath
