// The program's desktop: recent documents noted in the freedesktop recently-used file, shared
// with file choosers and launchers, and folders shown in the file manager.
#pragma once

#include "Services/Workspace.h"

class DesktopWorkspace final : public Workspace {
 public:
  // Opens the folder in the file manager (a file: the folder that holds it).
  void reveal(const std::filesystem::path& path) override;
  // Adds or refreshes the document's bookmark; a bookmark file that does not read is left alone.
  void noteRecentDocument(const std::filesystem::path& path) override;
};
