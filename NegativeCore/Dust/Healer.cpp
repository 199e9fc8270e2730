// Healing of the repairs of an edit record: grouping the spots into repairs, reading a repair's
// stored values safely, and painting it in the log10 domain one colour channel at a time.
#include "Dust/Healer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "Dust/HealerSteps.h"
#include "Support/Median.h"
#include "Support/ParallelFor.h"
#include "Support/VectorMath.h"
#include "Tone/BoxBlur.h"

namespace Healer {

namespace {

// Boxes and lists of fewer items stay on the calling thread.
constexpr int64_t kSmallWork = 16384;

// Stored positions, radii and sources are limited to this many long sides: far beyond any use,
// yet every pixel quantity derived from them stays finite and converts to an integer safely.
constexpr double kRangeInLongSides = 4.0;

void forChunks(int64_t count, const std::function<void(int64_t, int64_t)>& body) {
  parallelForRows(count, body, kSmallWork);
}

bool finite(const std::optional<double>& v) { return !v || std::isfinite(*v); }

bool allFinite(const std::vector<Spot>& unit) {
  return std::all_of(unit.begin(), unit.end(), [](const Spot& s) {
    return std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.r) && finite(s.sx) &&
           finite(s.sy) && finite(s.feather) && finite(s.opacity);
  });
}

// Limits the working copy's values; values inside the range are kept exactly.
void limitRange(std::vector<Spot>& unit, double width, double height) {
  const double range = kRangeInLongSides * std::max(width, height);
  const auto limit = [](double v, double bound) { return std::clamp(v, -bound, bound); };
  for (Spot& s : unit) {
    s.x = limit(s.x, range / width);
    s.y = limit(s.y, range / height);
    s.r = limit(s.r, kRangeInLongSides);
    if (s.sx) s.sx = limit(*s.sx, range / width);
    if (s.sy) s.sy = limit(*s.sy, range / height);
  }
}

// What one repair paints, in pixels.
struct Repair {
  std::vector<Point> path;
  double rIn = 0;
  double rOut = 0;
  double falloff = 0;
  double opacity = 1;
  SpotKind kind = SpotKind::heal;
  int64_t dx = 0;
  int64_t dy = 0;
  Box box;
};

// max(trunc(v) − 1, 0) and min(trunc(v) + 1, n − 1), limited in floating point.
int64_t lowerLimit(double v, int64_t n) {
  const double t = std::trunc(v) - 1;
  return t > 0 ? static_cast<int64_t>(std::min(t, static_cast<double>(n))) : 0;
}
int64_t upperLimit(double v, int64_t n) {
  const double t = std::trunc(v) + 1;
  return t < static_cast<double>(n - 1) ? static_cast<int64_t>(std::max(t, -1.0)) : n - 1;
}

// A whole number of pixels from a bounded value: the whole part, at least `minimum`.
int64_t wholeRadius(double v, int64_t minimum) {
  const double t = std::trunc(std::clamp(v, 0.0, 1e9));
  return std::max(static_cast<int64_t>(t), minimum);
}

// The unit must be finite, limited, and hold a source in its first spot.
Repair describe(const std::vector<Spot>& unit, int64_t width, int64_t height) {
  const auto w = static_cast<double>(width);
  const auto h = static_cast<double>(height);
  const double longSide = std::max(w, h);
  Repair r;
  for (const Spot& s : unit) {
    r.path.push_back({s.x * w, s.y * h});
    r.rIn = std::max(r.rIn, std::max(s.r * longSide, 1.5));
  }
  const Spot& first = unit.front();
  r.kind = first.kind.value_or(SpotKind::heal);
  const double feather = first.feather ? std::clamp(*first.feather, 1.0, 3.0) : 1.4;
  r.rOut = r.rIn * feather;
  r.falloff = std::max(r.rOut - r.rIn, 0.5);
  r.opacity = first.opacity ? std::clamp(*first.opacity, 0.0, 1.0) : 1.0;
  r.dx = static_cast<int64_t>(std::round(*first.sx * w - r.path[0].x));
  r.dy = static_cast<int64_t>(std::round(*first.sy * h - r.path[0].y));

  const double pad = std::max(1.7 * r.rOut, r.rIn + 3);
  const auto [minX, maxX] =
      std::minmax_element(r.path.begin(), r.path.end(), [](Point a, Point b) { return a.x < b.x; });
  const auto [minY, maxY] =
      std::minmax_element(r.path.begin(), r.path.end(), [](Point a, Point b) { return a.y < b.y; });
  r.box = {lowerLimit(minX->x - pad, width), lowerLimit(minY->y - pad, height),
           upperLimit(maxX->x + pad, width), upperLimit(maxY->y + pad, height)};
  return r;
}

// Box indices, in row-major order, of the pixels that `keep(x, y, index)` accepts (x, y in
// image pixels).
template <class Keep>
std::vector<int64_t> collect(const Box& box, const Keep& keep) {
  const int64_t bw = box.width();
  const int64_t bh = box.height();
  const int64_t chunk = bw * bh < kSmallWork ? bh : ParallelFor::rowsPerChunk(bh);
  const int64_t chunks = (bh + chunk - 1) / chunk;
  std::vector<std::vector<int64_t>> found(static_cast<size_t>(chunks));
  const auto scan = [&](int64_t c) {
    for (int64_t y = c * chunk; y < std::min(bh, (c + 1) * chunk); ++y)
      for (int64_t x = 0; x < bw; ++x)
        if (keep(box.x0 + x, box.y0 + y, y * bw + x)) found[c].push_back(y * bw + x);
  };
  if (chunks == 1) {
    scan(0);
    return std::move(found[0]);
  }
  parallelFor(chunks, scan);
  std::vector<int64_t> all;
  for (const auto& f : found) all.insert(all.end(), f.begin(), f.end());
  return all;
}

// `rounds` rounds of the row pass over all rows then the column pass over all columns, in place
// in `plane`, with `scratch` between the passes.
void blurRounds(float* plane, float* scratch, int64_t width, int64_t height, int64_t n,
                int rounds) {
  for (int i = 0; i < rounds; ++i) {
    Adjustments::boxBlurRows(plane, scratch, width, height, n);
    Adjustments::boxBlurColumns(scratch, plane, width, height, n);
  }
}

// Box planes of a repair: allocated uninitialised and first written in parallel for large
// boxes, so the page faults of a fresh buffer spread over the worker pool as well.
using Buffer = std::unique_ptr<float[]>;

Buffer newBuffer(int64_t count) {
  return std::make_unique_for_overwrite<float[]>(static_cast<size_t>(count));
}

void fillBuffer(float* plane, int64_t count, float value) {
  forChunks(count,
            [&](int64_t begin, int64_t end) { std::fill(plane + begin, plane + end, value); });
}

// The pixels one repair reads and paints: the box, its distance plane, the ring around the
// repair, the pixels within the outer radius, and where each box pixel takes its source.
class Patch {
 public:
  Patch(const LinearImage& image, const Repair& repair) : r_(repair), box_(repair.box) {
    width_ = image.width();
    height_ = image.height();
    bw_ = box_.width();
    bh_ = box_.height();
    count_ = bw_ * bh_;
    const double clearance = 1.1 * r_.rOut;
    ringInner_ = 1.02 * r_.rOut;
    ringOuter_ = 1.02 * r_.rOut + std::max(0.6 * r_.rIn, 3.0);
    distance_ = distancePlane(box_, r_.path, std::max({r_.rOut, ringOuter_, clearance}));
    inside_ = collect(box_, [&](int64_t, int64_t, int64_t i) { return distance_[i] < r_.rOut; });
    sourceColumn_.resize(static_cast<size_t>(bw_));
    for (int64_t x = 0; x < bw_; ++x)
      sourceColumn_[x] = std::clamp<int64_t>(box_.x0 + x + r_.dx, 0, width_ - 1);
    sourceRow_.resize(static_cast<size_t>(bh_));
    for (int64_t y = 0; y < bh_; ++y)
      sourceRow_[y] = std::clamp<int64_t>(box_.y0 + y + r_.dy, 0, height_ - 1);
  }

