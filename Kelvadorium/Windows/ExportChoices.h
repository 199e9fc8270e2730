// The arithmetic and texts of the export options sheet: its title, the file-type toggles, the
// quality number, the example file name, and the long edge as typed and as exported.
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "Export/ExportOptions.h"

namespace ExportChoices {

constexpr double smallestEdge = 64;
// Beyond this an export would only be asked to enlarge, which it never does.
constexpr double largestEdge = 1'000'000;
constexpr double defaultEdge = 2048;

// "Export 1 image", "Export 12 images".
QString title(size_t targets);
// Switching on appends the format when absent; switching off removes every occurrence.
std::vector<ExportFormat> toggled(std::vector<ExportFormat> formats, ExportFormat format, bool on);
// The quality as a whole number, truncated: "56" for 0.57.
QString qualityText(double quality);
// "frame07_web.tif": the first target's name less its last extension ("DSC_0001" without
// targets), the suffix verbatim, "jpg" when JPEG is the first format and "tif" otherwise.
QString exampleName(const std::optional<std::filesystem::path>& firstTarget, const QString& suffix,
                    const std::vector<ExportFormat>& formats);
// The field's text as a number in `locale`; nothing when it does not parse or is not finite.
std::optional<double> parsedEdge(const QString& text, const QLocale& locale);
// The field's text for a number.
QString edgeText(double edge, const QLocale& locale);
// The long edge an export gets: clamped to 64 … 1,000,000 in floating point, then truncated.
int64_t longEdge(double edge);

}  // namespace ExportChoices
