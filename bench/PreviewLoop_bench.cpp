// The live preview as the user meets it, driving the session model with the real clock on a
// 24-megapixel DNG: an edit to its quick pass, the last edit to the full-quality picture, a full
// pass in full mode, stepping to a prefetched or an uncached neighbour, and the histogram of a
// 2400 × 1600 preview. Each iteration's time is measured by hand, from the request to the
// publication. Run pinned to two cores (taskset -c 0,1); the histogram also on one (-c 0).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "Conversion/FlatField.h"
#include "Driver/Converter.h"
#include "Model/AppModel.h"
#include "Model/HistogramMeasure.h"
#include "Rendering/RenderCache.h"
#include "Services/SteadyClock.h"
#include "Testing/TestServices.h"
#include "Times.h"

namespace {

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "PreviewLoop_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// Every tone control, HSL, curves and film effects at work.
void everythingOn(ConversionSettings& s) {
  s.highlights = -30;
  s.shadows = 25;
  s.whites = 10;
  s.blacks = -10;
  s.clarity = 30;
  s.dehaze = 20;
  s.sharpness = 40;
  s.blackMist = 20;
  s.hsl.hue = {5, -5, 5, -5, 5, -5, 5, -5};
  s.hsl.saturation = {10, 10, -10, 10, 10, -10, 10, 10};
  s.hsl.luminance = {5, 5, 5, -5, -5, 5, 5, 5};
  s.curves.rgb.points = {{0, 0.02}, {0.5, 0.55}, {1, 0.98}};
  s.curves.red.points = {{0, 0}, {0.5, 0.48}, {1, 1}};
  s.grainAmount = 30;
  s.vignetteAmount = -20;
  s.glowAmount = 25;
}

// A session of 24-megapixel DNG copies with the real clock.
struct Session {
  explicit Session(PreviewMode mode, int scans = 1) {
    application();
    services.writeSettingsFile(
        QString("[General]\npreviewMode=%1\n").arg(QString::fromStdString(toString(mode))));
    ModelServices parts{clock,
                        services.dialogs,
                        services.workspace,
                        services.telemetry,
                        services.settingsPath(),
                        services.renderBackend};
    model = std::make_unique<AppModel>(parts);
    std::vector<ImageItem> items;
    for (int i = 0; i < scans; ++i) {
      ImageItem item;
      item.url = dir / ("scan" + std::to_string(i) + ".dng");
      std::filesystem::copy_file(BenchImages::negativeDng24mp(), item.url);
      items.push_back(item);
    }
    model->setItems(items);
  }

