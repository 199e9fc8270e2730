// A 500-scan project: saving it, and opening it until its selected scan is selected (the
// session built, the recent list noted). Every scan carries an edited record (crop, exposure,
// a curve, a few repairs), as a worked-through roll does. Run pinned to two cores
// (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include "Model/AppModel.h"
#include "Record/Spot.h"
#include "Services/SteadyClock.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

namespace fs = std::filesystem;

constexpr int scanCount = 500;

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "Projects_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

class NoDialogs final : public DialogService {
 public:
  QCoro::Task<std::vector<fs::path>> openPanel(OpenPanel) override { co_return {}; }
  QCoro::Task<std::optional<fs::path>> folderPanel(FolderPanel) override { co_return {}; }
  QCoro::Task<std::optional<fs::path>> savePanel(SavePanel) override { co_return {}; }
  QCoro::Task<int> alert(Alert) override { co_return 2; }
};

class QuietWorkspace final : public Workspace {
 public:
  void reveal(const fs::path&) override {}
  void noteRecentDocument(const fs::path&) override {}
};

struct Session {
  TempDir dir;
  QTemporaryDir settings;
  SteadyClock clock;
  NoDialogs dialogs;
  QuietWorkspace workspace;
  NoTelemetry telemetry;
  std::vector<ImageItem> items;

  Session() {
    const fs::path source = dir / "source.tif";
    ScanFixtures::writeTiff(source, {});
    fs::create_directories(dir / "roll");
    for (int i = 0; i < scanCount; ++i) {
      ImageItem item;
      fs::path name = "F";
      name += std::to_string(1000 + i);
      name += ".tif";
      item.url = dir / "roll" / name;
      fs::create_hard_link(source, item.url);
      item.settings.exposure = 0.1 * (i % 7);
      item.settings.crop = NormRect{0.05, 0.05, 0.9, 0.9};
      for (int s = 0; s < 5; ++s) {
        item.settings.spots.push_back(makeSpot(0.1 + 0.1 * s, 0.2, 0.01));
      }
      items.push_back(std::move(item));
    }
  }
  ModelServices services() {
    return {clock, dialogs, workspace, telemetry, settings.filePath("k.conf")};
  }
};

Session& session() {
  static Session s;
  return s;
}

void BM_SaveProject500(benchmark::State& state) {
  application();
  Session& s = session();
  AppModel model(s.services());
  model.setItems(s.items);
  model.setSelection(s.items[250].id);
  const fs::path project = s.dir / "roll.kelvadorium";
  for (auto _ : state) {
    if (!model.saveProject(project)) state.SkipWithError("the save failed");
  }
}
BENCHMARK(BM_SaveProject500)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_OpenProject500(benchmark::State& state) {
  application();
  Session& s = session();
  const fs::path project = s.dir / "open.kelvadorium";
  {
    AppModel model(s.services());
    model.setItems(s.items);
    model.setSelection(s.items[250].id);
    model.saveProject(project);
  }
  AppModel model(s.services());
  for (auto _ : state) {
    QCoro::waitFor(model.openProject(project));
    if (model.selectedIndex() != 250u) state.SkipWithError("the selected scan is not selected");
  }
}
BENCHMARK(BM_OpenProject500)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace
