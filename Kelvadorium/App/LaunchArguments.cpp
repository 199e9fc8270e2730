#include "App/LaunchArguments.h"

#include "Export/ProjectFile.h"

namespace LaunchArguments {

bool isProjectPath(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  return !extension.empty() && std::string_view(extension).substr(1) == ProjectFile::fileExtension;
}

std::vector<std::filesystem::path> paths(const std::vector<std::string>& arguments,
                                         const std::filesystem::path& currentFolder) {
  std::vector<std::filesystem::path> paths;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty() || argument.front() == '-') continue;
    const std::filesystem::path path(argument);
    paths.push_back((path.is_absolute() ? path : currentFolder / path).lexically_normal());
  }
  return paths;
}

Files files(const std::vector<std::string>& arguments, const std::filesystem::path& currentFolder) {
  std::vector<std::filesystem::path> named = paths(arguments, currentFolder);
  Files result;
  for (const auto& path : named) {
    if (isProjectPath(path)) {
      result.project = path;
      return result;
    }
  }
  result.scans = std::move(named);
  return result;
}

}  // namespace LaunchArguments