  // Runs the GUI thread's events until `done` holds; answers the seconds it took. Every change
  // the loop looks at arrives as an event, so it sleeps between them: the timed overload of
  // processEvents never waits, and its spinning would take one of the two cores from the
  // renderers.
  double until(const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  // Nothing renders any more.
  void quiet() {
    until([&] {
      return !model->isRendering() && model->plain().fullJob.isFinished() &&
             model->plain().prefetchTask.isFinished() &&
             model->plain().histogramTask.isFinished() && !model->previewRenderer().isBusy() &&
             !model->fastRenderer().isBusy() && !model->lightRenderer().isBusy();
    });
  }
  // The selection's observer stamps the moment, requests the render and warms the scan up.
  void select(size_t i) { model->setSelection(model->items()[i].id); }
  void edit(const std::function<void(ConversionSettings&)>& change) {
    std::vector<ImageItem> items = model->items();
    change(items[*model->selectedIndex()].settings);
    model->setItems(items);
    model->requestRender();
  }
  bool published(bool fast, const std::shared_ptr<const PreviewImage>& before) const {
    return model->preview() && model->preview() != before && model->previewIsFast() == fast;
  }

  TempDir dir;
  TestServices services;
  SteadyClock clock;
  std::unique_ptr<AppModel> model;
};

// From an exposure edit to the next published preview (quick or full), on a scan already shown.
void timeEditToPublished(benchmark::State& state, PreviewMode mode, bool everything, bool quick) {
  Session s(mode);
  s.select(0);
  if (everything) s.edit(everythingOn);
  s.quiet();
  double exposure = 0;
  Times times(state);
  for (auto _ : state) {
    const auto before = s.model->preview();
    exposure = exposure == 0 ? 0.1 : 0;
    s.edit([&](ConversionSettings& r) { r.exposure = exposure; });
    times.add(s.until([&] { return s.published(quick, before); }));
    s.quiet();
  }
}

// range(0): 0 the default record, 1 everything on.
void EditToQuickPass(benchmark::State& state) {
  timeEditToPublished(state, PreviewMode::hybrid, state.range(0) == 1, true);
}

// Also the moment of the hand-over to the full-quality job ("handover_ms").
void LastEditToFullQuality(benchmark::State& state) {
  Session s(PreviewMode::hybrid);
  s.select(0);
  if (state.range(0) == 1) s.edit(everythingOn);
  s.quiet();
  double exposure = 0;
  Times times(state);
  Times handOver(state, "handover", false);
  for (auto _ : state) {
    const auto before = s.model->preview();
    const TaskHandle job = s.model->plain().fullJob;
    exposure = exposure == 0 ? 0.1 : 0;
    s.edit([&](ConversionSettings& r) { r.exposure = exposure; });
    const double handedOver = s.until([&] { return s.model->plain().fullJob != job; });
    handOver.add(handedOver);
    times.add(handedOver + s.until([&] { return s.published(false, before); }));
    s.quiet();
  }
}

void FullPassInFullMode(benchmark::State& state) {
  timeEditToPublished(state, PreviewMode::full, false, false);
}

// range(0): 0 the neighbour was prefetched, 1 it is decoded for the first time. For the
// uncached scan the bound is measured beside each switch, under the same load: its 2400-pixel
// decode alone ("decode_ms"), and the switch's time beyond the debounce, that decode and 0.1 s
// ("over_bound_ms", met while not above 0).
void SwitchToNeighbour(benchmark::State& state) {
  const bool prefetched = state.range(0) == 0;
  Session s(PreviewMode::hybrid, 2);
  const std::filesystem::path neighbour = s.model->items()[1].url;
  const double scale = RenderCache(2400, 1).proxyScale(neighbour);
  Times times(state);
  Times decodes(state, "decode", false);
  Times overBound(state, "over_bound", false);
  for (auto _ : state) {
    state.PauseTiming();
    s.model->previewRenderer().clear();
    s.model->fastRenderer().clear();
    s.model->plain().analysisCache.clear();
    s.select(0);
    // Stepping back from the second scan points the browsing backwards, and the prefetch at the
    // loop's end would look before the first scan: forwards, towards the scan switched to.
    s.model->plain().browseDirection = +1;
    s.until([&] { return !s.model->isRendering(); });
    if (prefetched) {
      s.until([&] { return s.model->plain().analysisCache.size() == 2; });
    } else {
      s.model->plain().prefetchTask.cancel();
    }
    s.quiet();
    double decode = 0;
    if (!prefetched) {
      const auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(FlatField::decodeCorrected(neighbour, {}, scale));
      decode = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      decodes.add(decode);
    }
    state.ResumeTiming();
    const auto before = s.model->preview();
    s.select(1);
    const double switched = s.until([&] { return s.published(false, before); });
    times.add(switched);
    if (!prefetched) overBound.add(switched - (0.09 + decode + 0.1));
  }
}

// The yardstick of the switch to an uncached scan: its 2400-pixel decode alone ("decode_ms"),
// then the steps of the first full pass on that proxy one after the other: the film measurement,
// the conversion and the published picture (16-bit image and screen copy).
void UncachedPassSteps(benchmark::State& state) {
  const auto& file = BenchImages::negativeDng24mp();
  const ConversionSettings settings;
  const double scale = RenderCache(2400, 1).proxyScale(file);
  Times decode(state, "decode", false), measure(state, "measure", false),
      convert(state, "convert", false), picture(state, "picture", false);
  const auto since = [](std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    const LinearImage proxy = FlatField::decodeCorrected(file, settings, scale);
    decode.add(since(start));
    start = std::chrono::steady_clock::now();
    const FilmAnalysis analysis = Converter::analyze(proxy, settings);
    measure.add(since(start));
    start = std::chrono::steady_clock::now();
    const PrintImage print = Converter::process(proxy, analysis, settings, true, true);
    convert.add(since(start));
    start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(PreviewImage::make(print));
    picture.add(since(start));
  }
}

void Histogram2400x1600(benchmark::State& state) {
  DisplayP3Image image{2400, 1600, std::vector<uint16_t>(2400 * 1600 * 3)};
  for (size_t i = 0; i < image.samples.size(); ++i)
    image.samples[i] = static_cast<uint16_t>((i * 2654435761u) >> 16);
  for (auto _ : state) benchmark::DoNotOptimize(HistogramMeasure::measure(image));
}

}  // namespace

BENCHMARK(EditToQuickPass)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(LastEditToFullQuality)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(FullPassInFullMode)->UseManualTime()->Iterations(12)->Unit(benchmark::kMillisecond);
BENCHMARK(SwitchToNeighbour)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(UncachedPassSteps)->Iterations(7)->Unit(benchmark::kMillisecond);
// The CPU column counts every thread of the process (the row copy's and Qt's scaling helpers
// included): on one core (taskset -c 0) it is the wall time.
BENCHMARK(Histogram2400x1600)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
