// Auto-crop of a synthetic light-table camera scan, and the film-holder composite of a
// preview-sized print.
#include <benchmark/benchmark.h>

#include "Conversion/AutoCrop.h"
#include "Finishing/FilmFrames.h"
#include "TestSupport/LightTableScan.h"

namespace {

void BM_AutoCropDetect(benchmark::State& state) {
  const auto scan = makeLightTableScan(state.range(0), state.range(1));
  for (auto _ : state)
    benchmark::DoNotOptimize(AutoCrop::detect(scan.image, FilmMode::colorNegative));
}
BENCHMARK(BM_AutoCropDetect)->Args({2400, 1600})->Args({6000, 4000})->Unit(benchmark::kMillisecond);

void BM_FilmFrameComposite(benchmark::State& state) {
  PrintImage print(2400, 1600);
  std::fill(print.rgb.begin(), print.rgb.end(), 0.5f);
  const auto frame = FilmFrames::frame("holder35");
  const auto overlay = frame ? FilmFrames::image(*frame) : nullptr;
  if (!overlay) {
    state.SkipWithError("no frame holder35 in the resource bundle");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(FilmFrames::composite(print, *frame, *overlay));
}
BENCHMARK(BM_FilmFrameComposite)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
