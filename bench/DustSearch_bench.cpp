// The dust search of a 24-megapixel scan at the preview renderer's 2400 pixels, with four
// neighbouring frames and a blank frame, as one renderer job, against its parts measured alone:
// the dust model's pass, the four sample decodes with their classic passes, the blank frame's
// pass; and how long a preview render requested just after the search waits behind it. The
// scan's proxy and analysis are cached first, as they are while the preview shows. Run pinned to
// two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "Driver/DustPasses.h"
#include "MeasuringAids/FlatFieldDust.h"
#include "Rendering/DustAcrossFrames.h"
#include "Rendering/Renderer.h"
#include "Services/TaskHandle.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace fs = std::filesystem;

namespace {

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "DustSearch_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Each iteration's seconds; the median goes to the counter "<name>_ms".
class Times {
 public:
  Times(benchmark::State& state, std::string name) : state_(state), name_(std::move(name)) {}
  ~Times() {
    if (seconds_.empty()) return;
    std::sort(seconds_.begin(), seconds_.end());
    state_.counters[name_ + "_ms"] = 1000 * seconds_[seconds_.size() / 2];
  }
  void add(double seconds) { seconds_.push_back(seconds); }

 private:
  benchmark::State& state_;
  std::string name_;
  std::vector<double> seconds_;
};

// The scan, four copies of it as its neighbours, and a blank frame of the same size with dust.
struct Roll {
  Roll() {
    application();
    scan = dir / "scan.dng";
    fs::copy_file(BenchImages::negativeDng24mp(), scan);
    for (int i = 0; i < 4; ++i) {
      const fs::path sample = dir / ("sample" + std::to_string(i) + ".dng");
      fs::copy_file(BenchImages::negativeDng24mp(), sample);
      samples.push_back({sample, ConversionSettings{}});
    }
    ScanFixtures::Tiff blank;
    blank.width = 6000;
    blank.height = 4000;
    blank.bitsPerSample = 16;
    blank.pattern = [](int64_t x, int64_t y) {
      const bool speck = std::hypot(x % 1500 - 750.0, y % 1000 - 500.0) < 6;
      const float v = speck ? 0.3f : 0.8f;
      return std::array<float, 4>{v, v, v, 1};
    };
    ScanFixtures::writeTiff(dir / "blank.tif", blank);
    settings.flatField = (dir / "blank.tif").string();
  }

  template <class T>
  static RenderResult<T> wait(Renderer::Call<T> call) {
    std::optional<RenderResult<T>> result;
    auto task = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
      result = co_await std::move(call);
    });
    // Sleeps until the result is posted: a timed poll would spin and take a core from the job.
    while (!result) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return std::move(*result);
  }

  // A preview renderer with the scan's proxy and analysis cached.
  Renderer& warmRenderer() {
    wait(renderer.proxy(scan, settings));
    wait(renderer.analysis(scan, settings));
    return renderer;
  }

  TempDir dir;
  fs::path scan;
  ConversionSettings settings;
  std::vector<DustSearch::Sample> samples;
  Renderer renderer{2400, 4};
};

constexpr double sensitivity = 0.5;

void WholeSearch(benchmark::State& state) {
  Roll roll;
  Renderer& renderer = roll.warmRenderer();
  Times times(state, "search");
  for (auto _ : state) {
    const auto start = Clock::now();
    const auto groups =
        Roll::wait(renderer.findDust(roll.scan, roll.settings, roll.samples, sensitivity));
    const double seconds = secondsSince(start);
    if (!groups.ok()) {
      state.SkipWithError("the search failed");
      return;
    }
    times.add(seconds);
    state.SetIterationTime(seconds);
    state.counters["groups"] = static_cast<double>(groups.value().size());
  }
}

