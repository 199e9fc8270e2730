// The two ways a decode fails, each carrying the scan's path. The text names the file alone,
// without its folder, because it goes straight into the application's error alert; bytes of the
// name that are not valid UTF-8 show as U+FFFD.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

class DecodeError : public std::runtime_error {
 public:
  enum class Kind { unreadable, renderFailed };

  // "cannot read <file name>": a non-RAW file could not be loaded as an image.
  static DecodeError unreadable(const std::filesystem::path& url);
  // "decode failed for <file name>": the RAW decoder gave no image, or the output size is empty,
  // too large, or could not be allocated.
  static DecodeError renderFailed(const std::filesystem::path& url);

  Kind kind() const { return kind_; }
  const std::filesystem::path& url() const { return url_; }

  // The path's last component as UTF-8, each invalid byte sequence replaced by U+FFFD.
  static std::string displayName(const std::filesystem::path& url);

 private:
  DecodeError(Kind kind, const std::filesystem::path& url, const std::string& text);

  Kind kind_;
  std::filesystem::path url_;
};
