// The marking overlays over a 1200 × 800 picture, offscreen, at zoom 1 and 4: a pointer move
// handled and the picture host repainted (beside the picture alone), with dodge & burn painting
// over 100 brush strokes of 40 points and 10 gradients, dust hovering over 400 finds, and red eye
// hovering over 200 marks. Run pinned to two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <chrono>
#include <cmath>

#include "Model/AppModel.h"
#include "OffscreenApplication.h"
#include "Preview/PreviewCalls.h"
#include "Preview/ZoomablePreview.h"
#include "Rendering/PreviewImage.h"
#include "Testing/TestServices.h"

namespace {

using Clock = std::chrono::steady_clock;

// A scan shown whole at 1200 × 800 points, mapped one to one: a preview point is the image point.
struct Host {
  Host() {
    ImageItem item;
    item.url = "/scans/a.dng";
    model.setSelection(item.id);
    model.setItems({item});
    model.setProxySize(QSize(2400, 1600));
    model.setPreviewIsUncropped(false);
    FilmAnalysis analysis;
    analysis.crop = NormRect{0, 0, 1, 1};
    model.setAnalysis(analysis);
    model.plain().previewImageID = model.selection();
    auto image = std::make_shared<PreviewImage>();
    image->screen = QImage(1200, 800, QImage::Format_RGB888);
    image->screen.fill(QColor(120, 110, 100));
    model.setPreview(image);
    host.resize(1248, 848);
    host.show();
    QApplication::processEvents();
  }
  ConversionSettings record() const { return model.items()[0].settings; }

  void send(QEvent::Type type, QPointF at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, host.mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(&host, &event);
  }
  // One move handled and the host repainted, in seconds.
  double timedMove(QPointF at, Qt::MouseButtons held) {
    const auto start = Clock::now();
    send(QEvent::MouseMove, at, held);
    host.repaint();
    return std::chrono::duration<double>(Clock::now() - start).count();
  }
  // A widget point on the shown part of the picture, walking a wide loop.
  QPointF walk(size_t step) const {
    const double t = static_cast<double>(step) * 0.05;
    return {624 + 400 * std::sin(t), 424 + 280 * std::sin(1.7 * t)};
  }

  QApplication& app = offscreenApplication();  // before any widget
  TestServices services;
  AppModel model{services.services()};
  PreviewCalls calls = PreviewCalls::of(model);
  ZoomablePreview host{model, calls};
};

// The same move and repaint with no overlay: what the picture alone takes.
void BM_PictureAlone(benchmark::State& state) {
  Host h;
  h.model.setZoom(static_cast<double>(state.range(0)));
  h.host.repaint();
  size_t step = 0;
  for (auto _ : state) state.SetIterationTime(h.timedMove(h.walk(step++), Qt::NoButton));
}
BENCHMARK(BM_PictureAlone)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

double wave(int i, int n, double phase) { return std::sin(6.28 * i / n + phase); }

void BM_DodgeBurnPaintMove(benchmark::State& state) {
  Host h;
  ConversionSettings settings = h.record();
  LocalLayer brushes;
  brushes.name = "Brushes";
  for (int s = 0; s < 100; ++s) {
    DodgeBurnStroke stroke;
    stroke.radius = 0.01;
    for (int i = 0; i < 40; ++i) {
      stroke.points.push_back({0.05 + 0.9 * i / 40.0, 0.05 + 0.009 * s + 0.02 * wave(i, 40, s)});
    }
    brushes.shapes.push_back(stroke);
  }
  settings.layers.push_back(brushes);
  for (int g = 0; g < 10; ++g) {
    LocalLayer layer;
    layer.name = "Gradient";
    layer.adjust.exposure = g % 2 ? -0.5 : 0.5;
    layer.shapes.push_back(
        g < 5 ? DodgeBurnStroke::linear({0.1 + 0.15 * g, 0.2}, {0.15 + 0.15 * g, 0.4}, 0)
              : DodgeBurnStroke::radial({0.1 * g - 0.3, 0.7}, 0.05, 0.03, 0, 0.5, false));
    settings.layers.push_back(layer);
  }
  h.model.storeSettings(0, settings);
  h.model.setDodgeMode(true);
  h.model.setZoom(static_cast<double>(state.range(0)));
  h.model.setSelectedLayerID(settings.layers[0].id);
  h.send(QEvent::MouseButtonPress, h.walk(0), Qt::LeftButton);
  h.host.repaint();
  size_t step = 1;
  for (auto _ : state) state.SetIterationTime(h.timedMove(h.walk(step++), Qt::LeftButton));
  h.send(QEvent::MouseButtonRelease, h.walk(step), Qt::NoButton);
}
BENCHMARK(BM_DodgeBurnPaintMove)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_DustHover(benchmark::State& state) {
  Host h;
  std::vector<std::vector<Spot>> candidates;
  for (int i = 0; i < 400; ++i) {
    const double x = 0.03 + 0.94 * (i % 25) / 24.0;
    const double y = 0.04 + 0.92 * (i / 25) / 15.0;
    std::vector<Spot> candidate;
    const Uuid group = Uuid::random();
    const int spots = i % 8 == 0 ? 6 : 1;  // one find in eight is a hair
    for (int k = 0; k < spots; ++k) {
      Spot spot;
      spot.id = Uuid::random();
      spot.x = x + 0.004 * k;
      spot.y = y + 0.003 * k;
      spot.r = 0.002 + 0.0005 * (i % 5);
      if (spots > 1) spot.group = group;
      candidate.push_back(spot);
    }
    candidates.push_back(candidate);
  }
  h.model.setDustCandidates(candidates);
  h.model.setZoom(static_cast<double>(state.range(0)));
  h.host.repaint();
  size_t step = 0;
  for (auto _ : state) state.SetIterationTime(h.timedMove(h.walk(step++), Qt::NoButton));
}
BENCHMARK(BM_DustHover)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_RedEyeHover(benchmark::State& state) {
  Host h;
  ConversionSettings settings = h.record();
  for (int i = 0; i < 200; ++i) {
    settings.redEyes.push_back(
        RedEye{Uuid::random(), 0.03 + 0.94 * (i % 20) / 19.0, 0.05 + 0.9 * (i / 20) / 9.0, 0.006});
  }
  h.model.storeSettings(0, settings);
  h.model.setRedEyeMode(true);
  h.model.setZoom(static_cast<double>(state.range(0)));
  h.host.repaint();
  size_t step = 0;
  for (auto _ : state) state.SetIterationTime(h.timedMove(h.walk(step++), Qt::NoButton));
}
BENCHMARK(BM_RedEyeHover)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
