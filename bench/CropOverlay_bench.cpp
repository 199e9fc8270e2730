// The crop overlay in the preview host, offscreen, over a 1200 × 800 point picture: one step of
// a move, a resize and a rotation drag, each from the mouse event to the end of the repaint.
// Renders requested during a rotation are counted: the picture turns by the live rotation, so
// none should start before the release. Run pinned to two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTransform>
#include <chrono>

#include "Model/AppModel.h"
#include "OffscreenApplication.h"
#include "Preview/PreviewCalls.h"
#include "Preview/ZoomablePreview.h"
#include "Rendering/PreviewImage.h"
#include "Testing/TestServices.h"

namespace {

using Clock = std::chrono::steady_clock;

// One selected scan with a 3:2 crop in crop mode, over a 2400 × 1600 uncropped preview fitted
// to 1200 × 800 points.
struct Host {
  Host() {
    ImageItem item;
    item.url = "/scans/a.dng";
    item.settings.crop = NormRect{0.2, 0.2, 0.6, 0.6};
    item.settings.cropAspect = CropAspect::r3x2;
    model.setSelection(item.id);
    model.setItems({item});
    auto image = std::make_shared<PreviewImage>();
    image->screen = QImage(2400, 1600, QImage::Format_RGB888);
    image->screen.fill(Qt::darkGray);
    model.setPreview(image);
    model.setCropMode(true);
    model.setPreviewIsUncropped(true);
    // Room for the crop margins (128 across, 44 above, 120 below) around 1200 × 800.
    host.resize(1328, 964);
    host.show();
    QApplication::processEvents();
    // The picture's reduced copies come from a worker, as they would while the user looks.
    host.repaint();
    const auto start = Clock::now();
    while (!host.pixmaps().reduced(model.preview().get()) &&
           Clock::now() - start < std::chrono::seconds(10)) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }
  void send(QEvent::Type type, QPointF overlayPoint, Qt::MouseButtons held) {
    const QPointF at = host.widgetPoint(overlayPoint);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, host.mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(&host, &event);
  }

  QApplication& app = offscreenApplication();  // before any widget
  TestServices services;
  AppModel model{services.services()};
  PreviewCalls calls = PreviewCalls::of(model);
  ZoomablePreview host{model, calls};
};

// range(0): 0 move (from the middle), 1 resize (the top-right corner), 2 rotate (outside), 3
// rotate near 30° (the same drag carried a twelfth of a turn about the middle).
void BM_DragStep(benchmark::State& state) {
  Host h;
  const QPointF starts[] = {{600, 400}, {960, 160}, {60, 700}, {60, 700}};
  const QPointF start = starts[state.range(0)];
  QTransform carried;
  if (state.range(0) == 3) carried.translate(600, 400).rotate(30).translate(-600, -400);
  h.send(QEvent::MouseButtonPress, start, Qt::LeftButton);
  int renders = 0;
  QObject::connect(&h.model, &AppModel::isRenderingChanged, [&] { ++renders; });
  int step = 0;
  for (auto _ : state) {
    const double d = 2 + (step++ % 40);
    const auto begin = Clock::now();
    h.send(QEvent::MouseMove, carried.map(start + QPointF(d, -d / 2)), Qt::LeftButton);
    h.host.repaint();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - begin).count());
  }
  state.counters["renders_during_drag"] = renders;
  h.send(QEvent::MouseButtonRelease, start + QPointF(4, -2), Qt::NoButton);
  state.counters["overlay_w"] = h.host.fittedSize().width();
}
BENCHMARK(BM_DragStep)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(100)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
