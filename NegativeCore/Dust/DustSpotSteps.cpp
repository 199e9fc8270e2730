#include "Dust/DustSpotSteps.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace DustDetector::SpotSteps {

namespace {

bool inside(const Scale& s, int64_t x, int64_t y) {
  return x >= 0 && x < s.width && y >= 0 && y < s.height;
}

float at(const float* plane, const Scale& s, int64_t x, int64_t y) {
  return plane[y * s.width + x];
}

void measureExtent(Find& f, int64_t width) {
  f.c = centroidOf(f.pixels, width);
  double largest = 0;
  for (const int64_t i : f.pixels)
    largest = std::max(largest, std::hypot(static_cast<double>(i % width) - f.c.x,
                                           static_cast<double>(i / width) - f.c.y));
  f.t = largest;
  f.ext = std::max(1.0, 2 * f.t);
  f.w = static_cast<double>(f.pixels.size()) / f.ext;
}

// The shape class, recording clearly directional elongated components as segments. False when
// the component fits no class or is a thin straight line left to the hair finder.
bool classify(Find& f, const ShapeStage& stage) {
  const Scale& s = stage.s;
  const double n = static_cast<double>(f.n());
  const double L = static_cast<double>(s.longSide);
  const auto wMax = static_cast<double>(s.widthLimit);
  if (f.n() <= s.smallArea && f.t <= std::max(1.6 * std::sqrt(n), 3.0)) {
    f.shape = Shape::compact;
    return true;
  }
  if (f.ext <= L / 5 && f.w <= wMax && f.ext >= 4 * f.w) {
    const Moments m = momentsOf(f.pixels, s.width, f.c);
    const double l1 = m.largestEigenvalue();
    const double l2 = m.smallestEigenvalue();
    f.theta = m.orientation();
    if ((l2 <= 0.01 && l1 > 0.09) || (l2 > 0.01 && 9 * l2 < l1))
      stage.segments.push_back({f.c.x, f.c.y, f.theta});
    if (!stage.tuning.straightHairs && std::sqrt(l2) < std::max(0.6 * f.w, 1.2) && f.ext > L / 60)
      return false;
    f.shape = Shape::elongated;
    return true;
  }
  if (f.w <= wMax && f.ext >= 12 * f.w && f.ext > L / 12) {
    f.theta = momentsOf(f.pixels, s.width, f.c).orientation();
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
bool passesSideTest(const Find& f, const ShapeStage& stage) {
  if (!stage.tuning.useHair) return true;
  const Scale& s = stage.s;
  const int64_t step = std::max<int64_t>(1, f.n() / 16);
  const double D = 0.5 * f.w + 2 + static_cast<double>(s.r);
  const double ox = -D * std::sin(f.theta);
  const double oy = D * std::cos(f.theta);
  int64_t counted = 0;
  float sum = 0;
  for (int64_t k = 0; k < f.n(); k += step) {
    const int64_t i = f.pixels[static_cast<size_t>(k)];
    const auto px = static_cast<double>(i % s.width);
    const auto py = static_cast<double>(i / s.width);
    const auto x1 = static_cast<int64_t>(px + ox), y1 = static_cast<int64_t>(py + oy);
    const auto x2 = static_cast<int64_t>(px - ox), y2 = static_cast<int64_t>(py - oy);
    if (!inside(s, x1, y1) || !inside(s, x2, y2)) continue;
    ++counted;
    sum += stage.d[i] - std::max(at(stage.d, s, x1, y1), at(stage.d, s, x2, y2));
  }
  return counted > 0 && !(sum / static_cast<float>(counted) < stage.tuning.hairMargin * f.peak);
}

// Root mean square response at eight offsets around a subset of the pixels, outside the
// component; R when none of them counts.
float localNoise(const Find& f, const ShapeStage& stage) {
  const Scale& s = stage.s;
  for (const int64_t i : f.pixels) stage.marks[static_cast<size_t>(i)] = member;
  const int64_t h = static_cast<int64_t>(f.shape == Shape::compact ? f.t : f.w) + 4;
  const std::array<std::array<int64_t, 2>, 8> offsets{
      {{h, 0}, {-h, 0}, {0, h}, {0, -h}, {h, h}, {-h, -h}, {h, -h}, {-h, h}}};
  const int64_t step = std::max<int64_t>(1, f.n() / 24);
  float sum = 0;
  int64_t counted = 0;
  for (int64_t k = 0; k < f.n(); k += step) {
    const int64_t i = f.pixels[static_cast<size_t>(k)];
    const int64_t x = i % s.width;
    const int64_t y = i / s.width;
    for (const auto& o : offsets) {
      const int64_t qx = x + o[0];
      const int64_t qy = y + o[1];
      if (!inside(s, qx, qy)) continue;
      const int64_t q = qy * s.width + qx;
      if (stage.marks[static_cast<size_t>(q)] == member) continue;
      sum += stage.response[q] * stage.response[q];
      ++counted;
    }
  }
  for (const int64_t i : f.pixels) stage.marks[static_cast<size_t>(i)] = visited;
  return counted > 0 ? std::sqrt(sum / static_cast<float>(counted)) : stage.R;
}

void countVotes(Find& f, const Levels& l) {
  const float sharpness = f.d - f.fine2;
  f.votes = 0;
  if (f.contrast > l.T) ++f.votes;
  if (f.top1 > l.b * l.sigma1) ++f.votes;
  if (f.top2 > l.b * l.sigma2) ++f.votes;
  if (f.contrast <= 0.0001f ? sharpness > 0.00003f : sharpness > 0.3f * f.contrast) ++f.votes;
  if (f.axisAligned) ++f.votes;
}

enum class Verdict { drop, test, skipToEdge };

// The density ceiling and the colour evidence: they set the threshold multiplier and may add
// votes. A compact find over the ceiling without colour evidence is judged here alone.
Verdict weighCeilingAndColour(Find& f, const EvidenceStage& stage) {
  if (stage.ceiling && f.d > *stage.ceiling) {
    f.f = 0.55f;
    f.overCeiling = true;
    if (!stage.colour && f.shape == Shape::compact) {
      if (!(f.peak > 0.55f * stage.l.a * std::max(stage.l.R, f.noise))) return Verdict::drop;
      f.votes += 2;
      return Verdict::skipToEdge;
    }
  }
  if (stage.colour) {
    const auto [low, high] = std::minmax_element(f.channels.begin(), f.channels.end());
    if (*high > 0.0001f) {
      const float ratio = *low / *high;
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
bool hasDarkRing(const Find& f, const EvidenceStage& stage) {
  const Scale& s = stage.s;
  const double r = static_cast<double>(s.r);
  float sum = 0;
  int64_t counted = 0;
  for (const double rho : {f.t + 2, f.t + 2 + r / 2, f.t + 2 + r}) {
    for (int j = 0; j < 16; ++j) {
      const double phi = j * std::numbers::pi / 8;
      const auto x = static_cast<int64_t>(f.c.x + rho * std::cos(phi));
      const auto y = static_cast<int64_t>(f.c.y + rho * std::sin(phi));
      if (!inside(s, x, y)) continue;
      sum += at(stage.d, s, x, y);
      ++counted;
    }
  }
  if (counted == 0) return false;
  const float background =
      at(stage.wideMean, s, static_cast<int64_t>(f.c.x), static_cast<int64_t>(f.c.y));
  return background - sum / static_cast<float>(counted) > stage.tuning.ringDark * f.peak;
}

// Whether the wide background around the find steps by more than edgeStep of its peak.
bool nearBackgroundStep(const Find& f, const EvidenceStage& stage) {
  const Scale& s = stage.s;
  const double rho = 4.8 * static_cast<double>(s.r) + f.t;
  float lowest = std::numeric_limits<float>::infinity();
  float highest = -std::numeric_limits<float>::infinity();
  for (int j = 0; j < 8; ++j) {
    const double phi = j * std::numbers::pi / 4;
    const auto x = static_cast<int64_t>(f.c.x + rho * std::cos(phi));
    const auto y = static_cast<int64_t>(f.c.y + rho * std::sin(phi));
    if (!inside(s, x, y)) continue;
    lowest = std::min(lowest, at(stage.wideMean, s, x, y));
    highest = std::max(highest, at(stage.wideMean, s, x, y));
  }
  return highest > lowest && highest - lowest > stage.tuning.edgeStep * f.peak;
}

// The acceptance against the local noise and the ring and edge tests.
bool passesEvidenceTests(Find& f, const EvidenceStage& stage) {
  const Verdict verdict = weighCeilingAndColour(f, stage);
  if (verdict == Verdict::drop) return false;
  if (verdict == Verdict::test) {
    const float g = f.shape == Shape::elongated ? 0.7f : 1.0f;
    if (!(f.peak > std::max(stage.l.R, f.noise) * g * stage.l.a * f.f)) return false;
    if (f.overCeiling) {
      f.votes += 2;
    } else if (f.shape == Shape::compact && stage.tuning.useRing && hasDarkRing(f, stage)) {
      return false;
    }
  }
  if (f.f > 0.6f && !f.axisAligned && stage.tuning.useEdge && nearBackgroundStep(f, stage))
    return false;
  return true;
}

double scoreOf(const Find& f) {
  return std::min(static_cast<double>(f.votes) / static_cast<double>(f.maxVotes), 1.0);
}

std::optional<Candidate> compactCandidate(const Find& f, const EvidenceStage& stage) {
  const Scale& s = stage.s;
  const int64_t x = static_cast<int64_t>(f.c.x);
  const int64_t y = static_cast<int64_t>(f.c.y);
  const int64_t r = s.r;
  if (x - r >= 0 && x + r < s.width && y - r >= 0 && y + r < s.height) {
    const float gradient = std::fabs(at(stage.mean, s, x + r, y) - at(stage.mean, s, x - r, y)) +
                           std::fabs(at(stage.mean, s, x, y + r) - at(stage.mean, s, x, y - r));
    if (gradient > 1.2f * f.peak) return std::nullopt;
  }
  const double nx = (f.c.x + 0.5) / static_cast<double>(s.width);
  const double ny = (f.c.y + 0.5) / static_cast<double>(s.height);
  if (!stage.accept(nx, ny)) return std::nullopt;
  Spot spot;
  spot.id = Uuid::random();
  spot.x = nx;
  spot.y = ny;
  spot.r = (f.t + 1.8) / static_cast<double>(s.longSide);
  spot.score = scoreOf(f);
  Candidate candidate;
  candidate.spots.push_back(spot);
  candidate.strength = f.peak * std::sqrt(static_cast<float>(f.n()));
  return candidate;
}

std::optional<Candidate> chainCandidate(const Find& f, const EvidenceStage& stage) {
  const Scale& s = stage.s;
  const double rho = std::max(0.5 * f.w + 1.8, 2.5);
  const double nx = (f.c.x + 0.5) / static_cast<double>(s.width);
  const double ny = (f.c.y + 0.5) / static_cast<double>(s.height);
  if (!stage.accept(nx, ny)) return std::nullopt;
  const Uuid group = Uuid::random();
  const double score = scoreOf(f);
  Candidate candidate;
  for (const int64_t i : spacedPixels(f.pixels, s.width, 0.8 * rho))
    candidate.spots.push_back(
        chainSpot(i % s.width, i / s.width, s.width, s.height, rho, group, score));
  candidate.strength = f.peak * std::sqrt(static_cast<float>(f.n()));
  candidate.centre = f.c;
  return candidate;
}

}  // namespace

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

bool passesShapeStage(Find& f, const ShapeStage& stage) {
  measureExtent(f, stage.s.width);
  if (!classify(f, stage)) return false;
  if (f.shape == Shape::elongated && !passesSideTest(f, stage)) return false;
  f.noise = localNoise(f, stage);
  return true;
}

std::optional<Candidate> judgeEvidence(Find& f, const EvidenceStage& stage) {
  countVotes(f, stage.l);
  if (!passesEvidenceTests(f, stage)) return std::nullopt;
  return f.shape == Shape::compact ? compactCandidate(f, stage) : chainCandidate(f, stage);
}

}  // namespace DustDetector::SpotSteps
