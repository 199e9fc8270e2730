#include "Finishing/ExposureStep.h"

#include <numbers>

#include "Support/VectorMath.h"

namespace ExposureStep {

void applyRow(float* rgb, const float* stops, int64_t count, float* scratch) {
  // 2^(s/2.2) = e^(s · ln 2/2.2), as one vectorised exponential over the row.
  const float toExponent = encode * std::numbers::ln2_v<float>;
  for (int64_t i = 0; i < count; ++i)
    scratch[i] = std::isnan(stops[i]) ? 0.0f : stops[i] * toExponent;
  VectorMath::exp(scratch, scratch, static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    if (std::isnan(stops[i])) continue;
    float* c = rgb + i * 3;
    for (int k = 0; k < 3; ++k) c[k] = apply(c[k], scratch[i]);
  }
}

}  // namespace ExposureStep
