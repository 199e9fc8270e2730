#include "Resources/ResourceBundle.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

#ifndef KV_INSTALLED_RESOURCES
#define KV_INSTALLED_RESOURCES "../share/kelvadorium"
#endif

namespace ResourceBundle {

namespace {

bool isFolder(const fs::path& path) {
  std::error_code ignored;
  return fs::is_directory(path, ignored);
}

std::optional<fs::path> resolvedExecutable() {
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error || exe.empty()) return std::nullopt;
  return exe;
}

fs::path currentFolder() {
  std::error_code error;
  fs::path folder = fs::current_path(error);
  return error ? fs::path() : folder;
}

// The working folder when the program started, taken before any other static initialiser can
// change it: a relative argv[0], and relative PATH entries, are relative to that folder.
const fs::path startingFolder __attribute__((init_priority(101))) = currentFolder();

// argv[0] as the process was started; a bare name was found through PATH.
std::optional<fs::path> invokedExecutable() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string argv0;
  if (!std::getline(in, argv0, '\0') || argv0.empty()) return std::nullopt;
  std::error_code error;
  if (argv0.find('/') != std::string::npos) {
    const fs::path invoked(argv0);
    if (invoked.is_absolute()) return invoked.lexically_normal();
    if (startingFolder.empty()) return std::nullopt;
    return (startingFolder / invoked).lexically_normal();
  }
  const char* searchPath = std::getenv("PATH");
  if (!searchPath) return std::nullopt;
  std::string folders = searchPath;
  size_t start = 0;
  while (start <= folders.size()) {
    size_t stop = folders.find(':', start);
    if (stop == std::string::npos) stop = folders.size();
    const fs::path folder = stop > start ? fs::path(folders.substr(start, stop - start)) : ".";
    const fs::path candidate = (startingFolder / folder / argv0).lexically_normal();
    if (candidate.is_absolute() && fs::is_regular_file(candidate, error) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = stop + 1;
  }
  return std::nullopt;
}

bool staysInside(const fs::path& relative) {
  if (relative.is_absolute() || relative.has_root_name()) return false;
  for (const auto& part : relative)
    if (part == "..") return false;
  return true;
}

}  // namespace

std::vector<fs::path> candidateFolders() {
  std::vector<fs::path> folders;
  auto add = [&](const fs::path& folder) {
    if (isFolder(folder)) folders.push_back(folder);
  };
  const auto resolved = resolvedExecutable();
  if (resolved) add((resolved->parent_path() / KV_INSTALLED_RESOURCES).lexically_normal());
  if (const auto invoked = invokedExecutable()) add(invoked->parent_path());
  if (resolved) add(resolved->parent_path());
  return folders;
}

std::optional<fs::path> findResourceBundle() {
  for (const auto& folder : candidateFolders()) {
    const fs::path bundle = folder / bundleName;
    if (isFolder(bundle)) return bundle;
  }
  return std::nullopt;
}

const std::optional<fs::path>& resourceBundle() {
  static const std::optional<fs::path> bundle = findResourceBundle();
  return bundle;
}

std::optional<fs::path> resource(const fs::path& bundle, std::string_view name,
                                 std::string_view extension, std::string_view subfolder) {
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..")
    return std::nullopt;
  const fs::path folder(subfolder);
  if (!staysInside(folder)) return std::nullopt;
  std::string fileName(name);
  if (!extension.empty()) fileName.append(".").append(extension);
  if (fileName.find('/') != std::string::npos) return std::nullopt;
  const fs::path path = bundle / folder / fileName;
  std::error_code ignored;
  if (!fs::is_regular_file(path, ignored)) return std::nullopt;
  return path;
}

std::optional<fs::path> resource(std::string_view name, std::string_view extension,
                                 std::string_view subfolder) {
  const auto& bundle = resourceBundle();
  if (!bundle) return std::nullopt;
  return resource(*bundle, name, extension, subfolder);
}

}  // namespace ResourceBundle
