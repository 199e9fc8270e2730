// The main window's title and subtitle from the session: the selected scan's file name, else the
// project's name, else the program's; the subtitle names the project (" — edited" with unsaved
// changes) and the position ("3 of 12"). The desktop shows one line: title " — " subtitle.
#pragma once

#include <QString>
#include <cstddef>
#include <optional>

namespace WindowTitle {

inline const QString programTitle = QStringLiteral("Kelvadorium Ombrel Castrane Velloquintar");

// `projectName` is empty without a project.
QString title(const QString& projectName, const std::optional<QString>& selectedFileName);
QString subtitle(const QString& projectName, bool edited, std::optional<size_t> selectedIndex,
                 size_t count);
QString joined(const QString& title, const QString& subtitle);

}  // namespace WindowTitle
