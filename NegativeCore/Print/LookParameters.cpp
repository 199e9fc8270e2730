#include "Print/LookParameters.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float degreesPerRadian = 57.29578f;
constexpr float radiansPerDegree = 0.017453292f;

bool isZero(const std::array<float, 3>& tint) {
  return tint[0] == 0 && tint[1] == 0 && tint[2] == 0;
}

std::array<float, 3> times(const std::array<float, 3>& tint, float a) {
  return {tint[0] * a, tint[1] * a, tint[2] * a};
}

float towardOne(float value, float a) { return a * (value - 1) + 1; }

// Hue angle in degrees of the opponent pair, −180…180 (red 0°, yellow 60°).
float hueDegrees(float u, float v) { return std::atan2(v, u) * degreesPerRadian; }

void rotate(float& u, float& v, float degrees) {
  const float theta = degrees * radiansPerDegree;
  const float c = std::cos(theta);
  const float s = std::sin(theta);
  const float ru = u * c - v * s;
  const float rv = u * s + v * c;
  u = ru;
  v = rv;
}

}  // namespace

bool LookParameters::isNeutral() const {
  return contrast == 1 && saturation == 1 && highlightRolloff == 0 && blackLift == 0 &&
         isZero(shadowTint) && isZero(midTint) && isZero(highlightTint) && skinHueShift == 0 &&
         whiteLevel == 1 && hueBands.empty() && balance.first == 0 && balance.second == 0;
}

LookParameters LookParameters::scaled(double amount) const {
  // A NaN amount fails every comparison and weakens the look to nothing, like 0.
  if (amount > 1 || static_cast<float>(amount) >= 0.999f) return *this;
  const float a = amount > 0 ? static_cast<float>(amount) : 0.0f;
  LookParameters look = *this;
  look.contrast = towardOne(contrast, a);
  look.saturation = towardOne(saturation, a);
  look.highlightRolloff = highlightRolloff * a;
  look.blackLift = blackLift * a;
  look.shadowTint = times(shadowTint, a);
  look.midTint = times(midTint, a);
  look.skinHueShift = skinHueShift * a;
  look.highlightTint = times(highlightTint, a);
  look.whiteLevel = 1 - a * (1 - whiteLevel);
  for (HueBand& band : look.hueBands) {
    band.shift *= a;
    band.saturation = towardOne(band.saturation, a);
  }
  look.balance = {balance.first * a, balance.second * a};
  return look;
}

float LookParameters::applyTone(float x) const {
  x = std::clamp(x, 0.0f, 1.0f);
  if (highlightRolloff > 0 && x > highlightKnee) {
    const float k = highlightKnee;
    const float t = (x - k) / (1 - k);
    x = k + (1 - k) * (t - 0.5f * highlightRolloff * t * (1 - t));
  }
  return blackLift + x * (whiteLevel - blackLift);
}

void LookParameters::applyColor(float& r, float& g, float& b, float luminance) const {
  const float L = luminance;
  const float shadow = (1 - L) * (1 - L);
  const float mid = std::max(0.0f, 1 - 2 * std::fabs(L - 0.5f));
  const float high = L * L;
  r = r + shadow * shadowTint[0] + mid * midTint[0] + high * highlightTint[0];
  g = g + shadow * shadowTint[1] + mid * midTint[1] + high * highlightTint[1];
  b = b + shadow * shadowTint[2] + mid * midTint[2] + high * highlightTint[2];

  float u = r - 0.5f * (g + b);
  float v = 0.8660254f * (g - b);
  if (skinHueShift != 0) {
    const float d = (hueDegrees(u, v) - 30) / 22;
    const float w = std::exp(-(d * d));
    if (w > 0.01f) rotate(u, v, skinHueShift * w);
  }
  if (!hueBands.empty()) {
    const float hue = hueDegrees(u, v);
    float shiftSum = 0;
    float chroma = 1;
    for (const HueBand& band : hueBands) {
      float d = hue - band.center;
      if (d > 180) d -= 360;
      if (d < -180) d += 360;
      const float q = d / band.width;
      const float w = std::exp(-(q * q));
      shiftSum += band.shift * w;
      chroma *= (band.saturation - 1) * w + 1;
    }
    if (shiftSum != 0) rotate(u, v, shiftSum);
    u *= chroma;
    v *= chroma;
  }

  const float mean = (r + g + b) / 3;
  const float us = u * saturation;
  const float vs = v * saturation;
  r = mean + 2 * us / 3;
  g = mean - us / 3 + vs / 1.7320508f;
  b = mean - us / 3 - vs / 1.7320508f;
}
