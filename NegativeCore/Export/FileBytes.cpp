#include "Export/FileBytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace FileBytes {

namespace {

[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error) {
  throw std::filesystem::filesystem_error(what, path,
                                          std::error_code(error, std::generic_category()));
}

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::string read(const std::filesystem::path& path, struct stat* status) {
  // Non-blocking open: a pipe with nobody writing must not hang the caller.
  Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
  if (file.fd < 0) fail("cannot open file", path, errno);
  struct stat info {};
  if (::fstat(file.fd, &info) != 0) fail("cannot read file status", path, errno);
  if (S_ISDIR(info.st_mode)) fail("cannot read file", path, EISDIR);
  if (!S_ISREG(info.st_mode)) fail("not a regular file", path, EINVAL);

  std::string bytes;
  bytes.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot read file", path, errno);
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  if (status) *status = info;
  return bytes;
}

}  // namespace FileBytes
