// How steady a full-size export is, and where its fresh pages come from. A 24-megapixel
// synthetic negative DNG is exported as the self-test does it (measured on a small decode, then
// a 16-bit Adobe RGB TIFF), ten times in this process and ten times as a child process, each
// child run right after LibRaw's dcraw_emu -4 -T of the same file so that both see the same
// load. Reports median and spread (slowest / fastest) of wall time, system time and minor page
// faults, the export's stages one by one, and the page faults of 50 preview renders in a loop.
// Files go to /dev/shm when it exists (KV_TEST_TMP overrides), so the disk plays no part.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "ChildRun.h"
#include "Conversion/Decoder.h"
#include "Conversion/FlatField.h"
#include "Driver/Converter.h"
#include "Driver/ExportScan.h"
#include "Export/Exporter.h"
#include "Finishing/FilmEffects.h"
#include "Print/Pipeline.h"
#include "Support/PlanePool.h"
#include "TestSupport/TempDir.h"
#include "Tone/Adjustments.h"

namespace {

using ChildRun::Cost;
using ChildRun::now;
using ChildRun::seconds;

Cost selfUsage() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return {now(), seconds(usage.ru_utime), seconds(usage.ru_stime),
          static_cast<double>(usage.ru_minflt), static_cast<double>(usage.ru_maxrss) / 1024};
}

Cost difference(const Cost& after, const Cost& before) {
  return {after.wall - before.wall, after.user - before.user, after.system - before.system,
          after.faults - before.faults, after.peakMB};
}

// The cost of running `work` in this process.
Cost measured(const std::function<void()>& work) {
  const Cost before = selfUsage();
  work();
  return difference(selfUsage(), before);
}

