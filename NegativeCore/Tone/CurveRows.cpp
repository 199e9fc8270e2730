#include "Tone/CurveRows.h"

#include <algorithm>
#include <cstdint>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Tone/CurveRows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace CurveRows {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<float>;
using V = hn::Vec<D>;

// The scalar lookup lane by lane, in the same order of operations.
HWY_INLINE V LookUp(D d, V c, const Table& table) {
  const hn::RebindToSigned<D> di;
  const V zero = hn::Zero(d);
  const V one = hn::Set(d, 1.0f);
  const V v = hn::Mul(hn::IfThenElse(hn::Gt(c, zero), hn::IfThenElse(hn::Lt(c, one), c, one), zero),
                      hn::Set(d, 1023.0f));
  const auto i = hn::Min(hn::ConvertTo(di, v), hn::Set(di, 1022));
  return hn::Add(
      hn::GatherIndex(d, table.value.data(), i),
      hn::Mul(hn::Sub(v, hn::ConvertTo(d, i)), hn::GatherIndex(d, table.step.data(), i)));
}

void ApplyRow(float* rgb, size_t count, const Table* master,
              const std::array<const Table*, 3>& channels) {
  const D d;
  const size_t lanes = hn::Lanes(d);
  size_t i = 0;
  for (; i + lanes <= count; i += lanes) {
    V c[3];
    hn::LoadInterleaved3(d, rgb + 3 * i, c[0], c[1], c[2]);
    for (int k = 0; k < 3; ++k) {
      if (master) c[k] = LookUp(d, c[k], *master);
      if (channels[k]) c[k] = LookUp(d, c[k], *channels[k]);
    }
    hn::StoreInterleaved3(c[0], c[1], c[2], d, rgb + 3 * i);
  }
  for (; i < count; ++i) {
    for (int k = 0; k < 3; ++k) {
      float& v = rgb[3 * i + k];
      if (master) v = (*master)(v);
      if (channels[k]) v = (*channels[k])(v);
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace CurveRows
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace CurveRows {

Table::Table(const ToneCurve::LookupTable& table) {
  for (size_t i = 0; i < value.size(); ++i) {
    value[i] = table[i];
    step[i] = table[i + 1] - table[i];
  }
}

float Table::operator()(float c) const {
  const float v = (c > 0.0f ? (c < 1.0f ? c : 1.0f) : 0.0f) * 1023.0f;
  const int64_t i = std::min<int64_t>(static_cast<int64_t>(v), 1022);
  return value[i] + (v - static_cast<float>(i)) * step[i];
}

HWY_EXPORT(ApplyRow);

void applyRow(float* rgb, std::size_t count, const Table* master,
              const std::array<const Table*, 3>& channels) {
  HWY_DYNAMIC_DISPATCH(ApplyRow)(rgb, count, master, channels);
}

}  // namespace CurveRows
#endif
