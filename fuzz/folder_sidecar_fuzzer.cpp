// A folder sidecar of any content on disk, then a save of one scan's record into it: the save
// succeeds, and every other record that read before reads the same after. No record is lost.
#include <fcntl.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <map>

#include "Export/FolderEdits.h"
#include "FuzzSupport.h"
#include "Support/StoredName.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder holding the bytes as its sidecar. Each sidecar gets its own modification time,
// so the library's cache never mistakes it for the one before.
fs::path folderWithSidecar(const uint8_t* data, size_t size) {
  static int64_t written = 0;
  const fs::path folder = FuzzSupport::scratchFolder() / "roll";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path sidecar = FuzzSupport::writeInput(data, size, "sidecar.json");
  fs::rename(sidecar, FolderEdits::fileURL(folder));
  const timespec stamp{1'000'000'000 + written++, 0};
  const timespec times[2] = {stamp, stamp};
  ::utimensat(AT_FDCWD, FolderEdits::fileURL(folder).c_str(), times, 0);
  return folder;
}

// The names under "scans" that can be a file of the folder.
std::vector<std::string> storedNames(const uint8_t* data, size_t size) {
  const nlohmann::json json = nlohmann::json::parse(data, data + size, nullptr, false);
  std::vector<std::string> names;
  if (!json.is_object() || !json.contains("scans") || !json["scans"].is_object()) return names;
  for (const auto& [key, value] : json["scans"].items()) {
    const std::string name = StoredName::decode(key);
    if (!name.empty() && name != "." && name != ".." &&
        name.find_first_of(std::string("/\0", 2)) == std::string::npos)
      names.push_back(name);
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path folder = folderWithSidecar(data, size);
  const std::string saved = "fuzz-saved.tif";
  std::map<std::string, ConversionSettings> before;
  for (const std::string& name : storedNames(data, size))
    if (const auto record = FolderEdits::settings(folder / name); record && name != saved)
      before.emplace(name, *record);

  ConversionSettings edit;
  edit.exposure = 0.25;
  try {
    FolderEdits::setSettings(edit, folder / saved);
  } catch (const fs::filesystem_error& error) {
    FuzzSupport::fail(std::string("the save failed: ") + error.what());
  }
  if (FolderEdits::settings(folder / saved) != edit) FuzzSupport::fail("the saved record is not there");
  for (const auto& [name, record] : before)
    if (FolderEdits::settings(folder / name) != record) FuzzSupport::fail("lost the record of " + name);
  return 0;
}
