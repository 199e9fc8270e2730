// The texts of an export: the folder panel's message, the question about files already in the
// folder, and the summary at the end.
#pragma once

#include <QString>
#include <QStringList>

namespace ExportMessages {

// "Export 1 image", "Export 3 images".
QString folderPanel(size_t images);
// "1 file already exists in “Prints”", "2 files already exist in “Prints”".
QString existingFiles(size_t files, const QString& folderName);
// "Export cancelled. 12 files written to Prints. Failed: A001.NEF, A004.NEF."
QString summary(bool cancelled, size_t written, const QString& folderName,
                const QStringList& failed);

}  // namespace ExportMessages
