#include "Export/ProjectFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>
#include <utility>

#include "Export/FileBytes.h"
#include "Export/Iso8601.h"
#include "Record/JsonFields.h"
#include "Support/AtomicFile.h"
#include "Support/StoredName.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// Absolute, with "." and ".." resolved lexically (symbolic links are left as they are) and no
// trailing separator.
fs::path standardized(const fs::path& path) {
  std::error_code ignored;
  fs::path absolute = fs::absolute(path, ignored);
  if (absolute.empty()) absolute = path;
  fs::path normal = absolute.lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return normal;
}

// "/", then every name; empty names (a trailing separator) are left out.
std::vector<std::string> components(const fs::path& path) {
  std::vector<std::string> parts;
  for (const fs::path& part : path)
    if (!part.empty()) parts.push_back(part.string());
  return parts;
}

// The device of the nearest existing folder at or above `path`.
std::optional<dev_t> deviceOfNearestFolder(fs::path path) {
  for (;;) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return info.st_dev;
    if (!path.has_relative_path()) return std::nullopt;
    path = path.parent_path();
  }
}

bool onDifferentVolumes(const fs::path& folder, const fs::path& file) {
  const auto a = deviceOfNearestFolder(folder);
  const auto b = deviceOfNearestFolder(file.parent_path());
  return a && b && *a != *b;
}

bool itemExists(const fs::path& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

// Strict reading: a missing or mistyped required key fails the whole read with the JSON
// library's own errors, naming where it happened (a mistyped value also says what it must be).
[[noreturn]] void mistyped(std::string_view where, std::string_view expected, const Json& value) {
  throw Json::type_error::create(302,
                                 "'" + std::string(where) + "' must be " + std::string(expected) +
                                     ", but is " + value.type_name(),
                                 &value);
}

std::string keyPath(std::string_view parent, std::string_view key) {
  return parent.empty() ? std::string(key) : std::string(parent) + "." + std::string(key);
}

const Json& required(const Json& object, std::string_view key, std::string_view where) {
  const Json* value = JsonFields::find(object, key);
  if (!value) JsonFields::throwMissing(keyPath(where, key));
  return *value;
}

// The converted value, or the mistyped error saying what it must be.
template <class Convert>
auto read(const Json& value, std::string_view where, std::string_view expected, Convert convert) {
  auto converted = convert(value);
  if (!converted) mistyped(where, expected, value);
  return std::move(*converted);
}

std::string readString(const Json& value, std::string_view where) {
  return read(value, where, "a string", JsonFields::asString);
}

bool readBool(const Json& value, std::string_view where) {
  return read(value, where, "a boolean", JsonFields::asBool);
}

// Whole numbers only; 3.0 counts as 3, 3.5 and numbers beyond the 64-bit range do not.
int64_t readInteger(const Json& value, std::string_view where) {
  return read(value, where, "a whole number", JsonFields::wholeNumberWithin(9.2e18));
}

void requireObject(const Json& value, std::string_view where) {
  if (!value.is_object()) mistyped(where.empty() ? "project" : where, "an object", value);
}

Json entryJson(const ProjectFile::Entry& entry) {
  Json json = Json::object();
  json["absolutePath"] = StoredName::encode(entry.absolutePath);
  if (entry.relativePath) json["relativePath"] = StoredName::encode(*entry.relativePath);
  json["settings"] = toJson(entry.settings);
  json["skipped"] = entry.skipped;
  return json;
}

ProjectFile::Entry entryFromJson(const Json& json, const std::string& where) {
  requireObject(json, where);
  ProjectFile::Entry entry;
  entry.absolutePath = StoredName::decode(
      readString(required(json, "absolutePath", where), keyPath(where, "absolutePath")));
  if (const Json* relative = JsonFields::find(json, "relativePath"))
    entry.relativePath = StoredName::decode(readString(*relative, keyPath(where, "relativePath")));
  const Json& settings = required(json, "settings", where);
  requireObject(settings, keyPath(where, "settings"));
  entry.settings = settingsFromJson(settings);
  entry.skipped = readBool(required(json, "skipped", where), keyPath(where, "skipped"));
  return entry;
}

ProjectFile projectFromJson(const Json& json) {
  requireObject(json, "");
  ProjectFile project;
  project.app = readString(required(json, "app", ""), "app");
  const Json& images = required(json, "images", "");
  if (!images.is_array()) mistyped("images", "an array", images);
  for (size_t i = 0; i < images.size(); ++i)
    project.images.push_back(entryFromJson(images[i], "images[" + std::to_string(i) + "]"));
  const std::string savedAt = readString(required(json, "savedAt", ""), "savedAt");
  const auto date = Iso8601::parse(savedAt);
  if (!date)
    throw Json::other_error::create(
        501, "'savedAt' is not an ISO 8601 date and time: \"" + savedAt + "\"", nullptr);
  project.savedAt = *date;
  if (const Json* selected = JsonFields::find(json, "selectedIndex"))
    project.selectedIndex = readInteger(*selected, "selectedIndex");
  project.version = readInteger(required(json, "version", ""), "version");
  return project;
}

// Regular files under `folder` (symbolic links to regular files count as such) by name, in
// the order of a depth-first walk through sorted folder listings. Hidden items, folders that
// cannot be listed and symbolic links to folders are passed over; a folder met twice (through
// a bind mount) is walked once.
class FileIndex {
 public:
  explicit FileIndex(const fs::path& folder) { walk(folder); }

  const std::vector<fs::path>* find(const std::string& name) const {
    const auto found = files_.find(name);
    return found == files_.end() ? nullptr : &found->second;
  }

 private:
  void walk(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !visited_.insert({info.st_dev, info.st_ino}).second)
      return;
    for (const fs::directory_entry& child : sortedChildren(folder)) {
      const std::string name = child.path().filename().string();
      if (name.starts_with('.')) continue;
      std::error_code error;
      const fs::file_status own = child.symlink_status(error);
      if (error) continue;
      if (fs::is_symlink(own)) {
        if (fs::is_regular_file(child.status(error)) && !error)
          files_[name].push_back(child.path());
      } else if (fs::is_directory(own)) {
        walk(child.path());
      } else if (fs::is_regular_file(own)) {
        files_[name].push_back(child.path());
      }
    }
  }

  static std::vector<fs::directory_entry> sortedChildren(const fs::path& folder) {
    std::vector<fs::directory_entry> children;
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) children.push_back(*it);
    std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
      return a.path().filename().native() < b.path().filename().native();
    });
    return children;
  }

  std::map<std::string, std::vector<fs::path>> files_;
  std::set<std::pair<dev_t, ino_t>> visited_;
};

