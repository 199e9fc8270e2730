#include "TestSupport/ReadOnlyFolder.h"

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t nobody = 65534;

}  // namespace

ReadOnlyFolder::ReadOnlyFolder(const std::filesystem::path& folder)
    : folder_(std::filesystem::absolute(folder)) {
  struct stat info {};
  ::stat(folder_.c_str(), &info);
  folderMode_ = info.st_mode & 07777;
  ::chmod(folder_.c_str(), 0555);
  if (::geteuid() != 0) return;
  for (auto p = folder_.parent_path(); p.has_relative_path(); p = p.parent_path()) {
    if (::stat(p.c_str(), &info) == 0 && (info.st_mode & S_IXOTH) == 0) {
      opened_.emplace_back(p, info.st_mode & 07777);
      ::chmod(p.c_str(), (info.st_mode & 07777) | S_IXOTH | S_IROTH);
    }
  }
  ::setfsgid(nobody);
  ::setfsuid(nobody);
  droppedIdentity_ = true;
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (droppedIdentity_) {
    ::setfsuid(0);
    ::setfsgid(0);
  }
  ::chmod(folder_.c_str(), folderMode_);
  for (const auto& [path, mode] : opened_) ::chmod(path.c_str(), mode);
}
