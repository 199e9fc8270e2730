#include "Model/ExportMessages.h"

namespace ExportMessages {

QString folderPanel(size_t images) {
  return "Export " + QString::number(images) + (images == 1 ? " image" : " images");
}

QString existingFiles(size_t files, const QString& folderName) {
  // Joined by hand: a folder name may hold "%1".
  return QString::number(files) + (files == 1 ? " file already exists" : " files already exist") +
         " in “" + folderName + "”";
}

QString summary(bool cancelled, size_t written, const QString& folderName,
                const QStringList& failed) {
  QString text = cancelled ? "Export cancelled. " : "";
  text += QString::number(written) + (written == 1 ? " file" : " files") + " written to " +
          folderName + ".";
  if (!failed.isEmpty()) text += " Failed: " + failed.join(", ") + ".";
  return text;
}

}  // namespace ExportMessages
