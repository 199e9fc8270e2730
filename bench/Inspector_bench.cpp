// The inspector as the user drives it, offscreen: a slider move through the edit of the selected
// scan to the refreshed column with every section open, and a change of selection to the
// refreshed column, on a session of tiny scans in virtual time (no render runs); then, with the
// real clock on a 24-megapixel DNG, a slider move to the published quick preview beside the
// same edit made on the model alone. Medians go to the "<name>_ms" counters. Run pinned to two
// cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QAbstractSlider>
#include <QApplication>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "Inspector/AdjustRow.h"
#include "Inspector/BasicSection.h"
#include "Inspector/InspectorView.h"
#include "Kelvadorium/Model/EditSession.h"
#include "OffscreenApplication.h"
#include "Services/SteadyClock.h"
#include "Times.h"
#include "ViewKit/ValueSlider.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

QString everySectionOpen() {
  QString text = "[General]\n";
  for (QString key : InspectorView::foldKeys()) text += key.replace(" ", "%20") + "=true\n";
  return text;
}

// The turn after a change: the column's refresh, the repaint of the controls it changed, and
// whatever else was queued.
void nextTurn() { QApplication::sendPostedEvents(); }

// Shows the column and waits until the platform exposes it, so changed controls paint.
void showExposed(QWidget& view) {
  view.resize(310, 900);
  view.show();
  for (int i = 0; i < 100 && !view.windowHandle()->isExposed(); ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  QApplication::processEvents();
}

void SliderMoveToRefresh(benchmark::State& state) {
  offscreenApplication();
  EditSession session(3, everySectionOpen());
  session.select(0);
  InspectorView view(*session.model);
  showExposed(view);
  ValueSlider* slider = view.findChild<AdjustRow*>("Exposure")->slider();
  Times times(state, "refresh");
  bool up = true;
  for (auto _ : state) {
    const auto start = Clock::now();
    slider->triggerAction(up ? QAbstractSlider::SliderSingleStepAdd
                             : QAbstractSlider::SliderSingleStepSub);
    nextTurn();
    times.add(since(start));
    up = !up;
  }
}
BENCHMARK(SliderMoveToRefresh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(400);

// range(0): 0 between two colour scans, 1 between a colour and a black-and-white scan.
void SelectionChangeRefresh(benchmark::State& state) {
  offscreenApplication();
  EditSession session(2, everySectionOpen());
  // Every row shows another value on the other scan.
  ConversionSettings settings = session.settings(1);
  if (state.range(0) == 1) settings.mode = FilmMode::bwNegative;
  for (const BasicSection::Row& row : BasicSection::rows()) {
    settings.*row.field = (row.lowest + row.highest) / 3;
  }
  session.model->storeSettings(1, settings);
  session.select(0);
  InspectorView view(*session.model);
  showExposed(view);
  Times times(state, "refresh");
  size_t next = 1;
  for (auto _ : state) {
    const auto start = Clock::now();
    session.select(next);
    nextTurn();
    times.add(since(start));
    next = 1 - next;
  }
}
BENCHMARK(SelectionChangeRefresh)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(400);

// A 24-megapixel scan with the real clock in the hybrid mode, shown and quiet.
struct LiveSession {
  LiveSession() {
    offscreenApplication();
    services.writeSettingsFile(everySectionOpen() + "previewMode=hybrid\n");
    ModelServices parts{clock,
                        services.dialogs,
                        services.workspace,
                        services.telemetry,
                        services.settingsPath(),
                        services.renderBackend};
    model = std::make_unique<AppModel>(parts);
    ImageItem item;
    item.url = dir / "scan.dng";
    std::filesystem::copy_file(BenchImages::negativeDng24mp(), item.url);
    model->setItems({item});
    model->setSelection(model->items()[0].id);
    view = std::make_unique<InspectorView>(*model);
    showExposed(*view);
    quiet();
  }
  double until(const std::function<bool()>& done) {
    const auto start = Clock::now();
    while (!done()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return since(start);
  }
  void quiet() {
    until([&] {
      return model->preview() && !model->isRendering() && model->plain().fullJob.isFinished() &&
             model->plain().histogramTask.isFinished() && !model->previewRenderer().isBusy() &&
             !model->fastRenderer().isBusy() && !model->lightRenderer().isBusy();
    });
  }
  bool quickPublished(const std::shared_ptr<const PreviewImage>& before) const {
    return model->preview() && model->preview() != before && model->previewIsFast();
  }

  TempDir dir;
  TestServices services;
  SteadyClock clock;
  std::unique_ptr<AppModel> model;
  std::unique_ptr<InspectorView> view;
};

// The same exposure step made through the Exposure row's slider and on the model alone, turn
// about in one session, so the machine's load weighs on both alike.
void EditToQuickPreview(benchmark::State& state) {
  LiveSession s;
  ValueSlider* slider = s.view->findChild<AdjustRow*>("Exposure")->slider();
  Times throughSlider(state, "slider");
  Times onModel(state, "model", false);
  bool up = true;
  for (auto _ : state) {
    for (bool viaSlider : {true, false}) {
      const auto before = s.model->preview();
      const auto start = Clock::now();
      if (viaSlider) {
        slider->triggerAction(up ? QAbstractSlider::SliderSingleStepAdd
                                 : QAbstractSlider::SliderSingleStepSub);
      } else {
        const double exposure = up ? 0.06 : 0;
        s.model->editSelected([&](ConversionSettings& r) { r.exposure = exposure; });
      }
      s.until([&] { return s.quickPublished(before); });
      // What the window does with it next: the column's refresh.
      nextTurn();
      (viaSlider ? throughSlider : onModel).add(since(start));
      up = !up;
      s.quiet();
    }
  }
}
BENCHMARK(EditToQuickPreview)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace
