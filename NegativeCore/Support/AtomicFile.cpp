#include "Support/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

namespace AtomicFile {

namespace {

[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error) {
  throw std::filesystem::filesystem_error(what, path,
                                          std::error_code(error, std::generic_category()));
}

// Closes and removes the temporary file unless it was committed.
struct TemporaryFile {
  std::string path;
  int fd = -1;
  bool committed = false;
  ~TemporaryFile() {
    if (fd >= 0) ::close(fd);
    if (!committed && !path.empty()) ::unlink(path.c_str());
  }
};

// A uniquely named empty file beside the target.
void create(const std::filesystem::path& target, TemporaryFile& temp) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  std::string name = ".";
  name += target.filename().string();
  name += ".XXXXXX";
  temp.path = (folder / name).string();
  temp.fd = ::mkstemp(temp.path.data());
  if (temp.fd < 0) {
    const int error = errno;
    temp.path.clear();  // nothing of ours to remove
    fail("cannot create temporary file", target, error);
  }
}

// Renames the temporary file into place. With a check, a rename that would replace an entry
// asks the check first; RENAME_NOREPLACE closes the gap for a target that appears meanwhile.
void renameIntoPlace(const std::filesystem::path& target, TemporaryFile& temp,
                     const ReplaceCheck& beforeReplacing) {
  if (beforeReplacing) {
    if (::renameat2(AT_FDCWD, temp.path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
      return;
    const int error = errno;
    // File systems without RENAME_NOREPLACE answer EINVAL; then only an entry that is there
    // now is checked.
    if (error != EEXIST && error != EINVAL && error != ENOSYS) {
      fail("cannot replace file", target, error);
    }
    struct stat entry {};
    if (error == EEXIST || ::lstat(target.c_str(), &entry) == 0) beforeReplacing(target);
  }
  if (::rename(temp.path.c_str(), target.c_str()) != 0) fail("cannot replace file", target, errno);
}

// Gives the temporary file the target's permissions, syncs it and renames it over the target.
void commit(const std::filesystem::path& target, TemporaryFile& temp,
            const ReplaceCheck& beforeReplacing = {}) {
  // mkstemp creates 0600: keep the permissions of the file being replaced, else rw-r--r--.
  struct stat existing {};
  const mode_t mode = ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  ::fchmod(temp.fd, mode);
  if (::fsync(temp.fd) != 0) fail("cannot sync file", target, errno);
  if (::close(temp.fd) != 0) {
    temp.fd = -1;
    fail("cannot close file", target, errno);
  }
  temp.fd = -1;
  renameIntoPlace(target, temp, beforeReplacing);
  temp.committed = true;
}

}  // namespace

void write(const std::filesystem::path& target, std::string_view data) {
  TemporaryFile temp;
  create(target, temp);
  size_t written = 0;
  while (written < data.size()) {
    const ssize_t n = ::write(temp.fd, data.data() + written, data.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write file", target, errno);
    }
    written += static_cast<size_t>(n);
  }
  commit(target, temp);
}

void writeThrough(const std::filesystem::path& target,
                  const std::function<void(const std::filesystem::path& temporary)>& fill,
                  const ReplaceCheck& beforeReplacing) {
  TemporaryFile temp;
  create(target, temp);
  fill(temp.path);
  commit(target, temp, beforeReplacing);
}

}  // namespace AtomicFile
