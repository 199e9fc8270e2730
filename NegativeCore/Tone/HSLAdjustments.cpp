#include "Record/HSLAdjustments.h"

#include <algorithm>
#include <cmath>

#include "Print/PrintImage.h"
#include "Support/ParallelFor.h"
#include "Tone/PlaneCheck.h"

namespace {

// One band's parameters: hue shift in degrees (±30 at ±100), saturation and luminance amounts
// as fractions.
struct Band {
  float hueShift = 0;
  float saturation = 0;
  float luminance = 0;
};

using Bands = std::array<Band, 8>;

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

// HSV hue in degrees, 0 ≤ hue < 360, of a pixel with maximum v and chroma delta > 0.
float hueOf(float r, float g, float b, float v, float delta) {
  float sector;
  if (v == r) {
    sector = (g - b) / delta;
  } else if (v == g) {
    sector = (b - r) / delta + 2.0f;
  } else {
    sector = (r - g) / delta + 4.0f;
  }
  float hue = 60.0f * sector;
  if (hue < 0) hue += 360.0f;
  return std::fmod(hue, 360.0f);
}

// The band parameters at a hue: the two neighbouring centres blended by smoothstep.
Band blendAt(float hue, const Bands& bands) {
  constexpr auto& centers = HSLAdjustments::bandCenters;
  size_t lower = 7;
  size_t upper = 0;
  float from = static_cast<float>(centers[7]);
  float to = 360.0f;
  if (hue < from) {
    lower = 0;
    while (lower + 1 < 7 && static_cast<float>(centers[lower + 1]) <= hue) ++lower;
    upper = lower + 1;
    from = static_cast<float>(centers[lower]);
    to = static_cast<float>(centers[upper]);
  }
  const float t = (hue - from) / (to - from);
  const float w = t * t * (3.0f - 2.0f * t);
  const Band& a = bands[lower];
  const Band& b = bands[upper];
  return {(1.0f - w) * a.hueShift + w * b.hueShift, (1.0f - w) * a.saturation + w * b.saturation,
          (1.0f - w) * a.luminance + w * b.luminance};
}

void adjustPixel(float* p, const Bands& bands) {
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
  const float value = std::clamp(v * std::exp2(0.8f * d.luminance * s), 0.0f, 1.0f);
  float h = std::fmod(hue + d.hueShift, 360.0f);
  if (h < 0) h += 360.0f;
  const float j = h / 60.0f;

  const float c = s * value;
  const float x = c * (1.0f - std::abs(std::fmod(j, 2.0f) - 1.0f));
  const float m = value - c;
  float out[3];
  // A value that is not a number takes the last sector rather than an undefined conversion.
  switch (j >= 0.0f && j < 6.0f ? static_cast<int>(j) : 5) {
    case 0:
      out[0] = c, out[1] = x, out[2] = 0;
      break;
    case 1:
      out[0] = x, out[1] = c, out[2] = 0;
      break;
    case 2:
      out[0] = 0, out[1] = c, out[2] = x;
      break;
    case 3:
      out[0] = 0, out[1] = x, out[2] = c;
      break;
    case 4:
      out[0] = x, out[1] = 0, out[2] = c;
      break;
    default:
      out[0] = c, out[1] = 0, out[2] = x;
      break;
  }
  for (int k = 0; k < 3; ++k) p[k] = out[k] + m;
}

}  // namespace

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
        for (int64_t y = begin; y < end; ++y) {
          float* row = print.row(y);
          for (int64_t x = 0; x < print.width; ++x) adjustPixel(row + 3 * x, bands);
        }
      },
      Adjustments::smallPlaneRows(print.width, print.height));
}
