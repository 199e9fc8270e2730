// Dodge & burn: mask shapes stored on the scan (brush paths, linear and radial gradients) become
// a per-pixel map at a print's size, either an exposure map in stops or a coverage mask of 0…1
// for local layers, and an exposure map lightens or darkens the print.
#pragma once

#include <cstdint>
#include <vector>

#include "Print/PrintImage.h"
#include "Record/DodgeBurnStroke.h"
#include "Record/NormRect.h"

// Shapes are drawn one after another in list order, each shape's rows in parallel. A point that
// does not hold exactly two numbers is ignored; a shape with a non-finite value is skipped.
namespace DodgeBurn {

// Row-major width × height map: with coverage false each shape adds clamp(stops, −3, 3) × its
// weight; with coverage true each pixel holds the largest weight of any shape. sourceWidth and
// sourceHeight are the decoded scan's size, angle the straighten angle in degrees, crop the
// print's rectangle in the straightened scan.
std::vector<float> mask(const std::vector<DodgeBurnStroke>& strokes, int64_t width, int64_t height,
                        int64_t sourceWidth, int64_t sourceHeight, bool coverage, double angle,
                        const NormRect& crop);

// mask with coverage true.
std::vector<float> coverageMask(const std::vector<DodgeBurnStroke>& strokes, int64_t width,
                                int64_t height, int64_t sourceWidth, int64_t sourceHeight,
                                double angle, const NormRect& crop);

// Applies the strokes' exposure map to the print in place; an empty list changes nothing.
void apply(PrintImage& print, const std::vector<DodgeBurnStroke>& strokes, int64_t sourceWidth,
           int64_t sourceHeight, double angle, const NormRect& crop);

}  // namespace DodgeBurn
