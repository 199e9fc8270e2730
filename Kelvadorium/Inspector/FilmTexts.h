// The texts of the Film, Advanced and even-light rows that depend on the scan or the count of
// scans an action applies to: pure functions over values, so every wording is tested in a table.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Conversion/FilmAnalysis.h"
#include "Record/BuiltInPreset.h"
#include "Record/FilmMode.h"
#include "Record/ScannerLook.h"

namespace FilmTexts {

// "Colour negative", "B&W negative", "Positive / slide".
QString filmModeLabel(FilmMode mode);
// The built-in presets offered for a film type, in their order, with their labels.
std::vector<std::pair<BuiltInPreset, QString>> presetsFor(FilmMode mode);
// The film-look button: the look's title, "None" for no id or one the table does not hold.
QString filmLookName(const std::optional<std::string>& id);
// The scanner button and list entry.
QString scannerName(ScannerLook look);

// "Using the roll's colour balance (6 frames)".
QString rollBalanceLine(long long frames);
// "3 frames would be used.", "1 frame would be used.".
QString frameCountLine(long long frames);

// The even-light row's texts by the number of scans an action applies to.
QString flatFieldOffHelp(size_t targets);
QString chooseMenuTitle(bool hasBlankFrame);
QString forTargetsTitle(size_t targets);
// The blank frame's tooltip: the path, or "Not found: " and the path.
QString blankFrameHelp(const QString& path, bool exists);

// "0.21 – 1.87" for a black-and-white negative, else "R 0.18–1.92  G 0.25–2.05  B 0.31–2.20".
QString densityText(const FilmAnalysis& analysis, bool monochrome);

}  // namespace FilmTexts
