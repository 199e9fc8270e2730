// The classic detection's merging: specks and hair chains of one pass combined without near
// duplicates. The passes over a scan are the driver's (Driver/DustPasses.h).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Dust/DustSpotFinder.h"
#include "Record/Spot.h"

namespace DustDetector {

// Two spots of one pass are near when their centres lie closer than the larger radius plus 2
// pixels, both differences scaled by the long side L (not by width and height apart).
bool isNear(const Spot& a, const Spot& b, int64_t longSide);

// Appends each chain whole unless one of its spots is near a spot already in the result
// (chains appended earlier included).
void mergeChains(std::vector<Spot>& result, const std::vector<std::vector<Spot>>& chains,
                 int64_t longSide);

// Appends each speck unless it is near a spot already in the result (specks appended earlier
// included).
void mergeSpecks(std::vector<Spot>& result, const std::vector<Spot>& specks, int64_t longSide);

// The classic detection with the caller's acceptance test and no clone sources: specks, then
// hair chains, then specks less dense than their surroundings (without the ceiling), merged.
std::vector<Spot> detect(int64_t width, int64_t height, const float* pixels, int64_t maxSpots,
                         bool colour, std::optional<float> ceiling, const AcceptTest& accept,
                         double sensitivity);

}  // namespace DustDetector
