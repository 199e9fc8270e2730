// The hair finder: hairs, fibres and scratches, the long thin lines denser than their
// surroundings. A Hessian ridge filter over the smoothed density finds ridge pixels; connected
// ridges that are long, thin and clearly above both of their sides become chains of small
// repair spots sharing one group, which the healer repairs as one.
//
// Shared by the three entries, which differ only in which chains they accept (tested at the
// chain's normalised centre):
// - `pixels` is the linear RGBA array of a LinearImage, 4·width·height floats; sensitivity is
//   normally 0…1, higher finds more.
// - The result lists the chains in the order they were found, each a non-empty list of spots
//   with new ids, one new group, score 0.8, normalised as the spot finder's.
// - Each run reads DustDetector::tuning() once, at its start. Images without pixels find
//   nothing.
// - With KV_HAIRDEBUG set, each run prints one line of counts and noise levels to standard
//   output; with KV_HAIRDEBUG2 set, one line per thin component for the first 39 of a run. Both
//   are written without the process locale.
#pragma once

#include <cstdint>
#include <vector>

#include "Dust/DustSpotFinder.h"
#include "Record/ConversionSettings.h"
#include "Record/NormRect.h"
#include "Record/Spot.h"

namespace DustDetector {

// Accepts a chain whose centre lies strictly inside crop once straightened by the record's angle
// (isInsideCrop).
std::vector<std::vector<Spot>> findHairs(int64_t width, int64_t height, const float* pixels,
                                         const ConversionSettings& settings, const NormRect& crop,
                                         double sensitivity);

std::vector<std::vector<Spot>> findHairsAccepting(int64_t width, int64_t height,
                                                  const float* pixels, const AcceptTest& accept,
                                                  double sensitivity);

// Accepts every chain.
std::vector<std::vector<Spot>> findHairsWholeFrame(int64_t width, int64_t height,
                                                   const float* pixels, double sensitivity);

// Row y of the ridge filter over the smoothed density K, with second differences of pixel step
// `step`: across = Q − B and ridge = max(0, across − 2·|B + Q|), where B ± Q are the Hessian's
// eigenvalues. Columns 0, 1, width − 2 and width − 1 get 0; so does every column of a row within
// two of the top or bottom edge.
void ridgeRow(const float* K, float* ridge, float* across, int64_t width, int64_t height, int64_t y,
              int64_t step);

}  // namespace DustDetector
