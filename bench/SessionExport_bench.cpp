// An export through the session model beside the same work done alone: N hard links of one
// 24-megapixel synthetic negative DNG (KV_EXPORT_SCANS, default 100), each measured on a
// 2400-pixel proxy by a renderer and written full size as a JPEG. Through the model the export
// runs as the user starts it (sheet, folder, job); alone, the same analyses and exportScan calls
// run back to back. Reports wall time, peak resident memory, the longest pause of the GUI
// thread (a 1 ms timer's worst lateness, and the most CPU time the GUI thread spent between two
// ticks) and the longest time from a scan's file being written
// to the next scan's progress. Run each benchmark in its own process, pinned to two cores
// (taskset -c 0,1 … --benchmark_filter=Alone, then =ThroughModel); files go to /dev/shm when it
// exists (KV_TEST_TMP overrides).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "Driver/ExportScan.h"
#include "Model/AppModel.h"
#include "Rendering/Renderer.h"
#include "Services/SteadyClock.h"
#include "TestSupport/TempDir.h"

namespace {

namespace fs = std::filesystem;

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "SessionExport_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

struct Scans {
  TempDir dir;
  std::vector<fs::path> files;
  fs::path out;
};

// Hard links cost no room and share the page cache, yet every renderer sees a file of its own.
std::unique_ptr<Scans> makeScans() {
  if (!std::getenv("KV_TEST_TMP") && fs::is_directory("/dev/shm"))
    setenv("KV_TEST_TMP", "/dev/shm", 1);
  const char* count = std::getenv("KV_EXPORT_SCANS");
  const int n = count ? std::atoi(count) : 100;
  auto scans = std::make_unique<Scans>();
  const fs::path source = scans->dir / "source.dng";
  fs::copy_file(BenchImages::negativeDng24mp(), source);
  for (int i = 0; i < n; ++i) {
    fs::path name = "A";
    name += std::to_string(1000 + i);
    name += ".dng";
    scans->files.push_back(scans->dir / name);
    fs::create_hard_link(source, scans->files.back());
  }
  scans->out = scans->dir / "Prints";
  fs::create_directories(scans->out);
  return scans;
}

ExportOptions jpegOptions() {
  ExportOptions options;
  options.formats = {ExportFormat::jpeg};
  return options;
}

double peakMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024;
}

QCoro::Task<RenderResult<FilmAnalysis>> analysisOf(Renderer& renderer, const fs::path& file) {
  const ConversionSettings settings;
  auto call = renderer.analysis(file, settings);
  co_return co_await std::move(call);
}

void BM_ExportAlone(benchmark::State& state) {
  application();
  auto scans = makeScans();
  const ExportOptions options = jpegOptions();
  for (auto _ : state) {
    Renderer renderer(2400, 4);
    for (const fs::path& file : scans->files) {
      RenderResult<FilmAnalysis> analysis = QCoro::waitFor(analysisOf(renderer, file));
      if (!analysis.ok()) state.SkipWithError("analysis failed");
      Converter::exportScan(file, {}, analysis.value(), options.formats, scans->out, false,
                            options);
    }
  }
  state.counters["scans"] = static_cast<double>(scans->files.size());
  state.counters["peak_MB"] = peakMB();
}
BENCHMARK(BM_ExportAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

class BenchDialogs final : public DialogService {
 public:
  explicit BenchDialogs(fs::path folder) : folder_(std::move(folder)) {}
  QCoro::Task<std::vector<fs::path>> openPanel(OpenPanel) override { co_return {}; }
  QCoro::Task<std::optional<fs::path>> folderPanel(FolderPanel) override { co_return folder_; }
  QCoro::Task<std::optional<fs::path>> savePanel(SavePanel) override { co_return {}; }
  QCoro::Task<int> alert(Alert) override { co_return 1; }  // Replace

 private:
  fs::path folder_;
};

class QuietWorkspace final : public Workspace {
 public:
  void reveal(const fs::path&) override {}
  void noteRecentDocument(const fs::path&) override {}
};

double wallSeconds(const fs::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return 0;
  return static_cast<double>(info.st_mtim.tv_sec) +
         static_cast<double>(info.st_mtim.tv_nsec) * 1e-9;
}

// CPU time of the calling thread: what the GUI thread itself spent between two ticks, apart
// from waiting for a core on a shared machine.
double threadCpuMs() {
  timespec time{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
  return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) * 1e-6;
}

double wallNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void BM_ExportThroughModel(benchmark::State& state) {
  application();
  auto scans = makeScans();
  QTemporaryDir settings;
  SteadyClock clock;
  BenchDialogs dialogs(scans->out);
  QuietWorkspace workspace;
  NoTelemetry telemetry;
  double worstPause = 0;
  double worstProgress = 0;
  double worstBusy = 0;
  for (auto _ : state) {
    AppModel model({clock, dialogs, workspace, telemetry, settings.filePath("k.conf")});
    std::vector<ImageItem> items;
    for (const fs::path& file : scans->files) {
      ImageItem item;
      item.url = file;
      items.push_back(item);
    }
    model.setItems(items);
    // From each scan's file written to the next scan's progress.
    int lastDone = -1;
    QObject::connect(&model, &AppModel::exportProgressChanged, [&] {
      const auto& progress = model.exportProgress();
      if (!progress || progress->done == lastDone) return;
      if (progress->done > 0) {
        const fs::path previous = (scans->out / scans->files[size_t(progress->done - 1)].filename())
                                      .replace_extension(".jpg");
        if (const double written = wallSeconds(previous); written > 0) {
          worstProgress = std::max(worstProgress, wallNow() - written);
        }
      }
      lastDone = progress->done;
    });
    QElapsedTimer sinceTick;
    double cpuAtTick = threadCpuMs();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      worstPause = std::max(worstPause, static_cast<double>(sinceTick.nsecsElapsed()) * 1e-6 - 1);
      const double cpu = threadCpuMs();
      worstBusy = std::max(worstBusy, cpu - cpuAtTick);
      cpuAtTick = cpu;
      sinceTick.restart();
    });
    ticker.start();
    sinceTick.start();
    QCoro::waitFor(model.confirmExport(items, jpegOptions()));
    while (model.exportProgress()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ticker.stop();
    if (!model.notice() || !model.notice()->startsWith(QString::number(items.size()) + " files")) {
      state.SkipWithError("the export did not write every file");
    }
  }
  state.counters["scans"] = static_cast<double>(scans->files.size());
  state.counters["peak_MB"] = peakMB();
  state.counters["worst_gui_pause_ms"] = worstPause;
  state.counters["worst_gui_busy_ms"] = worstBusy;
  state.counters["worst_progress_after_write_ms"] = worstProgress * 1000;
}
BENCHMARK(BM_ExportThroughModel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
