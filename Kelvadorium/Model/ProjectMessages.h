// The texts the project operations show: the failed save, the file that is no project, the
// question about scans not found and the notice naming the scans left out.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <string>

namespace ProjectMessages {

// "Could not save the project: " and the system's description of the failure.
QString saveFailed(const QString& description);
// "“<file name>” is not a Kelvadorium project, or it is damaged."
QString notAProject(const std::filesystem::path& project);
// "<missing> of <total> scans were not found": always plural, since the total rarely is one.
QString missingScans(size_t missing, size_t total);
// "1 scan was left out: a.tif", "7 scans were left out: a, b, c, d, e…": the first five names.
QString leftOut(const QStringList& names);

// A file name as the user reads it; names that are not UTF-8 decode as the file system does.
QString displayName(const std::filesystem::path& path);

}  // namespace ProjectMessages
