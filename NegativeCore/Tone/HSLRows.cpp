// The vector form of the HSL step: the scalar algorithm lane by lane, with selects in place of
// branches and every operation in the same order, so the results equal the scalar ones bit for
// bit. 2^x is taken lane by lane with the same library function.
#include <cmath>

#include "Tone/HSLPixel.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Tone/HSLRows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace HSLPixel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<float>;
using V = hn::Vec<D>;
using M = hn::Mask<D>;

// clamp(x, lo, hi) with the scalar's comparisons (x < lo ? lo : (hi < x ? hi : x)).
HWY_INLINE V Clamp(D d, V x, float lo, float hi) {
  const V low = hn::Set(d, lo);
  const V high = hn::Set(d, hi);
  return hn::IfThenElse(hn::Lt(x, low), low, hn::IfThenElse(hn::Lt(high, x), high, x));
}

// The blended shift, saturation and luminance amounts at each lane's hue.
struct Blend {
  V hueShift, saturation, luminance;
};

HWY_INLINE Blend BlendAt(D d, V hue, const Bands& bands) {
  V from = hn::Set(d, kFrom[0]);
  V span = hn::Set(d, kSpan[0]);
  V lowH = hn::Set(d, bands[0].hueShift), highH = hn::Set(d, bands[1].hueShift);
  V lowS = hn::Set(d, bands[0].saturation), highS = hn::Set(d, bands[1].saturation);
  V lowL = hn::Set(d, bands[0].luminance), highL = hn::Set(d, bands[1].luminance);
  for (size_t k = 1; k < 8; ++k) {  // the last centre not above the hue wins
    const M above = hn::Ge(hue, hn::Set(d, kFrom[k]));
    const Band& low = bands[k];
    const Band& high = bands[(k + 1) % 8];
    from = hn::IfThenElse(above, hn::Set(d, kFrom[k]), from);
    span = hn::IfThenElse(above, hn::Set(d, kSpan[k]), span);
    lowH = hn::IfThenElse(above, hn::Set(d, low.hueShift), lowH);
    highH = hn::IfThenElse(above, hn::Set(d, high.hueShift), highH);
    lowS = hn::IfThenElse(above, hn::Set(d, low.saturation), lowS);
    highS = hn::IfThenElse(above, hn::Set(d, high.saturation), highS);
    lowL = hn::IfThenElse(above, hn::Set(d, low.luminance), lowL);
    highL = hn::IfThenElse(above, hn::Set(d, high.luminance), highL);
  }
  const V t = hn::Div(hn::Sub(hue, from), span);
  const V w = hn::Mul(hn::Mul(t, t), hn::Sub(hn::Set(d, 3.0f), hn::Mul(hn::Set(d, 2.0f), t)));
  const V keep = hn::Sub(hn::Set(d, 1.0f), w);
  return {hn::Add(hn::Mul(keep, lowH), hn::Mul(w, highH)),
          hn::Add(hn::Mul(keep, lowS), hn::Mul(w, highS)),
          hn::Add(hn::Mul(keep, lowL), hn::Mul(w, highL))};
}

