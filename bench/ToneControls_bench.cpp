// The tone stages on a preview-sized print: each control alone at 2400 × 1600; every tone
// control switched on together (Adjustments::apply and the border); and every stage of this
// folder together (HSL, curves, tone controls, border). The last two at 2400 × 1600 and
// 1200 × 800, the sizes of the preview's full and quick passes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "Print/PrintImage.h"
#include "Record/ConversionSettings.h"
#include "Support/ParallelFor.h"
#include "Tone/Adjustments.h"
#include "Tone/CurvePreset.h"

namespace {

double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// A print with broad gradients, a bright patch and fine noise, so every control has work.
PrintImage testPrint(int64_t width, int64_t height) {
  PrintImage print(width, height);
  std::mt19937 engine(3);
  std::uniform_real_distribution<float> noise(-0.04f, 0.04f);
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      const float u = static_cast<float>(x) / static_cast<float>(width);
      const float v = static_cast<float>(y) / static_cast<float>(height);
      const float patch = std::abs(u - 0.7f) < 0.1f && std::abs(v - 0.3f) < 0.1f ? 0.5f : 0.0f;
      float* p = print.row(y) + 3 * x;
      p[0] = std::clamp(0.2f + 0.6f * u + patch + noise(engine), 0.0f, 1.0f);
      p[1] = std::clamp(0.15f + 0.5f * v + patch + noise(engine), 0.0f, 1.0f);
      p[2] = std::clamp(0.5f - 0.3f * u + patch + noise(engine), 0.0f, 1.0f);
    }
  }
  return print;
}

ConversionSettings everythingOn() {
  ConversionSettings s;
  s.grainReduction = 60;
  s.dehaze = 40;
  s.highlights = -30;
  s.shadows = 40;
  s.whites = 20;
  s.blacks = -20;
  s.clarity = 35;
  s.sharpness = 80;
  s.blackMist = 30;
  s.border = BorderStyle::white;
  s.borderSize = 4;
  s.hsl.hue = {10, -20, 0, 30, 0, -10, 0, 15};
  s.hsl.saturation = {20, 0, -30, 0, 25, 0, 10, 0};
  s.hsl.luminance = {0, 15, 0, -20, 0, 10, 0, 0};
  s.curves = curves(CurvePreset::crossProcess);
  s.curves.regions = {20, -10, 10, 30};
  return s;
}

// The stages in the order the conversion runs them, after the print pipeline.
void runAll(PrintImage& print, const ConversionSettings& s) {
  HSLAdjustments::apply(print, s.hsl.hue, s.hsl.saturation, s.hsl.luminance);
  s.curves.apply(print, false);
  Adjustments::apply(print, s);
  print =
      Adjustments::border(print.width, print.height, std::move(print.rgb), s.border, s.borderSize);
}

void timeOnCopies(benchmark::State& state, int64_t width, int64_t height,
                  const std::function<void(PrintImage&)>& stage) {
  const PrintImage original = testPrint(width, height);
  for (auto _ : state) {
    state.PauseTiming();
    PrintImage print = original;
    state.ResumeTiming();
    stage(print);
    benchmark::DoNotOptimize(print.rgb.data());
  }
  state.counters["processors"] = ParallelFor::activeProcessorCount();
}

void BM_Control(benchmark::State& state) {
  const ConversionSettings s = everythingOn();
  const std::function<void(PrintImage&)> controls[] = {
      [](PrintImage& p) { Adjustments::grainReduction(p, false, 60); },
      [](PrintImage& p) { Adjustments::dehaze(p, 40); },
      [](PrintImage& p) { Adjustments::dehaze(p, -40); },
      [](PrintImage& p) { Adjustments::toneRegions(p, -30, 40, 20, -20); },
      [](PrintImage& p) { Adjustments::clarity(p, 35); },
      [](PrintImage& p) { Adjustments::sharpen(p, 80); },
      [](PrintImage& p) { Adjustments::blackMist(p, 30); },
      [&](PrintImage& p) {
        HSLAdjustments::apply(p, s.hsl.hue, s.hsl.saturation, s.hsl.luminance);
      },
      [&](PrintImage& p) { s.curves.apply(p, false); },
      [&](PrintImage& p) {
        p = Adjustments::border(p.width, p.height, std::move(p.rgb), s.border, s.borderSize);
      },
  };
  static const char* names[] = {"grainReduction", "dehaze+",   "dehaze-", "toneRegions", "clarity",
                                "sharpen",        "blackMist", "hsl",     "curves",      "border"};
  state.SetLabel(names[state.range(0)]);
  timeOnCopies(state, 2400, 1600, controls[state.range(0)]);
}
BENCHMARK(BM_Control)
    ->DenseRange(0, 9)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", fastest);

void BM_AllControls(benchmark::State& state) {
  const ConversionSettings s = everythingOn();
  timeOnCopies(state, state.range(0), state.range(1), [&](PrintImage& p) {
    Adjustments::apply(p, s);
    p = Adjustments::border(p.width, p.height, std::move(p.rgb), s.border, s.borderSize);
  });
}
BENCHMARK(BM_AllControls)
    ->Args({2400, 1600})
    ->Args({1200, 800})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", fastest);

void BM_AllStages(benchmark::State& state) {
  const ConversionSettings s = everythingOn();
  timeOnCopies(state, state.range(0), state.range(1), [&](PrintImage& p) { runAll(p, s); });
}
BENCHMARK(BM_AllStages)
    ->Args({2400, 1600})
    ->Args({1200, 800})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", fastest);

}  // namespace
