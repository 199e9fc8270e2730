#include "Tone/RgbRows.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Tone/RgbRows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace RgbRows {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void SplitRow(const float* rgb, float* red, float* green, float* blue, size_t count) {
  const hn::ScalableTag<float> d;
  const size_t lanes = hn::Lanes(d);
  size_t i = 0;
  for (; i + lanes <= count; i += lanes) {
    hn::Vec<decltype(d)> r, g, b;
    hn::LoadInterleaved3(d, rgb + 3 * i, r, g, b);
    hn::StoreU(r, d, red + i);
    hn::StoreU(g, d, green + i);
    hn::StoreU(b, d, blue + i);
  }
  for (; i < count; ++i) {
    red[i] = rgb[3 * i];
    green[i] = rgb[3 * i + 1];
    blue[i] = rgb[3 * i + 2];
  }
}

void MergeRow(const float* red, const float* green, const float* blue, float* rgb, size_t count) {
  const hn::ScalableTag<float> d;
  const size_t lanes = hn::Lanes(d);
  size_t i = 0;
  for (; i + lanes <= count; i += lanes)
    hn::StoreInterleaved3(hn::LoadU(d, red + i), hn::LoadU(d, green + i), hn::LoadU(d, blue + i), d,
                          rgb + 3 * i);
  for (; i < count; ++i) {
    rgb[3 * i] = red[i];
    rgb[3 * i + 1] = green[i];
    rgb[3 * i + 2] = blue[i];
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace RgbRows
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace RgbRows {

HWY_EXPORT(SplitRow);
HWY_EXPORT(MergeRow);

void split(const float* rgb, float* red, float* green, float* blue, size_t count) {
  HWY_DYNAMIC_DISPATCH(SplitRow)(rgb, red, green, blue, count);
}

void merge(const float* red, const float* green, const float* blue, float* rgb, size_t count) {
  HWY_DYNAMIC_DISPATCH(MergeRow)(red, green, blue, rgb, count);
}

}  // namespace RgbRows
#endif
