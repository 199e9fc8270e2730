#include "Driver/ExportScan.h"

#include <sys/stat.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "Conversion/FlatField.h"
#include "Driver/Converter.h"
#include "Export/EarlierExport.h"
#include "Export/ExportError.h"
#include "Export/Exporter.h"

namespace Converter {

namespace {

struct Job {
  ExportFormat format;
  std::filesystem::path url;
};

bool somethingIsAt(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::symlink_status(path, error).type() !=
         std::filesystem::file_type::not_found;
}

bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// An entry at an export's target is replaced only when it is an earlier export (or a symbolic
// link, which is replaced, never followed): any other file may be a scan or someone's work.
void refuseUnlessEarlierExport(const std::filesystem::path& target) {
  std::error_code error;
  if (std::filesystem::symlink_status(target, error).type() == std::filesystem::file_type::symlink)
    return;
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0) {
    throw ExportError(target, "it is read-only; it was left as it is");
  }
  if (EarlierExport::recognise(target)) return;
  throw ExportError(target, "it is not an export of Kelvadorium; it was left as it is");
}

// The jobs left after skipping existing files; refuses targets that would replace the scan or a
// file that no export of ours wrote.
std::vector<Job> buildJobs(const std::filesystem::path& scan,
                           const std::vector<ExportFormat>& formats,
                           const std::vector<std::filesystem::path>& urls, bool overwrite) {
  std::vector<Job> jobs;
  for (size_t i = 0; i < formats.size(); ++i) {
    if (somethingIsAt(urls[i])) {
      if (!overwrite) continue;
      if (isSameFile(urls[i], scan)) throw ExportError(urls[i], "it is the scan itself");
      refuseUnlessEarlierExport(urls[i]);
    }
    jobs.push_back({formats[i], urls[i]});
  }
  return jobs;
}

// The finished print, reduced and sharpened; the decoded scan is gone before it returns.
PrintImage render(const std::filesystem::path& scan, const ConversionSettings& settings,
                  const FilmAnalysis& analysis, const ExportOptions& options) {
  PrintImage print =
      process(FlatField::decodeCorrected(scan, settings, 1.0), analysis, settings, true, true);
  if (options.longEdge && *options.longEdge > 0) {
    print = Exporter::resize(std::move(print), *options.longEdge);
  }
  Exporter::sharpen(print, options.sharpening);
  return print;
}

}  // namespace

std::vector<std::filesystem::path> outputURLs(const std::filesystem::path& scan,
                                              const std::vector<ExportFormat>& formats,
                                              const std::filesystem::path& folder,
                                              const std::string& suffix) {
  const std::string stem = scan.filename().stem().string() + suffix;
  const bool withSixteenBits =
      std::find(formats.begin(), formats.end(), ExportFormat::tiff16) != formats.end();
  std::vector<std::filesystem::path> urls;
  for (ExportFormat format : formats) {
    std::string name = stem;
    if (format == ExportFormat::tiff8 && withSixteenBits) name += "_8bit";
    name += ".";
    name += fileExtension(format);
    urls.push_back(folder / name);
  }
  return urls;
}

std::vector<std::filesystem::path> exportScan(const std::filesystem::path& scan,
                                              const ConversionSettings& settings,
                                              const FilmAnalysis& analysis,
                                              const std::vector<ExportFormat>& formats,
                                              const std::filesystem::path& folder, bool overwrite,
                                              const ExportOptions& options) {
  const std::vector<std::filesystem::path> urls = outputURLs(scan, formats, folder, options.suffix);
  if (!urls.empty() && options.suffix.find_first_of(std::string("/\0", 2)) != std::string::npos) {
    throw ExportError(urls.front(), "the suffix may not contain /");
  }
  const std::vector<Job> jobs = buildJobs(scan, formats, urls, overwrite);
  if (jobs.empty()) return {};

  const PrintImage print = render(scan, settings, analysis, options);
  std::vector<std::filesystem::path> written;
  for (const Job& job : jobs) {
    Exporter::write(print.width, print.height, print.rgb, job.url, job.format, options,
                    settings.filmInfo, refuseUnlessEarlierExport);
    written.push_back(job.url);
  }
  return written;
}

}  // namespace Converter
