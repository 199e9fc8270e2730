// Shape measures shared by the dust finders and the feature maps (second moments, their
// eigenvalues and orientation) and the chains of spots that elongated finds and hairs become.
// Pixel lists hold plane indices y·width + x in the order the flood fill took them.
#pragma once

#include <cstdint>
#include <vector>

#include "Record/Spot.h"
#include "Support/Uuid.h"

namespace DustDetector {

// Second moments of points about their centroid, divided by the number of points.
struct Moments {
  double sxx = 0;
  double syy = 0;
  double sxy = 0;

  // λ1,2 = (sxx + syy)/2 ± √(((sxx + syy)/2)² − (sxx·syy − sxy²)); λ1 ≥ λ2 ≥ 0.
  double largestEigenvalue() const;
  double smallestEigenvalue() const;
  // 0.5·atan2(2·sxy, sxx − syy): the direction of the largest spread, in radians.
  double orientation() const;
};

struct Centroid {
  double x = 0;
  double y = 0;
};

// The mean pixel position of a component.
Centroid centroidOf(const std::vector<int64_t>& pixels, int64_t width);
Moments momentsOf(const std::vector<int64_t>& pixels, int64_t width, Centroid centre);

// The pixels of a component, in order, that lie at least `spacing` from every pixel kept
// before them: the centres of a chain's spots.
std::vector<int64_t> spacedPixels(const std::vector<int64_t>& pixels, int64_t width,
                                  double spacing);

// One spot of a chain: centre at pixel (px, py) + 0.5 normalised by width and height, radius
// rho pixels normalised by the long side, the chain's group and the score.
Spot chainSpot(int64_t px, int64_t py, int64_t width, int64_t height, double rho, Uuid group,
               double score);

}  // namespace DustDetector
