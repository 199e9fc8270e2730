// Storing one edit record into a folder sidecar that already holds 1,000 records: the cost of
// every sidecar save the application makes after an edit in a large roll.
#include <benchmark/benchmark.h>

#include <string>

#include "Export/FolderEdits.h"
#include "TestSupport/TempDir.h"

namespace {

void BM_SetSettingsIntoThousandRecords(benchmark::State& state) {
  TempDir dir;
  ConversionSettings settings;
  for (int i = 0; i < 1000; ++i) {
    settings.exposure = i * 0.01;
    FolderEdits::setSettings(settings, dir / ("IMG_" + std::to_string(i) + ".CR3"));
  }
  int step = 0;
  for (auto _ : state) {
    settings.exposure = ++step * 0.001;
    FolderEdits::setSettings(settings, dir / "IMG_500.CR3");
  }
}
BENCHMARK(BM_SetSettingsIntoThousandRecords)->Unit(benchmark::kMillisecond);

}  // namespace
