#include "TestSupport/TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

TempDir::TempDir() {
  const char* base = std::getenv("KV_TEST_TMP");
  std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(root);
  std::string pattern = (root / "kv-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
