#include "SelfTestExportHook.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Conversion/Decoder.h"
#include "Conversion/FlatField.h"
#include "Driver/Converter.h"
#include "Driver/ExportScan.h"

namespace {

[[noreturn]] void finish(int status) {
  std::fflush(stdout);
  std::exit(status);
}

void printLine(const std::string& text) { std::printf("%s\n", text.c_str()); }

// The scan and folder paths, or nothing when the value is not "<scan>|<folder>".
std::optional<std::pair<std::string, std::string>> parseSpec(const std::string& spec) {
  std::vector<std::string> parts(1);
  for (char c : spec) {
    if (c == '|') {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  if (parts.size() != 2 || parts[0].empty() || parts[1].empty()) return std::nullopt;
  return std::pair{parts[0], parts[1]};
}

// Measured on a decode of at most 1600 pixels on the long side, a quarter when the size is
// unknown.
double analysisScale(const std::filesystem::path& scan) {
  const auto size = Decoder::pixelSize(scan);
  if (!size) return 0.25;
  return std::min(1.0, 1600 / std::max(size->first, size->second));
}

std::vector<std::filesystem::path> exportScan(const std::filesystem::path& scan,
                                              const std::filesystem::path& folder) {
  ConversionSettings settings;
  settings.mode = FilmMode::colorNegative;
  FilmAnalysis analysis;
  {
    const LinearImage small = FlatField::decodeCorrected(scan, settings, analysisScale(scan));
    analysis = Converter::analyze(small, settings);
  }
  ExportOptions options;
  options.colorSpace = ExportColorSpace::adobeRGB;
  return Converter::exportScan(scan, settings, analysis, {ExportFormat::tiff16}, folder, true,
                               options);
}

}  // namespace

void selfTestExportHook() {
  const char* value = std::getenv("KV_SELFTEST_EXPORT");
  if (!value) return;
  const auto spec = parseSpec(value);
  if (!spec) {
    printLine("selftest: bad spec");
    finish(2);
  }
  try {
    for (const auto& written : exportScan(spec->first, spec->second)) {
      printLine("selftest: wrote " + written.filename().string());
    }
  } catch (const std::exception& error) {
    printLine(std::string("selftest: error ") + error.what());
    finish(1);
  }
  finish(0);
}
