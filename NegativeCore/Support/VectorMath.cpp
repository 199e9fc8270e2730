#include "Support/VectorMath.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Support/VectorMath.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>
#include <hwy/contrib/math/math-inl.h>

#include <cmath>

HWY_BEFORE_NAMESPACE();
namespace VectorMath {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Applies a vector operation over the array, the tail through a partial load and store.
template <class Op>
HWY_INLINE void forEach(const float* in, float* out, size_t count, const Op& op) {
  const hn::ScalableTag<float> d;
  const size_t lanes = hn::Lanes(d);
  size_t i = 0;
  for (; i + lanes <= count; i += lanes) hn::StoreU(op(d, hn::LoadU(d, in + i)), d, out + i);
  if (i < count) {
    const size_t rest = count - i;
    HWY_ALIGN float buffer[hn::MaxLanes(d)] = {};
    for (size_t k = 0; k < rest; ++k) buffer[k] = in[i + k];
    // Unused lanes hold 1, a harmless argument for every operation here.
    for (size_t k = rest; k < lanes; ++k) buffer[k] = 1.0f;
    hn::Store(op(d, hn::Load(d, buffer)), d, buffer);
    for (size_t k = 0; k < rest; ++k) out[i + k] = buffer[k];
  }
}

void Log10Array(const float* in, float* out, size_t count) {
  forEach(in, out, count, [](auto d, auto v) { return hn::Log10(d, v); });
}

void LogArray(const float* in, float* out, size_t count) {
  forEach(in, out, count, [](auto d, auto v) { return hn::Log(d, v); });
}

void ExpArray(const float* in, float* out, size_t count) {
  forEach(in, out, count, [](auto d, auto v) { return hn::Exp(d, v); });
}

void Exp10Array(const float* in, float* out, size_t count) {
  forEach(in, out, count, [](auto d, auto v) {
    return hn::Exp(d, hn::Mul(v, hn::Set(d, 2.302585092994046f)));
  });
}

void PowArray(const float* in, float exponent, float* out, size_t count) {
  forEach(in, out, count, [exponent](auto d, auto v) {
    const auto zero = hn::Zero(d);
    const auto positive = hn::Gt(v, zero);
    const auto safe = hn::IfThenElse(positive, v, hn::Set(d, 1.0f));
    const auto result = hn::Exp(d, hn::Mul(hn::Set(d, exponent), hn::Log(d, safe)));
    return hn::IfThenElse(positive, result, zero);
  });
}

}  // namespace HWY_NAMESPACE
}  // namespace VectorMath
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace VectorMath {

HWY_EXPORT(Log10Array);
HWY_EXPORT(LogArray);
HWY_EXPORT(ExpArray);
HWY_EXPORT(Exp10Array);
HWY_EXPORT(PowArray);

void log10(const float* in, float* out, size_t count) {
  HWY_DYNAMIC_DISPATCH(Log10Array)(in, out, count);
}
void log(const float* in, float* out, size_t count) { HWY_DYNAMIC_DISPATCH(LogArray)(in, out, count); }
void exp(const float* in, float* out, size_t count) { HWY_DYNAMIC_DISPATCH(ExpArray)(in, out, count); }
void exp10(const float* in, float* out, size_t count) {
  HWY_DYNAMIC_DISPATCH(Exp10Array)(in, out, count);
}
void pow(const float* in, float exponent, float* out, size_t count) {
  HWY_DYNAMIC_DISPATCH(PowArray)(in, exponent, out, count);
}

}  // namespace VectorMath
#endif
