#include "Model/FiniteRecord.h"

#include <cmath>
#include <initializer_list>

namespace {

bool finite(std::initializer_list<double> values) {
  for (double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

bool finite(const std::optional<double>& value) { return !value || std::isfinite(*value); }

bool finite(const std::vector<double>& values) {
  for (double v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

bool finite(const std::vector<std::vector<double>>& points) {
  for (const auto& point : points) {
    if (!finite(point)) return false;
  }
  return true;
}

bool finite(const ToneControls& t) {
  return finite(
      {t.highlights, t.shadows, t.whites, t.blacks, t.clarity, t.dehaze, t.sharpness, t.blackMist});
}

bool finite(const DodgeBurnStroke& s) {
  return finite(s.points) && finite({s.radius, s.stops, s.feather}) && finite(s.rx) && finite(s.ry);
}

bool finite(const std::vector<DodgeBurnStroke>& strokes) {
  for (const auto& stroke : strokes) {
    if (!finite(stroke)) return false;
  }
  return true;
}

bool finite(const LocalLayer& layer) {
  const LocalAdjustment& a = layer.adjust;
  return finite(layer.shapes) && finite(static_cast<const ToneControls&>(a)) &&
         finite({a.exposure, a.contrast, a.saturation});
}

bool finite(const Spot& s) {
  return finite({s.x, s.y, s.r}) && finite(s.sx) && finite(s.sy) && finite(s.feather) &&
         finite(s.opacity) && finite(s.score);
}

bool finite(const ToneCurves& c) {
  return finite(c.rgb.points) && finite(c.red.points) && finite(c.green.points) &&
         finite(c.blue.points) && finite(c.regions);
}

}  // namespace

namespace FiniteRecord {

bool allFinite(const ConversionSettings& s) {
  if (!finite(static_cast<const ToneControls&>(s))) return false;
  if (!finite(
          {s.contrast,       s.exposure,       s.saturation,       s.analysisInset,   s.blackClip,
           s.whiteClip,      s.skewDegrees,    s.autoCropMargin,   s.lookAmount,      s.temperature,
           s.tint,           s.grainReduction, s.borderSize,       s.grainAmount,     s.grainSize,
           s.grainRoughness, s.vignetteAmount, s.vignetteMidpoint, s.vignetteFeather, s.glowAmount,
           s.glowSize})) {
    return false;
  }
  if (!finite(s.cmy) || !finite(s.hsl.hue) || !finite(s.hsl.saturation) ||
      !finite(s.hsl.luminance) || !finite(s.curves) || !finite(s.dodgeBurn)) {
    return false;
  }
  if (s.crop && !finite({s.crop->x, s.crop->y, s.crop->w, s.crop->h})) return false;
  if (s.rollBalance && (!finite(s.rollBalance->offsets) || !finite(s.rollBalance->ratios))) {
    return false;
  }
  for (const auto& layer : s.layers) {
    if (!finite(layer)) return false;
  }
  for (const auto& mark : s.redEyes) {
    if (!finite({mark.x, mark.y, mark.r})) return false;
  }
  for (const auto& spot : s.spots) {
    if (!finite(spot)) return false;
  }
  return true;
}

}  // namespace FiniteRecord
