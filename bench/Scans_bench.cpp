// The session's scans: adding a folder of 500 scans whose folder sidecar holds their records
// (time on the GUI thread, the sidecar read cold and cached), and the thumbnails of 500
// 24-megapixel scans through the model's worker beside the same jobs queued on a thumbnail
// renderer alone: total time, the longest the GUI thread was kept from its events, what the
// items hold and the process's peak memory. Run pinned to two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "Export/FolderEdits.h"
#include "Model/AppModel.h"
#include "Rendering/Thumbnail.h"
#include "Services/SteadyClock.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace fs = std::filesystem;

namespace {

// Times every event the GUI thread handles while `timing` is on: the GUI thread's own work per
// turn, apart from how long the scheduler keeps it waiting.
class TimedApplication final : public QCoreApplication {
 public:
  using QCoreApplication::QCoreApplication;
  bool timing = false;
  double longestEventMs = 0;     // wall time, descheduling included
  double longestEventCpuMs = 0;  // the GUI thread's own processor time

  bool notify(QObject* receiver, QEvent* event) override {
    if (!timing) return QCoreApplication::notify(receiver, event);
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = threadCpuMs();
    const bool handled = QCoreApplication::notify(receiver, event);
    longestEventCpuMs = std::max(longestEventCpuMs, threadCpuMs() - cpuBefore);
    longestEventMs = std::max(longestEventMs, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    return handled;
  }

  void resetTimes() {
    longestEventMs = 0;
    longestEventCpuMs = 0;
  }

 private:
  static double threadCpuMs() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) / 1e6;
  }
};

TimedApplication& application() {
  static int argc = 1;
  static char name[] = "Scans_bench";
  static char* argv[] = {name, nullptr};
  static TimedApplication app(argc, argv);
  return app;
}

double peakMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// 500 scans named as a camera names them, and a folder sidecar with a record for each (a few
// edited fields, a crop, a repair), written as the library writes it.
struct RecordedRoll {
  TempDir dir;
  fs::path folder = dir / "roll";

  RecordedRoll() {
    fs::create_directories(folder);
    nlohmann::json scans = nlohmann::json::object();
    for (int i = 1; i <= 500; ++i) {
      const std::string name = "DSC_" + std::to_string(i) + ".NEF";
      std::ofstream(folder / name) << "x";
      ConversionSettings settings;
      settings.exposure = 0.01 * i;
      settings.temperature = 5000 + i;
      settings.crop = NormRect{0.05, 0.05, 0.9, 0.9};
      settings.spots.push_back(makeSpot(0.5, 0.5, 0.01));
      scans[name] = toJson(settings);
    }
    const nlohmann::json file = {{"scans", scans}, {"version", 1}};
    rewriteSidecar(file.dump(2));
  }

  // The same bytes as a new file: the process-wide sidecar cache reads it again.
  void rewriteSidecar(const std::string& text) const {
    const fs::path temporary = folder / ".sidecar.tmp";
    std::ofstream(temporary) << text;
    fs::rename(temporary, FolderEdits::fileURL(folder));
  }
  std::string sidecarText() const {
    std::ifstream in(FolderEdits::fileURL(folder));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

// range(0): 1 reads the sidecar cold (a new file each time), 0 from the cache.
void AddFolderOf500(benchmark::State& state) {
  application();
  static RecordedRoll roll;
  const std::string text = roll.sidecarText();
  for (auto _ : state) {
    state.PauseTiming();
    if (state.range(0)) roll.rewriteSidecar(text);
    TestServices services;
    auto model = std::make_unique<AppModel>(services.services());
    state.ResumeTiming();
    model->addScans({roll.folder});
    state.PauseTiming();
    if (model->items().size() != 500 || model->filmTypeQuestion()) state.SkipWithError("records");
    model.reset();
    state.ResumeTiming();
  }
}

// 500 hard links of the two 24-megapixel negatives (DNG and TIFF, alternating).
struct LinkedRoll {
  TempDir dir;
  std::vector<fs::path> files;
  explicit LinkedRoll(int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
      const fs::path& source =
          i % 2 ? BenchImages::negativeTiff24mp() : BenchImages::negativeDng24mp();
      const fs::path link =
          dir / ("frame_" + std::to_string(i + 1) + source.extension().string());
      fs::create_hard_link(source, link);
      files.push_back(link);
    }
  }
};

// Runs the event loop until `done` holds, checking every millisecond: the gaps between two turns
// of the loop's 1-ms timer, beyond the millisecond, are the stalls as the user would feel them,
// the scheduler's waits included.
struct Stalls {
  double longestGapMs = 0;
  int gapsOver20Ms = 0;
};

template <class Done>
Stalls runUntil(Done done) {
  QEventLoop loop;
  QElapsedTimer since;
  Stalls stalls;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(1);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const double gap = static_cast<double>(since.nsecsElapsed()) / 1e6 - 1;
    stalls.longestGapMs = std::max(stalls.longestGapMs, gap);
    if (gap > 20) ++stalls.gapsOver20Ms;
    since.restart();
    if (done()) loop.quit();
  });
  since.start();
  tick.start();
  loop.exec();
  return stalls;
}

