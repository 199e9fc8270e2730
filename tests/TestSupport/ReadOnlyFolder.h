// Makes a folder read-only for the calling thread for the life of a scope. The superuser
// ignores permission bits, so as root the thread's file-system identity also becomes "nobody"
// (setfsuid is per thread), and the folders above are opened for traversal while it lasts.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <utility>
#include <vector>

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::filesystem::path& folder);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

 private:
  std::filesystem::path folder_;
  mode_t folderMode_ = 0;
  bool droppedIdentity_ = false;
  std::vector<std::pair<std::filesystem::path, mode_t>> opened_;
};
