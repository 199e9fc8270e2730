#include "Dust/DustHairFinder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <string>

#include "Conversion/Geometry.h"
#include "Dust/DustDetectorTuning.h"
#include "Dust/DustPlanes.h"
#include "Dust/DustShape.h"
#include "Support/NumberText.h"
#include "Support/ParallelFor.h"

namespace DustDetector {

namespace {

constexpr size_t kLargestComponent = 20000;
constexpr int64_t kThinLinesReported = 39;

// Counts of one run, for the debug line.
struct Counters {
  int64_t comps = 0;
  int64_t longOnes = 0;
  int64_t thin = 0;
  int64_t sides = 0;
  int64_t kept = 0;
};

struct Noise {
  float median = 0;
  float sigma = 0.000001f;
};

void print(const std::string& line) { std::fwrite(line.data(), 1, line.size(), stdout); }

void printSummary(const Counters& c, float hi, const Noise& noise) {
  print("hairs: comps " + std::to_string(c.comps) + " long " + std::to_string(c.longOnes) +
        " thin " + std::to_string(c.thin) + " sides " + std::to_string(c.sides) + " kept " +
        std::to_string(c.kept) + " hi " + NumberText::shortestFloat(hi) + " med " +
        NumberText::shortestFloat(noise.median) + " mad " + NumberText::shortestFloat(noise.sigma) +
        "\n");
}

void printThinLine(double length, float margin, float peak) {
  print("  len " + NumberText::fixed(length, 0) + " margin " + NumberText::fixed(margin, 4) +
        " peak " + NumberText::fixed(peak, 4) + "\n");
}

// The planes of one run. The local mean and mean square beside a hair are made only when the
// first thin component needs them, in new planes, with the `across` plane as scratch: by then
// the noise has been measured on it.
class HairPlanes {
  int64_t width_;
  int64_t height_;
  size_t count_;

 public:
  HairPlanes(int64_t width, int64_t height, const float* pixels, bool fine)
      : width_(width),
        height_(height),
        count_(static_cast<size_t>(width * height)),
        K(count_),
        ridge(count_),
        across(count_) {
    densityPlane(width, height, pixels, ridge.data());  // the density, until the ridge is made
    boxPasses(ridge.data(), K.data(), across.data(), width, height, 1, fine ? 1 : 2);
    parallelForRows(
        height,
        [&](int64_t begin, int64_t end) {
          for (int64_t y = begin; y < end; ++y)
            ridgeRow(K.data(), ridge.data(), across.data(), width, height, y, fine ? 1 : 2);
        },
        width * height < 16384 ? height + 1 : 2);
  }

  float k(int64_t x, int64_t y) const { return K[static_cast<size_t>(y * width_ + x)]; }

  // Standard deviation of K at radius q = max(4, whole part of 8·M) around (x, y).
  float localDeviation(int64_t x, int64_t y, double M) {
    if (!localMean_.data()) makeLocalPlanes(M);
    const auto i = static_cast<size_t>(y * width_ + x);
    return std::sqrt(std::max(0.0f, localMeanSq_[i] - localMean_[i] * localMean_[i]));
  }

  Plane K;
  Plane ridge;
  Plane across;

 private:
  void makeLocalPlanes(double M) {
    const int64_t q = std::max<int64_t>(4, static_cast<int64_t>(8 * M));
    localMean_ = Plane(count_);
    boxPasses(K.data(), localMean_.data(), across.data(), width_, height_, q, 2);
    localMeanSq_ = Plane(count_);
    for (size_t i = 0; i < count_; ++i) localMeanSq_[i] = K[i] * K[i];
    boxPasses(localMeanSq_.data(), localMeanSq_.data(), across.data(), width_, height_, q, 2);
  }

