// Straightening and cropping: the mapping of normalised points between a scan and its
// straightened frame, and the engine's one resampling step. Angles are degrees, positive turning
// the picture clockwise as displayed, about the centre of the whole scan in pixels; rects are in
// normalised coordinates of the straightened frame, which has the scan's size.
#pragma once

#include <cstdint>

#include "Conversion/LinearImage.h"
#include "Record/NormRect.h"

// A point in normalised image coordinates.
struct NormPoint {
  double x = 0;
  double y = 0;

  friend bool operator==(const NormPoint&, const NormPoint&) = default;
};

// From the width × height scan into its frame straightened by angle.
NormPoint straightenedPoint(int64_t width, int64_t height, double x, double y, double angle);
// The inverse: from the straightened frame back into the scan.
NormPoint unstraightenedPoint(int64_t width, int64_t height, double x, double y, double angle);
// Whether a point of the width × height scan, straightened by angle, lies strictly inside rect.
bool isInsideCrop(int64_t width, int64_t height, double angle, NormPoint point,
                  const NormRect& rect);

namespace Geometry {

// Rotates the image by angle and cuts out rect (clamped to the frame, sides at least 0.02),
// resampling bilinearly; outside the scan the nearest edge pixel repeats. Below 0.001° the rect
// is copied without resampling, and the full rect gives back the input itself (no copy).
LinearImage straightenAndCrop(const LinearImage& image, double angle, const NormRect& rect);

}  // namespace Geometry
