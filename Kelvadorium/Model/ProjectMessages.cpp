#include "Model/ProjectMessages.h"

#include <QFile>

namespace ProjectMessages {

QString saveFailed(const QString& description) {
  return "Could not save the project: " + description;
}

QString notAProject(const std::filesystem::path& project) {
  return "“" + displayName(project) + "” is not a Kelvadorium project, or it is damaged.";
}

QString missingScans(size_t missing, size_t total) {
  return QString::number(missing) + " of " + QString::number(total) + " scans were not found";
}

QString leftOut(const QStringList& names) {
  const auto count = names.size();
  // Joined by hand: a file name may hold "%1".
  return QString::number(count) + (count == 1 ? " scan was" : " scans were") +
         " left out: " + names.mid(0, 5).join(", ") + (count > 5 ? "…" : "");
}

QString displayName(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.filename().native()));
}

}  // namespace ProjectMessages
