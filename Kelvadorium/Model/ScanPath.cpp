#include "Model/ScanPath.h"

namespace ScanPath {

std::filesystem::path normal(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = path;
  return absolute.lexically_normal();
}

}  // namespace ScanPath
