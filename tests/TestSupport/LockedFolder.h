// Makes a folder refuse new entries and removals for every thread of the process while a scope
// lasts (work handed to a worker thread meets it too): its permission bits for a normal user,
// the immutable attribute for the superuser, who ignores the bits. Files already inside stay
// writable. Where neither holds (a file system without the attribute), locked() is false.
#pragma once

#include <sys/types.h>

#include <filesystem>

class LockedFolder {
 public:
  explicit LockedFolder(const std::filesystem::path& folder);
  ~LockedFolder();
  LockedFolder(const LockedFolder&) = delete;
  LockedFolder& operator=(const LockedFolder&) = delete;

  bool locked() const { return locked_; }

 private:
  void unlock();

  std::filesystem::path folder_;
  mode_t folderMode_ = 0;
  bool immutable_ = false;
  bool locked_ = false;
};