  bool paintsNothing() const { return inside_.empty(); }

  // Ring pixels: just outside the repair, with a source position clear of its path.
  void findRing() {
    const PathNeighbourhood path(r_.path, 1.1 * r_.rOut);
    ring_ = collect(box_, [&](int64_t x, int64_t y, int64_t i) {
      const double d = distance_[i];
      if (!(ringInner_ < d && d < ringOuter_)) return false;
      return !path.within(static_cast<double>(x + r_.dx) + 0.5,
                          static_cast<double>(y + r_.dy) + 0.5);
    });
    maskBlur_ = newBuffer(count_);
    fillBuffer(maskBlur_.get(), count_, 0.0f);
    for (int64_t i : ring_) maskBlur_[i] = 1.0f;
    tripleBoxBlur(maskBlur_.get(), scratch(), bw_, bh_, blurRadius());
  }

  // Log planes and output of one channel, then its blend.
  void paintChannel(float* pixels, int channel) {
    std::vector<float> output;
    switch (r_.kind) {
      case SpotKind::clone:
        output = cloneOutput(pixels, channel);
        break;
      case SpotKind::fill:
      case SpotKind::ai:
        output = fillOutput(pixels, channel);
        break;
      case SpotKind::heal:
        output = healOutput(pixels, channel);
        break;
    }
    blendPatch(pixels, width_, box_, distance_, inside_, output, channel, r_.rOut, r_.rIn,
               r_.falloff, r_.opacity);
  }

