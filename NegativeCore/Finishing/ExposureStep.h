// The exposure step in stops shared by dodge & burn, local layers and the vignette: a channel is
// linearised with the 2.2 power, multiplied by the gain 2^stops and re-encoded, never above 1.
// The row form runs the two powers through the vectorised maths for long runs of pixels.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ExposureStep {

inline constexpr float encode = 0.45454544f;  // 1/2.2 in single precision
inline constexpr float decode = 2.2f;

// One channel: min(1, min(1, gain · clamp(c, 0, 1)^2.2)^(1/2.2)).
inline float apply(float c, float gain) {
  const float linear = std::pow(std::clamp(c, 0.0f, 1.0f), decode);
  return std::min(1.0f, std::pow(std::min(1.0f, gain * linear), encode));
}

// The step over count interleaved RGB pixels in place, pixel i with gains[i]; a gain of 0 marks
// a pixel to leave exactly as it is (real gains are 2^stops, never 0). scratch holds at least
// 3 · count floats.
void applyRow(float* rgb, const float* gains, int64_t count, float* scratch);

}  // namespace ExposureStep
