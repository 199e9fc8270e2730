// The desktop around the program: a file is shown by opening its folder in the file manager.
// The desktop's recent-documents list is kept by the recent-projects code of the model.
#pragma once

#include "Services/Workspace.h"

class DesktopWorkspace final : public Workspace {
 public:
  void reveal(const std::filesystem::path& path) override;
  void noteRecentDocument(const std::filesystem::path& path) override;
};
