#include "Dust/DustSpotFinder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include "Conversion/Geometry.h"
#include "Dust/DustCandidates.h"
#include "Dust/DustDetectorTuning.h"
#include "Dust/DustPlanes.h"
#include "Dust/DustSpotSteps.h"
#include "Support/ParallelFor.h"

namespace DustDetector {

namespace {

using namespace SpotSteps;

void forEachRow(const Scale& s, const std::function<void(int64_t begin, int64_t end)>& body) {
  parallelForRows(s.height, body, s.count < 16384 ? s.height + 1 : 2);
}

// The run's planes. The flood fill needs d, mean, both top-hats and the response; afterwards
// their buffers take the planes that only the evidence stage reads. Six planes at most.
struct Planes {
  explicit Planes(size_t count)
      : d(count), mean(count), scratch(count), top1(count), top2(count), response(count) {}

  Plane d;  // density, pre-smoothed and signed by the polarity
  Plane mean;
  Plane scratch;
  Plane top1;      // later wideMean
  Plane top2;      // later fine2, then each channel's density
  Plane response;  // later each channel's blurred density
};

void buildDensity(Planes& p, const float* pixels, const Scale& s, float polarity,
                  int64_t preSmooth) {
  densityPlane(s.width, s.height, pixels, p.d.data());
  if (preSmooth > 0)
    boxPasses(p.d.data(), p.d.data(), p.scratch.data(), s.width, s.height, preSmooth, 1);
  if (polarity < 0) {
    forEachRow(s, [&](int64_t begin, int64_t end) {
      for (int64_t i = begin * s.width; i < end * s.width; ++i) p.d[i] = -p.d[i];
    });
  }
}

// top = d − opening(d) of the radius; `spare` is a free plane besides the scratch.
void topHat(Planes& p, Plane& top, Plane& spare, const Scale& s, int64_t radius) {
  opening(p.d.data(), top.data(), p.scratch.data(), spare.data(), s.width, s.height, radius);
  forEachRow(s, [&](int64_t begin, int64_t end) {
    for (int64_t i = begin * s.width; i < end * s.width; ++i) top[i] = p.d[i] - top[i];
  });
}

Levels measureLevels(const Planes& p, const Scale& s, double sensitivity) {
  Levels l;
  std::vector<float> contrasts;
  contrasts.reserve(20000);
  for (int64_t i = 0; i < s.count; i += s.stride)
    contrasts.push_back(std::fabs(p.d[i] - p.mean[i]));
  l.R = 1.4826f * medianElement(contrasts);
  l.sigma1 = robustSigma(p.top1.data(), s.count, s.stride);
  l.sigma2 = robustSigma(p.top2.data(), s.count, s.stride);
  const double c = sensitivity <= 0 ? 0.0 : std::min(sensitivity, 1.0);
  const float seedFactor = sensitivity <= 0 ? 7.5f : static_cast<float>(7.5 - 4 * c);
  l.T = std::max(l.R * seedFactor, 0.05f);
  l.a = static_cast<float>(7 - 3 * c);
  l.b = static_cast<float>(4.5 - 2 * sensitivity);
  return l;
}

void fillResponse(Planes& p, const Scale& s, const Levels& l) {
  forEachRow(s, [&](int64_t begin, int64_t end) {
    for (int64_t i = begin * s.width; i < end * s.width; ++i) {
      const float contrast = p.d[i] - p.mean[i];
      const float scaled = l.R * std::max(p.top1[i] / l.sigma1, 0.9f * p.top2[i] / l.sigma2);
      p.response[i] = std::max(contrast, scaled);
    }
  });
}

// Grows the component of `seed` through pixels whose response is above `grow`, eight-connected,
// never past the image's outermost rows and columns, and stops once it holds more than `cap`
// pixels (whatever is still stacked stays visited). Returns whether it touches the border.
bool growComponent(int64_t seed, const Scale& s, const Plane& response, float grow, size_t cap,
                   std::vector<uint8_t>& marks, std::vector<int64_t>& stack, Find& f) {
  f.pixels.clear();
  f.peak = -std::numeric_limits<float>::infinity();
  bool touchesBorder = false;
  stack.clear();
  marks[static_cast<size_t>(seed)] = visited;
  stack.push_back(seed);
  const int64_t w = s.width;
  const std::array<int64_t, 8> offsets{-1, 1, -w, w, -w - 1, -w + 1, w - 1, w + 1};
  while (!stack.empty() && f.pixels.size() <= cap) {
    const int64_t i = stack.back();
    stack.pop_back();
    f.pixels.push_back(i);
    if (response[i] > f.peak) {
      f.peak = response[i];
      f.peakPixel = i;
    }
    const int64_t x = i % w;
    const int64_t y = i / w;
    if (x == 0 || y == 0 || x == w - 1 || y == s.height - 1) {
      touchesBorder = true;
      continue;
    }
    for (const int64_t o : offsets) {
      const auto j = static_cast<size_t>(i + o);
      if (marks[j] == unvisited && response[j] > grow) {
        marks[j] = visited;
        stack.push_back(i + o);
      }
    }
  }
  return touchesBorder;
}

// The flood fill over the response and the shape stage of every component that passes the size
// tests; those seeds and the finds that pass go to the lists, in the order found.
void findComponents(Planes& p, const Scale& s, const Levels& l, const Tuning& tuning,
                    std::vector<Seed>& seeds, std::vector<Segment>& segments,
                    std::vector<Find>& finds) {
  std::vector<uint8_t> marks(static_cast<size_t>(s.count), unvisited);
  const ShapeStage stage{s, tuning, l.R, p.d.data(), p.response.data(), marks, segments};
  std::vector<int64_t> stack;
  Find f;
  const float grow = 0.6f * l.T;
  const auto cap = static_cast<size_t>(2 * s.maxArea);
  for (int64_t i = 0; i < s.count; ++i) {
    if (marks[static_cast<size_t>(i)] != unvisited || !(p.response[i] > l.T)) continue;
    const bool touchesBorder = growComponent(i, s, p.response, grow, cap, marks, stack, f);
    if (touchesBorder || f.n() < 3 || f.n() > s.maxArea || !(f.peak > 1.4f * l.T)) continue;
    seeds.push_back({i % s.width, i / s.width});
    if (passesShapeStage(f, stage)) finds.push_back(std::move(f));
  }
}

// Samples at each find's peak the planes the evidence stage reads, making those that the flood
// fill did not need in the buffers it leaves free.
void samplePeaks(Planes& p, const Scale& s, const float* pixels, bool colour, float polarity,
                 std::vector<Find>& finds) {
  for (Find& f : finds) {
    f.d = p.d[f.peakPixel];
    f.contrast = p.d[f.peakPixel] - p.mean[f.peakPixel];
    f.top1 = p.top1[f.peakPixel];
    f.top2 = p.top2[f.peakPixel];
  }
  Plane& fine2 = p.top2;
  boxPasses(p.d.data(), fine2.data(), p.scratch.data(), s.width, s.height, 2, 2);
  for (Find& f : finds) f.fine2 = fine2[f.peakPixel];
  if (!colour) return;
  Plane& channel = p.top2;
  Plane& blurred = p.response;
  for (int c = 0; c < 3; ++c) {
    channelDensityPlane(s.width, s.height, pixels, c, channel.data());
    boxPasses(channel.data(), blurred.data(), p.scratch.data(), s.width, s.height, s.r, 2);
    for (Find& f : finds)
      f.channels[static_cast<size_t>(c)] = polarity * (channel[f.peakPixel] - blurred[f.peakPixel]);
  }
}

std::vector<Spot> find(int64_t width, int64_t height, const float* pixels, int64_t maxSpots,
                       bool colour, std::optional<float> ceiling, const AcceptTest& accept,
                       float polarity, double sensitivity) {
  if (width < 64 || height < 64) return {};
  const Tuning tuning = DustDetector::tuning();
  const Scale s = scaleOf(width, height);

  Planes p(static_cast<size_t>(s.count));
  buildDensity(p, pixels, s, polarity, tuning.preSmooth);
  boxPasses(p.d.data(), p.mean.data(), p.scratch.data(), width, height, s.r, 2);
  topHat(p, p.top1, p.response, s, s.r);
  topHat(p, p.top2, p.response, s, 2 * s.r);
  const Levels levels = measureLevels(p, s, sensitivity);
  fillResponse(p, s, levels);

  std::vector<Seed> seeds;
  std::vector<Segment> segments;
  std::vector<Find> finds;
  findComponents(p, s, levels, tuning, seeds, segments, finds);

  std::vector<Candidate> candidates;
  if (!finds.empty()) {
    samplePeaks(p, s, pixels, colour, polarity, finds);
    Plane& wideMean = p.top1;
    boxPasses(p.d.data(), wideMean.data(), p.scratch.data(), width, height, 4 * s.r, 2);
    const EvidenceStage stage{s,          levels,        tuning,          colour, ceiling,
                              p.d.data(), p.mean.data(), wideMean.data(), accept};
    for (Find& f : finds)
      if (auto candidate = judgeEvidence(f, stage)) candidates.push_back(std::move(*candidate));
  }

  candidates = pruneLines(std::move(candidates), segments, s.longSide);
  if (tuning.useBusy) {
    const auto busy =
        busyIndices(candidates, seeds, width, height, tuning.busyFound, tuning.busyBlobs);
    for (auto it = busy.rbegin(); it != busy.rend(); ++it)
      candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(*it));
  }
  return strongestSpots(std::move(candidates), maxSpots);
}

}  // namespace

