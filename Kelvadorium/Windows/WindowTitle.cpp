#include "Windows/WindowTitle.h"

namespace WindowTitle {

QString title(const QString& projectName, const std::optional<QString>& selectedFileName) {
  if (selectedFileName) return *selectedFileName;
  return projectName.isEmpty() ? programTitle : projectName;
}

QString subtitle(const QString& projectName, bool edited, std::optional<size_t> selectedIndex,
                 size_t count) {
  QString projectPart;
  if (!projectName.isEmpty()) projectPart = edited ? projectName + " — edited" : projectName;
  QString positionPart;
  if (selectedIndex) positionPart = QString("%1 of %2").arg(*selectedIndex + 1).arg(count);
  if (!projectPart.isEmpty() && !positionPart.isEmpty()) return projectPart + " · " + positionPart;
  return projectPart.isEmpty() ? positionPart : projectPart;
}

QString joined(const QString& title, const QString& subtitle) {
  return subtitle.isEmpty() ? title : title + " — " + subtitle;
}

}  // namespace WindowTitle
