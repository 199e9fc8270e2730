// The thumbnail sidebar over 2,000 scans, offscreen at scale 1: its first display, a repaint
// while scrolling a 310 × 1000 column, a thumbnail arriving (one cell repainted, no new layout),
// and a rubber-band move over 2,000 frames up to what it hands the model. Medians go to the
// "<name>_ms" counters. Run pinned to two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QWindow>
#include <chrono>
#include <memory>
#include <vector>

#include "Model/AppModel.h"
#include "OffscreenApplication.h"
#include "Sidebar/MarqueeRules.h"
#include "Sidebar/ThumbnailScroller.h"
#include "Sidebar/ThumbnailSidebar.h"
#include "Testing/TestServices.h"
#include "Times.h"

namespace {

// Thumbnails at one pixel per point, whatever the desktop's scale.
QApplication& application() {
  qputenv("QT_SCALE_FACTOR", "1");
  return offscreenApplication();
}

using Clock = std::chrono::steady_clock;
double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A landscape 320-pixel thumbnail; every scan has its own, as in a session.
std::shared_ptr<const PreviewImage> thumbnail(int i) {
  auto made = std::make_shared<PreviewImage>();
  made->screen = QImage(320, 213, QImage::Format_RGB888);
  made->screen.fill(QColor::fromHsv(i % 360, 120, 200));
  return made;
}

// Waits until the platform exposes the window, so repaints paint.
void showExposed(QWidget& view) {
  view.show();
  for (int i = 0; i < 100 && !(view.windowHandle() && view.windowHandle()->isExposed()); ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  QApplication::processEvents();
}

struct Session {
  explicit Session(int scans = 2000) {
    application();
    model = std::make_unique<AppModel>(services.services());
    std::vector<ImageItem> items(static_cast<size_t>(scans));
    for (int i = 0; i < scans; ++i) {
      items[size_t(i)].url = "/scans/frame" + std::to_string(i) + ".tif";
      items[size_t(i)].thumbnail = thumbnail(i);
    }
    model->setItems(std::move(items));
  }
  TestServices services;
  std::unique_ptr<AppModel> model;
};

void FirstDisplay(benchmark::State& state) {
  Session s;
  Times times(state, "first_display");
  for (auto _ : state) {
    const auto start = Clock::now();
    ThumbnailSidebar sidebar(*s.model);
    sidebar.resize(310, 1000);
    showExposed(sidebar);
    times.add(since(start));
  }
}
BENCHMARK(FirstDisplay)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void ScrollRepaint(benchmark::State& state) {
  Session s;
  ThumbnailSidebar sidebar(*s.model);
  sidebar.resize(310, 1000);
  showExposed(sidebar);
  QScrollBar* bar = sidebar.grid()->verticalScrollBar();
  Times times(state, "scroll_repaint");
  int value = 0;
  for (auto _ : state) {
    value = (value + 37) % bar->maximum();
    const auto start = Clock::now();
    bar->setValue(value);
    sidebar.grid()->viewport()->repaint();
    times.add(since(start));
  }
}
BENCHMARK(ScrollRepaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(400);

void ThumbnailArrival(benchmark::State& state) {
  Session s;
  ThumbnailSidebar sidebar(*s.model);
  sidebar.resize(310, 1000);
  showExposed(sidebar);
  int layouts = 0;
  QObject::connect(sidebar.grid(), &ThumbnailScroller::laidOut, [&layouts] { ++layouts; });
  Times times(state, "arrival");
  int i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<ImageItem> items = s.model->items();
    items[size_t(i % 6)].thumbnail = thumbnail(1000 + i);
    ++i;
    state.ResumeTiming();
    const auto start = Clock::now();
    // The model's write and the turn that paints the one cell it marked dirty.
    s.model->setItems(std::move(items));
    QApplication::processEvents();
    times.add(since(start));
  }
  state.counters["layouts"] = layouts;
}
BENCHMARK(ThumbnailArrival)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

void MarqueeMove(benchmark::State& state) {
  Session s(2000);
  const ThumbGrid::Layout layout = ThumbGrid::grid(310, 2000, 14);
  std::vector<Uuid> ids;
  for (const ImageItem& item : s.model->items()) ids.push_back(item.id);
  const std::set<Uuid> base(ids.begin(), ids.begin() + 40);
  Times times(state, "marquee_move");
  double bottom = 100;
  for (auto _ : state) {
    bottom = bottom > layout.height ? 100 : bottom + 53;
    const auto start = Clock::now();
    const QRectF band = MarqueeRules::spanned({15, 12}, {290, bottom});
    std::set<Uuid> result =
        MarqueeRules::result(MarqueeRules::hits(layout, ids, band, false), base);
    benchmark::DoNotOptimize(result);
    times.add(since(start));
  }
}
BENCHMARK(MarqueeMove)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2000);

}  // namespace
