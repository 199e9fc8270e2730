// The GUI thread's share of editing: one slider tick on a record of 1,000 repairs, undo and redo
// of one step and of a paste onto 300 such scans, one sidecar save into a folder sidecar of
// 1,000 records, and the memory a full history of 300 such entries holds.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QCoreApplication>
#include <memory>
#include <string>

#include "Export/FolderEdits.h"
#include "Model/AppModel.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace {

void ensureApplication() {
  static int argc = 1;
  static char name[] = "EditHistory_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication application(argc, argv);
}

ConversionSettings thousandSpots() {
  ConversionSettings settings;
  for (int i = 0; i < 1000; ++i) {
    Spot spot = makeSpot(0.001 * i, 0.5, 0.01, 0.2, 0.3);
    spot.feather = 1.4;
    spot.opacity = 1;
    settings.spots.push_back(spot);
  }
  return settings;
}

struct Session {
  explicit Session(size_t scans) {
    ensureApplication();
    model = std::make_unique<AppModel>(services.services());
    const ConversionSettings record = thousandSpots();
    std::vector<ImageItem> items(scans);
    for (size_t i = 0; i < scans; ++i) {
      items[i].url = folder / ("IMG_" + std::to_string(i) + ".tif");
      items[i].settings = record;
    }
    model->setItems(std::move(items));
    model->setSelection(model->items()[0].id);
  }
  std::vector<Uuid> ids() const {
    std::vector<Uuid> all;
    for (const ImageItem& item : model->items()) all.push_back(item.id);
    return all;
  }

  TestServices services;
  TempDir folder;
  std::unique_ptr<AppModel> model;
};

// Ticks of one drag merge into one entry: a copy, a comparison, the merge and the bookkeeping.
void BM_SliderTick(benchmark::State& state) {
  Session session(1);
  double value = 0;
  for (auto _ : state) {
    value += 0.001;
    session.model->editSelected([&](ConversionSettings& s) { s.exposure = value; });
  }
}
BENCHMARK(BM_SliderTick)->Unit(benchmark::kMicrosecond);

// One undo and one redo of a step of one scan.
void BM_UndoRedoOneStep(benchmark::State& state) {
  Session session(1);
  session.model->editSelected([](ConversionSettings& s) { s.exposure = 1; });
  for (auto _ : state) {
    session.model->undo();
    session.model->redo();
  }
}
BENCHMARK(BM_UndoRedoOneStep)->Unit(benchmark::kMicrosecond);

// One undo and one redo of a paste onto 300 scans of 1,000 repairs each.
void BM_UndoRedoPasteOnto300(benchmark::State& state) {
  Session session(300);
  session.model->editScans(session.ids(), [](ConversionSettings& s) { s.contrast = 1.3; });
  for (auto _ : state) {
    session.model->undo();
    session.model->redo();
  }
}
BENCHMARK(BM_UndoRedoPasteOnto300)->Unit(benchmark::kMillisecond);

// The write a save makes on the GUI thread, into a folder sidecar of 1,000 records.
void BM_SidecarSaveInto1000Records(benchmark::State& state) {
  Session session(1);
  for (int i = 0; i < 1000; ++i) {
    FolderEdits::setSettings(ConversionSettings{},
                             session.folder / ("IMG_" + std::to_string(i + 1) + ".tif"));
  }
  const Uuid id = session.model->items()[0].id;
  for (auto _ : state) {
    session.model->scheduleSidecarSave(id);
    session.model->flushSidecarSaves();
  }
}
BENCHMARK(BM_SidecarSaveInto1000Records)->Unit(benchmark::kMillisecond);

// Heap held by a full history: 300 entries, each two records of 1,000 repairs.
void BM_FullHistoryMemory(benchmark::State& state) {
  for (auto _ : state) {
    Session session(1);
    const Uuid id = session.model->items()[0].id;
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 300; ++i) {
      session.model->editScans({id}, [&](ConversionSettings& s) { s.exposure = i + 1; });
    }
    const size_t after = mallinfo2().uordblks;
    state.counters["historyMB"] = static_cast<double>(after - before) / 1e6;
    state.counters["entries"] = static_cast<double>(session.model->plain().undoStack.size());
  }
}
BENCHMARK(BM_FullHistoryMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
