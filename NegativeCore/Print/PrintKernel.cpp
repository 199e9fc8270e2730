#include "Print/PrintKernel.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Print/PrintKernel.cpp"
// clang-format off
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>
#include <hwy/contrib/math/math-inl.h>
// clang-format on

#include <cfloat>

#include "Color/LuminanceWeights.h"

HWY_BEFORE_NAMESPACE();
namespace PrintKernel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<float>;
using V = hn::Vec<D>;

HWY_INLINE V luminance(D d, V r, V g, V b) {
  return hn::Add(hn::Add(hn::Mul(hn::Set(d, LuminanceWeights::red), r),
                         hn::Mul(hn::Set(d, LuminanceWeights::green), g)),
                 hn::Mul(hn::Set(d, LuminanceWeights::blue), b));
}

// Normalised density of one channel: 0 at the film base, 1 at the dense end (reversed for
// slides).
HWY_INLINE V density(D d, const Paper& p, int c, V value) {
  const auto hasDensity =
      hn::And(hn::Gt(value, hn::Set(d, 1e-6f)), hn::Le(value, hn::Set(d, FLT_MAX)));
  const V logarithm = hn::Log10(d, hn::IfThenElse(hasDensity, value, hn::Set(d, 1.0f)));
  const V D6 = hn::IfThenElse(hasDensity, hn::Neg(logarithm), hn::Set(d, 6.0f));
  const V n = hn::Div(hn::Sub(D6, hn::Set(d, p.dMin[c])), hn::Set(d, p.range[c]));
  return p.inverted ? hn::Sub(hn::Set(d, 1.0f), n) : n;
}

HWY_INLINE V matrixRow(D d, const Paper& p, int row, V eR, V eG, V eB) {
  const float* m = p.matrix.data() + 3 * row;
  return hn::Add(hn::Add(hn::Add(hn::Mul(hn::Set(d, m[0]), eR), hn::Mul(hn::Set(d, m[1]), eG)),
                         hn::Mul(hn::Set(d, m[2]), eB)),
                 hn::Set(d, 0.5f));
}

HWY_INLINE V paperCurve(D d, const Paper& p, int c, V n) {
  const V half = hn::Set(d, 0.5f);
  const V shifted =
      hn::Sub(hn::Sub(hn::Sub(n, hn::Set(d, p.offset[c])), hn::Set(d, p.expShift)), half);
  const V v = hn::Add(hn::Mul(hn::Set(d, p.contrast), shifted), half);
  V t = hn::Mul(hn::Set(d, -p.k), hn::Sub(v, half));
  // Above 88 the exponential overflows and the curve is 0 either way; NaN goes there too.
  const V largest = hn::Set(d, 88.0f);
  t = hn::IfThenElse(hn::Lt(t, largest), t, largest);
  const V one = hn::Set(d, 1.0f);
  const V s = hn::Div(one, hn::Add(one, hn::Exp(d, t)));
  return hn::Div(hn::Sub(s, hn::Set(d, p.lo)), hn::Set(d, p.span));
}

HWY_INLINE void paperVector(D d, const Paper& p, const float* rgba, float* r, float* g, float* b) {
  V R, G, B, A;
  hn::LoadInterleaved4(d, rgba, R, G, B, A);
  if (p.mono) R = G = B = luminance(d, R, G, B);
  V nR = density(d, p, 0, R);
  V nG = density(d, p, 1, G);
  V nB = density(d, p, 2, B);
  if (p.useMatrix) {
    const V half = hn::Set(d, 0.5f);
    const V eR = hn::Sub(nR, half);
    const V eG = hn::Sub(nG, half);
    const V eB = hn::Sub(nB, half);
    nR = matrixRow(d, p, 0, eR, eG, eB);
    nG = matrixRow(d, p, 1, eR, eG, eB);
    nB = matrixRow(d, p, 2, eR, eG, eB);
  }
  hn::StoreU(paperCurve(d, p, 0, nR), d, r);
  hn::StoreU(paperCurve(d, p, 1, nG), d, g);
  hn::StoreU(paperCurve(d, p, 2, nB), d, b);
}

