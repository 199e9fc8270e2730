// The error of writing an exported file. Its text is "could not write " and the path of the file
// that was not written, followed by the reason where one is known.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

class ExportError : public std::runtime_error {
 public:
  // The writer could not produce the file.
  static ExportError encodeFailed(const std::filesystem::path& url) { return ExportError(url, {}); }

  ExportError(const std::filesystem::path& url, const std::string& reason)
      : std::runtime_error("could not write " + url.string() +
                           (reason.empty() ? "" : ": " + reason)),
        url_(url) {}

  const std::filesystem::path& url() const { return url_; }

 private:
  std::filesystem::path url_;
};
