// What the command line asks to open: after the program's own path, every argument that does not
// begin with "-" is a path (an option is skipped, its value is not); the first whose extension is
// exactly the project extension is opened alone, else all of them are added as scans together.
// Qt has taken its own options out of the list before.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace LaunchArguments {

struct Files {
  std::optional<std::filesystem::path> project;
  std::vector<std::filesystem::path> scans;

  friend bool operator==(const Files&, const Files&) = default;
};

// The arguments as the process received them (bytes, never re-encoded); relative paths resolve
// against `currentFolder`, and every path is absolute and lexically normal.
Files files(const std::vector<std::string>& arguments, const std::filesystem::path& currentFolder);

// Every path the arguments name, in order, made as files() makes them.
std::vector<std::filesystem::path> paths(const std::vector<std::string>& arguments,
                                         const std::filesystem::path& currentFolder);

// Whether the path names a project file: its extension is the project extension, in that case.
bool isProjectPath(const std::filesystem::path& path);

}  // namespace LaunchArguments
