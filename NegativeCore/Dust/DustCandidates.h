// The finds the spot finder keeps, and the steps that judge them together once the scan is
// done: pruning of finds that lie along a line of elongated segments, the busy test, and the
// strength-ordered result under the spot limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "Dust/DustShape.h"
#include "Record/Spot.h"

namespace DustDetector {

// One kept find: a single spot, or the spots of a chain, which alone carries its centroid in
// pixels.
struct Candidate {
  std::vector<Spot> spots;
  float strength = 0;  // peak·√area
  std::optional<Centroid> centre;
};

// The centroid (pixels) and orientation (radians) of an elongated component that is clearly
// directional.
struct Segment {
  double cx = 0;
  double cy = 0;
  double theta = 0;
};

// The seed pixel of a component that passed the size tests.
struct Seed {
  int64_t x = 0;
  int64_t y = 0;
};

// Orientations compared as lines: the difference modulo π, folded into 0…π/2.
double lineAngleDifference(double a, double b);

// A chain lies on a line when the first segment at exactly its centre exists and more than 3
// segments (that one included) lie closer than 0.06·longSide to the centre with an orientation
// within 0.35 rad of that segment's. Candidates without a centre never do.
bool isOnLine(const Candidate& candidate, const std::vector<Segment>& segments, int64_t longSide);
// The candidates that are not on a line, in their order.
std::vector<Candidate> pruneLines(std::vector<Candidate> candidates,
                                  const std::vector<Segment>& segments, int64_t longSide);

// The mean of the spots' normalised centres; (0, 0) for none.
Centroid meanPosition(const std::vector<Spot>& spots);

// Indices (ascending) of the candidates to remove as busy: those with at least busyFound other
// candidates, or at least busyBlobs seeds, closer than 0.03 of the long side, positions taken
// in pixels. Every candidate is judged against the full list.
std::vector<size_t> busyIndices(const std::vector<Candidate>& candidates,
                                const std::vector<Seed>& seeds, int64_t width, int64_t height,
                                int64_t busyFound, int64_t busyBlobs);

// The spots of the candidates, strongest first (equal strengths keep their order), stopping at
// the first candidate whose spots would take the total past maxSpots.
std::vector<Spot> strongestSpots(std::vector<Candidate> candidates, int64_t maxSpots);

}  // namespace DustDetector
