// The edit records of a folder of scans, kept in one sidecar file ".kelvadorium-edits.json" in
// that folder, keyed by each scan's file name. Reads go through a process-wide cache; every
// operation holds one process-wide lock, so callers on any thread exclude each other.
// A sidecar that cannot be understood is never thrown away: it is set aside as a visible backup.
#pragma once

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
// A damaged folder sidecar is first renamed to a backup beside it. Throws
// std::filesystem::filesystem_error when the sidecar cannot be read or written (nothing is
// deleted then), and the JSON library's error for a record holding a non-finite number.
void setSettings(const ConversionSettings& settings, const std::filesystem::path& image);

// Takes the per-image sidecars of the scans into their folder files and deletes those whose
// record is now held there. Folders that cannot be written keep everything. Returns the number
// of sidecars whose deletion was attempted.
int64_t migrateSidecars(const std::vector<std::filesystem::path>& images);

// Scans grouped by folder (the path without its last component), folders in the order of their
// first scan, scans in their given order.
std::vector<std::pair<std::filesystem::path, std::vector<std::filesystem::path>>> groupByFolder(
    const std::vector<std::filesystem::path>& images);

}  // namespace FolderEdits
