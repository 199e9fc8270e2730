// A renderer's costs on 24-megapixel scans: a proxy miss at each renderer's long edge beside
// the decode alone, a hit, the screen copy of a 2400 × 1600 preview, both images of a
// 24-megapixel picture, and what each renderer holds when full. Run pinned to two cores
// (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "BenchImages.h"
#include "Conversion/Decoder.h"
#include "Conversion/FlatField.h"
#include "Export/Exporter.h"
#include "Rendering/PreviewImage.h"
#include "Rendering/RenderCache.h"
#include "Rendering/ScreenCopy.h"

namespace {

const std::filesystem::path& scan(int64_t kind) {
  return kind == 0 ? BenchImages::negativeDng24mp() : BenchImages::negativeTiff24mp();
}

// range(0): long edge; range(1): 0 DNG, 1 TIFF.
void ProxyMiss(benchmark::State& state) {
  const auto& file = scan(state.range(1));
  const ConversionSettings settings;
  for (auto _ : state) {
    RenderCache cache(state.range(0), 1);
    benchmark::DoNotOptimize(cache.proxy(file, settings));
  }
}

void DecodeAlone(benchmark::State& state) {
  const auto& file = scan(state.range(1));
  const ConversionSettings settings;
  const double scale = RenderCache(state.range(0), 1).proxyScale(file);
  for (auto _ : state) benchmark::DoNotOptimize(FlatField::decodeCorrected(file, settings, scale));
}

// What a miss adds to the decode: reading the file's size from its header.
void PixelSize(benchmark::State& state) {
  const auto& file = scan(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(Decoder::pixelSize(file));
}

void ProxyHit(benchmark::State& state) {
  const auto& file = scan(state.range(1));
  const ConversionSettings settings;
  RenderCache cache(state.range(0), 4);
  cache.proxy(file, settings);
  for (auto _ : state) benchmark::DoNotOptimize(cache.proxy(file, settings));
}

void ScreenCopy2400x1600(benchmark::State& state) {
  PrintImage print(2400, 1600);
  for (size_t i = 0; i < print.rgb.size(); ++i) print.rgb[i] = static_cast<float>(i % 997) / 997;
  const auto image = Exporter::makeCGImage(print.width, print.height, print.rgb);
  for (auto _ : state) benchmark::DoNotOptimize(ScreenCopy::make(*image));
}

// Both images of a published 24-megapixel picture (the 1:1 detail's): the 16-bit image and the
// screen copy, each in new memory as in every render. The CPU column counts every thread.
void PictureOf24mpPrint(benchmark::State& state) {
  PrintImage print = PrintImage::forOverwrite(6000, 4000);
  for (size_t i = 0; i < print.rgb.size(); ++i) print.rgb[i] = static_cast<float>(i % 997) / 997;
  for (auto _ : state) benchmark::DoNotOptimize(PreviewImage::make(print));
}

// Bytes each renderer holds when full of 24-megapixel scans: one proxy's bytes at its long edge
// times its capacity (every scan decodes to the same size).
void FullRendererBytes(benchmark::State& state) {
  struct Size {
    const char* name;
    int64_t longEdge, capacity;
  };
  const Size sizes[] = {{"detail", 1000000, 1},
                        {"preview", 2400, 4},
                        {"fast", 1200, 4},
                        {"light", 1600, 6},
                        {"thumb", 320, 400}};
  for (auto _ : state) {
    for (const Size& size : sizes) {
      RenderCache cache(size.longEdge, size.capacity);
      cache.proxy(scan(0), {});
      const double bytes = static_cast<double>(cache.counts().cachedBytes * size.capacity);
      state.counters[std::string(size.name) + "_MB"] = bytes / 1e6;
    }
  }
}

}  // namespace

BENCHMARK(ProxyMiss)->ArgsProduct({{2400, 1200, 320}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeAlone)->ArgsProduct({{2400, 1200, 320}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(PixelSize)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(ProxyHit)->ArgsProduct({{2400, 320}, {0}})->Unit(benchmark::kMicrosecond);
BENCHMARK(ScreenCopy2400x1600)->Unit(benchmark::kMillisecond);
BENCHMARK(PictureOf24mpPrint)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(FullRendererBytes)->Iterations(1)->Unit(benchmark::kSecond);
