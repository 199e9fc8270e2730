#include "MeasuringAids/ReferenceMeasures.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "Color/SrgbCurve.h"
#include "Support/PixelMath.h"

namespace ReferenceMatch {

namespace {

constexpr int thumbnailSide = 32;
constexpr int64_t quantileSampleBudget = 20000;
constexpr double sampleRadius = 0.006;
constexpr double opponentWeight = 1.5;

float opponent1(float r, float g, float b) { return r - (g + b) / 2; }
float opponent2(float g, float b) { return 0.866f * (g - b); }

// ΔL² + 1.5·ΔC1² + 1.5·ΔC2², the differences taken in 32-bit floats.
double distanceSquared(float dl, float d1, float d2) {
  const double l = dl, o1 = d1, o2 = d2;
  return l * l + opponentWeight * o1 * o1 + opponentWeight * o2 * o2;
}

double distanceSquared(const Color& a, const Color& b) {
  return distanceSquared(luma(a[0], a[1], a[2]) - luma(b[0], b[1], b[2]),
                         opponent1(a[0], a[1], a[2]) - opponent1(b[0], b[1], b[2]),
                         opponent2(a[1], a[2]) - opponent2(b[1], b[2]));
}

std::vector<float> lumaPlane(const PrintImage& image) {
  const size_t count = static_cast<size_t>(image.width * image.height);
  std::vector<float> plane(count);
  const float* rgb = image.rgb.data();
  for (size_t i = 0; i < count; ++i) plane[i] = luma(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  return plane;
}

struct Tap {
  int64_t first;
  int64_t second;
  float fraction;
};

// The two pixels and the blend weight of a thumbnail position along one side.
Tap tapAt(double start, double span, int index, int64_t side) {
  const double position =
      (start + span * (index + 0.5) / thumbnailSide) * static_cast<double>(side) - 0.5;
  const double limited = std::clamp(position, 0.0, static_cast<double>(side - 1));
  const int64_t first = static_cast<int64_t>(std::floor(limited));
  return {first, std::min(first + 1, side - 1), static_cast<float>(limited - first)};
}

std::vector<float> thumbnailOfPlane(const std::vector<float>& plane, int64_t width, int64_t height,
                                    const Window& window) {
  std::array<Tap, thumbnailSide> columns;
  for (int i = 0; i < thumbnailSide; ++i) columns[i] = tapAt(window.x, window.w, i, width);
  std::vector<float> values(thumbnailSide * thumbnailSide);
  for (int j = 0; j < thumbnailSide; ++j) {
    const Tap row = tapAt(window.y, window.h, j, height);
    const float* top = plane.data() + row.first * width;
    const float* bottom = plane.data() + row.second * width;
    const float fr = row.fraction;
    for (int i = 0; i < thumbnailSide; ++i) {
      const Tap& c = columns[i];
      const float fc = c.fraction;
      values[j * thumbnailSide + i] = (1 - fr) * ((1 - fc) * top[c.first] + fc * top[c.second]) +
                                      fr * ((1 - fc) * bottom[c.first] + fc * bottom[c.second]);
    }
  }
  return values;
}

// start, start + step, … while below end, and end itself when a step lands on it exactly.
std::vector<double> strideThrough(double start, double end, double step) {
  std::vector<double> values;
  for (int k = 0;; ++k) {
    const double value = start + k * step;
    if (value > end) break;
    values.push_back(value);
    if (value == end) break;
  }
  return values;
}

// Every s-th pixel from the first, s = max(1, ⌊pixels / 20000⌋), as three lists.
template <class Split>
Quantiles sampledLists(const PrintImage& image, Split split) {
  const int64_t count = image.width * image.height;
  const int64_t stride = std::max<int64_t>(1, count / quantileSampleBudget);
  Quantiles lists;
  for (auto& list : lists) list.reserve(static_cast<size_t>((count + stride - 1) / stride));
  for (int64_t i = 0; i < count; i += stride) {
    const float* p = image.rgb.data() + 3 * i;
    const Color values = split(p[0], p[1], p[2]);
    for (int c = 0; c < 3; ++c) lists[c].push_back(values[c]);
  }
  return lists;
}

// The elements at index min(⌊len·k/divisions⌋, len − 1) of the sorted list, k = 1…divisions − 1;
// zeros for an empty list. Each is found by a selection in what is left above the one before.
std::vector<float> quantilesOf(std::vector<float> values, int divisions) {
  std::vector<float> quantiles(static_cast<size_t>(divisions - 1), 0.0f);
  const int64_t length = static_cast<int64_t>(values.size());
  if (length == 0) return quantiles;
  auto from = values.begin();
  for (int k = 1; k < divisions; ++k) {
    const int64_t index = std::min(length * k / divisions, length - 1);
    const auto at = values.begin() + index;
    if (at >= from) {
      std::nth_element(from, at, values.end());
      from = at + 1;
    }
    quantiles[k - 1] = *at;
  }
  return quantiles;
}

Quantiles quantilesOfLists(Quantiles lists, int divisions) {
  for (auto& list : lists) list = quantilesOf(std::move(list), divisions);
  return lists;
}

}  // namespace

float luma(float r, float g, float b) { return 0.3f * r + 0.59f * g + 0.11f * b; }

PrintImage renderReference(const ReferencePicture& reference, int64_t longSide) {
  const double scale = static_cast<double>(longSide) /
                       static_cast<double>(std::max(reference.width(), reference.height()));
  const double largest = static_cast<double>(std::max<int64_t>(longSide, 8));
  const auto side = [&](int64_t stored) {
    return static_cast<int64_t>(
        std::clamp(std::floor(scale * static_cast<double>(stored)), 8.0, largest));
  };
  const int64_t width = side(reference.width());
  const int64_t height = side(reference.height());
  const LinearImage drawn = reference.drawn(width, height);
  PrintImage image(width, height);
  for (int64_t y = 0; y < height; ++y) {
    const float* in = drawn.row(y);
    float* out = image.row(y);
    for (int64_t x = 0; x < width; ++x, in += 4, out += 3) {
      const float alpha = std::clamp(in[3], 0.0f, 1.0f);
      if (!(alpha > 0)) continue;
      for (int c = 0; c < 3; ++c) {
        const float encoded = std::clamp(SrgbCurve::encode(in[c] / in[3]), 0.0f, 1.0f);
        out[c] = std::isnan(encoded) ? 0.0f : encoded * alpha;
      }
    }
  }
  return image;
}

std::vector<float> lumaThumbnail(const PrintImage& image, const Window& window) {
  return thumbnailOfPlane(lumaPlane(image), image.width, image.height, window);
}

std::vector<float> normalized(std::vector<float> values) {
  if (values.empty()) return values;
  double sum = 0;
  for (float v : values) sum += v;
  const double mean = sum / static_cast<double>(values.size());
  double squares = 0;
  for (float v : values) squares += (v - mean) * (v - mean);
  const double length = std::max(std::sqrt(squares), 1e-6);
  for (float& v : values) v = static_cast<float>((v - mean) / length);
  return values;
}

double correlation(const std::vector<float>& a, const std::vector<float>& b) {
  double sum = 0;
  const size_t count = std::min(a.size(), b.size());
  for (size_t i = 0; i < count; ++i) sum += a[i] * b[i];
  return sum;
}

PrintImage oriented(const PrintImage& image, bool mirror, int quarterTurns) {
  PrintImage result = image;
  if (mirror) {
    for (int64_t y = 0; y < result.height; ++y) {
      float* row = result.row(y);
      for (int64_t x = 0; x < result.width / 2; ++x)
        std::swap_ranges(row + 3 * x, row + 3 * x + 3, row + 3 * (result.width - 1 - x));
    }
  }
  for (int turn = 0; turn < ((quarterTurns % 4) + 4) % 4; ++turn) {
    const int64_t w = result.width;
    const int64_t h = result.height;
    PrintImage turned(h, w);
    for (int64_t y = 0; y < h; ++y) {
      const float* in = result.row(y);
      for (int64_t x = 0; x < w; ++x) std::copy_n(in + 3 * x, 3, turned.row(x) + 3 * (h - 1 - y));
    }
    result = std::move(turned);
  }
  return result;
}

std::vector<Window> searchWindows() {
  std::vector<Window> windows;
  for (double w : strideThrough(0.84, 1.16, 0.04))
    for (double h : strideThrough(w - 0.04, w + 0.04, 0.04))
      for (double x : strideThrough((1 - w) / 2 - 0.08, (1 - w) / 2 + 0.08, 0.02))
        for (double y : strideThrough((1 - h) / 2 - 0.08, (1 - h) / 2 + 0.08, 0.02))
          windows.push_back({x, y, w, h});
  return windows;
}

Placement place(const PrintImage& print, const PrintImage& reference) {
  const std::vector<float> p = normalized(lumaThumbnail(print));
  const double aspect = static_cast<double>(print.width) / static_cast<double>(print.height);

  // Orientation: the untouched reference is tried first and wins ties by a small bonus.
  double best = -2;
  PrintImage chosen = reference;
  for (bool mirror : {false, true}) {
    for (int turns = 0; turns < 4; ++turns) {
      PrintImage candidate = oriented(reference, mirror, turns);
      const double candidateAspect =
          static_cast<double>(candidate.width) / static_cast<double>(candidate.height);
      if (!(std::fabs(std::log(candidateAspect / aspect)) < 0.35)) continue;
      const double c = correlation(p, normalized(lumaThumbnail(candidate)));
      const bool untouched = !mirror && turns == 0;
      const double score = untouched ? c + 0.02 : c;
      if (untouched ? best < score : score > best) {
        best = score;
        chosen = std::move(candidate);
      }
    }
  }

  // Window: the part of the chosen reference that covers the print.
  Window bestWindow{0, 0, 1, 1};
  const std::vector<float> plane = lumaPlane(chosen);
  for (const Window& window : searchWindows()) {
    const double c =
        correlation(p, normalized(thumbnailOfPlane(plane, chosen.width, chosen.height, window)));
    if (c > best) {
      best = c;
      bestWindow = window;
    }
  }
  return {std::move(chosen), bestWindow.x, bestWindow.y, bestWindow.w, bestWindow.h, best};
}

SampleMean sampleMean(const PrintImage& image, double x, double y, double radius) {
  const double width = static_cast<double>(image.width);
  const double height = static_cast<double>(image.height);
  Color sum{0, 0, 0};
  float lumaSum = 0;
  float lumaSquares = 0;
  for (int j = -2; j <= 2; ++j) {
    const float* row = image.row(PixelMath::clampedIndex((y + radius * j) * height, image.height));
    for (int i = -2; i <= 2; ++i) {
      const float* p = row + 3 * PixelMath::clampedIndex((x + radius * i) * width, image.width);
      for (int c = 0; c < 3; ++c) sum[c] += p[c];
      const float l = luma(p[0], p[1], p[2]);
      lumaSum += l;
      lumaSquares += l * l;
    }
  }
  constexpr float count = 25;
  const float meanLuma = lumaSum / count;
  // Rounding can leave a flat patch's variance a hair below zero; it is zero.
  const float variance = std::max(lumaSquares / count - meanLuma * meanLuma, 0.0f);
  return {{sum[0] / count, sum[1] / count, sum[2] / count}, std::sqrt(variance)};
}

std::vector<Color> samplePrint(const PrintImage& print, const std::vector<SamplePoint>& points) {
  std::vector<Color> colors;
  colors.reserve(points.size());
  for (const SamplePoint& point : points)
    colors.push_back(sampleMean(print, point.x, point.y, sampleRadius).mean);
  return colors;
}

double colorError(const std::vector<Color>& a, const std::vector<Color>& b) {
  const size_t pairs = std::min(a.size(), b.size());
  double sum = 0;
  for (size_t i = 0; i < pairs; ++i) sum += distanceSquared(a[i], b[i]);
  return std::sqrt(sum / static_cast<double>(std::max<size_t>(a.size(), 1)));
}

Quantiles opponentQuantiles(const PrintImage& image) {
  return quantilesOfLists(
      sampledLists(image,
                   [](float r, float g, float b) {
                     return Color{luma(r, g, b), opponent1(r, g, b), opponent2(g, b)};
                   }),
      20);
}

double statisticsError(const Quantiles& print, const Quantiles& reference) {
  constexpr size_t count = 19;
  for (const Quantiles* q : {&print, &reference})
    for (const auto& list : *q)
      if (list.size() < count) throw std::invalid_argument("statisticsError: too few quantiles");
  double sum = 0;
  for (size_t k = 0; k < count; ++k)
    sum += distanceSquared(print[0][k] - reference[0][k], print[1][k] - reference[1][k],
                           print[2][k] - reference[2][k]);
  return std::sqrt(sum / count);
}

double statisticsError(const PrintImage& print, const PrintImage& reference) {
  return statisticsError(opponentQuantiles(print), opponentQuantiles(reference));
}

Quantiles channelQuantiles(const PrintImage& image) {
  return quantilesOfLists(sampledLists(image,
                                       [](float r, float g, float b) {
                                         return Color{r, g, b};
                                       }),
                          50);
}

PercentileColors percentileColors(const PrintImage& print, const PrintImage& reference) {
  const auto paired = [](const Quantiles& q) {
    std::vector<Color> colors(q[0].size());
    for (size_t k = 0; k < colors.size(); ++k) colors[k] = {q[0][k], q[1][k], q[2][k]};
    return colors;
  };
  return {paired(channelQuantiles(print)), paired(channelQuantiles(reference))};
}

CurvePoints fitCurve(const std::vector<float>& printValues,
                     const std::vector<float>& referenceValues) {
  static const std::vector<double> xs{0, 0.12, 0.28, 0.45, 0.62, 0.8, 1};
  constexpr double priorWeight = 2;
  constexpr double width = 0.07;
  constexpr double minimumSlope = 0.6;
  const size_t pairs = std::min(printValues.size(), referenceValues.size());

  std::vector<double> ys(xs.size());
  for (size_t i = 0; i < xs.size(); ++i) {
    double weights = 0;
    double weighted = 0;
    for (size_t p = 0; p < pairs; ++p) {
      const double t = (printValues[p] - xs[i]) / width;
      const double w = std::exp(-(t * t));
      weights += w;
      weighted += w * referenceValues[p];
    }
    ys[i] = std::clamp((priorWeight * xs[i] + weighted) / (priorWeight + weights), 0.0, 1.0);
  }
  for (size_t i = 1; i < xs.size(); ++i)
    ys[i] = std::max(ys[i], ys[i - 1] + minimumSlope * (xs[i] - xs[i - 1]));

  // The minimum slope may lift the end above 1: lower the upper points by the excess, down to
  // the first one that still keeps the slope to its left neighbour.
  const size_t last = xs.size() - 1;
  if (ys[last] > 1) {
    const double excess = ys[last] - 1;
    for (size_t i = last;; --i) {
      ys[i] -= excess;
      if (i == 1 || ys[i] - ys[i - 1] >= minimumSlope * (xs[i] - xs[i - 1])) break;
    }
  }
  return curvePoints(xs, ys);
}

CurvePoints scaledCurve(const CurvePoints& points, double strength) {
  CurvePoints scaled = points;
  for (auto& point : scaled) {
    if (point.size() != 2) continue;
    point[1] = std::round((point[0] + strength * (point[1] - point[0])) * 1000) / 1000;
  }
  return scaled;
}

CurvePoints curvePoints(const std::vector<double>& xs, const std::vector<double>& ys) {
  const auto rounded = [](double v) { return std::round(v * 1000) / 1000; };
  CurvePoints points;
  const size_t count = std::min(xs.size(), ys.size());
  for (size_t i = 0; i < count; ++i)
    points.push_back({rounded(xs[i]), rounded(std::min(ys[i], 1.0))});
  return points;
}

}  // namespace ReferenceMatch
