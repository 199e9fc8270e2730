// The turned picture's sampler alone, on one thread: a 1200 × 800 picture turned about its
// middle, every inner sample of every row, at the angles a straightening drag reaches. The wide
// path against the four-at-a-time one. Run pinned to one core (taskset -c 0).
#include <benchmark/benchmark.h>

#include <QtGlobal>
#include <cmath>
#include <vector>

#include "Preview/TurnSampler.h"

namespace {

constexpr int width = 1200;
constexpr int height = 800;

const std::vector<quint32>& picture() {
  static const std::vector<quint32> pixels = [] {
    std::vector<quint32> p(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < p.size(); ++i)
      p[i] = 0xff000000u | static_cast<quint32>(i * 2654435761u >> 8);
    return p;
  }();
  return pixels;
}

// range(0): tenths of a degree; range(1): 1 for the wide path.
void BM_TurnedPicture(benchmark::State& state) {
  const double turn = state.range(0) / 10.0 * M_PI / 180;
  const bool wide = state.range(1) != 0;
  const std::vector<quint32>& pixels = picture();
  std::vector<quint32> out(width);
  const qint64 stepU = std::llround(std::cos(turn) * 65536);
  const qint64 stepV = std::llround(-std::sin(turn) * 65536);
  qint64 samples = 0;
  for (auto _ : state) {
    for (int row = 0; row < height; ++row) {
      // The device row's first sample in the picture, turned about the middle.
      const double dx = -width / 2.0;
      const double dy = row - height / 2.0;
      const double u = std::cos(turn) * dx + std::sin(turn) * dy + width / 2.0;
      const double v = -std::sin(turn) * dx + std::cos(turn) * dy + height / 2.0;
      qint64 fu = std::llround(u * 65536);
      qint64 fv = std::llround(v * 65536);
      // Skip to the samples whose four texels lie inside.
      int lo = 0;
      int hi = width;
      auto inside = [&](int k) {
        const qint64 x = (fu + k * stepU) >> 16;
        const qint64 y = (fv + k * stepV) >> 16;
        return x >= 0 && y >= 0 && x < width - 1 && y < height - 1;
      };
      while (lo < hi && !inside(lo)) ++lo;
      while (hi > lo && !inside(hi - 1)) --hi;
      if (hi <= lo) continue;
      const qint64 su = fu + lo * stepU;
      const qint64 sv = fv + lo * stepV;
      if (wide) {
        TurnSampler::inner(pixels.data(), width, width, su, sv, stepU, stepV, out.data(), hi - lo,
                           false);
      } else {
        TurnSampler::innerNarrow(pixels.data(), width, width, su, sv, stepU, stepV, out.data(),
                                 hi - lo, false);
      }
      samples += hi - lo;
    }
    benchmark::DoNotOptimize(out.data());
  }
  // Seconds per sample ("2.5n" is 2.5 ns).
  state.counters["per_sample"] = benchmark::Counter(
      static_cast<double>(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TurnedPicture)
    ->ArgsProduct({{0, 20, 50, 150, 300, 450}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
