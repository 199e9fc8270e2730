// The dust model on a 4000 × 2667 plane, the largest the model pass shows it: the tiled
// prediction alone, with the spot extraction, and the whole model pass from a decoded negative
// (render, luminance, prediction, spots). OpenCV is held to 2 threads; run under
// `taskset -c 0,1` so the library's own pool has 2 cores as well.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "Driver/Converter.h"
#include "Driver/DustPasses.h"
#include "Dust/DustModel.h"
#include "TestSupport/DustyScan.h"

namespace {

constexpr int64_t width = 4000, height = 2667;

const LinearImage& negative() {
  static const LinearImage scan = [] {
    DustyScan::Options options;
    options.width = width;
    options.height = height;
    return DustyScan::make(options, {{1000, 900, 3, 0.6f}, {2500, 1800, 5, 0.6f}},
                           {{1500, 500, 1700, 600, 2, 0.4f}});
  }();
  return scan;
}

const std::vector<float>& plane() {
  static const std::vector<float> luma = [] {
    ConversionSettings settings;
    const auto analysis = Converter::analyze(negative(), settings);
    const auto print = Converter::process(negative(), analysis, settings, false, false);
    return DustModel::inputLuminance(print.width, print.height, print.rgb);
  }();
  return luma;
}

void BM_PredictPlane(benchmark::State& state) {
  cv::setNumThreads(2);
  if (!DustModel::isAvailable()) return state.SkipWithError("no dust model");
  const auto& luma = plane();
  for (auto _ : state) benchmark::DoNotOptimize(DustModel::predict(luma, width, height, 1024, 32));
}
BENCHMARK(BM_PredictPlane)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PredictAndSpots(benchmark::State& state) {
  cv::setNumThreads(2);
  if (!DustModel::isAvailable()) return state.SkipWithError("no dust model");
  const auto& luma = plane();
  for (auto _ : state) {
    const auto prob = DustModel::predict(luma, width, height, 1024, 32);
    benchmark::DoNotOptimize(DustModel::spotsFromProbability(
        *prob, width, height, DustModel::maxSpots, [](double, double) { return true; }, 0.5));
  }
}
BENCHMARK(BM_PredictAndSpots)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ModelFinds(benchmark::State& state) {
  cv::setNumThreads(2);
  if (!DustModel::isAvailable()) return state.SkipWithError("no dust model");
  ConversionSettings settings;
  const auto analysis = Converter::analyze(negative(), settings);
  for (auto _ : state)
    benchmark::DoNotOptimize(Converter::modelFinds(negative(), analysis, settings, 0.5));
}
BENCHMARK(BM_ModelFinds)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