// How many path components the two share at their ends, the file name included.
size_t sharedTrailingComponents(const std::vector<std::string>& a,
                                const std::vector<std::string>& b) {
  size_t n = 0;
  while (n < a.size() && n < b.size() && a[a.size() - 1 - n] == b[b.size() - 1 - n]) ++n;
  return n;
}

fs::path bestCandidate(const std::vector<fs::path>& candidates, const std::string& absolutePath) {
  const std::vector<std::string> wanted = components(fs::path(absolutePath));
  const fs::path* best = &candidates.front();
  size_t bestScore = sharedTrailingComponents(components(*best), wanted);
  for (const fs::path& candidate : candidates) {
    const size_t score = sharedTrailingComponents(components(candidate), wanted);
    if (score > bestScore) {
      best = &candidate;
      bestScore = score;
    }
  }
  return *best;
}

}  // namespace

ProjectFile::Entry::Entry(std::optional<std::string> relativePath, std::string absolutePath,
                          ConversionSettings settings, bool skipped)
    : relativePath(std::move(relativePath)),
      absolutePath(std::move(absolutePath)),
      settings(std::move(settings)),
      skipped(skipped) {}

ProjectFile::Entry::Entry(const fs::path& image, ConversionSettings settings, bool skipped,
                          const fs::path& projectFile)
    : relativePath(ProjectFile::relativePath(standardized(projectFile).parent_path(), image)),
      absolutePath(standardized(image).string()),
      settings(std::move(settings)),
      skipped(skipped) {}

std::optional<fs::path> ProjectFile::Entry::resolve(const Entry& entry,
                                                    const fs::path& projectFile) {
  if (entry.relativePath) {
    const fs::path candidate =
        standardized(standardized(projectFile).parent_path() / *entry.relativePath);
    if (itemExists(candidate)) return candidate;
  }
  const fs::path absolute(entry.absolutePath);
  if (itemExists(absolute)) return absolute;
  return std::nullopt;
}

ProjectFile::ProjectFile(std::vector<Entry> images, std::optional<int64_t> selectedIndex)
    : images(std::move(images)), selectedIndex(selectedIndex) {}

void ProjectFile::write(const ProjectFile& project, const fs::path& destination) {
  Json images = Json::array();
  for (const Entry& entry : project.images) images.push_back(entryJson(entry));
  Json root = Json::object();
  root["app"] = project.app;
  root["images"] = std::move(images);
  root["savedAt"] = Iso8601::format(project.savedAt);
  if (project.selectedIndex) root["selectedIndex"] = *project.selectedIndex;
  root["version"] = project.version;
  AtomicFile::write(destination, root.dump(2) + "\n");
}

ProjectFile ProjectFile::read(const fs::path& url) {
  return projectFromJson(Json::parse(FileBytes::read(url)));
}

std::optional<std::string> ProjectFile::relativePath(const fs::path& folder, const fs::path& file) {
  const fs::path from = standardized(folder);
  const fs::path to = standardized(file);
  const std::vector<std::string> a = components(from);
  const std::vector<std::string> b = components(to);
  if (a.size() < 2 || b.size() < 2 || onDifferentVolumes(from, to)) return std::nullopt;

  size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  std::vector<std::string> steps(a.size() - common, "..");
  steps.insert(steps.end(), b.begin() + static_cast<ptrdiff_t>(common), b.end());
  std::string joined;
  for (const std::string& step : steps) {
    if (!joined.empty()) joined += '/';
    joined += step;
  }
  return joined;
}

std::map<std::string, fs::path> ProjectFile::relink(const std::vector<Entry>& entries,
                                                    const fs::path& folder) {
  const FileIndex index(folder);
  std::map<std::string, fs::path> found;
  for (const Entry& entry : entries) {
    const std::string name = fs::path(entry.absolutePath).filename().string();
    const std::vector<fs::path>* candidates = index.find(name);
    if (!candidates) continue;
    found.emplace(entry.absolutePath, bestCandidate(*candidates, entry.absolutePath));
  }
  return found;
}
