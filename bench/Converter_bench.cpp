// The conversion driver with the default record: a preview-sized render, and a full-size render
// against the full-size decode of the same DNG, measured in the same run.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "BenchImages.h"
#include "Conversion/Decoder.h"
#include "Driver/Converter.h"

namespace {

void BM_ProcessDefaultPreview(benchmark::State& state) {
  const LinearImage scan = BenchImages::negative(2400, 1600);
  const ConversionSettings settings;
  const FilmAnalysis analysis = Converter::analyze(scan, settings);
  // Untimed first call: the first large buffers of a process cost more to map.
  Converter::process(scan, analysis, settings, true, true);
  for (auto _ : state) {
    PrintImage print = Converter::process(scan, analysis, settings, true, true);
    benchmark::DoNotOptimize(print.rgb.data());
  }
}
BENCHMARK(BM_ProcessDefaultPreview)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeFullSize(benchmark::State& state) {
  const auto& path = BenchImages::negativeDng24mp();
  Decoder::decode(path, 0, false, 1);
  for (auto _ : state) {
    LinearImage scan = Decoder::decode(path, 0, false, 1);
    benchmark::DoNotOptimize(scan.pixels());
  }
}
BENCHMARK(BM_DecodeFullSize)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProcessDefaultFullSize(benchmark::State& state) {
  const LinearImage scan = Decoder::decode(BenchImages::negativeDng24mp(), 0, false, 1);
  const ConversionSettings settings;
  const FilmAnalysis analysis = Converter::analyze(scan, settings);
  // Untimed first call: the first large buffers of a process cost more to map.
  Converter::process(scan, analysis, settings, true, true);
  for (auto _ : state) {
    PrintImage print = Converter::process(scan, analysis, settings, true, true);
    benchmark::DoNotOptimize(print.rgb.data());
  }
}
BENCHMARK(BM_ProcessDefaultFullSize)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
