#include "TestSupport/LightTableScan.h"

#include <cmath>

#include "Support/ParallelFor.h"

namespace {

// Deterministic noise in −1…1 from a pixel position.
float hashNoise(int64_t x, int64_t y) {
  uint64_t h = uint64_t(x) * 0x9E3779B97F4A7C15ull ^
               (uint64_t(y) + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return float(h & 0xFFFFFF) / float(0x7FFFFF) - 1.0f;
}

// Picture densities above the base in 0.2…1.6: smooth shapes, different per channel.
float pictureDensity(double u, double v, int channel, double phase) {
  const double c = double(channel);
  const double wave = std::sin(6.1 * u + 1.3 * c + phase) * std::cos(4.3 * v - 0.7 * c + phase);
  const double blob = std::exp(-((u - 0.35) * (u - 0.35) + (v - 0.6) * (v - 0.6)) * 18.0);
  return float(0.2 + 0.7 * (0.5 + 0.5 * wave) + 0.7 * blob);
}

}  // namespace

LightTableScan makeLightTableScan(int64_t width, int64_t height, double frameWidthShare) {
  const double W = double(width), H = double(height);
  const double mm = frameWidthShare * W / 36.0;  // pixels per millimetre
  const double frameLeft = (W - 36.0 * mm) / 2.0, frameTop = (H - 24.0 * mm) / 2.0;
  const double frameRight = frameLeft + 36.0 * mm, frameBottom = frameTop + 24.0 * mm;
  const double filmTop = frameTop - 5.5 * mm, filmBottom = frameBottom + 5.5 * mm;
  // The holder's opening shows 3.5 mm of rebate above and below, the gaps and 5 mm of the
  // neighbouring frames at the sides.
  const double openTop = frameTop - 3.5 * mm, openBottom = frameBottom + 3.5 * mm;
  const double openLeft = frameLeft - 7.0 * mm, openRight = frameRight + 7.0 * mm;
  const float base[3] = {0.60f, 0.32f, 0.16f};
  const double pitch = 4.75 * mm, holeWidth = 1.98 * mm;

  LightTableScan scan{LinearImage(width, height),
                      NormRect{frameLeft / W, frameTop / H, 36.0 * mm / W, 24.0 * mm / H}};
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      float* out = scan.image.mutableRow(y);
      const double py = double(y) + 0.5;
      for (int64_t x = 0; x < width; ++x, out += 4) {
        const double px = double(x) + 0.5;
        const float light = 0.97f - 0.05f * float(std::abs(px / W - 0.5) + std::abs(py / H - 0.5));
        const float grain = 1.0f + 0.01f * hashNoise(x, y);
        float t[3];
        const bool inOpening = px >= openLeft && px < openRight && py >= openTop && py < openBottom;
        if (!inOpening) {
          for (float& v : t) v = 0.0008f;  // the holder, denser than 3
        } else {
          const double fromEdge = py < frameTop ? py - filmTop : filmBottom - py;
          const bool inRebate = py < frameTop || py >= frameBottom;
          const double along = std::fmod(px, pitch);
          const bool hole =
              inRebate && fromEdge >= 2.0 * mm && fromEdge < 4.79 * mm && along < holeWidth;
          const bool inFrame = !inRebate && px >= frameLeft && px < frameRight;
          const bool inGap =
              !inRebate && !inFrame && (px >= frameLeft - 2.0 * mm && px < frameRight + 2.0 * mm);
          for (int c = 0; c < 3; ++c) {
            if (hole) {
              t[c] = 1.0f;
            } else if (inRebate || inGap) {
              t[c] = base[c];
            } else {
              const double phase = inFrame ? 0.0 : 2.1;
              const float d = pictureDensity((px - frameLeft) / (36.0 * mm),
                                             (py - frameTop) / (24.0 * mm), c, phase);
              t[c] = base[c] * std::pow(10.0f, -d);
            }
          }
        }
        for (int c = 0; c < 3; ++c) out[c] = t[c] * light * grain;
        out[3] = 1.0f;
      }
    }
  });
  return scan;
}
