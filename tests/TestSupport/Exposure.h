// The exposure step in stops written out as defined, with both powers, for checking the
// library's faster form against it.
#pragma once

#include <algorithm>
#include <cmath>

inline float exposedByDefinition(float c, float stops) {
  const float linear = std::pow(std::clamp(c, 0.0f, 1.0f), 2.2f);
  return std::min(1.0f, std::pow(std::min(1.0f, std::exp2(stops) * linear), 0.45454544f));
}
