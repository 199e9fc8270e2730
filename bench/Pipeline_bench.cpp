// The print stage alone on a preview-sized scan with the default record.
#include <benchmark/benchmark.h>

#include "BenchImages.h"
#include "Print/Pipeline.h"

namespace {

void BM_PipelineRenderDefault(benchmark::State& state) {
  const LinearImage scan = BenchImages::negative(state.range(0), state.range(1));
  FilmAnalysis analysis;
  analysis.dMin = {0.15, 0.35, 0.6};
  analysis.dMax = {1.6, 1.8, 2.1};
  const ConversionSettings settings;
  for (auto _ : state) {
    PrintImage print = Pipeline::render(scan, analysis, settings);
    benchmark::DoNotOptimize(print.rgb.data());
  }
}
BENCHMARK(BM_PipelineRenderDefault)
    ->Args({2400, 1600})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
