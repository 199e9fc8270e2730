// Making repairs from a brushed stroke: the chain of spots along it (one spot from a clicked
// position is `makeSpot` in Record/Spot.h). Positions are normalised to the oriented scan, radii
// to its long side; the source is left for the healer's source search.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "Record/Spot.h"

// The spots of a brushed stroke through `points` on an image of width × height pixels: spots
// every max(r·L·0.6, 1) pixels along the polyline (L the long side), walked straight from the
// last placed spot, plus the last point when it lies more than 0.3 of that spacing beyond the
// last spot (always when only one spot was placed). All share one new group; each has its own
// id and the radius r. No points give no spots.
std::vector<Spot> alongPath(const std::vector<std::pair<double, double>>& points, int64_t width,
                            int64_t height, double r);
