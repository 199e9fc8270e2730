// The desktop around the program: showing a file in the file manager and the system's list of
// recent documents.
#pragma once

#include <filesystem>

class Workspace {
 public:
  virtual ~Workspace() = default;
  // Shows the file or folder in the file manager.
  virtual void reveal(const std::filesystem::path& path) = 0;
  // Adds the document to the desktop's recent documents, or moves it to the front.
  virtual void noteRecentDocument(const std::filesystem::path& path) = 0;
};