std::vector<Spot> findSpots(int64_t width, int64_t height, const float* pixels, int64_t maxSpots,
                            bool colour, std::optional<float> ceiling,
                            const ConversionSettings& settings, float polarity, double sensitivity,
                            const NormRect& crop) {
  const AcceptTest insideCrop = [&](double x, double y) {
    return isInsideCrop(width, height, settings.skewDegrees, {x, y}, crop);
  };
  return find(width, height, pixels, maxSpots, colour, ceiling, insideCrop, polarity, sensitivity);
}

std::vector<Spot> findSpotsAccepting(int64_t width, int64_t height, const float* pixels,
                                     int64_t maxSpots, bool colour, std::optional<float> ceiling,
                                     const AcceptTest& accept, float polarity, double sensitivity) {
  return find(width, height, pixels, maxSpots, colour, ceiling, accept, polarity, sensitivity);
}

std::vector<Spot> findSpotsWholeFrame(int64_t width, int64_t height, const float* pixels,
                                      int64_t maxSpots, bool colour, std::optional<float> ceiling,
                                      float polarity, double sensitivity) {
  const AcceptTest all = [](double, double) { return true; };
  return find(width, height, pixels, maxSpots, colour, ceiling, all, polarity, sensitivity);
}

}  // namespace DustDetector
