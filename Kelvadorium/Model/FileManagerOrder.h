// The order in which the file manager lists paths: the user's locale, case-insensitive, numbers
// inside names by their value (a name with 2 before one with 10). Whole paths are compared, so
// files of one folder stay together; paths the collation finds equal fall back to their bytes.
// Names that are not UTF-8 take part as shown, with U+FFFD for the bytes they cannot show.
// Without a user locale (C or POSIX), English collation stands in.
#pragma once

#include <QString>
#include <filesystem>
#include <vector>

namespace FileManagerOrder {

// The path as the user sees it.
QString displayText(const std::filesystem::path& path);

// Sorts `paths` ascending in that order; stable for paths with equal bytes.
void sort(std::vector<std::filesystem::path>& paths);

}  // namespace FileManagerOrder
