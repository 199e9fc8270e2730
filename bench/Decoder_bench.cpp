// Decoding a 24-megapixel Bayer DNG (full size, beside LibRaw's own dcraw_emu -4 -T on the same
// file, and at scale 0.25) and a 24-megapixel 16-bit sRGB TIFF (beside libtiff reading its
// strips alone). Each benchmark reports the process's peak resident memory so far.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <tiffio.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Conversion/Decoder.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

constexpr int64_t width = 6000;
constexpr int64_t height = 4000;

// Smooth colour gradients with some texture, so neither demosaicing nor coding is trivial.
ScanFixtures::Pattern scene() {
  return [](int64_t x, int64_t y) {
    const float u = static_cast<float>(x) / width, v = static_cast<float>(y) / height;
    const float texture = 0.05f * std::sin(static_cast<float>(x) * 0.37f) * std::cos(y * 0.23f);
    return std::array<float, 4>{0.1f + 0.7f * u + texture, 0.2f + 0.5f * v, 0.6f - 0.4f * u * v,
                                1.0f};
  };
}

TempDir& folder() {
  static TempDir dir;
  return dir;
}

const std::filesystem::path& dng() {
  static const std::filesystem::path path = [] {
    ScanFixtures::Dng request;
    request.width = width;
    request.height = height;
    request.pattern = scene();
    const auto file = folder() / "scene-24mp.dng";
    ScanFixtures::writeDng(file, request);
    return file;
  }();
  return path;
}

const std::filesystem::path& tiff() {
  static const std::filesystem::path path = [] {
    ScanFixtures::Tiff request;
    request.width = width;
    request.height = height;
    request.bitsPerSample = 16;
    request.pattern = scene();
    const auto file = folder() / "scene-24mp.tif";
    ScanFixtures::writeTiff(file, request);
    return file;
  }();
  return path;
}

void reportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peakRSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_RawDecodeFullSize(benchmark::State& state) {
  const auto& file = dng();
  for (auto _ : state) benchmark::DoNotOptimize(Decoder::decode(file, 0, false, 1.0));
  reportPeakMemory(state);
}

void BM_DcrawEmuFullSize(benchmark::State& state) {
  const std::string command = "dcraw_emu -4 -T '" + dng().string() + "' 2>/dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("dcraw_emu failed");
}

void BM_RawDecodeQuarterScale(benchmark::State& state) {
  const auto& file = dng();
  for (auto _ : state) benchmark::DoNotOptimize(Decoder::decode(file, 0, false, 0.25));
  reportPeakMemory(state);
}

void BM_TiffDecode16BitSrgb(benchmark::State& state) {
  const auto& file = tiff();
  for (auto _ : state) benchmark::DoNotOptimize(Decoder::decode(file, 0, false, 1.0));
  reportPeakMemory(state);
}

// libtiff alone: every strip decoded into one buffer, no conversion.
void BM_TiffLibtiffStripsOnly(benchmark::State& state) {
  const auto& file = tiff();
  for (auto _ : state) {
    TIFF* t = TIFFOpen(file.c_str(), "r");
    const tmsize_t strip = TIFFStripSize(t);
    const uint32_t strips = TIFFNumberOfStrips(t);
    std::vector<uint8_t> pixels(static_cast<size_t>(strip) * strips);
    for (uint32_t s = 0; s < strips; ++s)
      TIFFReadEncodedStrip(t, s, pixels.data() + static_cast<size_t>(s) * strip, strip);
    benchmark::DoNotOptimize(pixels.data());
    TIFFClose(t);
  }
}

BENCHMARK(BM_RawDecodeFullSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DcrawEmuFullSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawDecodeQuarterScale)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffDecode16BitSrgb)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffLibtiffStripsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