 private:
  int64_t blurRadius() const { return wholeRadius(0.9 * r_.rIn, 2); }

  float destination(const float* pixels, int64_t i, int channel) const {
    const int64_t x = box_.x0 + i % bw_;
    const int64_t y = box_.y0 + i / bw_;
    return logValue(pixels[(y * width_ + x) * 4 + channel]);
  }
  float source(const float* pixels, int64_t i, int channel) const {
    return logValue(pixels[(sourceRow_[i / bw_] * width_ + sourceColumn_[i % bw_]) * 4 + channel]);
  }

  // O = S.
  std::vector<float> cloneOutput(const float* pixels, int channel) const {
    std::vector<float> output(inside_.size());
    forChunks(static_cast<int64_t>(inside_.size()), [&](int64_t begin, int64_t end) {
      for (int64_t k = begin; k < end; ++k) output[k] = source(pixels, inside_[k], channel);
    });
    return output;
  }

  // O = S plus the ring's difference D − S spread smoothly over the repair (or its median).
  std::vector<float> healOutput(const float* pixels, int channel) {
    float* delta = work();
    fillBuffer(delta, count_, 0.0f);
    std::vector<float> differences(ring_.size());
    for (size_t k = 0; k < ring_.size(); ++k) {
      const int64_t i = ring_[k];
      differences[k] = destination(pixels, i, channel) - source(pixels, i, channel);
      delta[i] = differences[k];
    }
    const float med = Median::ofValues<float>(differences);
    tripleBoxBlur(delta, scratch(), bw_, bh_, blurRadius());
    std::vector<float> output(inside_.size());
    forChunks(static_cast<int64_t>(inside_.size()), [&](int64_t begin, int64_t end) {
      for (int64_t k = begin; k < end; ++k) {
        const int64_t i = inside_[k];
        const float correction = maskBlur_[i] > 0.001 ? delta[i] / maskBlur_[i] : med;
        output[k] = source(pixels, i, channel) + correction;
      }
    });
    return output;
  }

  // O = the ring's level interpolated across the repair, plus the source's fine texture. With
  // no ring pixel there is no level to interpolate, and the source is used as it is.
  std::vector<float> fillOutput(const float* pixels, int channel) {
    const float* sourcePlane = sourceLogPlane(pixels, channel);
    std::vector<float> output(inside_.size());
    if (ring_.empty()) {
      for (size_t k = 0; k < inside_.size(); ++k) output[k] = sourcePlane[inside_[k]];
      return output;
    }
    float* level = work();
    fillBuffer(level, count_, 0.0f);
    std::vector<float> values(ring_.size());
    for (size_t k = 0; k < ring_.size(); ++k) {
      values[k] = destination(pixels, ring_[k], channel);
      level[ring_[k]] = values[k];
    }
    const float med = Median::ofValues<float>(values);
    tripleBoxBlur(level, scratch(), bw_, bh_, blurRadius());
    if (!low_) low_ = newBuffer(count_);
    float* low = low_.get();
    forChunks(count_, [&](int64_t begin, int64_t end) {
      std::copy(sourcePlane + begin, sourcePlane + end, low + begin);
    });
    blurRounds(low, scratch(), bw_, bh_, wholeRadius(0.25 * r_.rIn, 1), 2);
    forChunks(static_cast<int64_t>(inside_.size()), [&](int64_t begin, int64_t end) {
      for (int64_t k = begin; k < end; ++k) {
        const int64_t i = inside_[k];
        const float base = maskBlur_[i] > 0.001 ? level[i] / maskBlur_[i] : med;
        output[k] = base + (sourcePlane[i] - low[i]);
      }
    });
    return output;
  }

