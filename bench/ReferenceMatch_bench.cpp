// One reference match at the application's size (a 450 × 300 decode): against a print of the
// same scan made with other settings, and against a different picture. The counter "prints" is
// the number of prints the match made.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "Driver/Converter.h"
#include "Driver/ReferenceSearch.h"
#include "TestSupport/ReferenceScenes.h"

namespace {

const LinearImage& scan() {
  static const LinearImage image = ReferenceScenes::colourNegative(450, 300);
  return image;
}

PrintImage printOf(const LinearImage& negative, const ConversionSettings& settings) {
  return Converter::process(negative, Converter::analyze(negative, settings), settings, true,
                            false);
}

void runMatches(benchmark::State& state, const ReferencePicture& reference) {
  int64_t prints = 0;
  double after = 0;
  for (auto _ : state) {
    ReferenceSearch search(scan(), ConversionSettings{}, reference);
    after = search.run({}).after;
    prints = search.printCount();
  }
  state.counters["prints"] = static_cast<double>(prints);
  state.counters["after"] = after;
}

void BM_MatchSamePicture(benchmark::State& state) {
  ConversionSettings target;
  target.exposure = 0.6;
  target.temperature = 25;
  target.contrast = 1.25;
  target.shadows = 20;
  runMatches(state, ReferenceScenes::pictureOf(printOf(scan(), target)));
}
BENCHMARK(BM_MatchSamePicture)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A 12 × 8 grid of random colour tiles, warmer and brighter than the scene's print.
PrintImage tiles(int64_t width, int64_t height) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> level(0.2f, 1.0f);
  std::vector<std::array<float, 3>> colours(96);
  for (auto& colour : colours) colour = {level(random), 0.8f * level(random), 0.6f * level(random)};
  PrintImage picture(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x)
      std::copy_n(colours[(y * 8 / height) * 12 + x * 12 / width].data(), 3,
                  picture.row(y) + 3 * x);
  return picture;
}

void BM_MatchDifferentPicture(benchmark::State& state) {
  runMatches(state, ReferenceScenes::pictureOf(tiles(600, 400)));
}
BENCHMARK(BM_MatchDifferentPicture)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
