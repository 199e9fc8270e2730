// The exposure step in stops shared by dodge & burn, local layers and the vignette: a channel is
// linearised with the 2.2 power, multiplied by the gain 2^stops and re-encoded, never above 1:
// min(1, min(1, 2^stops · clamp(c, 0, 1)^2.2)^(1/2.2)).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

// Since (g · c^2.2)^(1/2.2) = c · g^(1/2.2), the step is computed as
// min(1, clamp(c, 0, 1) · 2^(stops/2.2)): one power per pixel instead of six, equal to the two
// powers up to float rounding.
namespace ExposureStep {

inline constexpr float encode = 0.45454544f;  // 1/2.2 in single precision

// The factor a channel is multiplied by for a change of `stops`.
inline float factor(float stops) { return std::exp2(stops * encode); }

// One channel with a factor from `factor`.
inline float apply(float c, float factor) {
  return std::min(1.0f, std::clamp(c, 0.0f, 1.0f) * factor);
}

// Marks a pixel of applyRow to leave exactly as it is.
inline constexpr float untouched = std::numeric_limits<float>::quiet_NaN();

// The step over count interleaved RGB pixels in place, pixel i changed by stops[i] (which the
// caller has limited); pixels marked `untouched` keep their values. scratch holds count floats.
void applyRow(float* rgb, const float* stops, int64_t count, float* scratch);

}  // namespace ExposureStep
