// The film-look list as the pointer crosses it, offscreen: the GUI thread's cost of one entry's
// enter (the hovered look set, a render requested) and leave, on a session of tiny scans in
// virtual time; then, with the real clock on a 24-megapixel DNG, a sweep over 30 entries at a
// quick pointer's pace, counting the previews published for it (the render loop drops the
// looks the pointer has already left). Medians go to the "<name>_ms" counters. Run pinned to
// two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWindow>
#include <chrono>
#include <memory>

#include "BenchImages.h"
#include "Inspector/LookPicker.h"
#include "Kelvadorium/Model/EditSession.h"
#include "Kelvadorium/Views/PointerCrossing.h"
#include "OffscreenApplication.h"
#include "Services/SteadyClock.h"
#include "Times.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

using PointerCrossing::enter;
using PointerCrossing::leave;

// An open film-look list over the model's selected scan.
struct OpenList {
  explicit OpenList(AppModel& model) : picker(LookPicker::filmLook(model)) {
    picker->show();
    picker->open();
    QApplication::processEvents();
  }
  ~OpenList() { delete picker; }
  LookPicker* picker;
};

void EnterAndLeave(benchmark::State& state) {
  offscreenApplication();
  EditSession session(3);
  session.select(0);
  OpenList list(*session.model);
  const std::vector<LookEntry*> entries = list.picker->entries();
  Times entering(state, "enter");
  Times leaving(state, "leave", false);
  size_t next = 1;
  for (auto _ : state) {
    LookEntry* entry = entries[next];
    auto start = Clock::now();
    enter(entry);
    entering.add(since(start));
    start = Clock::now();
    leave(entry);
    leaving.add(since(start));
    // The repaints the two asked for, outside the measured events.
    QApplication::sendPostedEvents();
    next = next % (entries.size() - 1) + 1;
  }
}
BENCHMARK(EnterAndLeave)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2000);

// range(0): milliseconds the pointer rests on each entry.
void SweepOverThirtyEntries(benchmark::State& state) {
  offscreenApplication();
  TempDir dir;
  TestServices services;
  SteadyClock clock;
  services.writeSettingsFile("[General]\npreviewMode=hybrid\n");
  ModelServices parts{clock,
                      services.dialogs,
                      services.workspace,
                      services.telemetry,
                      services.settingsPath(),
                      services.renderBackend};
  AppModel model(parts);
  ImageItem item;
  item.url = dir / "scan.dng";
  std::filesystem::copy_file(BenchImages::negativeDng24mp(), item.url);
  model.setItems({item});
  model.setSelection(model.items()[0].id);
  auto until = [](const std::function<bool()>& done) {
    while (!done()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  };
  auto quiet = [&] {
    until([&] {
      return model.preview() && !model.isRendering() && model.plain().fullJob.isFinished() &&
             !model.previewRenderer().isBusy() && !model.fastRenderer().isBusy();
    });
  };
  quiet();
  OpenList list(model);
  const std::vector<LookEntry*> entries = list.picker->entries();
  int published = 0;
  QObject::connect(&model, &AppModel::previewChanged, &model, [&] { ++published; });
  Times sweep(state, "sweep");
  const auto rest = std::chrono::milliseconds(state.range(0));
  for (auto _ : state) {
    published = 0;
    const auto start = Clock::now();
    for (size_t i = 1; i <= 30 && i < entries.size(); ++i) {
      enter(entries[i]);
      const auto until = Clock::now() + rest;
      while (Clock::now() < until) QApplication::processEvents(QEventLoop::AllEvents, 1);
      leave(entries[i]);
    }
    quiet();
    sweep.add(since(start));
    state.counters["previews"] = published;
  }
}
BENCHMARK(SweepOverThirtyEntries)
    ->Arg(10)
    ->Arg(40)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
