#include "Export/FolderEdits.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "Export/FileBytes.h"
#include "Export/SettingsSidecar.h"
#include "Record/JsonFields.h"
#include "Support/AtomicFile.h"
#include "Support/StoredName.h"

namespace FolderEdits {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// Identifies one version of a sidecar on disk. The modification time alone is not enough: a
// file replaced within the file system's timestamp granularity keeps it.
struct Stamp {
  int64_t modifiedSeconds = 0;
  int64_t modifiedNanoseconds = 0;
  int64_t changedSeconds = 0;
  int64_t changedNanoseconds = 0;
  int64_t size = 0;
  uint64_t inode = 0;
  uint64_t device = 0;

  friend bool operator==(const Stamp&, const Stamp&) = default;
};

Stamp stampOf(const struct stat& info) {
  return {info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_ctim.tv_sec, info.st_ctim.tv_nsec,
          info.st_size,        info.st_ino,          info.st_dev};
}

enum class Health {
  sound,           // every entry read
  damagedEntries,  // the file read, some scan entries did not and were left out
  damaged,         // the file exists and cannot be understood at all
};

// A folder sidecar as loaded: its content, how well it read, or why it could not be read.
// After a save it also keeps each record's text as written, so the next save encodes only the
// records that changed.
struct Loaded {
  File file;
  bool exists = false;
  Health health = Health::sound;
  std::error_code readError;
  std::map<std::string, std::string> encoded;
};

using LoadedPtr = std::shared_ptr<const Loaded>;

struct CacheEntry {
  Stamp stamp;
  LoadedPtr loaded;
};

std::mutex& lock() {
  static std::mutex mutex;
  return mutex;
}

// Processes saving into one folder take turns through an advisory lock on a file beside the
// sidecar; the sidecar itself is replaced by rename, so it cannot carry the lock. Every save
// re-reads the sidecar while holding it.
class FolderLock {
 public:
  explicit FolderLock(const fs::path& folder) {
    const fs::path url = folder / lockFileName;
    fd_ = ::open(url.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0) {
      throw fs::filesystem_error("cannot lock the folder's edit records", url,
                                 std::error_code(errno, std::generic_category()));
    }
    const auto deadline = std::chrono::steady_clock::now() + lockWait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if ((error != EWOULDBLOCK && error != EINTR) ||
          std::chrono::steady_clock::now() >= deadline) {
        ::close(fd_);
        throw fs::filesystem_error(
            error == EWOULDBLOCK ? "another program is saving the folder's edit records"
                                 : "cannot lock the folder's edit records",
            fileURL(folder), std::error_code(error, std::generic_category()));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~FolderLock() { ::close(fd_); }  // closing releases the lock
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// Folder path → the sidecar as last read or written. Guarded by lock().
std::unordered_map<std::string, CacheEntry>& cache() {
  static std::unordered_map<std::string, CacheEntry> entries;
  return entries;
}

LoadedPtr missingFile() {
  static const LoadedPtr missing = std::make_shared<const Loaded>();
  return missing;
}

LoadedPtr unreadable(std::error_code error) {
  auto loaded = std::make_shared<Loaded>();
  loaded->exists = true;
  loaded->readError = error;
  return loaded;
}

// The object under "scans"; none when it is missing or no object.
const Json* scansOf(const Json& file) {
  const Json* scans = JsonFields::find(file, "scans");
  return scans && scans->is_object() ? scans : nullptr;
}

// Both keys must be there with the right types, or the file is damaged; a scan entry that is
// no record is left out and marks the file, so it is kept aside before the next write.
Loaded decodeFile(std::string_view bytes) {
  Loaded result;
  result.exists = true;
  const Json json = Json::parse(bytes, nullptr, /*allow_exceptions=*/false);
  const auto version = JsonFields::tolerant(json, "version", JsonFields::wholeNumberWithin(9.2e18));
  const Json* scans = scansOf(json);
  if (!version || !scans) {
    result.health = Health::damaged;
    return result;
  }
  result.file.version = *version;
  for (const auto& [name, record] : scans->items()) {
    if (!record.is_object()) {
      result.health = Health::damagedEntries;
      continue;
    }
    result.file.scans.emplace(StoredName::decode(name), settingsFromJson(record));
  }
  return result;
}

// Called with the lock held. A file that does not exist loads as version 1 without scans and
// leaves the cache alone; any other failure to read is reported in readError and not cached.
LoadedPtr loadFile(const fs::path& folder) {
  const fs::path url = fileURL(folder);
  struct stat info {};
  if (::stat(url.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return missingFile();
    return unreadable(std::error_code(errno, std::generic_category()));
  }
  auto& entries = cache();
  const auto cached = entries.find(folder.string());
  if (cached != entries.end() && cached->second.stamp == stampOf(info))
    return cached->second.loaded;

  std::string bytes;
  try {
    bytes = FileBytes::read(url, &info);
  } catch (const fs::filesystem_error& error) {
    if (error.code() == std::errc::no_such_file_or_directory) return missingFile();
    return unreadable(error.code());
  }
  auto loaded = std::make_shared<const Loaded>(decodeFile(bytes));
  entries[folder.string()] = {stampOf(info), loaded};
  return loaded;
}

std::string twoDigits(int value) {
  return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

// "kelvadorium-edits-damaged-20240501-134502.json" in local time; a later backup within the
// same second gets "-2", "-3", … so no backup is ever replaced.
fs::path backupURL(const fs::path& folder,
                   const std::string& prefix = "kelvadorium-edits-damaged-") {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  const int year = local.tm_year + 1900;
  std::string stem = prefix + twoDigits(year / 100) + twoDigits(year % 100) +
                     twoDigits(local.tm_mon + 1) + twoDigits(local.tm_mday) + "-" +
                     twoDigits(local.tm_hour) + twoDigits(local.tm_min) + twoDigits(local.tm_sec);
  fs::path candidate = folder / (stem + ".json");
  for (int n = 2; fs::exists(fs::symlink_status(candidate)); ++n)
    candidate = folder / (stem + "-" + std::to_string(n) + ".json");
  return candidate;
}

// Called with the lock held before the sidecar is replaced: a file that did not read keeps its
// content in a backup, moved aside when nothing of it was read, copied when only some scan
// entries were lost. Throws when the sidecar cannot be read or the backup cannot be made.
void keepDamagedFile(const fs::path& folder) {
  const LoadedPtr current = loadFile(folder);
  if (current->readError)
    throw fs::filesystem_error("cannot read the folder's edit records", fileURL(folder),
                               current->readError);
  if (current->health == Health::sound) return;
  cache().erase(folder.string());
  std::error_code error;
  if (fs::file_size(fileURL(folder), error) == 0 && !error) return;  // nothing to keep
  const fs::path backup = backupURL(folder);
  if (current->health == Health::damaged) {
    fs::rename(fileURL(folder), backup);
    return;
  }
  try {
    fs::copy_file(fileURL(folder), backup, fs::copy_options::none);
  } catch (const fs::filesystem_error&) {
    fs::remove(backup, error);  // a full disk leaves no empty or partial backup
    throw;
  }
}

// One member of "scans" as the pretty printer writes it at its depth in the file.
std::string indentedMember(const std::string& name, const Json& record) {
  std::string text = "    " + Json(StoredName::encode(name)).dump() + ": ";
  for (const char c : record.dump(2)) {
    text += c;
    if (c == '\n') text += "    ";  // newlines occur only between tokens in JSON text
  }
  return text;
}

std::string encodeMember(const std::string& name, const ConversionSettings& settings) {
  return indentedMember(name, toJson(settings));
}

// The member of a scan as the sidecar on disk holds it now, for a record that cannot be
// written again; nothing when the file no longer holds it.
std::optional<std::string> storedMember(const fs::path& folder, const std::string& name) {
  std::optional<std::string> bytes;
  try {
    bytes = FileBytes::read(fileURL(folder));
  } catch (const fs::filesystem_error&) {
    return std::nullopt;
  }
  const Json json = Json::parse(*bytes, nullptr, /*allow_exceptions=*/false);
  const Json* scans = scansOf(json);
  if (!scans) return std::nullopt;
  const auto found = scans->find(StoredName::encode(name));
  if (found == scans->end()) return std::nullopt;
  return indentedMember(name, *found);
}

// Pretty-printed with sorted keys: "scans" before "version", members in name order (the order
// of the map), each record's keys sorted. Texts of records that equal the ones last written
// to the folder are reused. A record that cannot be written keeps the text the file holds for
// it, unless it is the one being saved (`saving`): that save fails, naming the scan.
std::string encodeFile(int64_t version, const std::map<std::string, ConversionSettings>& scans,
                       const Loaded* previous, std::map<std::string, std::string>& encoded,
                       const fs::path& folder, const std::string* saving) {
  for (const auto& [name, settings] : scans) {
    std::string member;
    if (previous) {
      const auto text = previous->encoded.find(name);
      const auto record = previous->file.scans.find(name);
      if (text != previous->encoded.end() && record != previous->file.scans.end() &&
          record->second == settings)
        member = text->second;
    }
    if (member.empty()) {
      try {
        member = encodeMember(name, settings);
      } catch (const Json::exception& error) {
        auto stored = saving && *saving == name ? std::nullopt : storedMember(folder, name);
        if (!stored) {
          throw fs::filesystem_error(
              "cannot write the edit record of \"" + name + "\": " + error.what(), folder / name,
              std::make_error_code(std::errc::invalid_argument));
        }
        member = std::move(*stored);
      }
    }
    encoded.emplace_hint(encoded.end(), name, std::move(member));
  }
  std::string bytes = "{\n  \"scans\": {\n";
  bool first = true;
  for (const auto& [name, member] : encoded) {
    if (!first) bytes += ",\n";
    bytes += member;
    first = false;
  }
  bytes += "\n  },\n  \"version\": " + std::to_string(version) + "\n}\n";
  return bytes;
}

// Where the sidecar's bytes go: a symbolic link is written through to the file it points to
// (replaced atomically beside it), so the link keeps getting the edits. A sidecar the user made
// read-only is not replaced.
fs::path writableTarget(const fs::path& url) {
  fs::path target = url;
  for (int depth = 0; depth < 40 && fs::is_symlink(target); ++depth) {
    const fs::path link = fs::read_symlink(target);
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0 && (info.st_mode & 0222) == 0) {
    throw fs::filesystem_error("the folder's edit records are read-only", url,
                               std::make_error_code(std::errc::permission_denied));
  }
  return target;
}

// Temporary files that a save killed midway left beside the sidecar ("." and the sidecar's name,
// or the name itself, then "." and six letters or digits): with the folder lock held no save of
// ours is writing one.
bool isOurTemporary(const std::string& name, const std::string& sidecar) {
  std::string hidden(1, '.');
  hidden += sidecar;
  hidden += '.';
  for (const std::string_view prefix :
       {std::string_view(hidden), std::string_view(hidden).substr(1)}) {
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
  }
  return false;
}

void removeStaleTemporaries(const fs::path& target) {
  const std::string sidecar = target.filename().string();
  std::error_code error;
  for (fs::directory_iterator it(target.parent_path(), error), end; !error && it != end;
       it.increment(error)) {
    std::error_code ignored;
    if (isOurTemporary(it->path().filename().string(), sidecar) && it->is_regular_file(ignored))
      fs::remove(it->path(), ignored);
  }
}

// Called with the lock held. No scans: the file is removed, unless it holds something that did
// not read; nothing is reported. Otherwise the file is replaced atomically and cached; encoding
// and file errors are thrown and leave the old file and its cache entry as they were.
void saveFile(int64_t version, std::map<std::string, ConversionSettings> scans,
              const fs::path& folder, const std::string* saving = nullptr) {
  const fs::path url = fileURL(folder);
  if (scans.empty()) {
    const LoadedPtr current = loadFile(folder);
    if (current->exists && current->health == Health::sound && !current->readError) {
      std::error_code ignored;
      fs::remove(url, ignored);
      cache().erase(folder.string());
    }
    return;
  }
  const auto cached = cache().find(folder.string());
  std::map<std::string, std::string> encoded;
  const std::string bytes =
      encodeFile(version, scans, cached != cache().end() ? cached->second.loaded.get() : nullptr,
                 encoded, folder, saving);
  const fs::path target = writableTarget(url);
  keepDamagedFile(folder);
  removeStaleTemporaries(target);
  AtomicFile::write(target, bytes);

  struct stat info {};
  if (::stat(url.c_str(), &info) != 0) {
    cache().erase(folder.string());  // read afresh next time
    return;
  }
  auto saved = std::make_shared<Loaded>();
  saved->exists = true;
  saved->file = {version, std::move(scans)};
  saved->encoded = std::move(encoded);
  cache()[folder.string()] = {stampOf(info), std::move(saved)};
}

void removeQuietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

std::optional<std::string> readQuietly(const fs::path& path) {
  try {
    return FileBytes::read(path);
  } catch (const fs::filesystem_error&) {
    return std::nullopt;
  }
}

// Takes the per-image sidecars of one folder's scans into its file; returns how many sidecars
// were taken. A sidecar is deleted when the folder file holds its record; one that differs from
// the folder file's entry, or does not read, is renamed to a visible backup instead.
int64_t migrateFolder(const fs::path& folder, const std::vector<fs::path>& images) {
  const LoadedPtr loaded = loadFile(folder);
  if (loaded->readError) return 0;
  File file = loaded->file;
  std::vector<fs::path> taken;
  std::vector<std::pair<fs::path, std::string>> setAside;  // sidecar, scan name
  for (const fs::path& image : images) {
    const std::string name = image.filename().string();
    for (const fs::path& sidecar :
         {SettingsSidecar::sidecarURL(image), SettingsSidecar::legacySidecarURL(image)}) {
      const auto bytes = readQuietly(sidecar);
      if (!bytes) continue;
      auto record = SettingsSidecar::decode(*bytes);
      // Compared with the folder file as it was: of two per-image sidecars the newer one wins.
      const auto held = loaded->file.scans.find(name);
      if (held == loaded->file.scans.end()) {
        if (!record) continue;  // kept where it is: its edits are nowhere else
        file.scans.emplace(name, std::move(*record));
        taken.push_back(sidecar);
      } else if (record && *record == held->second) {
        taken.push_back(sidecar);
      } else {
        setAside.emplace_back(sidecar, name);
      }
    }
  }
  if (taken.empty() && setAside.empty()) return 0;
  try {
    saveFile(file.version, std::move(file.scans), folder);
  } catch (const std::exception&) {
    return 0;
  }
  for (const fs::path& sidecar : taken) removeQuietly(sidecar);
  for (const auto& [sidecar, name] : setAside) {
    std::error_code ignored;
    fs::rename(sidecar, backupURL(folder, name + ".kelvadorium-superseded-"), ignored);
  }
  return static_cast<int64_t>(taken.size() + setAside.size());
}

}  // namespace

fs::path fileURL(const fs::path& folder) { return folder / fileName; }

std::optional<ConversionSettings> settings(const fs::path& image) {
  std::lock_guard guard(lock());
  const LoadedPtr loaded = loadFile(image.parent_path());
  const auto found = loaded->file.scans.find(image.filename().string());
  if (found == loaded->file.scans.end()) return std::nullopt;
  return found->second;
}

void setSettings(const ConversionSettings& settings, const fs::path& image) {
  std::lock_guard guard(lock());
  const fs::path folder = image.parent_path();
  const FolderLock folderLock(folder);
  const LoadedPtr loaded = loadFile(folder);
  if (loaded->readError)
    throw fs::filesystem_error("cannot read the folder's edit records", fileURL(folder),
                               loaded->readError);
  File file = loaded->file;
  const std::string name = image.filename().string();
  file.scans.insert_or_assign(name, settings);
  saveFile(file.version, std::move(file.scans), folder, &name);
  removeQuietly(SettingsSidecar::sidecarURL(image));
  removeQuietly(SettingsSidecar::legacySidecarURL(image));
}

int64_t migrateSidecars(const std::vector<fs::path>& images) {
  std::lock_guard guard(lock());
  int64_t count = 0;
  for (const auto& [folder, group] : groupByFolder(images)) {
    // Folders without per-image sidecars are left untouched, lock file included.
    const bool anySidecar = std::any_of(group.begin(), group.end(), [](const fs::path& image) {
      std::error_code error;
      return fs::exists(fs::symlink_status(SettingsSidecar::sidecarURL(image), error)) ||
             fs::exists(fs::symlink_status(SettingsSidecar::legacySidecarURL(image), error));
    });
    if (!anySidecar) continue;
    try {
      const FolderLock folderLock(folder);
      count += migrateFolder(folder, group);
    } catch (const fs::filesystem_error&) {
      // a folder that cannot be locked keeps its sidecars until a later migration
    }
  }
  return count;
}

std::vector<std::pair<fs::path, std::vector<fs::path>>> groupByFolder(
    const std::vector<fs::path>& images) {
  std::vector<std::pair<fs::path, std::vector<fs::path>>> groups;
  std::unordered_map<std::string, size_t> index;
  for (const fs::path& image : images) {
    fs::path folder = image.parent_path();
    const auto [at, added] = index.try_emplace(folder.string(), groups.size());
    if (added) groups.emplace_back(std::move(folder), std::vector<fs::path>{});
    groups[at->second].second.push_back(image);
  }
  return groups;
}

}  // namespace FolderEdits
