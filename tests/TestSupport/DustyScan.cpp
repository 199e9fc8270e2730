#include "TestSupport/DustyScan.h"

#include <algorithm>
#include <cmath>

#include "Support/ParallelFor.h"
#include "TestSupport/ScanFixtures.h"

namespace DustyScan {

namespace {

uint64_t mix(uint64_t h) {
  h ^= h >> 30;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 27;
  h *= 0x94D049BB133111EBull;
  return h ^ (h >> 31);
}

// Roughly normal noise of unit deviation from a pixel, a layer and the seed: the sum of four
// uniform values, centred and scaled.
float normalNoise(uint64_t seed, int64_t i, int layer) {
  uint64_t h = mix(seed * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(i) * 4 +
                   static_cast<uint64_t>(layer));
  float sum = 0;
  for (int k = 0; k < 4; ++k) {
    sum += static_cast<float>(h & 0xFFFF) / 65535.0f;
    h >>= 16;
  }
  return (sum - 2.0f) * 1.7320508f;
}

// Grain of one layer: white noise smoothed over 3 × 3 pixels (neighbours weighted by `clump`
// against 1 in the centre), so that grain clumps cover a few pixels, rescaled to unit deviation.
std::vector<float> grainLayer(const Options& o, int layer) {
  const int64_t w = o.width;
  const int64_t h = o.height;
  std::vector<float> white(static_cast<size_t>(w * h));
  parallelForRows(h, [&](int64_t begin, int64_t end) {
    for (int64_t i = begin * w; i < end * w; ++i)
      white[static_cast<size_t>(i)] = normalNoise(o.seed, i, layer);
  });
  std::vector<float> grain(white.size());
  const float weights[3] = {o.clump, 1.0f, o.clump};
  const float norm =
      1.0f / (2 * o.clump * o.clump + 1);  // √ of the squared weights' sum  // the deviation of the
                                           // weighted sum: √((1/16 + 1 + 1/16)²)
  parallelForRows(h, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y)
      for (int64_t x = 0; x < w; ++x) {
        float sum = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int64_t sx = std::clamp<int64_t>(x + dx, 0, w - 1);
            const int64_t sy = std::clamp<int64_t>(y + dy, 0, h - 1);
            sum += weights[dx + 1] * weights[dy + 1] * white[static_cast<size_t>(sy * w + sx)];
          }
        grain[static_cast<size_t>(y * w + x)] = sum * norm;
      }
  });
  return grain;
}

// Coverage of a pixel centre at distance `distance` from a shape edge at `radius`: 1 inside,
// 0 outside, a linear ramp over one pixel.
float coverage(double distance, double radius) {
  return static_cast<float>(std::clamp(radius + 0.5 - distance, 0.0, 1.0));
}

// cos² of the distance across a half width, 0 beyond it.
float softCoverage(double distance, double halfWidth) {
  if (distance >= halfWidth) return 0;
  const double c = std::cos(1.5707963267948966 * distance / halfWidth);
  return static_cast<float>(c * c);
}

double distanceToSegment(double px, double py, const Line& l) {
  const double dx = l.x1 - l.x0;
  const double dy = l.y1 - l.y0;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((px - l.x0) * dx + (py - l.y0) * dy) / length2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (l.x0 + t * dx), py - (l.y0 + t * dy));
}

}  // namespace

