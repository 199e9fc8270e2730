// A healing stroke across the whole frame at the smallest brush (0.0005) on a scan whose preview
// is 2400 pixels wide, driven through the session model with the real clock: some 2,350 spots in
// one chain. Timed: the drag's call on the GUI thread (mapping and the tool settings), the whole
// way from the drag to the chain appended (resampling and the source search run on the preview
// renderer), the append on the GUI thread, and healing the chain in a preview pass. The GUI
// thread's calls are also given in its processor time ("_cpu"). Run pinned to two cores
// (taskset -c 0,1); medians are the counters "<name>_ms".
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <vector>

#include "Dust/Healer.h"
#include "Model/AppModel.h"
#include "Services/SteadyClock.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "TestSupport/TexturedImage.h"
#include "Testing/TestServices.h"

namespace {

constexpr int64_t kWidth = 2400;
constexpr int64_t kHeight = 1600;

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "HealingStroke_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

class Medians {
 public:
  Medians(benchmark::State& state, std::string name) : state_(state), name_(std::move(name)) {}
  ~Medians() {
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

double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The calling thread's processor time in seconds: on a shared machine the wall time of a short
// call also counts the moments the thread waited for a core.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// One textured 16-bit scan of 2400 × 1600, shown and published, in healing mode at the
// smallest brush.
struct Session {
  Session() {
    application();
    const LinearImage texture = texturedImage(kWidth, kHeight, 7);
    ScanFixtures::Tiff tiff;
    tiff.width = kWidth;
    tiff.height = kHeight;
    tiff.bitsPerSample = 16;
    tiff.pattern = [&texture](int64_t x, int64_t y) {
      const float* p = texture.row(y) + 4 * x;
      return std::array<float, 4>{std::min(p[0], 1.0f), std::min(p[1], 1.0f), std::min(p[2], 1.0f),
                                  1.0f};
    };
    ImageItem item;
    item.url = dir / "scan.tif";
    ScanFixtures::writeTiff(item.url, tiff);
    ModelServices parts{clock,
                        services.dialogs,
                        services.workspace,
                        services.telemetry,
                        services.settingsPath(),
                        services.renderBackend};
    model = std::make_unique<AppModel>(parts);
    model->setItems({item});
    model->setSelection(item.id);
    quiet();
    model->setSpotMode(true);
    model->setSpotBrush(0.0005);
  }

  void until(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  void quiet() {
    until([&] {
      return model->analysis() && model->proxySize().width() == kWidth && !model->isRendering() &&
             model->plain().fullJob.isFinished() && model->plain().histogramTask.isFinished() &&
             !model->previewRenderer().isBusy() && !model->fastRenderer().isBusy();
    });
  }
  const std::vector<Spot>& spots() const { return model->items()[0].settings.spots; }
  // False, with the run marked, when no gesture maps onto the picture.
  bool mapped(benchmark::State& state) const {
    if (model->imagePoint(0.5, 0.5)) return true;
    state.SkipWithError("the preview mapping answers nothing");
    return false;
  }
  // The chain one drag across the frame appends.
  std::vector<Spot> paintedChain();

  TempDir dir;
  TestServices services;
  SteadyClock clock;
  std::unique_ptr<AppModel> model;
};

// A drag's pointer positions across the frame, as a mouse reports them.
std::vector<QPointF> dragAcross() {
  std::vector<QPointF> points;
  for (int i = 0; i <= 400; ++i) {
    const double t = i / 400.0;
    points.emplace_back(0.01 + 0.98 * t, 0.5 + 0.05 * t * (1 - t));
  }
  return points;
}

std::vector<Spot> Session::paintedChain() {
  model->addRepairStroke(dragAcross());
  until([&] { return !spots().empty(); });
  return spots();
}

void StrokeToRepairs(benchmark::State& state) {
  Session s;
  if (!s.mapped(state)) return;
  const std::vector<QPointF> drag = dragAcross();
  Medians total(state, "total");
  Medians call(state, "gui_call");
  Medians callProcessor(state, "gui_call_cpu");
  size_t count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    s.model->restoreSpots({});
    s.quiet();
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const double processorStart = threadSeconds();
    s.model->addRepairStroke(drag);
    callProcessor.add(threadSeconds() - processorStart);
    call.add(since(start));
    s.until([&] { return !s.spots().empty(); });
    total.add(since(start));
    count = s.spots().size();
  }
  state.counters["spots"] = static_cast<double>(count);
}

// The acceptance's own work on the GUI thread: the chain appended as one edit.
void AppendChain(benchmark::State& state) {
  Session s;
  if (!s.mapped(state)) return;
  const std::vector<Spot> chain = s.paintedChain();
  Medians append(state, "gui_append");
  Medians appendProcessor(state, "gui_append_cpu");
  for (auto _ : state) {
    state.PauseTiming();
    s.model->restoreSpots({});
    s.quiet();
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const double processorStart = threadSeconds();
    s.model->appendSpots(chain);
    appendProcessor.add(threadSeconds() - processorStart);
    append.add(since(start));
  }
}

// Healing the chain on the 2400-pixel proxy, as a preview pass does before printing.
void HealChainInPreview(benchmark::State& state) {
  Session s;
  if (!s.mapped(state)) return;
  const std::vector<Spot> chain = s.paintedChain();
  const ImageItem item = s.model->items()[0];
  RenderCache cache(kWidth, 1);
  const LinearImage proxy = cache.proxy(item.url, item.settings);
  Medians heal(state, "heal");
  for (auto _ : state) {
    LinearImage image = proxy;
    const auto start = std::chrono::steady_clock::now();
    Healer::apply(image, chain);
    heal.add(since(start));
    benchmark::DoNotOptimize(image.pixels());
  }
}

BENCHMARK(StrokeToRepairs)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(AppendChain)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(HealChainInPreview)->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace
