#include "Dust/DustDetection.h"

#include <algorithm>
#include <cmath>

#include "Dust/DustDetectorTuning.h"
#include "Dust/DustHairFinder.h"

namespace DustDetector {

bool isNear(const Spot& a, const Spot& b, int64_t longSide) {
  const double L = double(longSide);
  return std::hypot((a.x - b.x) * L, (a.y - b.y) * L) < std::max(a.r, b.r) * L + 2;
}

void mergeChains(std::vector<Spot>& result, const std::vector<std::vector<Spot>>& chains,
                 int64_t longSide) {
  for (const auto& chain : chains) {
    const bool clashes = std::any_of(chain.begin(), chain.end(), [&](const Spot& spot) {
      return std::any_of(result.begin(), result.end(),
                         [&](const Spot& kept) { return isNear(spot, kept, longSide); });
    });
    if (!clashes) result.insert(result.end(), chain.begin(), chain.end());
  }
}

void mergeSpecks(std::vector<Spot>& result, const std::vector<Spot>& specks, int64_t longSide) {
  for (const auto& speck : specks) {
    const bool clashes = std::any_of(result.begin(), result.end(), [&](const Spot& kept) {
      return isNear(speck, kept, longSide);
    });
    if (!clashes) result.push_back(speck);
  }
}

std::vector<Spot> detect(int64_t width, int64_t height, const float* pixels, int64_t maxSpots,
                         bool colour, std::optional<float> ceiling, const AcceptTest& accept,
                         double sensitivity) {
  const int64_t longSide = std::max(width, height);
  auto result =
      findSpotsAccepting(width, height, pixels, maxSpots, colour, ceiling, accept, 1, sensitivity);
  if (tuning().hairFinder)
    mergeChains(result, findHairsAccepting(width, height, pixels, accept, sensitivity), longSide);
  if (tuning().darkSpecks)
    mergeSpecks(result,
                findSpotsAccepting(width, height, pixels, maxSpots, colour, std::nullopt, accept,
                                   -1, sensitivity),
                longSide);
  return result;
}

}  // namespace DustDetector
