// Export: the program's self-test export of a 24-megapixel synthetic negative DNG end to end,
// against LibRaw's dcraw_emu -4 -T developing the same file in the same run (both as child
// processes, with their peak resident memory), and writing a 24-megapixel print as a 16-bit TIFF
// (colour conversion, LZW, metadata) and as a JPEG.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "ChildRun.h"
#include "Export/EarlierExport.h"
#include "Export/Exporter.h"
#include "TestSupport/TempDir.h"

namespace {

// The peak resident memory in megabytes of a run of the program, or −1 when it failed.
double runChild(const std::vector<std::string>& arguments,
                const std::vector<std::string>& extraEnv) {
  const auto cost = ChildRun::run(arguments, extraEnv);
  return cost ? cost->peakMB : -1;
}

void reportPeak(benchmark::State& state, double peak) {
  if (peak < 0) state.SkipWithError("the program failed");
  state.counters["peak_MB"] = peak;
}

void BM_DcrawEmuDevelop(benchmark::State& state) {
  const auto& dng = BenchImages::negativeDng24mp();
  double peak = 0;
  for (auto _ : state) peak = runChild({"dcraw_emu", "-4", "-T", dng.string()}, {});
  reportPeak(state, peak);
}
BENCHMARK(BM_DcrawEmuDevelop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SelfTestExport(benchmark::State& state) {
  const auto& dng = BenchImages::negativeDng24mp();
  TempDir out;
  const std::string spec = "KV_SELFTEST_EXPORT=" + dng.string() + "|" + out.path().string();
  double peak = 0;
  for (auto _ : state) peak = runChild({KV_PROGRAM}, {spec});
  reportPeak(state, peak);
}
BENCHMARK(BM_SelfTestExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A 6000 × 4000 print with gradients and fine grain, like a finished scan.
const PrintImage& print24() {
  static const PrintImage print = [] {
    PrintImage p(6000, 4000);
    std::mt19937 random(7);
    std::normal_distribution<float> grain(0.0f, 0.01f);
    for (int64_t y = 0; y < p.height; ++y)
      for (int64_t x = 0; x < p.width; ++x) {
        const float t = static_cast<float>(x + y) / static_cast<float>(p.width + p.height);
        float* v = p.row(y) + 3 * x;
        v[0] = 0.2f + 0.7f * t + grain(random);
        v[1] = 0.15f + 0.6f * t + grain(random);
        v[2] = 0.1f + 0.5f * (1 - t) + grain(random);
      }
    return p;
  }();
  return print;
}

FilmInfo filmInfo() {
  FilmInfo f;
  f.camera = "Nikon F3";
  f.lens = "50mm f/1.4";
  f.film = "Portra 400";
  f.iso = "400";
  f.shutter = "1/125";
  f.aperture = "f/2.8";
  f.dateTaken = "2024-05-17 14:30";
  f.photographer = "Anna Blum";
  return f;
}

void writeFile(benchmark::State& state, ExportFormat format, ExportColorSpace space) {
  const PrintImage& print = print24();
  TempDir out;
  ExportOptions options;
  options.colorSpace = space;
  const auto path = out / (format == ExportFormat::jpeg ? "print.jpg" : "print.tif");
  for (auto _ : state) {
    Exporter::write(print.width, print.height, print.rgb, path, format, options, filmInfo());
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

void BM_WriteTiff16AdobeRGB(benchmark::State& state) {
  writeFile(state, ExportFormat::tiff16, ExportColorSpace::adobeRGB);
}
BENCHMARK(BM_WriteTiff16AdobeRGB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteTiff16DisplayP3(benchmark::State& state) {
  writeFile(state, ExportFormat::tiff16, ExportColorSpace::displayP3);
}
BENCHMARK(BM_WriteTiff16DisplayP3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteJpegSRGB(benchmark::State& state) {
  writeFile(state, ExportFormat::jpeg, ExportColorSpace::sRGB);
}
BENCHMARK(BM_WriteJpegSRGB)->Unit(benchmark::kMillisecond)->UseRealTime();

// The check before an export replaces a file: is it an earlier export? Its directory sits at the
// end of a 24-megapixel TIFF; a JPEG's Exif segment at its start.
void recogniseEarlierExport(benchmark::State& state, ExportFormat format) {
  const PrintImage& print = print24();
  TempDir out;
  const auto path = out / (format == ExportFormat::jpeg ? "print.jpg" : "print.tif");
  Exporter::write(print.width, print.height, print.rgb, path, format, {}, filmInfo());
  for (auto _ : state) benchmark::DoNotOptimize(EarlierExport::recognise(path));
}

void BM_RecogniseEarlierTiff(benchmark::State& state) {
  recogniseEarlierExport(state, ExportFormat::tiff16);
}
BENCHMARK(BM_RecogniseEarlierTiff)->Unit(benchmark::kMicrosecond);

void BM_RecogniseEarlierJpeg(benchmark::State& state) {
  recogniseEarlierExport(state, ExportFormat::jpeg);
}
BENCHMARK(BM_RecogniseEarlierJpeg)->Unit(benchmark::kMicrosecond);

}  // namespace
