// A desktop that only notes what the model asked of it.
#pragma once

#include <vector>

#include "Services/Workspace.h"

class RecordingWorkspace final : public Workspace {
 public:
  std::vector<std::filesystem::path> revealed;
  std::vector<std::filesystem::path> recentDocuments;

  void reveal(const std::filesystem::path& path) override { revealed.push_back(path); }
  void noteRecentDocument(const std::filesystem::path& path) override {
    recentDocuments.push_back(path);
  }
};
