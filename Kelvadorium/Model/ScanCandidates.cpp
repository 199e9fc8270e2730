#include "Model/ScanCandidates.h"

#include <string>
#include <system_error>
#include <unordered_set>

#include "Conversion/Decoder.h"
#include "Model/ScanPath.h"

namespace fs = std::filesystem;

namespace ScanCandidates {

namespace {

bool isHidden(const fs::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name.front() == '.';
}

// A file entry of a walk: an existing non-folder, through a link to a file as well.
bool isFileEntry(const fs::directory_entry& entry, const fs::file_status& own) {
  if (!fs::is_symlink(own)) return !fs::is_directory(own);
  std::error_code error;
  const fs::file_status target = fs::status(entry.path(), error);
  return !error && fs::exists(target) && !fs::is_directory(target);
}

void walk(const fs::path& folder, std::vector<fs::path>& found) {
  std::vector<fs::path> pending{folder};
  while (!pending.empty()) {
    const fs::path current = std::move(pending.back());
    pending.pop_back();
    std::error_code error;
    fs::directory_iterator it(current, fs::directory_options::skip_permission_denied, error);
    std::vector<fs::path> subfolders;
    // An error while listing (the folder went away) keeps what was listed so far.
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
      const fs::directory_entry& entry = *it;
      if (isHidden(entry.path())) continue;
      std::error_code statusError;
      const fs::file_status own = entry.symlink_status(statusError);
      if (statusError) continue;
      if (fs::is_directory(own)) {
        subfolders.push_back(entry.path());
      } else if (hasScanExtension(entry.path()) && isFileEntry(entry, own)) {
        found.push_back(entry.path());
      }
    }
    // Depth first, subfolders in listing order.
    pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
  }
}

}  // namespace

bool hasScanExtension(const fs::path& path) {
  std::string extension = path.extension().string();
  if (extension.size() < 2) return false;
  extension.erase(0, 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return Decoder::supportedExtensions().contains(extension);
}

std::vector<fs::path> collect(const std::vector<fs::path>& chosen) {
  std::vector<fs::path> found;
  for (const fs::path& given : chosen) {
    const fs::path path = ScanPath::normal(given);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);  // a chosen link: its target
    if (error || !fs::exists(status)) continue;
    if (fs::is_directory(status)) {
      walk(path, found);
    } else if (hasScanExtension(path)) {
      found.push_back(path);
    }
  }
  std::unordered_set<std::string> seen;
  std::vector<fs::path> unique;
  unique.reserve(found.size());
  for (fs::path& path : found) {
    if (seen.insert(path.native()).second) unique.push_back(std::move(path));
  }
  return unique;
}

}  // namespace ScanCandidates
