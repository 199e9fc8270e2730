// The edit records of a folder of scans, kept in one sidecar file ".kelvadorium-edits.json" in
// that folder, keyed by each scan's file name. Reads go through a process-wide cache; every
// operation holds one process-wide lock, so callers on any thread exclude each other.
// A sidecar that cannot be understood is never thrown away: it is set aside as a visible backup.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Record/ConversionSettings.h"

namespace FolderEdits {

inline constexpr std::string_view fileName = ".kelvadorium-edits.json";
// Beside the sidecar: the file whose advisory lock processes saving into the folder take turns on.
inline constexpr std::string_view lockFileName = ".kelvadorium-edits.json.lock";
// How long a save waits for another process's save before it fails.
inline constexpr std::chrono::milliseconds lockWait{3000};

// The content of a folder sidecar: scan file name (exact case, with extension) → record.
struct File {
  int64_t version = 1;
  std::map<std::string, ConversionSettings> scans;
};

std::filesystem::path fileURL(const std::filesystem::path& folder);

// The stored record of the scan, or nothing (no sidecar, no entry, or a sidecar that cannot be
// read or understood).
std::optional<ConversionSettings> settings(const std::filesystem::path& image);

// Stores the record under the scan's file name, then deletes the scan's per-image sidecars.
// The sidecar is read, changed and replaced while holding the folder's lock, so saves from other
// processes are not lost. A damaged folder sidecar is first set aside as a backup beside it; a
// sidecar that is a symbolic link is written through to its target. Another scan's record that
// cannot be written again keeps its stored text. Throws std::filesystem::filesystem_error when
// the sidecar cannot be read, locked within lockWait or written, when it is read-only, or when
// this record cannot be written (a non-finite number): the error names the file or the scan, and
// nothing is deleted.
void setSettings(const ConversionSettings& settings, const std::filesystem::path& image);

// Takes the per-image sidecars of the scans into their folder files and deletes those whose
// record is now held there. A per-image sidecar whose record differs from the folder file's
// entry, or that cannot be read, is renamed to a visible backup beside it
// ("<scan>.kelvadorium-superseded-<date>-<time>.json"). Folders that cannot be written keep
// everything. Returns the number of sidecars whose deletion or renaming was attempted.
int64_t migrateSidecars(const std::vector<std::filesystem::path>& images);

// Scans grouped by folder (the path without its last component), folders in the order of their
// first scan, scans in their given order.
std::vector<std::pair<std::filesystem::path, std::vector<std::filesystem::path>>> groupByFolder(
    const std::vector<std::filesystem::path>& images);

}  // namespace FolderEdits
