// Atomic replacement of a file: the data goes to a uniquely named temporary file in the same
// folder, is flushed and synced, then renamed over the target. Readers see the old file or the
// new one, never a torn one; on failure the temporary file is removed and the target is untouched.
#pragma once

#include <filesystem>
#include <string_view>

namespace AtomicFile {

// Throws std::filesystem::filesystem_error when any step fails.
void write(const std::filesystem::path& target, std::string_view data);

}  // namespace AtomicFile
