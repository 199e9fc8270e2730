// Straightening a preview-sized scan: resampling into a new 61 MB image.
#include <benchmark/benchmark.h>

#include "BenchImages.h"
#include "Conversion/Geometry.h"

namespace {

void BM_StraightenAndCrop5Degrees(benchmark::State& state) {
  const LinearImage scan = BenchImages::negative(state.range(0), state.range(1));
  // Untimed first call: the first large buffers of a process cost more to map.
  Geometry::straightenAndCrop(scan, 5, NormRect::full);
  for (auto _ : state) {
    LinearImage out = Geometry::straightenAndCrop(scan, 5, NormRect::full);
    benchmark::DoNotOptimize(out.pixels());
  }
}
BENCHMARK(BM_StraightenAndCrop5Degrees)
    ->Args({2400, 1600})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
