// The session model's renders that follow a preview pass, in real time on the real renderers:
// the 1:1 detail of a 24-megapixel DNG from the wish to its publication, a burst of zoom steps,
// the memory a detail render adds for 24- and 50-megapixel scans, and the before image of a scan
// whose proxy and analysis are cached. Run pinned to two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "Conversion/FlatField.h"
#include "Driver/Converter.h"
#include "Export/Exporter.h"
#include "Model/AppModel.h"
#include "Rendering/RenderCache.h"
#include "Rendering/ScreenCopy.h"
#include "Services/SteadyClock.h"
#include "Support/PlanePool.h"
#include "Testing/TestServices.h"

namespace {

// A 8660 × 5774 colour negative DNG, written once per process.
const std::filesystem::path& negativeDng50mp() {
  static TempDir dir;
  static const std::filesystem::path path = [] {
    ScanFixtures::Negative negative;
    negative.width = 8660;
    negative.height = 5774;
    const auto file = dir / "negative-8660x5774.dng";
    ScanFixtures::writeNegativeDng(file, negative);
    return file;
  }();
  return path;
}

const std::filesystem::path& scan(int64_t megapixels) {
  return megapixels == 50 ? negativeDng50mp() : BenchImages::negativeDng24mp();
}

// The film analysis a 2400-pixel preview pass measures, once per file.
const FilmAnalysis& previewAnalysis(const std::filesystem::path& file) {
  static std::map<std::filesystem::path, FilmAnalysis> measured;
  if (!measured.contains(file)) {
    RenderCache cache(2400, 1);
    measured.emplace(file, cache.analysis(file, {}));
  }
  return measured.at(file);
}

// A model on the real clock with one scan selected and its full pass published.
struct Session {
  explicit Session(const std::filesystem::path& file, const ConversionSettings& settings = {})
      : model(ModelServices{clock, services.dialogs, services.workspace, services.telemetry,
                            services.settingsPath(), timedBackend()}) {
    item.url = file;
    item.settings = settings;
    model.setItems({item});
    model.setSelection(item.id);
    // The selection starts the render loop; its pass, the warm-up and the histogram end before
    // anything is timed, as they have when the user asks for the detail of a scan on show.
    while (model.isRendering() || model.previewRenderer().isBusy() ||
           model.fastRenderer().isBusy() || !model.plain().histogramTask.isFinished()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    model.setAnalysis(previewAnalysis(file));
    model.plain().previewImageID = item.id;
  }

  // Turns the event loop until `signal` is sent; the seconds it took.
  template <class Signal>
  double until(Signal signal) {
    QEventLoop loop;
    QObject::connect(&model, signal, &loop, &QEventLoop::quit);
    const auto start = std::chrono::steady_clock::now();
    loop.exec();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  void sleep(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000)), &loop,
                       &QEventLoop::quit);
    loop.exec();
  }

  // The library's decode, timed: how long the last full-size one took.
  RenderCache::Backend timedBackend() {
    RenderCache::Backend backend = RenderCache::libraryBackend();
    backend.decode = [this, decode = backend.decode](const std::filesystem::path& url,
                                                     const ConversionSettings& settings,
                                                     double scale) {
      const auto start = std::chrono::steady_clock::now();
      LinearImage image = decode(url, settings, scale);
      if (scale == 1) {
        lastDecode =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      }
      return image;
    };
    return backend;
  }

  std::atomic<double> lastDecode{0};
  TestServices services;
  SteadyClock clock;
  AppModel model;
  ImageItem item;
};

// The full-size decode of the scan alone, the yardstick of the detail's time.
void FullSizeDecodeAlone(benchmark::State& state) {
  const auto& file = scan(24);
  for (auto _ : state) benchmark::DoNotOptimize(FlatField::decodeCorrected(file, {}, 1));
}

// What the detail adds to the decode: the conversion, the 16-bit image and the screen copy.
void FullSizePictureAlone(benchmark::State& state) {
  const auto& file = scan(24);
  const LinearImage decoded = FlatField::decodeCorrected(file, {}, 1);
  const FilmAnalysis& analysis = previewAnalysis(file);
  double convert = 0;
  double picture = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const PrintImage print = Converter::process(decoded, analysis, {}, true, true);
    const auto converted = std::chrono::steady_clock::now();
    const auto sixteen = Exporter::makeCGImage(print.width, print.height, print.rgb);
    const auto made = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ScreenCopy::make(*sixteen));
    const auto end = std::chrono::steady_clock::now();
    state.counters["sixteen_s"] = std::chrono::duration<double>(made - converted).count();
    convert = std::chrono::duration<double>(converted - start).count();
    picture = std::chrono::duration<double>(end - converted).count();
  }
  state.counters["convert_s"] = convert;
  state.counters["picture_s"] = picture;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// From the wish for the detail (the space bar, or the first zoom step) to the published image,
