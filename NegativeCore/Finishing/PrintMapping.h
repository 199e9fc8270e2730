// Where a position stored on the oriented scan lands on a rendered print: through the straighten
// angle and the crop the print was cut with, scaled to the print's pixels. Dodge & burn, red-eye
// correction and the application's overlays all place their marks with it.
#pragma once

#include <cstdint>

#include "Record/NormRect.h"

namespace PrintMapping {

// The print and the scan it was made from.
struct Frame {
  int64_t width = 0;         // print, pixels
  int64_t height = 0;        // print, pixels
  int64_t sourceWidth = 0;   // decoded scan, oriented, neither straightened nor cropped
  int64_t sourceHeight = 0;  //
  double angle = 0;          // straighten angle in degrees
  NormRect crop;             // the print inside the straightened scan
};

struct Point {
  double x = 0;
  double y = 0;
};

// Print pixel coordinates of a normalised scan point; pixel column c covers c…c + 1. A degenerate
// frame (zero crop or scan size) gives non-finite coordinates.
Point toPrint(const Frame& frame, double x, double y);

// Print pixels per scan pixel, taken from the widths.
double scale(const Frame& frame);

// Print pixels of a length given as a fraction of the scan's long side.
double length(const Frame& frame, double fractionOfLongSide);

}  // namespace PrintMapping
