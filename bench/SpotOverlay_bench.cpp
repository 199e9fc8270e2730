// The healing overlay in a 1600 × 1000 viewport, offscreen at scale 1, over 500 repairs of which
// one is a painted stroke of 2,400 spots crossing the middle: the overlay's whole paint (its
// repairs drawn anew, as after a zoom, pan or record change) at zoom 1, 8 and 32 with the
// process's resident memory after it; a hover move handled and the host repainted; and the
// grouping of the repairs into shapes, also for 10,000 spots. Run pinned to two cores
// (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <chrono>
#include <cmath>
#include <fstream>

#include "Model/AppModel.h"
#include "OffscreenApplication.h"
#include "Preview/PreviewCalls.h"
#include "Preview/SpotOverlay.h"
#include "Preview/ZoomablePreview.h"
#include "Rendering/PreviewImage.h"
#include "Testing/TestServices.h"

namespace {

using Clock = std::chrono::steady_clock;

// 499 clicked spots on a grid and one stroke of `strokeSpots` spots along a wave through the
// middle, the stroke fourth in the list.
std::vector<Spot> repairs(int clicks, int strokeSpots) {
  std::vector<Spot> spots;
  const Uuid group = Uuid::random();
  for (int i = 0; i < clicks; ++i) {
    Spot spot = makeSpot(0.02 + 0.96 * (i % 25) / 24.0, 0.03 + 0.94 * (i / 25) / 19.0,
                         0.004 + 0.001 * (i % 7));
    spots.push_back(spot);
    if (i == 3) {
      for (int k = 0; k < strokeSpots; ++k) {
        const double t = static_cast<double>(k) / strokeSpots;
        Spot member = makeSpot(0.05 + 0.9 * t, 0.5 + 0.2 * std::sin(12 * t), 0.008);
        member.group = group;
        spots.push_back(member);
      }
    }
  }
  return spots;
}

double residentMB() {
  std::ifstream statm("/proc/self/statm");
  double pages = 0;
  double resident = 0;
  statm >> pages >> resident;
  return resident * 4096 / 1e6;
}

// A scan shown whole in a 1600 × 1000 host, mapped one to one, in healing mode over the repairs.
struct Host {
  explicit Host(std::vector<Spot> spots) {
    ImageItem item;
    item.url = "/scans/a.dng";
    item.settings.spots = std::move(spots);
    model.setSelection(item.id);
    model.setItems({item});
    model.setProxySize(QSize(3200, 2000));
    model.setPreviewIsUncropped(false);
    FilmAnalysis analysis;
    analysis.crop = NormRect{0, 0, 1, 1};
    model.setAnalysis(analysis);
    model.plain().previewImageID = model.selection();
    auto image = std::make_shared<PreviewImage>();
    image->screen = QImage(1600, 1000, QImage::Format_RGB888);
    image->screen.fill(QColor(120, 110, 100));
    model.setPreview(image);
    model.setSpotMode(true);
    host.resize(1600, 1000);
    host.show();
    QApplication::processEvents();
  }

  SpotOverlay& overlay() { return *dynamic_cast<SpotOverlay*>(host.toolOverlay()); }

  // The overlay's paint into a viewport-sized image placed as the host places it, shifted by
  // `shift` so that its cached picture of the repairs is made again.
  double timedPaint(QImage& viewport, double zoom, double shift) {
    const QSizeF fitted = host.fittedSize();
    const QPointF topLeft = host.widgetPoint(QPointF(0, 0));
    viewport.fill(Qt::transparent);
    const auto start = Clock::now();
    QPainter painter(&viewport);
    painter.translate(topLeft + QPointF(shift, 0));
    painter.scale(zoom, zoom);
    overlay().paint(painter, OverlayFrame{fitted, zoom});
    painter.end();
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  double timedMove(QPointF at) {
    const auto start = Clock::now();
    QMouseEvent event(QEvent::MouseMove, at, host.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&host, &event);
    // The repaint the move asked for, of what it asked for, as the event loop would run it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    return std::chrono::duration<double>(Clock::now() - start).count();
  }
  QPointF walk(size_t step) const {
    const double t = static_cast<double>(step) * 0.05;
    return {800 + 500 * std::sin(t), 500 + 300 * std::sin(1.7 * t)};
  }

  QApplication& app = offscreenApplication();  // before any widget
  TestServices services;
  AppModel model{services.services()};
  PreviewCalls calls = PreviewCalls::of(model);
  ZoomablePreview host{model, calls};
};

void BM_SpotOverlayPaint(benchmark::State& state) {
  Host h(repairs(static_cast<int>(state.range(1)), static_cast<int>(state.range(2))));
  const double zoom = static_cast<double>(state.range(0));
  h.model.setZoom(zoom);
  QImage viewport(1600, 1000, QImage::Format_ARGB32_Premultiplied);
  h.timedPaint(viewport, zoom, 0);
  size_t step = 0;
  for (auto _ : state) {
    state.SetIterationTime(h.timedPaint(viewport, zoom, static_cast<double>(++step % 2)));
  }
  state.counters["resident_MB"] = residentMB();
}
BENCHMARK(BM_SpotOverlayPaint)
    ->Args({1, 499, 2400})
    ->Args({8, 499, 2400})
    ->Args({32, 499, 2400})
    ->Args({1, 499, 0})
    ->Args({1, 4, 2400})
    ->Args({8, 4, 2400})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(100)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Hovering with the brush circle, and while picking (the hovered repair's highlight).
void BM_SpotHover(benchmark::State& state) {
  Host h(repairs(499, 2400));
  h.model.setZoom(static_cast<double>(state.range(0)));
  h.model.setSpotSelecting(state.range(1) != 0);
  h.host.repaint();
  // Every move must have painted something.
  struct Paints : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
      count += event->type() == QEvent::Paint;
      return false;
    }
    int count = 0;
  } paints;
  h.host.installEventFilter(&paints);
  size_t step = 0;
  for (auto _ : state) state.SetIterationTime(h.timedMove(h.walk(step++)));
  h.host.removeEventFilter(&paints);
  state.counters["paints_per_move"] = paints.count / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SpotHover)
    ->Args({1, 0})
    ->Args({8, 0})
    ->Args({1, 1})
    ->Args({8, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_HealedShapes(benchmark::State& state) {
  const auto spots = repairs(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  PreviewMapping::Frame frame;
  frame.width = 3200;
  frame.height = 2000;
  frame.crop = NormRect{0, 0, 1, 1};
  for (auto _ : state) {
    benchmark::DoNotOptimize(SpotOverlay::healedShapes(spots, frame, QSizeF(1600, 1000)));
  }
}
BENCHMARK(BM_HealedShapes)
    ->Args({499, 2400})
    ->Args({5000, 5000})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
