#include "App/AppDelegate.h"

#include "App/LaunchArguments.h"
#include "Model/AppModel.h"

namespace AppDelegate {

namespace {
std::function<void(std::filesystem::path)>& opener() {
  static std::function<void(std::filesystem::path)> instance;
  return instance;
}
}  // namespace

std::vector<std::filesystem::path>& pendingProjectURLs() {
  static std::vector<std::filesystem::path> pending;
  return pending;
}

void setProjectOpener(std::function<void(std::filesystem::path)> open) {
  opener() = std::move(open);
}

void openProjectFiles(const std::vector<std::filesystem::path>& urls) {
  for (const auto& url : urls) {
    if (!LaunchArguments::isProjectPath(url)) continue;
    if (AppModel::currentModel() && opener()) {
      opener()(url);
    } else {
      pendingProjectURLs().push_back(url);
    }
  }
}

}  // namespace AppDelegate
