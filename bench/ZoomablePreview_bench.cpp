// The zoomable preview, offscreen, each repaint rendered into an image: panning a 6000 × 4000
// detail at 1:1 in a 1600 × 1000-point area at backing scale 1 and 2 (an image of twice the
// pixels each way), zooms from the fit to the largest, and a fitted 2400-pixel preview. The
// reduced copies are made before timing starts. The last case paints at zoom 32 and reports the
// resident memory and what the reduced copies hold. Run pinned to two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <chrono>
#include <cmath>
#include <fstream>
#include <string>

#include "ChildRun.h"
#include "Model/AppModel.h"
#include "OffscreenApplication.h"
#include "Preview/PreviewCalls.h"
#include "Preview/ZoomablePreview.h"
#include "Rendering/PreviewImage.h"
#include "Testing/TestServices.h"

namespace {

using Clock = std::chrono::steady_clock;

// A screen copy with structure, as the renderers publish it.
QImage screenPicture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uchar>((x * 255) / width);
      row[3 * x + 1] = static_cast<uchar>((y * 255) / height);
      row[3 * x + 2] = static_cast<uchar>(((x ^ y) * 7) & 255);
    }
  }
  return image;
}

// Peak resident megabytes of this process so far.
double peakMB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      double kb = 0;
      status >> kb;
      return kb / 1024;
    }
  }
  return 0;
}

// One selected scan with a 2400 × 1600 preview and, when asked, its current 6000 × 4000 detail,
// in a 1600 × 1000-point preview; `scale` is the backing scale of the image painted into.
struct Host {
  Host(bool withDetail, double scale) : target(QSize(1600, 1000) * scale, QImage::Format_RGB32) {
    target.setDevicePixelRatio(scale);
    ImageItem item;
    item.url = "/scans/a.dng";
    model.setSelection(item.id);
    model.setItems({item});
    auto preview = std::make_shared<PreviewImage>();
    preview->screen = screenPicture(2400, 1600);
    model.setPreview(preview);
    if (withDetail) {
      auto detail = std::make_shared<PreviewImage>();
      detail->screen = screenPicture(6000, 4000);
      model.plain().detailFor.emplace(item.id, item.settings, true, true);
      model.setDetailPreview(detail);
      model.setFullPixelSize({6000, 4000});
    }
    host.resize(1600, 1000);
    host.show();
    QApplication::processEvents();
    // The reduced copies come from a worker; wait for them.
    paint();
    const auto start = Clock::now();
    while (!host.pixmaps().reduced(host.picture().get()) &&
           Clock::now() - start < std::chrono::seconds(20)) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }
  // Zoom at which one detail pixel covers one pixel of the painted image.
  double oneToOne() const { return 6000 / (host.fittedSize().width() * target.devicePixelRatio()); }
  void paint() { host.render(&target); }
  double timedPaint() {
    const auto start = Clock::now();
    paint();
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  QApplication& app = offscreenApplication();  // before any widget
  TestServices services;
  AppModel model{services.services()};
  PreviewCalls calls = PreviewCalls::of(model);
  ZoomablePreview host{model, calls};
  QImage target;
};

// range(0): the backing scale.
void BM_PanAtOneToOne(benchmark::State& state) {
  Host h(true, static_cast<double>(state.range(0)));
  h.model.setZoom(h.oneToOne());
  int step = 0;
  for (auto _ : state) {
    const double phase = (step++ % 64) / 64.0 * 2 * M_PI;
    const auto start = Clock::now();
    h.model.setPan(h.model.clampedPan({1500 * std::cos(phase), 900 * std::sin(phase)}));
    h.paint();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
  state.counters["zoom"] = h.model.zoom();
}
BENCHMARK(BM_PanAtOneToOne)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(60)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Zooms from the fit to the largest in 40 geometric steps, each painted once.
void BM_ZoomFitToMost(benchmark::State& state) {
  Host h(true, 1);
  const double most = std::max(4 * h.model.plain().oneToOneZoom, 8.0);
  int step = 0;
  for (auto _ : state) {
    const double zoom = std::pow(most, (step++ % 41) / 40.0);
    h.model.setZoom(zoom);
    h.model.setPan(h.model.clampedPan({200, -120}));
    state.SetIterationTime(h.timedPaint());
  }
  state.counters["most"] = most;
}
BENCHMARK(BM_ZoomFitToMost)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(82)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_FittedPreview(benchmark::State& state) {
  Host h(false, 1);
  for (auto _ : state) state.SetIterationTime(h.timedPaint());
}
BENCHMARK(BM_FittedPreview)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(60)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Paints at zoom 32 and reports the memory: the process's peak, the images' bytes and what the
// reduced copies add.
void BM_MemoryAtZoom32(benchmark::State& state) {
  Host h(true, 1);
  h.model.setZoom(32.0);
  for (auto _ : state) state.SetIterationTime(h.timedPaint());
  state.counters["peak_MB"] = peakMB();
  state.counters["resident_MB"] = ChildRun::residentMB();
  state.counters["detail_MB"] = h.model.detailPreview()->screen.sizeInBytes() / 1048576.0;
  state.counters["reduced_MB"] = h.host.pixmaps().reducedBytes() / 1048576.0;
}
BENCHMARK(BM_MemoryAtZoom32)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20)
    ->Repetitions(1);

}  // namespace
