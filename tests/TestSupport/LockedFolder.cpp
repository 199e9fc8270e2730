#include "TestSupport/LockedFolder.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool setImmutable(const std::filesystem::path& folder, bool on) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

// Whether a new entry can still be made in `folder` (and is removed again).
bool takesNewEntries(const std::filesystem::path& folder) {
  const std::filesystem::path probe = folder / ".locked-folder-probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace

LockedFolder::LockedFolder(const std::filesystem::path& folder)
    : folder_(std::filesystem::absolute(folder)) {
  struct stat info {};
  ::stat(folder_.c_str(), &info);
  folderMode_ = info.st_mode & 07777;
  ::chmod(folder_.c_str(), 0555);
  if (::geteuid() == 0) immutable_ = setImmutable(folder_, true);
  locked_ = !takesNewEntries(folder_);
  if (!locked_) unlock();
}

LockedFolder::~LockedFolder() { unlock(); }

void LockedFolder::unlock() {
  if (immutable_) setImmutable(folder_, false);
  immutable_ = false;
  ::chmod(folder_.c_str(), folderMode_);
}
