// What the dust search makes of its finds once every detector has run: finds that recur on
// neighbouring frames are confirmed, specks of the blank frame inside the crop are added, finds
// an existing repair covers are dropped, and the rest come back grouped. Pure functions over
// spot lists; distances are in normalised coordinates (x as a share of the width, y of the
// height), radii the spots' own.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "Dust/Healer.h"
#include "Record/NormRect.h"
#include "Record/Spot.h"

namespace DustAcrossFrames {

// Sets the score of a find to 1 when at least two sample lists hold a spot closer to it than
// max(2 × its radius, 0.004); nothing with fewer than two sample lists.
void confirmRepeats(std::vector<Spot>& finds, const std::vector<std::vector<Spot>>& samples);

// The scan the crop belongs to: its size in pixels and straighten angle, and the crop in its
// straightened frame.
struct CropView {
  int64_t width = 0;
  int64_t height = 0;
  double angle = 0;
  NormRect crop;
};

// The blank-frame specks worth adding, in order: strictly inside the crop once straightened, and
// no find closer than 1.5 × the larger radius (measured unstraightened). Specks are not compared
// with each other.
std::vector<Spot> blankFrameAdditions(const std::vector<Spot>& specks,
                                      const std::vector<Spot>& finds, const CropView& view);

// A clone source for `spot`, kept clear of `keepClear` (Healer::findSource on the scan).
using SourceSearch =
    std::function<Healer::SourcePoint(const Spot& spot, const std::vector<Spot>& keepClear)>;

// Gives each added speck, in order, its source, keeping clear of the finds, then the added specks
// (itself and the sources set so far included), then the existing repairs.
void giveSources(std::vector<Spot>& additions, const std::vector<Spot>& finds,
                 const std::vector<Spot>& repairs, const SourceSearch& search);

// The spots without those an existing repair covers: closer to it than the larger radius.
std::vector<Spot> withoutCovered(std::vector<Spot> spots, const std::vector<Spot>& repairs);

// One group per hair chain (spots sharing a group) and per spot without one (by its id), in the
// order the groups first appear, each with its spots in list order.
std::vector<std::vector<Spot>> grouped(const std::vector<Spot>& spots);

// Everything the refinement needs, the detectors' work done.
struct Finds {
  std::vector<Spot> scan;                  // the scan's own finds, in the detector's order
  std::vector<std::vector<Spot>> samples;  // one list per usable neighbouring frame
  std::vector<Spot> blankFrame;            // the blank frame's specks
  std::vector<Spot> repairs;               // the record's existing repairs
  CropView view;
};

// The steps above in order: repeats, blank-frame specks with their sources appended after the
// finds, covered spots dropped, groups.
std::vector<std::vector<Spot>> refine(Finds finds, const SourceSearch& search);

}  // namespace DustAcrossFrames
