#include "App/DesktopWorkspace.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

void DesktopWorkspace::reveal(const std::filesystem::path& path) {
  std::error_code ignored;
  const std::filesystem::path folder =
      std::filesystem::is_directory(path, ignored) ? path : path.parent_path();
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(folder.c_str())));
}

void DesktopWorkspace::noteRecentDocument(const std::filesystem::path&) {}
