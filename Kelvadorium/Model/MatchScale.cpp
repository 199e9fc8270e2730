#include "Model/MatchScale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Conversion/DecodeSize.h"

namespace MatchScale {

double forSize(const std::optional<std::pair<double, double>>& size) {
  if (!size) return 0.25;
  const double side = std::max(size->first, size->second);
  if (!(side > longSide)) return 1;
  // The decoder takes the scale as a float and rounds sides up: 450 / 1350 as a float lies just
  // above a third and would give 451 pixels.
  auto scale = static_cast<float>(longSide / side);
  const auto pixels = static_cast<int64_t>(std::min(side, 9.0e15));
  while (scale > 0 && DecodeSize::scaled(pixels, scale) > static_cast<int64_t>(longSide)) {
    scale = std::nextafter(scale, 0.0f);
  }
  return scale;
}

}  // namespace MatchScale
