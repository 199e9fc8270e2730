// From the model's probability map to repair spots: components, their shape, chains for hairs,
// and the ranked, capped list.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "Dust/DustModel.h"
#include "Support/Uuid.h"

namespace DustModel {

namespace {

struct Thresholds {
  float threshold;   // probabilities above it belong to a component
  float peakMin;     // a component's highest probability must reach this
  double minSize;    // pixels
  float scoreRange;  // maps peak − threshold onto 0…1
};

Thresholds thresholdsFor(double sensitivity) {
  Thresholds t;
  t.threshold = static_cast<float>(std::clamp(0.75 - 0.5 * sensitivity, 0.2, 0.85));
  t.peakMin = std::min(std::max(t.threshold + 0.1f, float(0.95 - 0.3 * sensitivity)), 0.97f);
  t.minSize = std::max(std::round(24 - 24 * sensitivity), 4.0);
  t.scoreRange = 0.97f - t.threshold;
  return t;
}

struct Component {
  std::vector<int64_t> pixels;  // in pop order
  float peak = 0;
};

// The 8-connected component grown from seed with a last-in-first-out stack; labels it.
Component grow(const std::vector<float>& prob, std::vector<int32_t>& labels, int64_t width,
               int64_t height, int64_t seed, int32_t label, float threshold,
               std::vector<int64_t>& stack) {
  Component component;
  labels[seed] = label;
  stack.assign(1, seed);
  while (!stack.empty()) {
    const int64_t i = stack.back();
    stack.pop_back();
    component.pixels.push_back(i);
    component.peak = std::max(component.peak, prob[i]);
    const int64_t x = i % width;
    const int64_t y = i / width;
    for (int64_t ny = std::max<int64_t>(y - 1, 0); ny <= std::min(y + 1, height - 1); ++ny) {
      for (int64_t nx = std::max<int64_t>(x - 1, 0); nx <= std::min(x + 1, width - 1); ++nx) {
        const int64_t n = ny * width + nx;
        if (labels[n] == 0 && prob[n] > threshold) {
          labels[n] = label;
          stack.push_back(n);
        }
      }
    }
  }
  return component;
}

struct Group {
  std::vector<Spot> spots;
  float rank;
};

// A found spot: a new repair carrying the model's score.
Spot scoredSpot(double x, double y, double r, double score) {
  Spot spot = makeSpot(x, y, r);
  spot.score = score;
  return spot;
}

// Chain points of an elongated component: pixels in pop order kept when no point taken so far
// lies closer than the spacing; then ordered from the point farthest from the centroid, each
// next the nearest remaining one (the first on ties).
std::vector<std::pair<int64_t, int64_t>> chainPoints(const Component& c, int64_t width, double cx,
                                                     double cy, double spacing) {
  std::vector<std::pair<int64_t, int64_t>> points;
  for (int64_t i : c.pixels) {
    const int64_t x = i % width;
    const int64_t y = i / width;
    const bool clear = std::none_of(points.begin(), points.end(), [&](const auto& p) {
      return std::hypot(double(p.first - x), double(p.second - y)) < spacing;
    });
    if (clear) points.emplace_back(x, y);
  }
  size_t start = 0;
  double farthest = -1;
  for (size_t k = 0; k < points.size(); ++k) {
    const double d = std::hypot(points[k].first - cx, points[k].second - cy);
    if (d > farthest) farthest = d, start = k;
  }
  std::vector<std::pair<int64_t, int64_t>> ordered{points[start]};
  std::vector<bool> taken(points.size(), false);
  taken[start] = true;
  for (size_t n = 1; n < points.size(); ++n) {
    const auto& last = ordered.back();
    size_t best = 0;
    double nearest = std::numeric_limits<double>::infinity();
    for (size_t k = 0; k < points.size(); ++k) {
      if (taken[k]) continue;
      const double d =
          std::hypot(double(points[k].first - last.first), double(points[k].second - last.second));
      if (d < nearest) nearest = d, best = k;
    }
    taken[best] = true;
    ordered.push_back(points[best]);
  }
  return ordered;
}

// The spots of one kept component: one spot when compact, a chain otherwise.
std::vector<Spot> spotsOf(const Component& c, int64_t width, int64_t height, double cx, double cy,
                          double score) {
  const double n = double(c.pixels.size());
  const double longSide = double(std::max(width, height));
  double extent = 0;
  for (int64_t i : c.pixels) extent = std::max(extent, std::hypot(i % width - cx, i / width - cy));
  if (extent <= 2.2 * std::sqrt(n / std::numbers::pi) || extent < 6) {
    return {scoredSpot((cx + 0.5) / width, (cy + 0.5) / height, (extent + 2.2) / longSide, score)};
  }
  const double radius = std::max(n / std::max(2 * extent, 1.0) * 0.5 + 2.5, 4.0);
  const Uuid group = Uuid::random();
  std::vector<Spot> chain;
  for (const auto& [px, py] : chainPoints(c, width, cx, cy, 1.3 * radius)) {
    Spot spot = scoredSpot((px + 0.5) / width, (py + 0.5) / height, radius / longSide, score);
    spot.group = group;
    chain.push_back(std::move(spot));
  }
  return chain;
}

// Whole groups by rank, highest first (equal ranks in scan order), while they fit under the cap.
std::vector<Spot> capped(std::vector<Group> groups, int64_t maxSpots) {
  std::stable_sort(groups.begin(), groups.end(),
                   [](const Group& a, const Group& b) { return a.rank > b.rank; });
  std::vector<Spot> spots;
  for (auto& group : groups) {
    const auto size = static_cast<int64_t>(group.spots.size());
    // A group larger than the cap can never fit; passing it over keeps the smaller finds
    // instead of reporting no dust at all.
    if (size > maxSpots) continue;
    if (static_cast<int64_t>(spots.size()) + size > maxSpots) break;
    std::move(group.spots.begin(), group.spots.end(), std::back_inserter(spots));
  }
  return spots;
}

}  // namespace

std::vector<Spot> spotsFromProbability(const std::vector<float>& prob, int64_t width,
                                       int64_t height, int64_t maxSpots, const AcceptTest& accept,
                                       double sensitivity) {
  if (width <= 0 || height <= 0 || prob.size() != static_cast<size_t>(width * height)) return {};
  const Thresholds t = thresholdsFor(sensitivity);
  const float range = t.scoreRange < 0.01f ? 0.01f : t.scoreRange;
  std::vector<int32_t> labels(prob.size(), 0);
  std::vector<int64_t> stack;
  std::vector<Group> groups;
  int32_t next = 0;
  for (int64_t seed = 0; seed < width * height; ++seed) {
    if (labels[seed] != 0 || !(prob[seed] > t.threshold)) continue;
    const Component c = grow(prob, labels, width, height, seed, ++next, t.threshold, stack);
    const double n = double(c.pixels.size());
    if (n < t.minSize || !(c.peak >= t.peakMin)) continue;
    double sx = 0, sy = 0;
    for (int64_t i : c.pixels) sx += double(i % width), sy += double(i / width);
    const double cx = sx / n;
    const double cy = sy / n;
    if (accept && !accept((cx + 0.5) / width, (cy + 0.5) / height)) continue;
    const double score = std::clamp((c.peak - t.threshold) / range, 0.0f, 1.0f);
    const float rank = c.peak * std::sqrt(float(c.pixels.size()));
    groups.push_back({spotsOf(c, width, height, cx, cy, score), rank});
  }
  return capped(std::move(groups), maxSpots);
}

}  // namespace DustModel
