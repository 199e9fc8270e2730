#include "Dust/DustSpotFinder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "Conversion/Converter.h"
#include "Dust/DustCandidates.h"
#include "Dust/DustDetectorTuning.h"
#include "Dust/DustPlanes.h"
#include "Dust/DustShape.h"
#include "Support/ParallelFor.h"

namespace DustDetector {

namespace {

// Sizes that follow from the scan's dimensions (integer divisions truncate).
struct Scale {
  int64_t width = 0;
  int64_t height = 0;
  int64_t longSide = 0;    // L
  int64_t count = 0;       // N
  int64_t r = 0;           // working radius
  int64_t stride = 0;      // k, the sample stride of the noise statistics
  int64_t smallArea = 0;   // largest compact find
  int64_t maxArea = 0;     // largest find of any shape
  int64_t widthLimit = 0;  // wMax, the thickest elongated find
};

Scale scaleOf(int64_t width, int64_t height) {
  Scale s;
  s.width = width;
  s.height = height;
  s.longSide = std::max(width, height);
  s.count = width * height;
  s.r = s.longSide >= 900 ? s.longSide / 300 : 3;
  s.stride = s.count >= 20000 ? s.count / 20000 : 1;
  s.smallArea = std::max<int64_t>(16, (s.longSide / 150) * (s.longSide / 150));
  s.maxArea = s.longSide >= 80 ? (4 * s.longSide) / 5 : 64;
  s.widthLimit = std::max<int64_t>(s.longSide / 400, 3);
  return s;
}

struct Planes {
  Plane d;         // density, pre-smoothed and signed by the polarity
  Plane mean;      // two box passes of r
  Plane wideMean;  // two box passes of 4r
  Plane top1;      // d − opening of radius r
  Plane top2;      // d − opening of radius 2r
  Plane fine2;     // two box passes of radius 2
  Plane response;
  std::array<Plane, 3> channels;  // per-channel contrast, with colour only
};

// Noise levels and thresholds of one run.
struct Levels {
  float R = 0;       // robust deviation of the contrast d − mean
  float sigma1 = 0;  // robust deviation of top1
  float sigma2 = 0;  // robust deviation of top2
  float T = 0;       // seed threshold; growth goes down to 0.6·T
  float a = 0;       // acceptance factor
  float b = 0;       // vote factor
};

void forEachRow(const Scale& s, const std::function<void(int64_t begin, int64_t end)>& body) {
  parallelForRows(s.height, body, s.count < 16384 ? s.height + 1 : 2);
}

// top = d − opening(d), into `top`.
void topHat(const Plane& d, Plane& top, Plane& scratch1, Plane& scratch2, const Scale& s,
            int64_t radius) {
  opening(d.data(), top.data(), scratch1.data(), scratch2.data(), s.width, s.height, radius);
  forEachRow(s, [&](int64_t begin, int64_t end) {
    for (int64_t i = begin * s.width; i < end * s.width; ++i) top[i] = d[i] - top[i];
  });
}

Planes buildPlanes(const float* pixels, const Scale& s, bool colour, float polarity,
                   int64_t preSmooth) {
  const auto n = static_cast<size_t>(s.count);
  Planes p;
  Plane scratch(n);
  p.d = Plane(n);
  densityPlane(s.width, s.height, pixels, p.d.data());
  if (preSmooth > 0)
    boxPasses(p.d.data(), p.d.data(), scratch.data(), s.width, s.height, preSmooth, 1);
  if (polarity < 0) {
    forEachRow(s, [&](int64_t begin, int64_t end) {
      for (int64_t i = begin * s.width; i < end * s.width; ++i) p.d[i] = -p.d[i];
    });
  }
  p.mean = Plane(n);
  boxPasses(p.d.data(), p.mean.data(), scratch.data(), s.width, s.height, s.r, 2);
  p.wideMean = Plane(n);
  boxPasses(p.d.data(), p.wideMean.data(), scratch.data(), s.width, s.height, 4 * s.r, 2);
  p.fine2 = Plane(n);
  boxPasses(p.d.data(), p.fine2.data(), scratch.data(), s.width, s.height, 2, 2);
  // The response plane is not filled yet: it serves as the second scratch plane until then.
  p.response = Plane(n);
  p.top1 = Plane(n);
  topHat(p.d, p.top1, scratch, p.response, s, s.r);
  p.top2 = Plane(n);
  topHat(p.d, p.top2, scratch, p.response, s, 2 * s.r);
  if (colour) {
    for (int c = 0; c < 3; ++c) {
      Plane& channel = p.channels[static_cast<size_t>(c)];
      channel = Plane(n);
      channelDensityPlane(s.width, s.height, pixels, c, channel.data());
      boxPasses(channel.data(), p.response.data(), scratch.data(), s.width, s.height, s.r, 2);
      forEachRow(s, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin * s.width; i < end * s.width; ++i)
          channel[i] = polarity * (channel[i] - p.response[i]);
      });
    }
  }
  return p;
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

// Visited flags of the flood fill; a component under test marks its own pixels as members.
enum Mark : uint8_t { unvisited = 0, visited = 1, member = 2 };

struct Component {
  std::vector<int64_t> pixels;  // in the order the fill took them; the seed first
  int64_t peakPixel = 0;
  float peak = 0;
  bool touchesBorder = false;
};

// Grows the component of `seed` through pixels whose response is above `grow`, eight-connected,
// never past the image's outermost rows and columns, and stops once it holds more than `cap`
// pixels (whatever is still stacked stays visited).
void growComponent(int64_t seed, const Scale& s, const Plane& response, float grow, size_t cap,
                   std::vector<uint8_t>& marks, std::vector<int64_t>& stack, Component& comp) {
  comp.pixels.clear();
  comp.peak = -std::numeric_limits<float>::infinity();
  comp.touchesBorder = false;
  stack.clear();
  marks[static_cast<size_t>(seed)] = visited;
  stack.push_back(seed);
  const int64_t w = s.width;
  const std::array<int64_t, 8> offsets{-1, 1, -w, w, -w - 1, -w + 1, w - 1, w + 1};
  while (!stack.empty() && comp.pixels.size() <= cap) {
    const int64_t i = stack.back();
    stack.pop_back();
    comp.pixels.push_back(i);
    if (response[static_cast<size_t>(i)] > comp.peak) {
      comp.peak = response[static_cast<size_t>(i)];
      comp.peakPixel = i;
    }
    const int64_t x = i % w;
    const int64_t y = i / w;
    if (x == 0 || y == 0 || x == w - 1 || y == s.height - 1) {
      comp.touchesBorder = true;
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
}

enum class Shape { compact, elongated };

// One component on its way through the tests.
struct Find {
  const Component* comp = nullptr;
  Centroid c;
  double t = 0;    // largest distance of a pixel from the centroid
  double ext = 0;  // max(1, 2t)
  double w = 0;    // thickness n/ext
  Shape shape = Shape::compact;
  bool axisAligned = false;
  double theta = 0;
  float noise = 0;
  int votes = 0;
  int maxVotes = 5;
  float f = 1;  // threshold multiplier
  bool overCeiling = false;
};

// The context of one run.
struct Run {
  const Scale& s;
  const Planes& p;
  const Levels& l;
  const Tuning& tuning;
  bool colour;
  std::optional<float> ceiling;
  const AcceptTest& accept;
  std::vector<uint8_t>& marks;
  std::vector<Segment>& segments;

  float d(int64_t x, int64_t y) const { return p.d[static_cast<size_t>(y * s.width + x)]; }
  bool inside(int64_t x, int64_t y) const {
    return x >= 0 && x < s.width && y >= 0 && y < s.height;
  }
  int64_t n(const Find& f) const { return static_cast<int64_t>(f.comp->pixels.size()); }
};

void measureExtent(Find& f, int64_t width) {
  f.c = centroidOf(f.comp->pixels, width);
  double largest = 0;
  for (const int64_t i : f.comp->pixels)
    largest = std::max(largest, std::hypot(static_cast<double>(i % width) - f.c.x,
                                           static_cast<double>(i / width) - f.c.y));
  f.t = largest;
  f.ext = std::max(1.0, 2 * f.t);
  f.w = static_cast<double>(f.comp->pixels.size()) / f.ext;
}

// The shape class, recording clearly directional elongated components as segments. False when
// the component fits no class or is a thin straight line left to the hair finder.
bool classify(Find& f, const Run& run) {
  const double n = static_cast<double>(run.n(f));
  const double L = static_cast<double>(run.s.longSide);
  const auto wMax = static_cast<double>(run.s.widthLimit);
  if (run.n(f) <= run.s.smallArea && f.t <= std::max(1.6 * std::sqrt(n), 3.0)) {
    f.shape = Shape::compact;
    return true;
  }
  if (f.ext <= L / 5 && f.w <= wMax && f.ext >= 4 * f.w) {
    const Moments m = momentsOf(f.comp->pixels, run.s.width, f.c);
    const double l1 = m.largestEigenvalue();
    const double l2 = m.smallestEigenvalue();
    f.theta = m.orientation();
    if ((l2 <= 0.01 && l1 > 0.09) || (l2 > 0.01 && 9 * l2 < l1))
      run.segments.push_back({f.c.x, f.c.y, f.theta});
    if (!run.tuning.straightHairs && std::sqrt(l2) < std::max(0.6 * f.w, 1.2) && f.ext > L / 60)
      return false;
    f.shape = Shape::elongated;
    return true;
  }
  if (f.w <= wMax && f.ext >= 12 * f.w && f.ext > L / 12) {
    f.theta = momentsOf(f.comp->pixels, run.s.width, f.c).orientation();
    const double degrees = std::fabs(f.theta) * 180 / std::numbers::pi;
    if (degrees <= 3 || degrees >= 87) {
      f.shape = Shape::elongated;
      f.axisAligned = true;
      return true;
    }
  }
  return false;
}

// An elongated find must stand above the higher of its two sides, on average, by hairMargin of
// its peak.
bool passesSideTest(const Find& f, const Run& run) {
  if (!run.tuning.useHair) return true;
  const auto& pixels = f.comp->pixels;
  const int64_t step = std::max<int64_t>(1, run.n(f) / 16);
  const double D = 0.5 * f.w + 2 + static_cast<double>(run.s.r);
  const double ox = -D * std::sin(f.theta);
  const double oy = D * std::cos(f.theta);
  int64_t counted = 0;
  float sum = 0;
  for (int64_t k = 0; k < run.n(f); k += step) {
    const int64_t i = pixels[static_cast<size_t>(k)];
    const auto px = static_cast<double>(i % run.s.width);
    const auto py = static_cast<double>(i / run.s.width);
    const auto x1 = static_cast<int64_t>(px + ox), y1 = static_cast<int64_t>(py + oy);
    const auto x2 = static_cast<int64_t>(px - ox), y2 = static_cast<int64_t>(py - oy);
    if (!run.inside(x1, y1) || !run.inside(x2, y2)) continue;
    ++counted;
    sum += run.p.d[static_cast<size_t>(i)] - std::max(run.d(x1, y1), run.d(x2, y2));
  }
  return counted > 0 && !(sum / static_cast<float>(counted) < run.tuning.hairMargin * f.comp->peak);
}

// Root mean square response at eight offsets around a subset of the pixels, outside the
// component; R when none of them counts.
float localNoise(const Find& f, const Run& run) {
  const auto& pixels = f.comp->pixels;
  for (const int64_t i : pixels) run.marks[static_cast<size_t>(i)] = member;
  const int64_t h = static_cast<int64_t>(f.shape == Shape::compact ? f.t : f.w) + 4;
  const std::array<std::array<int64_t, 2>, 8> offsets{
      {{h, 0}, {-h, 0}, {0, h}, {0, -h}, {h, h}, {-h, -h}, {h, -h}, {-h, h}}};
  const int64_t step = std::max<int64_t>(1, run.n(f) / 24);
  float sum = 0;
  int64_t counted = 0;
  for (int64_t k = 0; k < run.n(f); k += step) {
    const int64_t i = pixels[static_cast<size_t>(k)];
    const int64_t x = i % run.s.width;
    const int64_t y = i / run.s.width;
    for (const auto& o : offsets) {
      const int64_t qx = x + o[0];
      const int64_t qy = y + o[1];
      if (!run.inside(qx, qy)) continue;
      const auto q = static_cast<size_t>(qy * run.s.width + qx);
      if (run.marks[q] == member) continue;
      sum += run.p.response[q] * run.p.response[q];
      ++counted;
    }
  }
  for (const int64_t i : pixels) run.marks[static_cast<size_t>(i)] = visited;
  return counted > 0 ? std::sqrt(sum / static_cast<float>(counted)) : run.l.R;
}

void countVotes(Find& f, const Run& run) {
  const auto p = static_cast<size_t>(f.comp->peakPixel);
  const float contrast = run.p.d[p] - run.p.mean[p];
  const float sharpness = run.p.d[p] - run.p.fine2[p];
  f.votes = 0;
  if (contrast > run.l.T) ++f.votes;
  if (run.p.top1[p] > run.l.b * run.l.sigma1) ++f.votes;
  if (run.p.top2[p] > run.l.b * run.l.sigma2) ++f.votes;
  if (contrast <= 0.0001f ? sharpness > 0.00003f : sharpness > 0.3f * contrast) ++f.votes;
  if (f.axisAligned) ++f.votes;
}

enum class Verdict { drop, test, skipToEdge };

// The density ceiling and the colour evidence: they set the threshold multiplier and may add
// votes. A compact find over the ceiling without colour evidence is judged here alone.
Verdict weighCeilingAndColour(Find& f, const Run& run) {
  const auto p = static_cast<size_t>(f.comp->peakPixel);
  if (run.ceiling && run.p.d[p] > *run.ceiling) {
    f.f = 0.55f;
    f.overCeiling = true;
    if (!run.colour && f.shape == Shape::compact) {
      if (!(f.comp->peak > 0.55f * run.l.a * std::max(run.l.R, f.noise))) return Verdict::drop;
      f.votes += 2;
      return Verdict::skipToEdge;
    }
  }
  if (run.colour) {
    const float c0 = run.p.channels[0][p];
    const float c1 = run.p.channels[1][p];
    const float c2 = run.p.channels[2][p];
    const float largest = std::max({c0, c1, c2});
    if (largest > 0.0001f) {
      const float ratio = std::min({c0, c1, c2}) / largest;
      if (ratio < 0.3f && f.f == 1) return Verdict::drop;
      if (ratio > 0.6f) {
        f.f = std::min(f.f, 0.75f);
        ++f.votes;
      }
    } else if (f.f == 1) {
      return Verdict::drop;
    }
    f.maxVotes = 6;
  }
  return Verdict::test;
}

// Whether the mean density on three rings around a compact find lies more than ringDark of its
// peak below the wide background at its centre.
bool hasDarkRing(const Find& f, const Run& run) {
  const double r = static_cast<double>(run.s.r);
  float sum = 0;
  int64_t counted = 0;
  for (const double rho : {f.t + 2, f.t + 2 + r / 2, f.t + 2 + r}) {
    for (int j = 0; j < 16; ++j) {
      const double phi = j * std::numbers::pi / 8;
      const auto x = static_cast<int64_t>(f.c.x + rho * std::cos(phi));
      const auto y = static_cast<int64_t>(f.c.y + rho * std::sin(phi));
      if (!run.inside(x, y)) continue;
      sum += run.d(x, y);
      ++counted;
    }
  }
  if (counted == 0) return false;
  const auto centre =
      static_cast<size_t>(static_cast<int64_t>(f.c.y) * run.s.width + static_cast<int64_t>(f.c.x));
  return run.p.wideMean[centre] - sum / static_cast<float>(counted) >
         run.tuning.ringDark * f.comp->peak;
}

// Whether the wide background around the find steps by more than edgeStep of its peak.
bool nearBackgroundStep(const Find& f, const Run& run) {
  const double rho = 4.8 * static_cast<double>(run.s.r) + f.t;
  float lowest = std::numeric_limits<float>::infinity();
  float highest = -std::numeric_limits<float>::infinity();
  for (int j = 0; j < 8; ++j) {
    const double phi = j * std::numbers::pi / 4;
    const auto x = static_cast<int64_t>(f.c.x + rho * std::cos(phi));
    const auto y = static_cast<int64_t>(f.c.y + rho * std::sin(phi));
    if (!run.inside(x, y)) continue;
    const float v = run.p.wideMean[static_cast<size_t>(y * run.s.width + x)];
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  return highest > lowest && highest - lowest > run.tuning.edgeStep * f.comp->peak;
}

// The acceptance against the local noise and the ring and edge tests.
bool passesEvidenceTests(Find& f, const Run& run) {
  Verdict verdict = weighCeilingAndColour(f, run);
  if (verdict == Verdict::drop) return false;
  if (verdict == Verdict::test) {
    const float g = f.shape == Shape::elongated ? 0.7f : 1.0f;
    if (!(f.comp->peak > std::max(run.l.R, f.noise) * g * run.l.a * f.f)) return false;
    if (f.overCeiling) {
      f.votes += 2;
    } else if (f.shape == Shape::compact && run.tuning.useRing && hasDarkRing(f, run)) {
      return false;
    }
  }
  if (f.f > 0.6f && !f.axisAligned && run.tuning.useEdge && nearBackgroundStep(f, run))
    return false;
  return true;
}

double scoreOf(const Find& f) {
  return std::min(static_cast<double>(f.votes) / static_cast<double>(f.maxVotes), 1.0);
}

std::optional<Candidate> compactCandidate(const Find& f, const Run& run) {
  const int64_t x = static_cast<int64_t>(f.c.x);
  const int64_t y = static_cast<int64_t>(f.c.y);
  const int64_t r = run.s.r;
  if (x - r >= 0 && x + r < run.s.width && y - r >= 0 && y + r < run.s.height) {
    auto mean = [&](int64_t u, int64_t v) {
      return run.p.mean[static_cast<size_t>(v * run.s.width + u)];
    };
    const float gradient =
        std::fabs(mean(x + r, y) - mean(x - r, y)) + std::fabs(mean(x, y + r) - mean(x, y - r));
    if (gradient > 1.2f * f.comp->peak) return std::nullopt;
  }
  const double nx = (f.c.x + 0.5) / static_cast<double>(run.s.width);
  const double ny = (f.c.y + 0.5) / static_cast<double>(run.s.height);
  if (!run.accept(nx, ny)) return std::nullopt;
  Spot spot;
  spot.id = Uuid::random();
  spot.x = nx;
  spot.y = ny;
  spot.r = (f.t + 1.8) / static_cast<double>(run.s.longSide);
  spot.score = scoreOf(f);
  Candidate candidate;
  candidate.spots.push_back(spot);
  candidate.strength = f.comp->peak * std::sqrt(static_cast<float>(run.n(f)));
  return candidate;
}

std::optional<Candidate> chainCandidate(const Find& f, const Run& run) {
  const double rho = std::max(0.5 * f.w + 1.8, 2.5);
  const double nx = (f.c.x + 0.5) / static_cast<double>(run.s.width);
  const double ny = (f.c.y + 0.5) / static_cast<double>(run.s.height);
  if (!run.accept(nx, ny)) return std::nullopt;
  const Uuid group = Uuid::random();
  const double score = scoreOf(f);
  Candidate candidate;
  for (const int64_t i : spacedPixels(f.comp->pixels, run.s.width, 0.8 * rho))
    candidate.spots.push_back(
        chainSpot(i % run.s.width, i / run.s.width, run.s.width, run.s.height, rho, group, score));
  candidate.strength = f.comp->peak * std::sqrt(static_cast<float>(run.n(f)));
  candidate.centre = f.c;
  return candidate;
}

// Every test of one component that passed the size tests, in order.
std::optional<Candidate> judge(const Component& comp, const Run& run) {
  Find f;
  f.comp = &comp;
  measureExtent(f, run.s.width);
  if (!classify(f, run)) return std::nullopt;
  if (f.shape == Shape::elongated && !passesSideTest(f, run)) return std::nullopt;
  f.noise = localNoise(f, run);
  countVotes(f, run);
  if (!passesEvidenceTests(f, run)) return std::nullopt;
  return f.shape == Shape::compact ? compactCandidate(f, run) : chainCandidate(f, run);
}

std::vector<Spot> find(int64_t width, int64_t height, const float* pixels, int64_t maxSpots,
                       bool colour, std::optional<float> ceiling, const AcceptTest& accept,
                       float polarity, double sensitivity) {
  if (width < 64 || height < 64) return {};
  const Tuning tuning = DustDetector::tuning();
  const Scale s = scaleOf(width, height);
  Planes planes = buildPlanes(pixels, s, colour, polarity, tuning.preSmooth);
  const Levels levels = measureLevels(planes, s, sensitivity);
  fillResponse(planes, s, levels);

  std::vector<uint8_t> marks(static_cast<size_t>(s.count), unvisited);
  std::vector<Segment> segments;
  std::vector<Seed> seeds;
  std::vector<Candidate> candidates;
  const Run run{s, planes, levels, tuning, colour, ceiling, accept, marks, segments};

  std::vector<int64_t> stack;
  Component comp;
  const float grow = 0.6f * levels.T;
  const auto cap = static_cast<size_t>(2 * s.maxArea);
  for (int64_t i = 0; i < s.count; ++i) {
    if (marks[static_cast<size_t>(i)] != unvisited || !(planes.response[i] > levels.T)) continue;
    growComponent(i, s, planes.response, grow, cap, marks, stack, comp);
    const auto n = static_cast<int64_t>(comp.pixels.size());
    if (comp.touchesBorder || n < 3 || n > s.maxArea || !(comp.peak > 1.4f * levels.T)) continue;
    seeds.push_back({i % width, i / width});
    if (auto candidate = judge(comp, run)) candidates.push_back(std::move(*candidate));
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
    return Converter::isInsideCrop(settings, width, height, {x, y}, crop);
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
