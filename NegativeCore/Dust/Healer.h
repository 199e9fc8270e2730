// Healing of repairs: every spot of an edit record's list is painted over with pixels from a
// source area nearby, in the log10 domain, blended softly into its surroundings; and the two
// clone-source searches that pick a source for a repair that has none.
// Spots are normalised to the unstraightened, uncropped scan; nothing here throws.
#pragma once

#include <cstdint>
#include <vector>

#include "Conversion/LinearImage.h"
#include "Record/Spot.h"

namespace Healer {

// Heals every repair of the list on the image, in list order: a spot without a group alone, the
// spots sharing a group together, once, where the group's first spot stands. Later repairs see
// the earlier ones. Only R, G and B change. A repair with a coordinate, radius, source, feather
// or opacity that is not a finite number is skipped; the list itself is never changed.
void apply(LinearImage& image, const std::vector<Spot>& spots);

// A source point, normalised like a spot's centre. It may lie outside the image.
struct SourcePoint {
  double sx;
  double sy;
};

// Searches a source for one spot on an image of width × height RGBA pixels (`pixels` holds
// 4·width·height values): 48 candidates on three rings around the spot, kept clear of the
// image edges and of every other spot of allSpots, ranked by how well their surroundings match
// the spot's in texture (not brightness). When every candidate is blocked, the point 2.5 radii
// to the right of the centre.
SourcePoint findSource(int64_t width, int64_t height, const float* pixels, const Spot& spot,
                       const std::vector<Spot>& allSpots);

// Searches one common source offset for the spots of a repair and writes sx, sy into every
// spot of `unit`: 48 offsets, each keeping the whole moved chain inside the image, clear of the
// chain itself and of every other spot of allSpots; ranked by the texture match around up to
// 31 sampled members. A unit of one spot gets findSource's answer; an empty unit is left alone.
void findGroupSource(int64_t width, int64_t height, const float* pixels, std::vector<Spot>& unit,
                     const std::vector<Spot>& allSpots);

}  // namespace Healer
