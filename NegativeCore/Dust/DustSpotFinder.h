// The classic spot finder: dust specks (and, when the tuning asks, short scratches) on a decoded
// scan, found without a learned model. Small regions that stand out of the scan's density at two
// scales are grown, classed by shape, tested against their surroundings and scored by their
// independent evidence; each survivor becomes one repair spot, or a chain of spots sharing one
// group for an elongated find.
//
// Shared by the three entries, which differ only in which finds they accept:
// - `pixels` is the linear RGBA array of a LinearImage, 4·width·height floats.
// - maxSpots caps the result; the cap never splits a chain.
// - colour uses per-channel evidence (colour negatives); ceiling is a density above which a peak
//   counts as strong evidence; polarity +1 looks for specks denser than their surroundings, −1
//   for specks less dense; sensitivity is normally 0…1, higher finds more.
// - Spots are normalised to the scan (x by width, y by height, r by the long side), each with a
//   new id and a score in 0…1; only chain spots carry a group.
// - A side under 64 pixels gives no spots. Each run reads DustDetector::tuning() once, at its
//   start. Runs may go on at once on any threads; each splits its plane work over the pool.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "Record/ConversionSettings.h"
#include "Record/NormRect.h"
#include "Record/Spot.h"

namespace DustDetector {

// Whether a find at the normalised point (x, y) of the scan is wanted.
using AcceptTest = std::function<bool(double x, double y)>;

// Accepts a find when it lies strictly inside crop once straightened by the record's angle
// (isInsideCrop).
std::vector<Spot> findSpots(int64_t width, int64_t height, const float* pixels, int64_t maxSpots,
                            bool colour, std::optional<float> ceiling,
                            const ConversionSettings& settings, float polarity, double sensitivity,
                            const NormRect& crop);

std::vector<Spot> findSpotsAccepting(int64_t width, int64_t height, const float* pixels,
                                     int64_t maxSpots, bool colour, std::optional<float> ceiling,
                                     const AcceptTest& accept, float polarity, double sensitivity);

// Accepts every find.
std::vector<Spot> findSpotsWholeFrame(int64_t width, int64_t height, const float* pixels,
                                      int64_t maxSpots, bool colour, std::optional<float> ceiling,
                                      float polarity, double sensitivity);

}  // namespace DustDetector