// range(0): the number of scans.
void Thumbnails(benchmark::State& state) {
  TimedApplication& app = application();
  const LinkedRoll roll(state.range(0));
  for (auto _ : state) {
    SteadyClock clock;
    TestServices services;
    ModelServices modelServices{clock,
                                services.dialogs,
                                services.workspace,
                                services.telemetry,
                                services.settingsPath(),
                                RenderCache::libraryBackend()};
    QElapsedTimer modelTime;
    Stalls stalls;
    double itemsMB = 0;
    size_t made = 0;
    {
      AppModel model(modelServices);
      model.setAskFilmType(false);
      modelTime.start();
      model.addScans(roll.files);
      app.resetTimes();
      app.timing = true;
      stalls = runUntil([&] { return !model.plain().thumbTask; });
      app.timing = false;
      state.counters["model_s"] = static_cast<double>(modelTime.nsecsElapsed()) / 1e9;
      for (const ImageItem& item : model.items()) {
        if (!item.thumbnail) continue;
        ++made;
        itemsMB += static_cast<double>(item.thumbnail->screen.sizeInBytes() +
                                       item.thumbnail->image.samples.size() * 2) /
                   1e6;
      }
    }
    state.counters["made"] = static_cast<double>(made);
    state.counters["maxGap_ms"] = stalls.longestGapMs;
    state.counters["gapsOver20ms"] = stalls.gapsOver20Ms;
    state.counters["maxEvent_ms"] = app.longestEventMs;
    state.counters["maxEventCpu_ms"] = app.longestEventCpuMs;
    state.counters["items_MB"] = itemsMB;
    state.counters["peakRSS_MB_model"] = peakMB();

    // The same jobs on a renderer of the thumbnail size alone, in list order.
    Renderer alone(320, 400);
    const ConversionSettings settings;
    QElapsedTimer aloneTime;
    aloneTime.start();
    size_t finished = 0;
    std::vector<TaskHandle> tasks;
    for (const fs::path& file : roll.files) {
      tasks.push_back(TaskHandle::start([&, file](std::stop_token) -> QCoro::Task<> {
        auto job = [file, &settings](RenderCache& cache) {
          return Thumbnail::make(cache, file, settings);
        };
        co_await alone.perform(std::move(job));
        ++finished;
      }));
    }
    app.resetTimes();
    app.timing = true;
    const Stalls aloneStalls = runUntil([&] { return finished == roll.files.size(); });
    app.timing = false;
    state.counters["aloneMaxGap_ms"] = aloneStalls.longestGapMs;
    state.counters["aloneGapsOver20ms"] = aloneStalls.gapsOver20Ms;
    state.counters["aloneMaxEvent_ms"] = app.longestEventMs;
    state.counters["aloneMaxEventCpu_ms"] = app.longestEventCpuMs;
    state.counters["alone_s"] = static_cast<double>(aloneTime.nsecsElapsed()) / 1e9;
    state.counters["ratio"] = state.counters["model_s"] / state.counters["alone_s"];
    state.counters["peakRSS_MB"] = peakMB();
  }
}

}  // namespace

BENCHMARK(AddFolderOf500)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(Thumbnails)->Arg(500)->Arg(40)->Iterations(1)->Unit(benchmark::kSecond);
