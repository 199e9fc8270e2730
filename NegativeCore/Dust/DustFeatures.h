// Describes a dust or hair candidate by fifteen named numbers, measured against density planes
// of the scan at a working scale tied to its long side. The planes share their density and box
// passes with the classic finders; nothing in the library calls these, they serve callers that
// learn from or rank candidates.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Record/Spot.h"

namespace DustFeatures {

// Planes of w·h values, row-major. With s = longEdge/2400: r1 = max(4, whole part of 8·s),
// r2 = max(12, whole part of 32·s).
struct Maps {
  int64_t w = 0;
  int64_t h = 0;
  std::vector<float> d;     // density of the weighted sum, 5 where it is ≤ 0.00001
  std::vector<float> fine;  // d after one box pass of radius 1
  std::vector<float> mean;  // d after two box passes of radius r1
  std::vector<float> std;   // local standard deviation of d at radius r1
  // From here on the member `std` hides the namespace.
  ::std::vector<float> wide;  // d after two box passes of radius r2
  int64_t longEdge = 0;       // max(w, h)
};

// The maps of a width × height scan; `pixels` holds 4·width·height linear RGBA floats.
Maps buildMaps(int64_t width, int64_t height, const float* pixels);

// The fifteen values of one candidate, in the order of featureNames(): `spots` is one spot, or
// the spots of one chain in chain order; `centres` holds the normalised positions of all
// candidates of the image. Throws std::invalid_argument for an empty spot list or maps without
// pixels.
std::vector<float> features(const Maps& maps, const std::vector<Spot>& spots,
                            const std::vector<std::pair<double, double>>& centres);

// "isHair", "logLength", "logRadius", "lift", "texture", "liftOverTexture", "background",
// "edgeStep", "darkRing", "neighbours", "sharpness", "thinness", "curvature", "peak",
// "liftOverPeak".
const std::vector<std::string>& featureNames();

}  // namespace DustFeatures
