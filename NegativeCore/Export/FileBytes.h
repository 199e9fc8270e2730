// Reading a whole stored file (sidecar, project) together with the status of what was read,
// so a cache can tell later whether the file on disk is still the one it read.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>

namespace FileBytes {

// The content of a regular file (symbolic links followed). A folder, pipe or device is refused
// instead of read or waited on. `status`, when given, receives the opened file's status.
// Throws std::filesystem::filesystem_error.
std::string read(const std::filesystem::path& path, struct stat* status = nullptr);

}  // namespace FileBytes