// the 0.25 s quiet included. Beside each render, under the same load, the yardstick: the
// full-size decode alone ("alone_s"); "over_bound_s" is the time beyond 0.25 s + 1.5 × that
// decode (met while not above 0); "decode_s" is the decode inside the render. Medians.
void DetailPublished(benchmark::State& state) {
  const auto& file = scan(24);
  previewAnalysis(file);
  std::vector<double> alone, inside, overBound, published;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(FlatField::decodeCorrected(file, {}, 1));
    alone.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    Session session(file);
    start = std::chrono::steady_clock::now();
    session.model.setWantsDetail(true);
    session.until(&AppModel::detailPreviewChanged);
    published.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    state.SetIterationTime(published.back());
    inside.push_back(session.lastDecode.load());
    overBound.push_back(published.back() - (0.25 + 1.5 * alone.back()));
  }
  state.counters["published_s"] = median(published);
  state.counters["alone_s"] = median(alone);
  state.counters["decode_s"] = median(inside);
  state.counters["over_bound_s"] = median(overBound);
}

// Five zoom steps 50 ms apart, each followed by a pass that restarts the render; the time is
// from the last step to the publication, and the renders are counted.
void DetailAfterZoomBurst(benchmark::State& state) {
  const auto& file = scan(24);
  previewAnalysis(file);
  int64_t conversions = 0;
  for (auto _ : state) {
    Session session(file);
    session.model.reportGeometry(QSizeF(1200, 800), QSizeF(1200, 800), 2);
    for (int step = 0; step < 5; ++step) {
      if (step > 0) session.sleep(0.05);
      session.model.setZoom(session.model.zoom() * 1.5, 0, 0);
      session.model.setWantsDetail(true);
      session.model.startDetailRender();
    }
    state.SetIterationTime(session.until(&AppModel::detailPreviewChanged));
    conversions = session.model.detailRenderer().counts().conversions;
  }
  state.counters["renders"] = static_cast<double>(conversions);
}

int64_t statusKB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::string(field).size()));
  }
  return -1;
}

// The resident peak grown by one detail render, from a model whose preview is published and a
// pool emptied; range(0): megapixels; range(1): 1 when the detail of another view of the scan
// (a quarter turn) is held from before.
void DetailPeakMemory(benchmark::State& state) {
  const auto& file = scan(state.range(0));
  previewAnalysis(file);
  double extraMB = 0;
  for (auto _ : state) {
    ConversionSettings turned;
    turned.rotationQuarterTurns = 1;
    Session session(file, state.range(1) ? turned : ConversionSettings{});
    if (state.range(1)) {
      session.model.setWantsDetail(true);
      session.until(&AppModel::detailPreviewChanged);
      auto items = session.model.items();
      items[0].settings = {};
      session.model.setItems(items);
    }
    PlanePool::trim();
    std::ofstream("/proc/self/clear_refs") << "5";
    const int64_t baseline = statusKB("VmRSS:");
    session.model.setWantsDetail(true);
    session.model.startDetailRender();
    session.until(&AppModel::detailPreviewChanged);
    extraMB = static_cast<double>(statusKB("VmHWM:") - baseline) / 1024;
  }
  state.counters["extra_MB"] = extraMB;
}

// The before image's work alone on a renderer's cache that holds the proxy and the analysis.
void BeforePictureAlone(benchmark::State& state) {
  const auto& file = scan(24);
  RenderCache cache(2400, 4);
  cache.analysis(file, {});
  for (auto _ : state) {
    const FilmAnalysis analysis = cache.analysis(file, {});
    const LinearImage decoded = cache.proxy(file, {});
    const PrintImage print = cache.convert(decoded, analysis, {}, true, true);
    benchmark::DoNotOptimize(PreviewImage::make(print));
  }
}

// From switching compare on to the published before image, the preview's proxy and analysis
// already in the preview renderer.
void BeforePublished(benchmark::State& state) {
  const auto& file = scan(24);
  previewAnalysis(file);
  ConversionSettings edited;
  edited.exposure = 0.7;
  edited.look = ScannerLook::frontier;
  Session session(file, edited);
  session.model.previewRenderer().analysis(file, edited);
  session.model.setCompareMode(CompareMode::before);
  session.until(&AppModel::beforePreviewChanged);
  for (auto _ : state) {
    session.model.setCompareMode(CompareMode::off);
    session.model.plain().beforeFor.reset();
    const auto start = std::chrono::steady_clock::now();
    session.model.setCompareMode(CompareMode::before);
    session.until(&AppModel::beforePreviewChanged);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["decodes"] = static_cast<double>(session.model.previewRenderer().counts().decodes);
}

}  // namespace

BENCHMARK(FullSizeDecodeAlone)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FullSizePictureAlone)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DetailPublished)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(DetailAfterZoomBurst)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DetailPeakMemory)
    ->Args({24, 0})
    ->Args({24, 1})
    ->Args({50, 0})
    ->Args({50, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BeforePictureAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BeforePublished)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
  // The renderers hand their results to the GUI thread's event loop.
  QCoreApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