// range(0): 0 the model pass, 1 the four samples, 2 the blank frame.
void SearchPart(benchmark::State& state) {
  Roll roll;
  Renderer& renderer = roll.warmRenderer();
  const LinearImage proxy = Roll::wait(renderer.proxy(roll.scan, roll.settings)).value();
  const FilmAnalysis analysis = Roll::wait(renderer.analysis(roll.scan, roll.settings)).value();
  const RenderCache::Backend backend = RenderCache::libraryBackend();
  Times times(state, "part");
  for (auto _ : state) {
    const auto start = Clock::now();
    switch (state.range(0)) {
      case 0:
        benchmark::DoNotOptimize(Converter::detectDustWithModel(roll.scan, proxy, analysis,
                                                                roll.settings, sensitivity));
        break;
      case 1:
        benchmark::DoNotOptimize(
            DustSearch::sampleFinds(backend, proxy, roll.settings, roll.samples, sensitivity));
        break;
      default:
        benchmark::DoNotOptimize(FlatField::findDust(*roll.settings.flatField, 0, false,
                                                     std::max(proxy.width(), proxy.height())));
    }
    const double seconds = secondsSince(start);
    times.add(seconds);
    state.SetIterationTime(seconds);
  }
}

// A render of the preview requested right after the search: from its request to its result, and
// the same render alone.
void PreviewBehindSearch(benchmark::State& state) {
  Roll roll;
  Renderer& renderer = roll.warmRenderer();
  Times behind(state, "behind");
  Times alone(state, "alone");
  for (auto _ : state) {
    auto search = renderer.findDust(roll.scan, roll.settings, roll.samples, sensitivity);
    const auto requested = Clock::now();
    Roll::wait(renderer.render(roll.scan, roll.settings, true));
    const double seconds = secondsSince(requested);
    behind.add(seconds);
    state.SetIterationTime(seconds);
    Roll::wait(std::move(search));
    const auto start = Clock::now();
    Roll::wait(renderer.render(roll.scan, roll.settings, true));
    alone.add(secondsSince(start));
  }
}

// The search's steps one after another inside one job of the renderer, each timed there.
void StepsInOneJob(benchmark::State& state) {
  Roll roll;
  Renderer& renderer = roll.warmRenderer();
  Times model(state, "model"), samples(state, "samples"), blank(state, "blank"),
      refine(state, "refine");
  for (auto _ : state) {
    const auto start = Clock::now();
    auto steps = Roll::wait(renderer.perform([&roll](RenderCache& cache) {
      std::array<double, 4> seconds{};
      const LinearImage proxy = cache.proxy(roll.scan, roll.settings);
      const FilmAnalysis analysis = cache.analysis(roll.scan, roll.settings);
      auto t = Clock::now();
      DustAcrossFrames::Finds finds;
      finds.scan = Converter::detectDustWithModel(roll.scan, proxy, analysis, roll.settings,
                                                  sensitivity)
                       .value_or(std::vector<Spot>{});
      seconds[0] = secondsSince(t);
      t = Clock::now();
      finds.samples = DustSearch::sampleFinds(cache.backend(), proxy, roll.settings,
                                              roll.samples, sensitivity);
      seconds[1] = secondsSince(t);
      t = Clock::now();
      finds.blankFrame = FlatField::findDust(*roll.settings.flatField, 0, false,
                                             std::max(proxy.width(), proxy.height()));
      seconds[2] = secondsSince(t);
      t = Clock::now();
      finds.view = {proxy.width(), proxy.height(), 0, analysis.crop};
      DustAcrossFrames::refine(std::move(finds), [&](const Spot& spot, const auto& clear) {
        return Healer::findSource(proxy.width(), proxy.height(), proxy.pixels(), spot, clear);
      });
      seconds[3] = secondsSince(t);
      return seconds;
    }));
    state.SetIterationTime(secondsSince(start));
    model.add(steps.value()[0]);
    samples.add(steps.value()[1]);
    blank.add(steps.value()[2]);
    refine.add(steps.value()[3]);
  }
}

}  // namespace

BENCHMARK(StepsInOneJob)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(WholeSearch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(SearchPart)
    ->DenseRange(0, 2)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(PreviewBehindSearch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
