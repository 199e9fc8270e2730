// Healing on a 2400 × 1600 textured scan, the size of a full preview: 200 dust spots of radius
// 0.004, and one brushed stroke of radius 0.0007 from corner to corner (some 2,900 spots in one
// group). Sources are searched within the run, as for repairs stored without one; the image
// is shared on entry, so the copy a render makes before healing is counted too.
#include <benchmark/benchmark.h>

#include <random>

#include "Dust/Healer.h"
#include "Record/SpotPath.h"
#include "Support/ParallelFor.h"
#include "TestSupport/TexturedImage.h"

namespace {

constexpr int64_t kWidth = 2400;
constexpr int64_t kHeight = 1600;

const LinearImage& scan() {
  static const LinearImage image = texturedImage(kWidth, kHeight, 2024);
  return image;
}

std::vector<Spot> dustSpots(bool withSources) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> position(0.02, 0.98);
  std::vector<Spot> spots;
  for (int i = 0; i < 200; ++i) {
    Spot spot = makeSpot(position(random), position(random), 0.004);
    if (withSources) {
      spot.sx = spot.x + 0.006;
      spot.sy = spot.y;
    }
    spots.push_back(spot);
  }
  return spots;
}

void heal(benchmark::State& state, const std::vector<Spot>& spots) {
  scan();  // made before timing starts
  for (auto _ : state) {
    LinearImage image = scan();
    Healer::apply(image, spots);
    benchmark::DoNotOptimize(image.pixels());
  }
  state.counters["cores"] = ParallelFor::activeProcessorCount();
  state.counters["spots"] = static_cast<double>(spots.size());
}

void BM_Heal200DustSpots(benchmark::State& state) { heal(state, dustSpots(false)); }
void BM_Heal200DustSpotsWithSources(benchmark::State& state) { heal(state, dustSpots(true)); }

void BM_HealBrushedStrokeCornerToCorner(benchmark::State& state) {
  heal(state, alongPath({{0.0, 0.0}, {1.0, 1.0}}, kWidth, kHeight, 0.0007));
}

void BM_CopyScanOnly(benchmark::State& state) {
  scan();
  for (auto _ : state) {
    LinearImage image = scan();
    benchmark::DoNotOptimize(image.mutablePixels());
  }
  state.counters["cores"] = ParallelFor::activeProcessorCount();
}

}  // namespace

BENCHMARK(BM_Heal200DustSpots)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Heal200DustSpotsWithSources)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HealBrushedStrokeCornerToCorner)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyScanOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