  // S over the whole box, with the vectorised log10.
  const float* sourceLogPlane(const float* pixels, int channel) {
    if (!sourcePlane_) sourcePlane_ = newBuffer(count_);
    float* plane = sourcePlane_.get();
    forChunks(bh_, [&](int64_t begin, int64_t end) {
      std::vector<float> raw(static_cast<size_t>(bw_));
      for (int64_t y = begin; y < end; ++y) {
        const float* row = pixels + sourceRow_[y] * width_ * 4 + channel;
        for (int64_t x = 0; x < bw_; ++x) raw[x] = row[sourceColumn_[x] * 4];
        float* out = plane + y * bw_;
        VectorMath::log10(raw.data(), out, raw.size());
        for (int64_t x = 0; x < bw_; ++x)
          if (!(raw[x] > 0.00001f)) out[x] = -5.0f;
      }
    });
    return plane;
  }

  float* work() {
    if (!work_) work_ = newBuffer(count_);
    return work_.get();
  }
  float* scratch() {
    if (!scratch_) scratch_ = newBuffer(count_);
    return scratch_.get();
  }

  const Repair& r_;
  const Box box_;
  int64_t width_ = 0;
  int64_t height_ = 0;
  int64_t bw_ = 0;
  int64_t bh_ = 0;
  double ringInner_ = 0;
  double ringOuter_ = 0;
  std::vector<double> distance_;
  std::vector<int64_t> inside_;
  std::vector<int64_t> ring_;
  int64_t count_ = 0;  // values of a box plane
  Buffer maskBlur_;
  Buffer work_;
  Buffer scratch_;
  Buffer sourcePlane_;
  Buffer low_;
  std::vector<int64_t> sourceColumn_;
  std::vector<int64_t> sourceRow_;
};

}  // namespace

void tripleBoxBlur(float* plane, float* scratch, int64_t width, int64_t height, int64_t n) {
  blurRounds(plane, scratch, width, height, n, 3);
}

void blendPatch(float* pixels, int64_t imageWidth, const Box& box,
                const std::vector<double>& distance, const std::vector<int64_t>& inside,
                const std::vector<float>& output, int channel, double rOut, double rIn,
                double falloff, double opacity) {
  const int64_t bw = box.width();
  forChunks(static_cast<int64_t>(inside.size()), [&](int64_t begin, int64_t end) {
    for (int64_t k = begin; k < end; ++k) {
      const int64_t i = inside[k];
      const double d = distance[i];
      if (!(d < rOut)) continue;
      const double t = d <= rIn ? 1.0 : 1.0 - (d - rIn) / falloff;
      const auto w = static_cast<float>(opacity * t * t * (3.0 - 2.0 * t));
      float& p = pixels[((box.y0 + i / bw) * imageWidth + box.x0 + i % bw) * 4 + channel];
      p = p + w * (std::pow(10.0f, output[k]) - p);
    }
  });
}

void healGroup(LinearImage& image, std::vector<Spot> unit, const std::vector<Spot>& allSpots) {
  if (unit.empty() || !allFinite(unit)) return;
  const int64_t width = image.width();
  const int64_t height = image.height();
  limitRange(unit, static_cast<double>(width), static_cast<double>(height));
  if (unit.front().kind == SpotKind::ai)
    for (Spot& s : unit) s.kind = SpotKind::fill;
  // Opacity 0 blends nothing; the source search would be wasted.
  if (unit.front().opacity && !(*unit.front().opacity > 0)) return;

  const bool sourced =
      std::all_of(unit.begin(), unit.end(), [](const Spot& s) { return s.sx && s.sy; });
  if (!sourced) findGroupSource(width, height, image.pixels(), unit, allSpots);

  const Repair repair = describe(unit, width, height);
  if (repair.box.empty()) return;
  Patch patch(image, repair);
  if (patch.paintsNothing()) return;
  if (repair.kind != SpotKind::clone) patch.findRing();
  float* pixels = image.mutablePixels();
  for (int channel = 0; channel < 3; ++channel) patch.paintChannel(pixels, channel);
}

void apply(LinearImage& image, const std::vector<Spot>& spots) {
  if (spots.empty()) return;
  std::unordered_map<Uuid, std::vector<size_t>> groups;
  for (size_t i = 0; i < spots.size(); ++i)
    if (spots[i].group) groups[*spots[i].group].push_back(i);

  std::unordered_set<Uuid> handled;
  for (const Spot& spot : spots) {
    if (!handled.insert(spot.group.value_or(spot.id)).second) continue;
    std::vector<Spot> unit;
    if (spot.group) {
      for (size_t i : groups[*spot.group]) unit.push_back(spots[i]);
    } else {
      unit.push_back(spot);
    }
    healGroup(image, std::move(unit), spots);
  }
}

}  // namespace Healer
