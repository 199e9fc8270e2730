#include "Services/DesktopWorkspace.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include "Services/RecentDocuments.h"

void DesktopWorkspace::reveal(const std::filesystem::path& path) {
  std::error_code error;
  const auto folder = std::filesystem::is_directory(path, error) ? path : path.parent_path();
  QDesktopServices::openUrl(
      QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(folder.native()))));
}

void DesktopWorkspace::noteRecentDocument(const std::filesystem::path& path) {
  RecentDocuments::noteDocument(RecentDocuments::standardPath(), path,
                                QDateTime::currentDateTimeUtc());
}