LinearImage make(const Options& o, const std::vector<Speck>& specks,
                 const std::vector<Line>& lines) {
  const int64_t w = o.width;
  const int64_t h = o.height;
  std::vector<float> density(static_cast<size_t>(w * h * 3));
  const std::vector<float> shared = grainLayer(o, 3);
  for (int c = 0; c < 3; ++c) {
    const std::vector<float> own = grainLayer(o, c);
    parallelForRows(h, [&](int64_t begin, int64_t end) {
      for (int64_t y = begin; y < end; ++y)
        for (int64_t x = 0; x < w; ++x) {
          const double u = static_cast<double>(x) / static_cast<double>(w);
          const double v = static_cast<double>(y) / static_cast<double>(h);
          const double picture =
              0.5 + 0.3 * std::sin(5.0 * u + 0.9 * c) * std::cos(3.0 * v - 0.4 * c) +
              0.2 * std::exp(-((u - 0.3) * (u - 0.3) + (v - 0.6) * (v - 0.6)) * 6.0);
          const auto i = static_cast<size_t>(y * w + x);
          density[i * 3 + static_cast<size_t>(c)] = o.picture * static_cast<float>(picture) +
                                                    o.grain * (0.6f * shared[i] + 0.8f * own[i]);
        }
    });
  }
  for (const Speck& s : specks) {
    const int64_t x0 = std::max<int64_t>(0, static_cast<int64_t>(s.x - s.radius - 2));
    const int64_t x1 = std::min<int64_t>(w - 1, static_cast<int64_t>(s.x + s.radius + 2));
    const int64_t y0 = std::max<int64_t>(0, static_cast<int64_t>(s.y - s.radius - 2));
    const int64_t y1 = std::min<int64_t>(h - 1, static_cast<int64_t>(s.y + s.radius + 2));
    for (int64_t y = y0; y <= y1; ++y)
      for (int64_t x = x0; x <= x1; ++x) {
        const float cover = coverage(
            std::hypot(static_cast<double>(x) + 0.5 - s.x, static_cast<double>(y) + 0.5 - s.y),
            s.radius);
        for (int c = 0; c < 3; ++c)
          density[static_cast<size_t>((y * w + x) * 3 + c)] +=
              cover * s.density * s.channels[static_cast<size_t>(c)];
      }
  }
  for (const Line& l : lines) {
    const double reach = l.width / 2 + 2;
    const int64_t x0 = std::max<int64_t>(0, static_cast<int64_t>(std::min(l.x0, l.x1) - reach));
    const int64_t x1 = std::min<int64_t>(w - 1, static_cast<int64_t>(std::max(l.x0, l.x1) + reach));
    const int64_t y0 = std::max<int64_t>(0, static_cast<int64_t>(std::min(l.y0, l.y1) - reach));
    const int64_t y1 = std::min<int64_t>(h - 1, static_cast<int64_t>(std::max(l.y0, l.y1) + reach));
    for (int64_t y = y0; y <= y1; ++y)
      for (int64_t x = x0; x <= x1; ++x) {
        const double distance =
            distanceToSegment(static_cast<double>(x) + 0.5, static_cast<double>(y) + 0.5, l);
        const float cover =
            l.soft ? softCoverage(distance, l.width / 2) : coverage(distance, l.width / 2);
        for (int c = 0; c < 3; ++c)
          density[static_cast<size_t>((y * w + x) * 3 + c)] += cover * l.density;
      }
  }
  LinearImage image(w, h);
  float* out = image.mutablePixels();
  parallelForRows(h, [&](int64_t begin, int64_t end) {
    for (int64_t i = begin * w; i < end * w; ++i) {
      for (int c = 0; c < 3; ++c)
        out[i * 4 + c] = o.base[static_cast<size_t>(c)] *
                         std::pow(10.0f, -density[static_cast<size_t>(i * 3 + c)]);
      out[i * 4 + 3] = 1.0f;
    }
  });
  return image;
}

FlatScan::FlatScan(int64_t width, int64_t height, float density)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width * height * 4), 1.0f) {
  const float v = std::pow(10.0f, -density);
  for (size_t i = 0; i < pixels_.size(); i += 4) pixels_[i] = pixels_[i + 1] = pixels_[i + 2] = v;
}

void FlatScan::add(int64_t x, int64_t y, int64_t w, int64_t h, float density,
                   std::array<float, 3> channels) {
  for (int64_t py = std::max<int64_t>(y, 0); py < std::min(y + h, height_); ++py)
    for (int64_t px = std::max<int64_t>(x, 0); px < std::min(x + w, width_); ++px)
      for (size_t c = 0; c < 3; ++c)
        pixels_[static_cast<size_t>((py * width_ + px) * 4) + c] *=
            std::pow(10.0f, -density * channels[c]);
}

void writeTiff(const std::filesystem::path& path, const LinearImage& scan) {
  ScanFixtures::Tiff tiff;
  tiff.width = scan.width();
  tiff.height = scan.height();
  tiff.bitsPerSample = 32;
  tiff.floatingPoint = true;
  tiff.icc = ScanFixtures::linearDisplayP3Profile();
  tiff.pattern = [&](int64_t x, int64_t y) {
    const float* p = scan.row(y) + x * 4;
    return std::array<float, 4>{p[0], p[1], p[2], 1};
  };
  ScanFixtures::writeTiff(path, tiff);
}

}  // namespace DustyScan