// Adjusts the lanes in place; false when a lane needs the scalar form.
HWY_INLINE bool AdjustVector(D d, V& r, V& g, V& b, const Bands& bands) {
  if (!hn::AllTrue(d, hn::And(hn::IsFinite(r), hn::And(hn::IsFinite(g), hn::IsFinite(b)))))
    return false;
  const V v = hn::IfThenElse(hn::Lt(hn::IfThenElse(hn::Lt(r, g), g, r), b), b,
                             hn::IfThenElse(hn::Lt(r, g), g, r));
  const V low = hn::IfThenElse(hn::Lt(b, hn::IfThenElse(hn::Lt(g, r), g, r)), b,
                               hn::IfThenElse(hn::Lt(g, r), g, r));
  const V delta = hn::Sub(v, low);
  const M coloured = hn::Gt(delta, hn::Set(d, 0.0001f));
  if (hn::AllFalse(d, coloured)) return true;

  // Hue in degrees.
  const M isRed = hn::Eq(v, r);
  const M isGreen = hn::AndNot(isRed, hn::Eq(v, g));
  const V difference =
      hn::IfThenElse(isRed, hn::Sub(g, b), hn::IfThenElse(isGreen, hn::Sub(b, r), hn::Sub(r, g)));
  const V quotient = hn::Div(difference, delta);
  const V sector = hn::IfThenElse(
      isRed, quotient,
      hn::Add(quotient, hn::IfThenElse(isGreen, hn::Set(d, 2.0f), hn::Set(d, 4.0f))));
  V hue = hn::Mul(hn::Set(d, 60.0f), sector);
  hue = hn::IfThenElse(hn::Lt(hue, hn::Zero(d)), hn::Add(hue, hn::Set(d, 360.0f)), hue);
  hue = hn::IfThenElse(hn::Ge(hue, hn::Set(d, 360.0f)), hn::Sub(hue, hn::Set(d, 360.0f)), hue);

  const Blend blend = BlendAt(d, hue, bands);
  const M moved = hn::Or(hn::Ge(hn::Abs(blend.hueShift), hn::Set(d, 0.0001f)),
                         hn::Or(hn::Ge(hn::Abs(blend.saturation), hn::Set(d, 0.00001f)),
                                hn::Ge(hn::Abs(blend.luminance), hn::Set(d, 0.00001f))));
  const M active = hn::And(coloured, moved);
  if (hn::AllFalse(d, active)) return true;

  // New hue; a shift beyond a turn takes the scalar form (its modulo).
  V h = hn::Add(hue, blend.hueShift);
  if (!hn::AllFalse(d, hn::And(active, hn::Or(hn::Le(h, hn::Set(d, -360.0f)),
                                              hn::Ge(h, hn::Set(d, 1080.0f))))))
    return false;
  h = hn::IfThenElse(
      hn::Ge(h, hn::Set(d, 720.0f)), hn::Sub(h, hn::Set(d, 720.0f)),
      hn::IfThenElse(hn::Ge(h, hn::Set(d, 360.0f)), hn::Sub(h, hn::Set(d, 360.0f)), h));
  h = hn::IfThenElse(hn::Lt(h, hn::Zero(d)), hn::Add(h, hn::Set(d, 360.0f)), h);
  const V j = hn::Div(h, hn::Set(d, 60.0f));

  // Saturation and value; 2^stops lane by lane where stops is not 0.
  const V floorV = hn::IfThenElse(hn::Lt(v, hn::Set(d, 0.000001f)), hn::Set(d, 0.000001f), v);
  const V s = Clamp(d, hn::Mul(hn::Div(delta, floorV), hn::Add(hn::Set(d, 1.0f), blend.saturation)),
                    0.0f, 1.0f);
  const V stops = hn::Mul(hn::Mul(hn::Set(d, 0.8f), blend.luminance), s);
  HWY_ALIGN float factor[hn::MaxLanes(d)];
  hn::Store(stops, d, factor);
  for (size_t i = 0; i < hn::Lanes(d); ++i)
    factor[i] = factor[i] == 0.0f ? 1.0f : std::exp2(factor[i]);
  const M zeroStops = hn::Eq(stops, hn::Zero(d));
  const V value =
      Clamp(d, hn::IfThenElse(zeroStops, v, hn::Mul(v, hn::Load(d, factor))), 0.0f, 1.0f);

  // Back to RGB.
  const V two = hn::Set(d, 2.0f);
  const V jMod2 = hn::IfThenElse(
      hn::Lt(j, two), j,
      hn::IfThenElse(hn::Lt(j, hn::Set(d, 4.0f)), hn::Sub(j, two),
                     hn::IfThenElse(hn::Lt(j, hn::Set(d, 6.0f)), hn::Sub(j, hn::Set(d, 4.0f)),
                                    hn::Sub(j, hn::Set(d, 6.0f)))));
  const V c = hn::Mul(s, value);
  const V x = hn::Mul(c, hn::Sub(hn::Set(d, 1.0f), hn::Abs(hn::Sub(jMod2, hn::Set(d, 1.0f)))));
  const V m = hn::Sub(value, c);
  const M below1 = hn::Lt(j, hn::Set(d, 1.0f));
  const M below2 = hn::Lt(j, two);
  const M below3 = hn::Lt(j, hn::Set(d, 3.0f));
  const M below4 = hn::Lt(j, hn::Set(d, 4.0f));
  const M below5 = hn::Lt(j, hn::Set(d, 5.0f));
  const M sector0 = below1;
  const M sector1 = hn::AndNot(below1, below2);
  const M sector2 = hn::AndNot(below2, below3);
  const M sector3 = hn::AndNot(below3, below4);
  const M sector4 = hn::AndNot(below4, below5);
  const M sector5 = hn::Not(below5);
  const V zero = hn::Zero(d);
  const V newR = hn::IfThenElse(hn::Or(sector0, sector5), c,
                                hn::IfThenElse(hn::Or(sector1, sector4), x, zero));
  const V newG = hn::IfThenElse(hn::Or(sector1, sector2), c,
                                hn::IfThenElse(hn::Or(sector0, sector3), x, zero));
  const V newB = hn::IfThenElse(hn::Or(sector3, sector4), c,
                                hn::IfThenElse(hn::Or(sector2, sector5), x, zero));
  r = hn::IfThenElse(active, hn::Add(newR, m), r);
  g = hn::IfThenElse(active, hn::Add(newG, m), g);
  b = hn::IfThenElse(active, hn::Add(newB, m), b);
  return true;
}

bool Finite(const Bands& bands) {
  for (const Band& band : bands)
    if (!std::isfinite(band.hueShift) || !std::isfinite(band.saturation) ||
        !std::isfinite(band.luminance))
      return false;
  return true;
}

void AdjustRow(float* rgb, size_t count, const Bands& bands) {
  const D d;
  const size_t lanes = hn::Lanes(d);
  size_t i = 0;
  for (; i + lanes <= count && Finite(bands); i += lanes) {
    V r, g, b;
    hn::LoadInterleaved3(d, rgb + 3 * i, r, g, b);
    if (AdjustVector(d, r, g, b, bands)) {
      hn::StoreInterleaved3(r, g, b, d, rgb + 3 * i);
    } else {
      for (size_t k = i; k < i + lanes; ++k) adjust(rgb + 3 * k, bands);
    }
  }
  for (; i < count; ++i) adjust(rgb + 3 * i, bands);
}

}  // namespace HWY_NAMESPACE
}  // namespace HSLPixel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace HSLPixel {

HWY_EXPORT(AdjustRow);

void adjustRow(float* rgb, std::size_t count, const Bands& bands) {
  HWY_DYNAMIC_DISPATCH(AdjustRow)(rgb, count, bands);
}

}  // namespace HSLPixel
#endif
