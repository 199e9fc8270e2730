// The shell's windows: the menu bar's update after a model change with 1,000 scans, opening the
// Settings and About windows (offscreen, each shown and laid out), and the About snapshot as a
// whole process from start to exit.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <chrono>

#include "App/ModelCalls.h"
#include "ChildRun.h"
#include "Menus/MenuCommands.h"
#include "Model/AppModel.h"
#include "OffscreenApplication.h"
#include "Services/WallClock.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"
#include "Windows/AboutView.h"
#include "Windows/SettingsView.h"

namespace {

struct Session {
  explicit Session(size_t scans, size_t marks) {
    std::vector<ImageItem> items(scans);
    for (size_t i = 0; i < scans; ++i) {
      items[i].url = "/scans/frame" + std::to_string(i) + ".nef";
    }
    model.setItems(items);
    model.setSelection(items[scans / 2].id);
    std::set<Uuid> marked;
    for (size_t i = 0; i < marks; ++i) marked.insert(items[i * 7 % scans].id);
    model.setMarked(marked);
    menus = new MenuCommands(model, calls, bar, nullptr, nullptr);
  }
  TestServices services;
  AppModel model{services.services()};
  ModelCalls calls = ModelCalls::of(model);
  QMenuBar bar;
  MenuCommands* menus;
};

// One model change that only the menus hear: the clipping toggle, whose update rebuilds nothing.
void BM_MenuUpdatePerChange(benchmark::State& state) {
  offscreenApplication();
  Session session(1000, size_t(state.range(0)));
  bool on = false;
  for (auto _ : state) session.model.setShowClipping(on = !on);
  state.counters["marks"] = double(state.range(0));
}
BENCHMARK(BM_MenuUpdatePerChange)->Arg(0)->Arg(3)->Arg(1000)->Unit(benchmark::kMicrosecond);

// A selection change between scans of two film types: the Presets menu is rebuilt as well.
void BM_MenuUpdatePresetsRebuilt(benchmark::State& state) {
  offscreenApplication();
  Session session(1000, 0);
  std::vector<ImageItem> items = session.model.items();
  items[1].settings.mode = FilmMode::bwNegative;
  session.model.setItems(items);
  size_t which = 0;
  for (auto _ : state) session.model.setSelection(items[which ^= 1].id);
}
BENCHMARK(BM_MenuUpdatePresetsRebuilt)->Unit(benchmark::kMicrosecond);

// Made, shown and laid out, then closed; the first open of the process is the slowest.
template <class Make>
void openWindow(benchmark::State& state, Make make) {
  offscreenApplication();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    QWidget* window = make();
    window->show();
    QApplication::processEvents();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(ms / 1000);
    delete window;
    QApplication::processEvents();
  }
}

void BM_OpenSettings(benchmark::State& state) {
  TestServices services;
  AppModel model(services.services());
  openWindow(state, [&] { return new SettingsView(model, &services.dialogs); });
}
BENCHMARK(BM_OpenSettings)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_OpenAbout(benchmark::State& state) {
  const WallClock clock;
  openWindow(state, [&] { return new AboutView(AboutView::Facts::ofThisBuild(), clock, [] {}); });
}
BENCHMARK(BM_OpenAbout)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

// The whole process: start, the offscreen platform, the window rendered, the PNG written, exit.
void BM_SnapshotProcess(benchmark::State& state) {
  TempDir dir;
  const std::string png = "KV_RENDER_ABOUT=" + (dir / "about.png").string();
  for (auto _ : state) {
    const auto cost = ChildRun::run({KV_PROGRAM}, {png});
    if (!cost) {
      state.SkipWithError("the snapshot process failed");
      break;
    }
    state.SetIterationTime(cost->wall);
    state.counters["peakMB"] = cost->peakMB;
  }
}
BENCHMARK(BM_SnapshotProcess)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
