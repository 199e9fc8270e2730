// The render-and-write of one scan: the names of its exported files, and the full-size render
// written once per requested format into an output folder. Both belong to the conversion
// driver's namespace; `exportScan` is its export entry (`export` is a keyword).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Conversion/FilmAnalysis.h"
#include "Export/ExportOptions.h"
#include "Record/ConversionSettings.h"

namespace Converter {

// One file per format, in the formats' order, directly in `folder`: the scan's file name without
// its last extension, the suffix, "_8bit" for tiff8 when tiff16 is requested too, and the
// format's extension ("roll.03.dng" → "roll.03.tif").
std::vector<std::filesystem::path> outputURLs(const std::filesystem::path& scan,
                                              const std::vector<ExportFormat>& formats,
                                              const std::filesystem::path& folder,
                                              const std::string& suffix);

// Renders the scan at full size with its record and the given analysis (crop and border
// applied), reduces it to options.longEdge when that is above 0, sharpens it, and writes one
// file per format. Files that exist are skipped unless `overwrite`; when every file is skipped
// nothing is decoded. Even with `overwrite` only earlier exports (EarlierExport) and symbolic
// links are replaced. Returns the files written, in the formats' order. Throws ExportError
// before decoding when a target is the scan itself, another file that no export wrote, or the
// suffix holds "/" or NUL, and at the moment of writing when such a file has appeared; throws the
// decoder's DecodeError; a failed write throws ExportError and leaves the files written before.
std::vector<std::filesystem::path> exportScan(const std::filesystem::path& scan,
                                              const ConversionSettings& settings,
                                              const FilmAnalysis& analysis,
                                              const std::vector<ExportFormat>& formats,
                                              const std::filesystem::path& folder, bool overwrite,
                                              const ExportOptions& options);

}  // namespace Converter
