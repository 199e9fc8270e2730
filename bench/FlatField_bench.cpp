// What even-light correction adds to a preview decode: a 6000 × 4000 Bayer DNG decoded at 0.4
// (2400 × 1600) plainly and through the correction with the blank frame's gain map already
// cached, the gain step alone, the cached lookup, and the one-time measurement of a blank frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "Conversion/Decoder.h"
#include "Conversion/FlatField.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

constexpr int64_t width = 6000;
constexpr int64_t height = 4000;
constexpr double previewScale = 0.4;

// Light falling off by about 20 % into the corners.
float falloff(int64_t x, int64_t y, int64_t w, int64_t h) {
  const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(w) * 2 - 1;
  const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(h) * 2 - 1;
  const float r2 = u * u + v * v;
  return 1 - 0.07f * r2 - 0.015f * r2 * r2;
}

TempDir& folder() {
  static TempDir dir;
  return dir;
}

// A textured scene under the fall-off, as the camera recorded it.
const std::filesystem::path& scan() {
  static const std::filesystem::path path = [] {
    ScanFixtures::Dng dng;
    dng.width = width;
    dng.height = height;
    dng.pattern = [](int64_t x, int64_t y) {
      const float light = falloff(x, y, width, height);
      const float texture =
          0.05f * std::sin(static_cast<float>(x) * 0.37f) * std::cos(static_cast<float>(y) * 0.23f);
      return std::array<float, 4>{light * (0.6f + texture), light * 0.4f, light * (0.25f - texture),
                                  1.0f};
    };
    const auto file = folder() / "scan-24mp.dng";
    ScanFixtures::writeDng(file, dng);
    return file;
  }();
  return path;
}

const std::filesystem::path& blankFrame() {
  static const std::filesystem::path path = [] {
    ScanFixtures::Tiff tiff;
    tiff.width = 1200;
    tiff.height = 800;
    tiff.bitsPerSample = 16;
    tiff.icc = ScanFixtures::linearDisplayP3Profile();
    tiff.pattern = [](int64_t x, int64_t y) {
      const float light = 0.9f * falloff(x, y, 1200, 800);
      return std::array<float, 4>{light, light, light, 1.0f};
    };
    const auto file = folder() / "blank.tif";
    ScanFixtures::writeTiff(file, tiff);
    return file;
  }();
  return path;
}

ConversionSettings correcting() {
  ConversionSettings settings;
  settings.flatField = blankFrame().string();
  return settings;
}

void BM_DecodeRawPreview(benchmark::State& state) {
  const std::filesystem::path& path = scan();  // written before the timing starts
  for (auto _ : state) {
    LinearImage image = Decoder::decode(path, 0, false, previewScale);
    benchmark::DoNotOptimize(image.pixels());
  }
}
BENCHMARK(BM_DecodeRawPreview)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeRawPreviewCorrected(benchmark::State& state) {
  const ConversionSettings settings = correcting();
  const std::filesystem::path& path = scan();
  FlatField::gainMap(blankFrame(), 0, false);  // measured once, then cached
  for (auto _ : state) {
    LinearImage image = FlatField::decodeCorrected(path, settings, previewScale);
    benchmark::DoNotOptimize(image.pixels());
  }
}
BENCHMARK(BM_DecodeRawPreviewCorrected)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ApplyGainPreview(benchmark::State& state) {
  const LinearImage decoded = Decoder::decode(scan(), 0, false, previewScale);
  const FlatField::GainMap map = FlatField::gainMap(blankFrame(), 0, false);
  LinearImage image(decoded.width(), decoded.height());
  for (auto _ : state) {
    state.PauseTiming();  // fresh pixels every time, copied outside the timing
    std::copy_n(decoded.pixels(), decoded.valueCount(), image.mutablePixels());
    state.ResumeTiming();
    benchmark::DoNotOptimize(FlatField::applyGain(map, image));
  }
}
BENCHMARK(BM_ApplyGainPreview)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CachedGainMap(benchmark::State& state) {
  FlatField::gainMap(blankFrame(), 0, false);
  for (auto _ : state) {
    FlatField::GainMap map = FlatField::gainMap(blankFrame(), 0, false);
    benchmark::DoNotOptimize(map.gain.data());
  }
}
BENCHMARK(BM_CachedGainMap)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FitGainMap(benchmark::State& state) {
  const LinearImage blank = Decoder::decode(blankFrame(), 0, false, 0.32);  // 384 × 256
  for (auto _ : state) {
    FlatField::GainMap map = FlatField::fitGainMap(blank);
    benchmark::DoNotOptimize(map.gain.data());
  }
}
BENCHMARK(BM_FitGainMap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
