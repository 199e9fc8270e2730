#include "Record/HSLAdjustments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Print/PrintImage.h"
#include "Support/ParallelFor.h"
#include "Support/PixelMath.h"
#include "Tone/HSLPixel.h"
#include "Tone/PlaneSupport.h"

namespace {

using HSLPixel::Band;
using HSLPixel::Bands;

double valueAt(const std::vector<double>& list, size_t band) {
  return band < list.size() ? list[band] : 0.0;
}

Bands prepareBands(const std::vector<double>& hue, const std::vector<double>& saturation,
                   const std::vector<double>& luminance) {
  Bands bands;
  for (size_t b = 0; b < bands.size(); ++b) {
    bands[b].hueShift = static_cast<float>(valueAt(hue, b) / 100 * 30);
    bands[b].saturation = static_cast<float>(valueAt(saturation, b) / 100);
    bands[b].luminance = static_cast<float>(valueAt(luminance, b) / 100);
  }
  return bands;
}

bool allZero(const std::vector<double>& list) {
  return std::all_of(list.begin(), list.end(), [](double v) { return v == 0; });
}

// x modulo m for m > 0, equal bit for bit to std::fmod: within [0, 3m) the result x, x − m or
// x − 2m is exact, so the slow library call is left for values outside.
float modulo(float x, float m) {
  if (x >= 0.0f && x < m) return x;
  if (x >= m && x < 2.0f * m) return x - m;
  if (x >= 2.0f * m && x < 3.0f * m) return x - 2.0f * m;
  return std::fmod(x, m);
}

// HSV hue in degrees, 0 ≤ hue < 360, of a pixel with maximum v and chroma delta > 0.
// Written with selects rather than branches: which channel is largest is unpredictable on real
// pictures, and the values are the same either way.
float hueOf(float r, float g, float b, float v, float delta) {
  const bool red = v == r;
  const bool green = !red && v == g;
  const float difference = red ? g - b : (green ? b - r : r - g);
  const float quotient = difference / delta;
  const float sector = red ? quotient : quotient + (green ? 2.0f : 4.0f);
  float hue = 60.0f * sector;
  if (hue < 0) hue += 360.0f;
  return modulo(hue, 360.0f);
}

// The band below each whole degree of hue. The centres are whole degrees, so the band of a hue is
// that of its whole part; a table keeps the search free of branches.
struct BandTable {
  std::array<uint8_t, 360> lower{};

  constexpr BandTable() {
    for (size_t k = 0; k < 8; ++k) {
      const auto from = static_cast<size_t>(HSLPixel::kFrom[k]);
      for (size_t degree = from; degree < from + static_cast<size_t>(HSLPixel::kSpan[k]); ++degree)
        lower[degree] = static_cast<uint8_t>(k);
    }
  }
};

constexpr BandTable kBandTable;

// The band parameters at a hue (0 ≤ hue < 360): the two neighbouring centres blended by
// smoothstep; above the last centre the pair is the last band and the first.
Band blendAt(float hue, const Bands& bands) {
  const size_t lower = kBandTable.lower[hue >= 0.0f && hue < 360.0f ? static_cast<size_t>(hue) : 0];
  const size_t upper = (lower + 1) % 8;
  const float t = (hue - HSLPixel::kFrom[lower]) / HSLPixel::kSpan[lower];
  const float w = PixelMath::smoothstep<float>(t);
  const Band& a = bands[lower];
  const Band& b = bands[upper];
  return {(1.0f - w) * a.hueShift + w * b.hueShift, (1.0f - w) * a.saturation + w * b.saturation,
          (1.0f - w) * a.luminance + w * b.luminance};
}

}  // namespace

void HSLPixel::adjust(float* p, const Bands& bands) {
  const float r = p[0], g = p[1], b = p[2];
  const float v = std::max({r, g, b});
  const float delta = v - std::min({r, g, b});
  if (!(delta > 0.0001f)) return;  // grey (or not a number)
  const float hue = hueOf(r, g, b, v, delta);
  const Band d = blendAt(hue, bands);
  if (std::abs(d.hueShift) < 0.0001f && std::abs(d.saturation) < 0.00001f &&
      std::abs(d.luminance) < 0.00001f)
    return;

  const float s = std::clamp(delta / std::max(v, 0.000001f) * (1.0f + d.saturation), 0.0f, 1.0f);
  // Brightness moves in stops, scaled by the new saturation so weak colours barely change.
  const float stops = 0.8f * d.luminance * s;
  const float value = std::clamp(stops == 0.0f ? v : v * std::exp2(stops), 0.0f, 1.0f);
  float h = modulo(hue + d.hueShift, 360.0f);
  if (h < 0) h += 360.0f;
  const float j = h / 60.0f;

  const float c = s * value;
  const float x = c * (1.0f - std::abs(modulo(j, 2.0f) - 1.0f));
  const float m = value - c;
  // Which of (C, X, 0) each channel takes in the six sectors of the hue circle. A value that is
  // not a number takes the last sector rather than an undefined conversion.
  static constexpr uint8_t kSectorOrder[6][3] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1},
                                                 {2, 1, 0}, {1, 2, 0}, {0, 2, 1}};
  const float parts[3] = {c, x, 0.0f};
  const uint8_t* order = kSectorOrder[j >= 0.0f && j < 6.0f ? static_cast<int>(j) : 5];
  const float out[3] = {parts[order[0]], parts[order[1]], parts[order[2]]};
  for (int k = 0; k < 3; ++k) p[k] = out[k] + m;
}

bool HSLAdjustments::isNeutral() const {
  return allZero(hue) && allZero(saturation) && allZero(luminance);
}

void HSLAdjustments::apply(PrintImage& print, const std::vector<double>& hue,
                           const std::vector<double>& saturation,
                           const std::vector<double>& luminance) {
  if (allZero(hue) && allZero(saturation) && allZero(luminance)) return;
  const Bands bands = prepareBands(hue, saturation, luminance);
  parallelForRows(
      print.height,
      [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y)
          HSLPixel::adjustRow(print.row(y), static_cast<size_t>(print.width), bands);
      },
      Adjustments::smallPlaneRows(print.width, print.height));
}
