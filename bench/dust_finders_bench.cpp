// The classic dust finders on a grainy 2400 × 1600 negative with 30 specks and two hairs: the
// spot finder in both polarities (as the scan pass of a colour negative calls it), the hair
// finder, and the three together, which is the classic pass's detection work. The "PeakMemory"
// case runs the three once, first in the process, and reports how much the resident memory grew
// beyond the scan itself; the other cases report the cores the pool uses.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "Dust/DustHairFinder.h"
#include "Dust/DustSpotFinder.h"
#include "Support/ParallelFor.h"
#include "TestSupport/DustyScan.h"

namespace {

const LinearImage& dustyNegative() {
  static const LinearImage image = [] {
    std::vector<DustyScan::Speck> specks;
    const double radii[] = {1.5, 2.5, 3.5, 5, 7};
    for (int k = 0; k < 30; ++k)
      specks.push_back({200 + (k % 6) * 390 + 0.3 * k, 200 + (k / 6) * 290 + 0.7 * (k % 6),
                        radii[k % 5], k % 2 ? 0.45f : -0.45f});
    const std::vector<DustyScan::Line> hairs = {{600, 500, 773, 600, 2, 0.3f},
                                                {1500, 900, 1540, 1150, 1.5f, 0.25f}};
    return DustyScan::make({}, specks, hairs);
  }();
  return image;
}

size_t classicPass(const LinearImage& image) {
  const int64_t w = image.width(), h = image.height();
  size_t found =
      DustDetector::findSpotsWholeFrame(w, h, image.pixels(), 1500, true, 1.2f, 1, 0.5).size();
  found += DustDetector::findHairsWholeFrame(w, h, image.pixels(), 0.5).size();
  found +=
      DustDetector::findSpotsWholeFrame(w, h, image.pixels(), 1500, true, std::nullopt, -1, 0.5)
          .size();
  return found;
}

// A field of /proc/self/status in kibibytes.
int64_t statusKiB(const std::string& field) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
  return -1;
}

void BM_PeakMemory(benchmark::State& state) {
  const LinearImage& image = dustyNegative();
  for (auto _ : state) {
    const int64_t before = statusKiB("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // the high-water mark restarts here
    benchmark::DoNotOptimize(classicPass(image));
    state.counters["peakExtraMB"] = static_cast<double>(statusKiB("VmHWM") - before) / 1024;
  }
}
BENCHMARK(BM_PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void reportCores(benchmark::State& state) {
  state.counters["cores"] = ParallelFor::activeProcessorCount();
}

void BM_SpotFinderDense(benchmark::State& state) {
  const LinearImage& image = dustyNegative();
  for (auto _ : state)
    benchmark::DoNotOptimize(DustDetector::findSpotsWholeFrame(
        image.width(), image.height(), image.pixels(), 1500, true, 1.2f, 1, 0.5));
  reportCores(state);
}
BENCHMARK(BM_SpotFinderDense)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SpotFinderLight(benchmark::State& state) {
  const LinearImage& image = dustyNegative();
  for (auto _ : state)
    benchmark::DoNotOptimize(DustDetector::findSpotsWholeFrame(
        image.width(), image.height(), image.pixels(), 1500, true, std::nullopt, -1, 0.5));
  reportCores(state);
}
BENCHMARK(BM_SpotFinderLight)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HairFinder(benchmark::State& state) {
  const LinearImage& image = dustyNegative();
  for (auto _ : state)
    benchmark::DoNotOptimize(
        DustDetector::findHairsWholeFrame(image.width(), image.height(), image.pixels(), 0.5));
  reportCores(state);
}
BENCHMARK(BM_HairFinder)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ClassicPassBothPolaritiesAndHairs(benchmark::State& state) {
  const LinearImage& image = dustyNegative();
  for (auto _ : state) benchmark::DoNotOptimize(classicPass(image));
  reportCores(state);
}
// Its CPU column is the time of all the process's threads: on a machine shared with other work,
// real time divided by the cores overstates the wait, and CPU time over the cores bounds it.
BENCHMARK(BM_ClassicPassBothPolaritiesAndHairs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace
