// Atomic replacement of a file: the data goes to a uniquely named temporary file in the same
// folder, is flushed and synced, then renamed over the target. Readers see the old file or the
// new one, never a torn one; on failure the temporary file is removed and the target is untouched.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

namespace AtomicFile {

// Throws std::filesystem::filesystem_error when any step fails.
void write(const std::filesystem::path& target, std::string_view data);

// Called with the target when, at the moment of the rename, something is there to be replaced;
// it throws to keep that entry (the temporary file is then removed and the exception passed on).
using ReplaceCheck = std::function<void(const std::filesystem::path& target)>;

// The same for writers that open files by name: `fill` writes the temporary file at the path it
// is given (it exists, empty). What `fill` throws is passed on after the temporary file is gone.
// With `beforeReplacing`, a target that is absent is created without replacing anything that
// appears meanwhile, and one that is present is replaced only when the check lets it.
void writeThrough(const std::filesystem::path& target,
                  const std::function<void(const std::filesystem::path& temporary)>& fill,
                  const ReplaceCheck& beforeReplacing = {});

}  // namespace AtomicFile
