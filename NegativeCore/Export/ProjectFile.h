// A saved session: the scans in session order, each with its edit record, where it lies and
// whether it is left out of Export All, plus the selected scan. Written as one JSON file with
// the extension "kelvadorium"; scans are found again by their path relative to the project
// file, then by their absolute path, and moved scans by their trailing path in a chosen folder.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Record/ConversionSettings.h"

struct ProjectFile {
  struct Entry {
    // Relative to the project file's folder, "/"-joined with ".." for each level up; absent when
    // the scan lies on another volume.
    std::optional<std::string> relativePath;
    std::string absolutePath;  // with "." and ".." resolved
    ConversionSettings settings;
    bool skipped = false;  // left out of Export All

    Entry() = default;
    Entry(std::optional<std::string> relativePath, std::string absolutePath,
          ConversionSettings settings, bool skipped);
    // The entry of a scan for a project file at `projectFile`.
    Entry(const std::filesystem::path& image, ConversionSettings settings, bool skipped,
          const std::filesystem::path& projectFile);

    // The scan's location: the relative path if an item exists there, else the absolute path if
    // one exists there, else nothing.
    static std::optional<std::filesystem::path> resolve(const Entry& entry,
                                                        const std::filesystem::path& projectFile);

    friend bool operator==(const Entry&, const Entry&) = default;
  };

  static constexpr std::string_view fileExtension = "kelvadorium";

  std::string app = "Kelvadorium";
  int64_t version = 1;
  // Whole seconds: a stored date of any year 0000–9999 reads as it is.
  std::chrono::sys_seconds savedAt =
      std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  std::vector<Entry> images;
  std::optional<int64_t> selectedIndex;

  ProjectFile() = default;
  ProjectFile(std::vector<Entry> images, std::optional<int64_t> selectedIndex);

  // Pretty-printed with sorted keys, replacing the file atomically; a failed write leaves the
  // old file. Throws std::filesystem::filesystem_error, or the JSON library's error for a record
  // holding a non-finite number.
  static void write(const ProjectFile& project, const std::filesystem::path& destination);

  // Throws std::filesystem::filesystem_error when the file cannot be read and the JSON library's
  // errors when it is no project file: a missing required key, a wrong type, a bad date.
  static ProjectFile read(const std::filesystem::path& url);

  // The path from `folder` to `file` ("scans/f1.tif", "../Other/f1.tif"); nothing when either
  // is the root itself or the two lie on different volumes: the nearest existing folders above
  // them have different devices.
  static std::optional<std::string> relativePath(const std::filesystem::path& folder,
                                                 const std::filesystem::path& file);

  // Finds moved scans in `folder`: for each entry the regular file of the same name whose path
  // shares the most trailing components with the entry's absolute path, the first one walked
  // on a tie. The walk goes in sorted order, skips hidden items and folders it may not read,
  // and does not follow symbolic links to folders. Keyed by absolute path.
  static std::map<std::string, std::filesystem::path> relink(const std::vector<Entry>& entries,
                                                             const std::filesystem::path& folder);
};
