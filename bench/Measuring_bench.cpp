// The session's measuring actions with the real clock: choosing a 24-megapixel DNG blank frame
// the first time (the GUI thread waits) and again from the cache, one reference match of a
// 24-megapixel scan at 450 pixels while the GUI thread keeps turning (the longest gap between
// ticks of a 5 ms timer is "gap_ms"), and the roll analysis of eight 24-megapixel frames at the
// preview's size. Medians go to "<name>_ms". Run pinned to two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "Conversion/Decoder.h"
#include "Driver/Converter.h"
#include "Model/AppModel.h"
#include "Services/SteadyClock.h"
#include "Testing/TestServices.h"
#include "Times.h"

namespace {

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "Measuring_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A blank frame from the camera: a 24-megapixel DNG of the light source falling off by about
// 20 % into the corners.
const std::filesystem::path& blankDng() {
  static TempDir dir;
  static const std::filesystem::path path = [] {
    ScanFixtures::Dng dng;
    dng.width = 6000;
    dng.height = 4000;
    dng.pattern = [](int64_t x, int64_t y) {
      const float u = (static_cast<float>(x) + 0.5f) / 6000 * 2 - 1;
      const float v = (static_cast<float>(y) + 0.5f) / 4000 * 2 - 1;
      const float r2 = u * u + v * v;
      const float light = 0.8f * (1 - 0.07f * r2 - 0.015f * r2 * r2);
      return std::array<float, 4>{light, light, light, 1};
    };
    const auto file = dir / "blank-6000x4000.dng";
    ScanFixtures::writeDng(file, dng);
    return file;
  }();
  return path;
}

// A session of `scans` copies of the 24-megapixel negative DNG, the first selected.
struct Session {
  explicit Session(int scans) {
    application();
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
    model->setSelection(model->items()[0].id);
  }
  ~Session() {
    model.reset();
    QThreadPool::globalInstance()->waitForDone();
  }
  void until(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  // Nothing runs any more.
  void quiet() {
    until([&] {
      return !model->isRendering() && !model->previewRenderer().isBusy() &&
             !model->fastRenderer().isBusy() && !model->lightRenderer().isBusy() &&
             !model->thumbRenderer().isBusy();
    });
  }

  TempDir dir;
  TestServices services;
  SteadyClock clock;
  std::unique_ptr<AppModel> model;
};

// range(0): 0 the blank frame is measured afresh (its time stamp moves), 1 from the cache.
void ChooseBlankFrame(benchmark::State& state) {
  const bool cached = state.range(0) == 1;
  Session s(1);
  const std::filesystem::path& blank = blankDng();
  s.model->setFlatField(blank, false);
  s.quiet();  // the preview with the correction is out of the way
  Times times(state);
  for (auto _ : state) {
    if (!cached) {
      std::filesystem::last_write_time(
          blank, std::filesystem::last_write_time(blank) + std::chrono::seconds(1));
    }
    const auto start = std::chrono::steady_clock::now();
    s.model->setFlatField(blank, false);
    times.add(secondsSince(start));
  }
  state.counters["errors"] = s.model->errorMessage() ? 1 : 0;
}

// A reference photo: the scan's own print with other settings, as a JPEG of 1500 × 1000.
const std::filesystem::path& referencePhoto() {
  static TempDir dir;
  static const std::filesystem::path path = [] {
    const LinearImage small = Decoder::decode(BenchImages::negativeDng24mp(), 0, false, 0.25);
    ConversionSettings target;
    target.exposure = 0.5;
    target.temperature = 20;
    const PrintImage print =
        Converter::process(small, Converter::analyze(small, target), target, true, false);
    ScanFixtures::Jpeg jpeg;
    jpeg.width = print.width;
    jpeg.height = print.height;
    jpeg.pattern = [&print](int64_t x, int64_t y) {
      const float* p = print.rgb.data() + (y * print.width + x) * 3;
      return std::array<float, 4>{p[0], p[1], p[2], 1};
    };
    const auto file = dir / "lab-scan.jpg";
    ScanFixtures::writeJpeg(file, jpeg);
    return file;
  }();
  return path;
}

// From the start to the applied result; "gap_ms" is the longest the GUI thread went without
// a timer tick meanwhile.
void ReferenceMatch450(benchmark::State& state) {
  Session s(1);
  s.quiet();
  const std::filesystem::path& photo = referencePhoto();
  Times times(state);
  Times gaps(state, "gap", false);
  for (auto _ : state) {
    s.model->undo();
    s.quiet();
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      longest = std::max(longest, static_cast<double>(sinceTick.restart()) / 1000);
    });
    timer.start(5);
    sinceTick.start();
    const auto start = std::chrono::steady_clock::now();
    s.model->startReferenceMatch(photo);
    s.until([&] { return !s.model->matchProgress(); });
    times.add(secondsSince(start));
    gaps.add(longest);
  }
  state.counters["applied"] = s.model->canUndo() ? 1 : 0;
}

// Eight frames measured on the preview renderer, from the start to the balance written; every
// iteration on a fresh model, so nothing is cached.
void RollAnalysis8(benchmark::State& state) {
  Times times(state);
  for (auto _ : state) {
    state.PauseTiming();
    Session s(8);
    s.quiet();
    s.model->previewRenderer().clear();
    s.quiet();
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    s.model->analyseRoll();
    s.until([&] { return !s.model->rollProgress(); });
    times.add(secondsSince(start));
    state.counters["frames"] =
        s.model->items()[0].settings.rollBalance
            ? static_cast<double>(s.model->items()[0].settings.rollBalance->frames)
            : 0;
  }
}

}  // namespace

BENCHMARK(ChooseBlankFrame)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(ReferenceMatch450)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(RollAnalysis8)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
