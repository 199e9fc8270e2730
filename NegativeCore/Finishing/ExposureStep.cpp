#include "Finishing/ExposureStep.h"

#include "Support/VectorMath.h"

namespace ExposureStep {

namespace {

// The step over one run of pixels that all change.
void applyRun(float* rgb, const float* gains, int64_t count, float* scratch) {
  const size_t values = static_cast<size_t>(count) * 3;
  for (size_t i = 0; i < values; ++i) scratch[i] = std::clamp(rgb[i], 0.0f, 1.0f);
  VectorMath::pow(scratch, decode, scratch, values);
  for (int64_t p = 0; p < count; ++p)
    for (int c = 0; c < 3; ++c) scratch[p * 3 + c] = std::min(1.0f, gains[p] * scratch[p * 3 + c]);
  VectorMath::pow(scratch, encode, scratch, values);
  for (size_t i = 0; i < values; ++i) rgb[i] = std::min(1.0f, scratch[i]);
}

}  // namespace

void applyRow(float* rgb, const float* gains, int64_t count, float* scratch) {
  int64_t x = 0;
  while (x < count) {
    while (x < count && gains[x] == 0.0f) ++x;
    const int64_t start = x;
    while (x < count && gains[x] != 0.0f) ++x;
    if (x > start) applyRun(rgb + start * 3, gains + start, x - start, scratch);
  }
}

}  // namespace ExposureStep