double residentMB() {
  std::ifstream statm("/proc/self/statm");
  double size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double spread(const std::vector<double>& values) {
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  return *low > 0 ? *high / *low : 0;
}

std::vector<double> field(const std::vector<Cost>& runs, double Cost::*member) {
  std::vector<double> values;
  for (const Cost& run : runs) values.push_back(run.*member);
  return values;
}

// Median and spread of wall time, system time and faults as counters named prefix_…
void report(benchmark::State& state, const std::string& prefix, const std::vector<Cost>& runs) {
  const auto wall = field(runs, &Cost::wall);
  const auto system = field(runs, &Cost::system);
  const auto faults = field(runs, &Cost::faults);
  state.counters[prefix + "wall_ms"] = 1000 * median(wall);
  state.counters[prefix + "wall_spread"] = spread(wall);
  state.counters[prefix + "user_ms"] = 1000 * median(field(runs, &Cost::user));
  state.counters[prefix + "sys_ms"] = 1000 * median(system);
  state.counters[prefix + "sys_spread"] = spread(system);
  state.counters[prefix + "faults"] = median(faults);
  const auto peaks = field(runs, &Cost::peakMB);
  state.counters[prefix + "peak_MB"] = *std::max_element(peaks.begin(), peaks.end());
  std::printf("%-10s wall ms:", prefix.c_str());
  for (double w : wall) std::printf(" %.0f", 1000 * w);
  std::printf("\n%-10s sys ms: ", prefix.c_str());
  for (double s : system) std::printf(" %.0f", 1000 * s);
  std::printf("\n%-10s faults: ", prefix.c_str());
  for (double f : faults) std::printf(" %.0f", f);
  std::printf("\n");
}

void useMemoryFolders() {
  if (!std::getenv("KV_TEST_TMP") && std::filesystem::is_directory("/dev/shm"))
    setenv("KV_TEST_TMP", "/dev/shm", 0);
}

const std::filesystem::path& scan() {
  useMemoryFolders();
  return BenchImages::negativeDng24mp();
}

ConversionSettings colourNegative() {
  ConversionSettings settings;
  settings.mode = FilmMode::colorNegative;
  return settings;
}

double analysisScale(const std::filesystem::path& path) {
  const auto size = Decoder::pixelSize(path);
  return size ? std::min(1.0, 1600 / std::max(size->first, size->second)) : 0.25;
}

// The self-test export in this process.
void exportOnce(const std::filesystem::path& path, const std::filesystem::path& folder) {
  const ConversionSettings settings = colourNegative();
  FilmAnalysis analysis;
  {
    const LinearImage small = FlatField::decodeCorrected(path, settings, analysisScale(path));
    analysis = Converter::analyze(small, settings);
  }
  ExportOptions options;
  options.colorSpace = ExportColorSpace::adobeRGB;
  Converter::exportScan(path, settings, analysis, {ExportFormat::tiff16}, folder, true, options);
}

void BM_ExportTenProcesses(benchmark::State& state) {
  const auto& path = scan();
  TempDir out;
  const std::string spec = "KV_SELFTEST_EXPORT=" + path.string() + "|" + out.path().string();
  // KV_EXPORT_PROGRAM runs another build of the program; KV_EXPORT_BASELINE names a second build
  // run in every round too, to compare two builds under the same load.
  const char* other = std::getenv("KV_EXPORT_PROGRAM");
  const std::string program = other ? other : KV_PROGRAM;
  const char* baseline = std::getenv("KV_EXPORT_BASELINE");
  std::vector<Cost> ours, dcraw, before;
  for (auto _ : state) {
    for (int i = 0; i < 10; ++i) {
      const auto reference = ChildRun::run({"dcraw_emu", "-4", "-T", path.string()}, {});
      const auto earlier = baseline ? ChildRun::run({baseline}, {spec}) : std::optional<Cost>();
      const auto run = ChildRun::run({program}, {spec});
      if (!reference || !run || (baseline && !earlier)) {
        state.SkipWithError("a program failed");
        return;
      }
      dcraw.push_back(*reference);
      ours.push_back(*run);
      if (earlier) before.push_back(*earlier);
    }
  }
  std::filesystem::remove(path.string() + ".tiff");
  report(state, "export_", ours);
  report(state, "dcraw_", dcraw);
  state.counters["export_per_dcraw"] =
      median(field(ours, &Cost::wall)) / median(field(dcraw, &Cost::wall));
  if (!before.empty()) {
    report(state, "baseline_", before);
    state.counters["baseline_per_dcraw"] =
        median(field(before, &Cost::wall)) / median(field(dcraw, &Cost::wall));
  }
}
BENCHMARK(BM_ExportTenProcesses)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

void BM_ExportTenInProcess(benchmark::State& state) {
  const auto& path = scan();
  TempDir out;
  std::vector<Cost> runs;
  for (auto _ : state) {
    for (int i = 0; i < 10; ++i) {
      runs.push_back(measured([&] { exportOnce(path, out.path()); }));
    }
  }
  report(state, "inproc_", runs);
  state.counters["resident_after_MB"] = residentMB();
  PlanePool::trim();
  state.counters["resident_trimmed_MB"] = residentMB();
}
BENCHMARK(BM_ExportTenInProcess)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// One export stage by stage, as the self-test runs it; the first run of a process and a later
// one. Columns: wall, CPU (user + system) and system milliseconds, minor faults, resident MB.
void BM_ExportStages(benchmark::State& state) {
  const auto& path = scan();
  TempDir out;
  const ConversionSettings settings = colourNegative();
  ExportOptions options;
  options.colorSpace = ExportColorSpace::adobeRGB;
  for (auto _ : state) {
    for (int run = 1; run <= 3; ++run) {
      std::printf("stages, run %d        wall ms   cpu ms   sys ms    faults  resident MB\n", run);
      const auto stage = [&](const char* name, const std::function<void()>& work) {
        const Cost c = measured(work);
        std::printf("  %-18s %8.0f %8.0f %8.0f %9.0f %10.0f\n", name, 1000 * c.wall,
                    1000 * (c.user + c.system), 1000 * c.system, c.faults, residentMB());
      };
      const Cost total = selfUsage();
      FilmAnalysis analysis;
      {
        LinearImage small(1, 1);
        stage("measuring decode",
              [&] { small = FlatField::decodeCorrected(path, settings, analysisScale(path)); });
        stage("measuring", [&] { analysis = Converter::analyze(small, settings); });
      }
      PrintImage print;
      {
        LinearImage decoded(1, 1);
        stage("decode", [&] { decoded = FlatField::decodeCorrected(path, settings, 1.0); });
        LinearImage cut(1, 1);
        stage("straighten + crop", [&] {
          cut = Geometry::straightenAndCrop(decoded, settings.skewDegrees, analysis.crop);
        });
        // As the export does it: the decode let go, the print made in the scan's memory.
        stage("print", [&] {
          decoded = LinearImage(1, 1);
          print = Pipeline::render(std::move(cut), analysis, settings);
        });
      }
      stage("tone + finishing", [&] {
        HSLAdjustments::apply(print, settings.hsl.hue, settings.hsl.saturation,
                              settings.hsl.luminance);
        settings.curves.apply(print, false);
        Adjustments::apply(print, settings);
        FilmEffects::apply(print, settings);
      });
      stage("write P3 TIFF", [&] {
        Exporter::write(print.width, print.height, print.rgb, out / "p3.tif", ExportFormat::tiff16,
                        ExportOptions{}, FilmInfo{});
      });
      stage("write Adobe TIFF", [&] {
        Exporter::write(print.width, print.height, print.rgb, out / "adobe.tif",
                        ExportFormat::tiff16, options, FilmInfo{});
      });
      stage("free print", [&] { print = PrintImage(); });
      const Cost all = difference(selfUsage(), total);
      std::printf("  %-18s %8.0f %8.0f %8.0f %9.0f  peak %5.0f\n", "all", 1000 * all.wall,
                  1000 * (all.user + all.system), 1000 * all.system, all.faults, all.peakMB);
    }
  }
}
BENCHMARK(BM_ExportStages)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// A preview render of the default record, 50 times: the faults of the first call and of all the
// others together.
void BM_PreviewFiftyTimes(benchmark::State& state) {
  const LinearImage scan = BenchImages::negative(2400, 1600);
  const ConversionSettings settings;
  const FilmAnalysis analysis = Converter::analyze(scan, settings);
  std::vector<Cost> later;
  Cost first;
  for (auto _ : state) {
    first = measured([&] {
      benchmark::DoNotOptimize(Converter::process(scan, analysis, settings, true, true).rgb);
    });
    for (int i = 1; i < 50; ++i)
      later.push_back(measured([&] {
        benchmark::DoNotOptimize(Converter::process(scan, analysis, settings, true, true).rgb);
      }));
  }
  double laterFaults = 0;
  for (const Cost& c : later) laterFaults += c.faults;
  state.counters["first_faults"] = first.faults;
  state.counters["later_faults_total"] = laterFaults;
  state.counters["first_ms"] = 1000 * first.wall;
  state.counters["later_ms"] = 1000 * median(field(later, &Cost::wall));
}
BENCHMARK(BM_PreviewFiftyTimes)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