  Plane localMean_;
  Plane localMeanSq_;
};

Noise measureNoise(const Plane& across, int64_t count) {
  const int64_t stride = count >= 40000 ? count / 40000 : 1;
  std::vector<float> samples;
  samples.reserve(40000);
  for (int64_t i = 0; i < count; i += stride) samples.push_back(across[static_cast<size_t>(i)]);
  const MedianAndDeviation m = medianAndDeviation(samples);
  return {m.median, std::max(1.4826f * m.deviation, 0.000001f)};
}

// Grows the component of `seed` through eight-connected pixels whose ridge is above `grow`,
// looking at each popped pixel's neighbours row by row, left to right; it stops once it holds
// more than 20 000 pixels.
void growComponent(int64_t seed, int64_t width, int64_t height, const Plane& ridge, float grow,
                   std::vector<uint8_t>& visited, std::vector<int64_t>& stack,
                   std::vector<int64_t>& pixels) {
  pixels.clear();
  stack.clear();
  visited[static_cast<size_t>(seed)] = 1;
  stack.push_back(seed);
  while (!stack.empty() && pixels.size() <= kLargestComponent) {
    const int64_t i = stack.back();
    stack.pop_back();
    pixels.push_back(i);
    const int64_t x = i % width;
    const int64_t y = i / width;
    for (int64_t ny = y - 1; ny <= y + 1; ++ny) {
      for (int64_t nx = x - 1; nx <= x + 1; ++nx) {
        if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
        const auto j = static_cast<size_t>(ny * width + nx);
        if (visited[j] || !(ridge[j] > grow)) continue;
        visited[j] = 1;
        stack.push_back(ny * width + nx);
      }
    }
  }
}

// What the side profile of a line found beside it.
struct SideProfile {
  int64_t m = 0;  // samples with both side points in the image
  float lift = 0;
  float texture = 0;
  float peak = 0;
};

SideProfile sideProfile(const std::vector<int64_t>& pixels, HairPlanes& planes, int64_t width,
                        int64_t height, double D, double M) {
  SideProfile p;
  const auto n = static_cast<int64_t>(pixels.size());
  const int64_t step = n >= 24 ? n / 24 : 1;
  auto inside = [&](int64_t x, int64_t y) { return x >= 0 && x < width && y >= 0 && y < height; };
  for (int64_t k = 0; k < n; k += step) {
    const int64_t x = pixels[static_cast<size_t>(k)] % width;
    const int64_t y = pixels[static_cast<size_t>(k)] / width;
    if (x < 3 || x >= width - 3 || y < 3 || y >= height - 3) continue;
    const float c = planes.k(x, y);
    const float exx = planes.k(x + 2, y) - 2 * c + planes.k(x - 2, y);
    const float eyy = planes.k(x, y + 2) - 2 * c + planes.k(x, y - 2);
    const float exy = (planes.k(x + 2, y + 2) - planes.k(x - 2, y + 2) - planes.k(x + 2, y - 2) +
                       planes.k(x - 2, y - 2)) /
                      4;
    const double phi =
        0.5 * std::atan2(static_cast<double>(2 * exy), static_cast<double>(exx - eyy)) +
        std::numbers::pi / 2;
    const double dx = D * std::cos(phi);
    const double dy = D * std::sin(phi);
    const auto x1 = static_cast<int64_t>(static_cast<double>(x) + dx);
    const auto y1 = static_cast<int64_t>(static_cast<double>(y) + dy);
    const auto x2 = static_cast<int64_t>(static_cast<double>(x) - dx);
    const auto y2 = static_cast<int64_t>(static_cast<double>(y) - dy);
    if (!inside(x1, y1) || !inside(x2, y2)) continue;
    const float h1 = planes.k(x1, y1);
    const float h2 = planes.k(x2, y2);
    ++p.m;
    p.lift += c - std::max(h1, h2);
    p.peak = std::max(p.peak, c - std::min(h1, h2));
    p.texture += (planes.localDeviation(x1, y1, M) + planes.localDeviation(x2, y2, M)) / 2;
  }
  return p;
}

// The sizes and switches of one run, with M = long side/2400.
struct Run {
  int64_t width;
  int64_t height;
  int64_t longSide;
  double M;
  double minLength;  // M·hairMinLength
  double D;          // thickness limit and side distance, 4·M + 2
  double rho;        // chain spot radius, 2.5·M + 1.5
  const Tuning& tuning;
  const AcceptTest& accept;
  bool debugThin;
};

// The tests of one ridge component, in order, counting each one it passes; its chain when it
// is kept.
std::optional<std::vector<Spot>> judgeComponent(const std::vector<int64_t>& comp,
                                                HairPlanes& planes, const Run& run,
                                                Counters& counters) {
  ++counters.comps;
  const auto n = static_cast<double>(comp.size());
  if (n < run.minLength) return std::nullopt;
  ++counters.longOnes;
  const Centroid centre = centroidOf(comp, run.width);
  const double length = 4 * std::sqrt(momentsOf(comp, run.width, centre).largestEigenvalue());
  if (length < run.minLength) return std::nullopt;
  if (!(n / length <= run.D && length <= static_cast<double>(run.longSide) / 4))
    return std::nullopt;
  ++counters.thin;
  const SideProfile side = sideProfile(comp, planes, run.width, run.height, run.D, run.M);
  const float m = static_cast<float>(side.m);
  if (run.debugThin && counters.thin <= kThinLinesReported)
    printThinLine(length, side.lift / std::max(m, 1.0f), side.peak);
  if (!(side.m > 0 && side.lift / m > run.tuning.hairLift && side.lift / m > 0.25f * side.peak &&
        side.lift / m > run.tuning.hairTexture * side.texture / m))
    return std::nullopt;
  ++counters.sides;
  if (!run.accept((centre.x + 0.5) / static_cast<double>(run.width),
                  (centre.y + 0.5) / static_cast<double>(run.height)))
    return std::nullopt;
  const Uuid group = Uuid::random();
  std::vector<Spot> chain;
  for (const int64_t p : spacedPixels(comp, run.width, 0.8 * run.rho))
    chain.push_back(
        chainSpot(p % run.width, p / run.width, run.width, run.height, run.rho, group, 0.8));
  ++counters.kept;
  return chain;
}

std::vector<std::vector<Spot>> find(int64_t width, int64_t height, const float* pixels,
                                    const AcceptTest& accept, double sensitivity) {
  const Tuning tuning = DustDetector::tuning();
  const bool debug = std::getenv("KV_HAIRDEBUG") != nullptr;
  const float kf = tuning.hairK - static_cast<float>(2 * (sensitivity - 0.5));
  Counters counters;
  std::vector<std::vector<Spot>> chains;
  if (width <= 0 || height <= 0) {
    const Noise none;
    if (debug) printSummary(counters, kf * none.sigma, none);
    return chains;
  }

  const int64_t L = std::max(width, height);
  const double M = static_cast<double>(L) / 2400;
  const Run run{width,     height,        L,      M,      M * tuning.hairMinLength,
                4 * M + 2, 2.5 * M + 1.5, tuning, accept, std::getenv("KV_HAIRDEBUG2") != nullptr};
  HairPlanes planes(width, height, pixels, tuning.hairFine);
  const Noise noise = measureNoise(planes.across, width * height);
  const float hi = kf * noise.sigma;
  const float grow = 0.55f * kf * noise.sigma;

  std::vector<uint8_t> visited(static_cast<size_t>(width * height), 0);
  std::vector<int64_t> stack;
  std::vector<int64_t> comp;
  for (int64_t i = 0; i < width * height; ++i) {
    if (visited[static_cast<size_t>(i)] || !(planes.ridge[static_cast<size_t>(i)] > hi)) continue;
    growComponent(i, width, height, planes.ridge, grow, visited, stack, comp);
    if (auto chain = judgeComponent(comp, planes, run, counters))
      chains.push_back(std::move(*chain));
  }
  if (debug) printSummary(counters, hi, noise);
  return chains;
}

}  // namespace

void ridgeRow(const float* K, float* ridge, float* across, int64_t width, int64_t height, int64_t y,
              int64_t step) {
  float* ridgeOut = ridge + y * width;
  float* acrossOut = across + y * width;
  std::fill(ridgeOut, ridgeOut + width, 0.0f);
  std::fill(acrossOut, acrossOut + width, 0.0f);
  if (y < 2 || y > height - 3) return;
  const int64_t s = step;
  const float* row = K + y * width;
  const float* above = K + (y - s) * width;
  const float* below = K + (y + s) * width;
  // Three loops: the square root stands alone, so that the arithmetic around it vectorises. B
  // waits in `across` and Q² (then Q) in `ridge`.
  for (int64_t x = 2; x <= width - 3; ++x) {
    const float dxx = row[x + s] - 2 * row[x] + row[x - s];
    const float dyy = below[x] - 2 * row[x] + above[x];
    const float dxy = (below[x + s] - below[x - s] - above[x + s] + above[x - s]) / 4;
    const float half = (dxx - dyy) / 2;
    acrossOut[x] = (dxx + dyy) / 2;
    ridgeOut[x] = half * half + dxy * dxy;
  }
  for (int64_t x = 2; x <= width - 3; ++x) ridgeOut[x] = std::sqrt(ridgeOut[x]);
  for (int64_t x = 2; x <= width - 3; ++x) {
    const float b = acrossOut[x];
    const float q = ridgeOut[x];
    acrossOut[x] = q - b;
    ridgeOut[x] = std::max(0.0f, acrossOut[x] - 2 * std::fabs(b + q));
  }
}

std::vector<std::vector<Spot>> findHairs(int64_t width, int64_t height, const float* pixels,
                                         const ConversionSettings& settings, const NormRect& crop,
                                         double sensitivity) {
  const AcceptTest insideCrop = [&](double x, double y) {
    return isInsideCrop(width, height, settings.skewDegrees, {x, y}, crop);
  };
  return find(width, height, pixels, insideCrop, sensitivity);
}

std::vector<std::vector<Spot>> findHairsAccepting(int64_t width, int64_t height,
                                                  const float* pixels, const AcceptTest& accept,
                                                  double sensitivity) {
  return find(width, height, pixels, accept, sensitivity);
}

std::vector<std::vector<Spot>> findHairsWholeFrame(int64_t width, int64_t height,
                                                   const float* pixels, double sensitivity) {
  const AcceptTest all = [](double, double) { return true; };
  return find(width, height, pixels, all, sensitivity);
}

}  // namespace DustDetector
