// Local edits and finishing at export and preview sizes: the brush and radial masks at
// 6000 × 4000, dodge & burn applied, and halation, vignette and grain at 2400 × 1600.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "Finishing/DodgeBurn.h"
#include "Finishing/FilmEffects.h"
#include "Finishing/LocalLayers.h"
#include "Finishing/RedEyeFix.h"

namespace {

const NormRect full{0, 0, 1, 1};

// A wandering 40-point stroke across most of the picture.
DodgeBurnStroke longStroke(double radius) {
  DodgeBurnStroke stroke;
  for (int i = 0; i < 40; ++i) {
    const double t = i / 39.0;
    stroke.points.push_back({0.1 + 0.8 * t, 0.5 + 0.3 * std::sin(t * 9.0)});
  }
  stroke.radius = radius;
  stroke.stops = 1;
  return stroke;
}

PrintImage testPrint(int64_t width, int64_t height) {
  PrintImage print(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        print.rgb[(y * width + x) * 3 + c] =
            0.5f + 0.5f * std::sin(0.01f * static_cast<float>(x + 3 * y + 50 * c));
  return print;
}

void BrushMask6000x4000(benchmark::State& state) {
  const std::vector<DodgeBurnStroke> strokes = {longStroke(0.05)};
  for (auto _ : state)
    benchmark::DoNotOptimize(DodgeBurn::mask(strokes, 6000, 4000, 6000, 4000, false, 0, full));
}
BENCHMARK(BrushMask6000x4000)->Unit(benchmark::kMillisecond)->UseRealTime();

void RadialMask6000x4000(benchmark::State& state) {
  const std::vector<DodgeBurnStroke> strokes = {
      DodgeBurnStroke::radial({0.5, 0.5}, 0.3, 0.2, 1, 0.5, state.range(0) != 0)};
  for (auto _ : state)
    benchmark::DoNotOptimize(DodgeBurn::mask(strokes, 6000, 4000, 6000, 4000, false, 0, full));
}
BENCHMARK(RadialMask6000x4000)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("invert")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void DodgeBurnApply6000x4000(benchmark::State& state) {
  const std::vector<DodgeBurnStroke> strokes = {longStroke(0.05)};
  const PrintImage original = testPrint(6000, 4000);
  for (auto _ : state) {
    state.PauseTiming();
    PrintImage print = original;
    state.ResumeTiming();
    DodgeBurn::apply(print, strokes, 6000, 4000, 0, full);
  }
}
BENCHMARK(DodgeBurnApply6000x4000)->Unit(benchmark::kMillisecond)->UseRealTime();

void LayerExposureContrast6000x4000(benchmark::State& state) {
  const std::vector<LocalLayer> layers = {LocalLayer{
      .name = "Layer", .shapes = {longStroke(0.05)}, .adjust = {.exposure = 0.5, .contrast = 30}}};
  const PrintImage original = testPrint(6000, 4000);
  for (auto _ : state) {
    state.PauseTiming();
    PrintImage print = original;
    state.ResumeTiming();
    LocalLayers::apply(print, layers, 6000, 4000, FilmMode::colorNegative, 0, full);
  }
}
BENCHMARK(LayerExposureContrast6000x4000)->Unit(benchmark::kMillisecond)->UseRealTime();

void EffectsTogether2400x1600(benchmark::State& state) {
  ConversionSettings settings;
  settings.glowAmount = 50;
  settings.vignetteAmount = -40;
  settings.grainAmount = 40;
  const PrintImage original = testPrint(2400, 1600);
  for (auto _ : state) {
    state.PauseTiming();
    PrintImage print = original;
    state.ResumeTiming();
    FilmEffects::apply(print, settings);
  }
}
BENCHMARK(EffectsTogether2400x1600)->Unit(benchmark::kMillisecond)->UseRealTime();

void EachEffect2400x1600(benchmark::State& state) {
  const PrintImage original = testPrint(2400, 1600);
  for (auto _ : state) {
    state.PauseTiming();
    PrintImage print = original;
    state.ResumeTiming();
    switch (state.range(0)) {
      case 0:
        FilmEffects::halation(print, false, 50, 30);
        break;
      case 1:
        FilmEffects::vignette(print, -40, 50, 50);
        break;
      default:
        FilmEffects::grain(print, 40, 25, 50);
        break;
    }
  }
}
BENCHMARK(EachEffect2400x1600)
    ->DenseRange(0, 2)
    ->ArgName("halation_vignette_grain")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void RedEyeMarks6000x4000(benchmark::State& state) {
  std::vector<RedEye> marks;
  for (int i = 0; i < 10; ++i) marks.push_back(RedEye{.x = 0.1 + 0.08 * i, .y = 0.4, .r = 0.01});
  PrintImage print = testPrint(6000, 4000);
  for (auto _ : state) RedEyeFix::apply(print, marks, 6000, 4000, 0, full);
}
BENCHMARK(RedEyeMarks6000x4000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
