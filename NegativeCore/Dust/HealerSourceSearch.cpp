// The clone-source searches: candidates on rings around a spot, or common offsets for the spots
// of a chain, compared with the blemish's surroundings in the log10 domain with the means
// removed, so that texture decides and brightness does not.
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <unordered_set>

#include "Dust/Healer.h"
#include "Dust/HealerSteps.h"
#include "Dust/ReachGrid.h"
#include "Support/PixelMath.h"
#include "Support/VectorMath.h"

namespace Healer {

namespace {

struct Circle {
  double x;
  double y;
  double r;
};

struct Image {
  int64_t width;
  int64_t height;
  const float* pixels;
};

Circle circleOf(const Spot& s, double width, double height) {
  return {s.x * width, s.y * height, std::max(s.r * std::max(width, height), 1.5)};
}

const float* pixelAt(const Image& image, double px, double py) {
  return image.pixels + (PixelMath::clampedIndex(py, image.height) * image.width +
                         PixelMath::clampedIndex(px, image.width)) *
                            4;
}

// cos and sin of 2π·k/count for k = 0 … count − 1.
template <int count>
struct Directions {
  std::array<double, count> cos;
  std::array<double, count> sin;
  Directions() {
    for (int k = 0; k < count; ++k) {
      const double theta = 2.0 * std::numbers::pi * k / count;
      cos[k] = std::cos(theta);
      sin[k] = std::sin(theta);
    }
  }
};

const Directions<48>& ringDirections() {
  static const Directions<48> directions;
  return directions;
}
const Directions<16>& candidateDirections() {
  static const Directions<16> directions;
  return directions;
}
const Directions<12>& chainDirections() {
  static const Directions<12> directions;
  return directions;
}

// 48 samples around a spot at 1.05, 1.225 and 1.4 radii in turn, R, G, B each, with one mean
// per channel.
struct RingSample {
  std::array<float, 144> values;
  std::array<double, 3> means;
};

// The log value of each raw sample, in place, with the vectorised log10.
template <size_t count>
void logValues(std::array<float, count>& values) {
  std::array<float, count> raw = values;
  VectorMath::log10(raw.data(), values.data(), count);
  for (size_t i = 0; i < count; ++i)
    if (!(raw[i] > 0.00001f)) values[i] = -5.0f;
}

// Samples are read first and converted afterwards, so that the scattered reads overlap.
RingSample ringSample(const Image& image, double cx, double cy, double rho) {
  const auto& dir = ringDirections();
  RingSample sample;
  for (int k = 0; k < 48; ++k) {
    const double radius = rho * (1.05 + 0.175 * (k % 3));
    const float* p = pixelAt(image, cx + radius * dir.cos[k], cy + radius * dir.sin[k]);
    for (int c = 0; c < 3; ++c) sample.values[3 * k + c] = p[c];
  }
  logValues(sample.values);
  std::array<double, 3> sums{};
  for (int i = 0; i < 144; ++i) sums[i % 3] += sample.values[i];
  for (int c = 0; c < 3; ++c) sample.means[c] = sums[c] / 48;
  return sample;
}

double ringCost(const RingSample& candidate, const RingSample& reference) {
  double cost = 0;
  for (int i = 0; i < 144; ++i) {
    const double d = (candidate.values[i] - candidate.means[i % 3]) -
                     (reference.values[i] - reference.means[i % 3]);
    cost += d * d;
  }
  return cost;
}

// 12 green samples at 1.25·N around a centre, with their mean.
struct ChainSample {
  std::array<float, 12> values;
  double mean;
};

ChainSample chainSample(const Image& image, double cx, double cy, double n) {
  const auto& dir = chainDirections();
  const double radius = 1.25 * n;
  ChainSample sample;
  for (int k = 0; k < 12; ++k)
    sample.values[k] = pixelAt(image, cx + radius * dir.cos[k], cy + radius * dir.sin[k])[1];
  logValues(sample.values);
  double sum = 0;
  for (int k = 0; k < 12; ++k) sum += sample.values[k];
  sample.mean = sum / 12;
  return sample;
}

double chainCost(const ChainSample& candidate, const ChainSample& reference) {
  double cost = 0;
  for (int k = 0; k < 12; ++k) {
    const double d =
        (candidate.values[k] - candidate.mean) - (reference.values[k] - reference.mean);
    cost += d * d;
  }
  return cost;
}

// The grid's query area: where queries can fall (within `spread` of [x0, x1] × [y0, y1]) and
// inside the image, where the margin test leaves every query that reaches a grid.
ReachGrid gridOver(const std::vector<ReachGrid::Disc>& discs, const Image& image, double x0,
                   double y0, double x1, double y1, double spread, double typicalReach) {
  const double slack = spread * 1.001 + 1;
  return ReachGrid(discs, std::max(x0 - slack, 0.0), std::max(y0 - slack, 0.0),
                   std::min(x1 + slack, static_cast<double>(image.width)),
                   std::min(y1 + slack, static_cast<double>(image.height)), typicalReach);
}

bool clearOfEdges(const Image& image, double x, double y, double margin) {
  return x - margin >= 0 && y - margin >= 0 && x + margin < static_cast<double>(image.width) &&
         y + margin < static_cast<double>(image.height);
}

}  // namespace

SourcePoint findSource(int64_t width, int64_t height, const float* pixels, const Spot& spot,
                       const std::vector<Spot>& allSpots) {
  const Image image{width, height, pixels};
  const auto w = static_cast<double>(width);
  const auto h = static_cast<double>(height);
  const Circle c = circleOf(spot, w, h);
  const double margin = 1.4 * c.r;
  const RingSample reference = ringSample(image, c.x, c.y, c.r);

  std::vector<ReachGrid::Disc> others;
  for (const Spot& s : allSpots) {
    if (s.id == spot.id) continue;
    const Circle o = circleOf(s, w, h);
    others.push_back({o.x, o.y, (c.r + o.r) * 1.4});
  }
  const ReachGrid blocked = gridOver(others, image, c.x, c.y, c.x, c.y, 5.0 * c.r, 5.6 * c.r);

  double bestCost = std::numeric_limits<double>::infinity();
  Point best{c.x + 2.5 * c.r, c.y};
  const auto& dir = candidateDirections();
  for (const double f : {3.0, 3.8, 5.0}) {
    const double penalty = 1 + 0.08 * f;
    for (int j = 0; j < 16; ++j) {
      const double qx = c.x + c.r * f * dir.cos[j];
      const double qy = c.y + c.r * f * dir.sin[j];
      if (!clearOfEdges(image, qx, qy, margin) || blocked.reaches(qx, qy)) continue;
      const double cost = penalty * ringCost(ringSample(image, qx, qy, c.r), reference);
      if (cost < bestCost) {
        bestCost = cost;
        best = {qx, qy};
      }
    }
  }
  return {best.x / w, best.y / h};
}

void findGroupSource(int64_t width, int64_t height, const float* pixels, std::vector<Spot>& unit,
                     const std::vector<Spot>& allSpots) {
  if (unit.empty()) return;
  if (unit.size() == 1) {
    const SourcePoint source = findSource(width, height, pixels, unit[0], allSpots);
    unit[0].sx = source.sx;
    unit[0].sy = source.sy;
    return;
  }
  const Image image{width, height, pixels};
  const auto w = static_cast<double>(width);
  const auto h = static_cast<double>(height);

  std::vector<Circle> circles;
  circles.reserve(unit.size());
  double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, y0 = x0, y1 = -x0;
  for (const Spot& s : unit) {
    circles.push_back(circleOf(s, w, h));
    x0 = std::fmin(x0, circles.back().x);
    x1 = std::fmax(x1, circles.back().x);
    y0 = std::fmin(y0, circles.back().y);
    y1 = std::fmax(y1, circles.back().y);
  }
  const double n = circles[0].r;
  const double margin = 1.4 * n;
  const double overlap = 2.52 * n;

  // The chain itself, and every spot of allSpots that is not one of its members.
  std::unordered_set<Uuid> members;
  for (const Spot& s : unit) members.insert(s.id);
  std::vector<ReachGrid::Disc> chain, others;
  for (const Circle& c : circles) chain.push_back({c.x, c.y, overlap});
  for (const Spot& s : allSpots) {
    if (members.count(s.id)) continue;
    const Circle o = circleOf(s, w, h);
    others.push_back({o.x, o.y, (n + o.r) * 1.4});
  }
  const ReachGrid chainGrid = gridOver(chain, image, x0, y0, x1, y1, 6.0 * n, overlap);
  const ReachGrid othersGrid = gridOver(others, image, x0, y0, x1, y1, 6.0 * n, 5.6 * n);

  // References around up to 31 members spread evenly over the chain.
  const size_t step = std::max<size_t>(unit.size() / 16, 1);
  std::vector<size_t> sampled;
  std::vector<ChainSample> references;
  for (size_t i = 0; i < unit.size(); i += step) {
    sampled.push_back(i);
    references.push_back(chainSample(image, circles[i].x, circles[i].y, n));
  }

  const auto acceptable = [&](double dx, double dy) {
    for (const Circle& c : circles)
      if (!clearOfEdges(image, c.x + dx, c.y + dy, margin)) return false;
    for (const Circle& c : circles) {
      const double mx = c.x + dx;
      const double my = c.y + dy;
      if (chainGrid.reaches(mx, my) || othersGrid.reaches(mx, my)) return false;
    }
    return true;
  };

  double bestCost = std::numeric_limits<double>::infinity();
  Point best{2.5 * n, 0};
  const auto& dir = candidateDirections();
  for (const double f : {3.2, 4.5, 6.0}) {
    const double penalty = 1 + 0.05 * f;
    for (int j = 0; j < 16; ++j) {
      const double dx = n * f * dir.cos[j];
      const double dy = n * f * dir.sin[j];
      if (!acceptable(dx, dy)) continue;
      double cost = 0;
      for (size_t m = 0; m < sampled.size(); ++m) {
        const Circle& c = circles[sampled[m]];
        cost += chainCost(chainSample(image, c.x + dx, c.y + dy, n), references[m]);
      }
      cost *= penalty;
      if (cost < bestCost) {
        bestCost = cost;
        best = {dx, dy};
      }
    }
  }
  for (size_t i = 0; i < unit.size(); ++i) {
    unit[i].sx = (circles[i].x + best.x) / w;
    unit[i].sy = (circles[i].y + best.y) / h;
  }
}

}  // namespace Healer
