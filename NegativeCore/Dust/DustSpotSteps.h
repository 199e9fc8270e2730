// The spot finder's judgement of one component, in two stages that its run keeps apart so that
// planes can share memory: the shape stage (extent, shape class, side test, local noise) while
// the response plane exists, and the evidence stage (votes, ceiling and colour, acceptance,
// ring, edge and gradient tests, the spot or chain) once the values at the peak are sampled.
// Internal to the spot finder.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "Dust/DustCandidates.h"
#include "Dust/DustDetectorTuning.h"
#include "Dust/DustShape.h"
#include "Dust/DustSpotFinder.h"

namespace DustDetector::SpotSteps {

// Sizes that follow from the scan's dimensions (integer divisions truncate).
struct Scale {
  int64_t width = 0;
  int64_t height = 0;
  int64_t longSide = 0;    // L
  int64_t count = 0;       // N
  int64_t r = 0;           // working radius
  int64_t stride = 0;      // k, the sample stride of the noise statistics
  int64_t smallArea = 0;   // largest compact find
  int64_t maxArea = 0;     // largest find of any shape
  int64_t widthLimit = 0;  // wMax, the thickest elongated find
};
Scale scaleOf(int64_t width, int64_t height);

// Noise levels and thresholds of one run.
struct Levels {
  float R = 0;       // robust deviation of the contrast d − mean
  float sigma1 = 0;  // robust deviation of top1
  float sigma2 = 0;  // robust deviation of top2
  float T = 0;       // seed threshold; growth goes down to 0.6·T
  float a = 0;       // acceptance factor
  float b = 0;       // vote factor
};

enum class Shape { compact, elongated };

// One component on its way through the tests.
struct Find {
  std::vector<int64_t> pixels;  // in the order the flood fill took them; the seed first
  int64_t peakPixel = 0;
  float peak = 0;  // the highest response
  Centroid c;
  double t = 0;    // largest distance of a pixel from the centroid
  double ext = 0;  // max(1, 2t)
  double w = 0;    // thickness n/ext
  Shape shape = Shape::compact;
  bool axisAligned = false;
  double theta = 0;
  float noise = 0;
  // Planes at the peak pixel, sampled between the stages.
  float d = 0;
  float contrast = 0;
  float top1 = 0;
  float top2 = 0;
  float fine2 = 0;
  std::array<float, 3> channels{};
  // Evidence.
  int votes = 0;
  int maxVotes = 5;
  float f = 1;  // threshold multiplier
  bool overCeiling = false;

  int64_t n() const { return static_cast<int64_t>(pixels.size()); }
};

// Visited flags of the flood fill; a component under test marks its own pixels as members.
enum Mark : uint8_t { unvisited = 0, visited = 1, member = 2 };

struct ShapeStage {
  const Scale& s;
  const Tuning& tuning;
  float R;
  const float* d;
  const float* response;
  std::vector<uint8_t>& marks;
  std::vector<Segment>& segments;  // receives the clearly directional elongated components
};

// Extent, shape class, side test and local noise. False when the component is dropped.
bool passesShapeStage(Find& f, const ShapeStage& stage);

struct EvidenceStage {
  const Scale& s;
  const Levels& l;
  const Tuning& tuning;
  bool colour;
  std::optional<float> ceiling;
  const float* d;
  const float* mean;
  const float* wideMean;
  const AcceptTest& accept;
};

// Votes, ceiling and colour, acceptance, the ring, edge and gradient tests and the acceptance
// test; the candidate, or nothing when the find is dropped.
std::optional<Candidate> judgeEvidence(Find& f, const EvidenceStage& stage);

}  // namespace DustDetector::SpotSteps
