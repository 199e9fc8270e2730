// The steps of healing one repair, shared by the healer's source files and its tests: the
// repair's box, its distance plane, the test for points near its path, the triple box blur and
// the blend. Box planes are row-major, bw·bh values, index (y − y0)·bw + (x − x0).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Conversion/LinearImage.h"
#include "Record/Spot.h"

namespace Healer {

struct Point {
  double x;
  double y;
};

// Inclusive pixel limits of a repair's working area; empty when x1 < x0 or y1 < y0.
struct Box {
  int64_t x0 = 0;
  int64_t y0 = 0;
  int64_t x1 = -1;
  int64_t y1 = -1;

  int64_t width() const { return x1 - x0 + 1; }
  int64_t height() const { return y1 - y0 + 1; }
  bool empty() const { return x1 < x0 || y1 < y0; }
};

// log10 of a channel value, with −5 for values at or below 0.00001 (and for not-a-number).
inline float logValue(float v) { return v > 0.00001f ? std::log10(v) : -5.0f; }

// Distance from (px, py) to the segment a–b (to a itself when a equals b).
inline double segmentDistance(double px, double py, Point a, Point b) {
  const double vx = b.x - a.x;
  const double vy = b.y - a.y;
  const double length2 = vx * vx + vy * vy;
  double t = 0;
  if (length2 > 0) t = std::clamp(((px - a.x) * vx + (py - a.y) * vy) / length2, 0.0, 1.0);
  const double ex = px - (a.x + t * vx);
  const double ey = py - (a.y + t * vy);
  return std::sqrt(ex * ex + ey * ey);
}

// Distance of every box pixel's centre (x + 0.5, y + 0.5) to the polyline through `path` (a
// single point when it has one). Each segment only visits the pixels of its own box padded by
// `reach`, so pixels at least `reach` from the path hold +∞ or a distance ≥ reach; every pixel
// nearer holds its exact distance. Rows split over the worker pool for large boxes.
std::vector<double> distancePlane(const Box& box, const std::vector<Point>& path, double reach);

// Answers whether a point lies within `limit` (distance ≤ limit) of the polyline through `path`,
// with segmentDistance, looking only at the segments filed near the point. The path's points
// must be finite (the healer limits them first).
class PathNeighbourhood {
 public:
  PathNeighbourhood(const std::vector<Point>& path, double limit);
  bool within(double x, double y) const;

 private:
  std::vector<Point> path_;
  double limit_;
  double originX_ = 0;
  double originY_ = 0;
  double cell_ = 1;
  int64_t columns_ = 0;
  int64_t rows_ = 0;
  std::vector<int64_t> cellStart_;
  std::vector<int64_t> cellSegments_;  // index of each segment's first point
};

// Three rounds of the box blur's row pass over all rows then column pass over all columns,
// radius n, in place; `scratch` (as large as the plane) holds the rows between the passes.
void tripleBoxBlur(float* plane, float* scratch, int64_t width, int64_t height, int64_t n);

// Blends one colour channel of the repair into the image: each box pixel of `inside` (box
// indices with distance < rOut) moves toward 10^O by w = opacity·smoothstep(t), t = 1 within
// rIn and falling linearly to 0 at rOut over `falloff`. output[k] is O for inside[k].
void blendPatch(float* pixels, int64_t imageWidth, const Box& box,
                const std::vector<double>& distance, const std::vector<int64_t>& inside,
                const std::vector<float>& output, int channel, double rOut, double rIn,
                double falloff, double opacity);

// Heals one repair (a spot alone, or the spots of one group in list order) on the image.
void healGroup(LinearImage& image, std::vector<Spot> unit, const std::vector<Spot>& allSpots);

}  // namespace Healer