void PaperPlanes(const Paper& p, const float* rgba, size_t n, float* r, float* g, float* b) {
  const D d;
  const size_t lanes = hn::Lanes(d);
  size_t i = 0;
  for (; i + lanes <= n; i += lanes) paperVector(d, p, rgba + 4 * i, r + i, g + i, b + i);
  if (i == n) return;
  // The tail through full-width buffers; unused lanes hold 1, a harmless value.
  HWY_ALIGN float in[4 * hn::MaxLanes(d)];
  HWY_ALIGN float out[3][hn::MaxLanes(d)];
  const size_t rest = n - i;
  for (size_t k = 0; k < 4 * lanes; ++k) in[k] = k < 4 * rest ? rgba[4 * i + k] : 1.0f;
  paperVector(d, p, in, out[0], out[1], out[2]);
  for (size_t k = 0; k < rest; ++k) {
    r[i + k] = out[0][k];
    g[i + k] = out[1][k];
    b[i + k] = out[2][k];
  }
}

HWY_INLINE V printable(D d, V v) {
  const V clamped = hn::Min(hn::Max(v, hn::Zero(d)), hn::Set(d, 1.0f));
  return hn::IfThenElseZero(hn::Le(v, hn::Set(d, FLT_MAX)), clamped);
}

HWY_INLINE void finishVector(D d, const float* r, const float* g, const float* b, bool saturate,
                             float saturation, float* rgb) {
  V R = hn::LoadU(d, r);
  V G = hn::LoadU(d, g);
  V B = hn::LoadU(d, b);
  if (saturate) {
    const V L = luminance(d, R, G, B);
    const V s = hn::Set(d, saturation);
    R = hn::Add(L, hn::Mul(s, hn::Sub(R, L)));
    G = hn::Add(L, hn::Mul(s, hn::Sub(G, L)));
    B = hn::Add(L, hn::Mul(s, hn::Sub(B, L)));
  }
  hn::StoreInterleaved3(printable(d, R), printable(d, G), printable(d, B), d, rgb);
}

void FinishPlanes(const float* r, const float* g, const float* b, size_t n, bool saturate,
                  float saturation, float* rgb) {
  const D d;
  const size_t lanes = hn::Lanes(d);
  size_t i = 0;
  for (; i + lanes <= n; i += lanes)
    finishVector(d, r + i, g + i, b + i, saturate, saturation, rgb + 3 * i);
  if (i == n) return;
  HWY_ALIGN float in[3][hn::MaxLanes(d)] = {};
  HWY_ALIGN float out[3 * hn::MaxLanes(d)];
  const size_t rest = n - i;
  for (size_t k = 0; k < rest; ++k) {
    in[0][k] = r[i + k];
    in[1][k] = g[i + k];
    in[2][k] = b[i + k];
  }
  finishVector(d, in[0], in[1], in[2], saturate, saturation, out);
  for (size_t k = 0; k < 3 * rest; ++k) rgb[3 * i + k] = out[k];
}

}  // namespace HWY_NAMESPACE
}  // namespace PrintKernel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace PrintKernel {

HWY_EXPORT(PaperPlanes);
HWY_EXPORT(FinishPlanes);

void paper(const Paper& paper, const float* rgba, size_t n, float* r, float* g, float* b) {
  HWY_DYNAMIC_DISPATCH(PaperPlanes)(paper, rgba, n, r, g, b);
}

void finish(const float* r, const float* g, const float* b, size_t n, bool saturate,
            float saturation, float* rgb) {
  HWY_DYNAMIC_DISPATCH(FinishPlanes)(r, g, b, n, saturate, saturation, rgb);
}

}  // namespace PrintKernel
#endif
