// Dodge & burn: the shapes' weights, how maps combine, the exposure step and the skipping of
// unusable shapes.
#include "Finishing/DodgeBurn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "Finishing/PrintMapping.h"
#include "TestSupport/Exposure.h"

namespace {

constexpr int64_t W = 64, H = 48;  // print and scan alike: no straightening, no crop
const NormRect full{0, 0, 1, 1};

std::vector<float> exposureMap(const std::vector<DodgeBurnStroke>& strokes) {
  return DodgeBurn::mask(strokes, W, H, W, H, false, 0, full);
}

std::vector<float> coverage(const std::vector<DodgeBurnStroke>& strokes) {
  return DodgeBurn::coverageMask(strokes, W, H, W, H, 0, full);
}

float at(const std::vector<float>& map, int64_t x, int64_t y) { return map[y * W + x]; }

DodgeBurnStroke brush(std::vector<std::vector<double>> points, double radius, double stops,
                      double feather = 1.8) {
  DodgeBurnStroke stroke;
  stroke.points = std::move(points);
  stroke.radius = radius;
  stroke.stops = stops;
  stroke.feather = feather;
  return stroke;
}

// A linear shape whose ends coincide weighs 1 everywhere.
DodgeBurnStroke everywhere(double stops) {
  return DodgeBurnStroke::linear({0.5, 0.5}, {0.5, 0.5}, stops);
}

TEST(DodgeBurn, FactoriesFillTheShapes) {
  const DodgeBurnStroke linear = DodgeBurnStroke::linear({0.1, 0.2}, {0.3, 0.4}, -1);
  EXPECT_EQ(linear.points, (std::vector<std::vector<double>>{{0.1, 0.2}, {0.3, 0.4}}));
  EXPECT_EQ(linear.radius, 0);
  EXPECT_EQ(linear.stops, -1);
  EXPECT_EQ(linear.feather, 1.8);
  EXPECT_EQ(linear.shape, DodgeShape::linear);
  EXPECT_FALSE(linear.rx || linear.ry || linear.invert);

  const DodgeBurnStroke radial = DodgeBurnStroke::radial({0.5, 0.6}, 0.1, 0.2, 1, 0.4, false);
  EXPECT_EQ(radial.points, (std::vector<std::vector<double>>{{0.5, 0.6}}));
  EXPECT_EQ(radial.radius, 0.2);
  EXPECT_EQ(radial.feather, 0.4);
  EXPECT_EQ(radial.shape, DodgeShape::radial);
  EXPECT_EQ(radial.rx, 0.1);
  EXPECT_EQ(radial.ry, 0.2);
  EXPECT_EQ(radial.invert, false);
  EXPECT_NE(linear.id, radial.id);
}

TEST(DodgeBurn, StopsAddUpAndClampToThree) {
  struct Case {
    std::vector<double> stops;
    float map;      // the exposure map where every shape covers fully
    float applied;  // stops the print receives
  };
  for (const Case& c : std::vector<Case>{
           {{1, 1}, 2, 2}, {{2, 2}, 4, 3}, {{5}, 3, 3}, {{-7}, -3, -3}, {{1, -1}, 0, 0}}) {
    std::vector<DodgeBurnStroke> strokes;
    for (double s : c.stops) strokes.push_back(everywhere(s));
    const std::vector<float> map = exposureMap(strokes);
    EXPECT_EQ(at(map, 0, 0), c.map);
    EXPECT_EQ(at(map, W - 1, H - 1), c.map);

    PrintImage print(W, H, std::vector<float>(W * H * 3, 0.5f));
    DodgeBurn::apply(print, strokes, W, H, 0, full);
    EXPECT_NEAR(print.rgb[0], exposedByDefinition(0.5f, c.applied), 1e-6);
  }
  // The coverage mask ignores stops and takes the larger weight, never more than 1.
  const std::vector<float> mask = coverage({everywhere(5), everywhere(-2)});
  EXPECT_EQ(at(mask, 10, 10), 1.0f);
}

TEST(DodgeBurn, OneStopDoublesTheLinearLightAndResultsStayWithinOne) {
  PrintImage print(W, H);
  print.rgb[0] = 0.25f;  // pixel (0, 0)
  print.rgb[1] = 0.9f;
  print.rgb[2] = 1.5f;
  DodgeBurn::apply(print, {everywhere(1)}, W, H, 0, full);
  EXPECT_NEAR(std::pow(print.rgb[0], 2.2f), 2 * std::pow(0.25f, 2.2f), 1e-5);
  EXPECT_EQ(print.rgb[1], 1.0f);
  EXPECT_EQ(print.rgb[2], 1.0f);

  // Outside every shape a value above 1 is left alone.
  PrintImage bright(W, H, std::vector<float>(W * H * 3, 1.5f));
  DodgeBurn::apply(bright, {brush({{0.0, 0.0}}, 0.05, 1)}, W, H, 0, full);
  EXPECT_EQ(bright.rgb[(H - 1) * W * 3 + (W - 1) * 3], 1.5f);
  EXPECT_EQ(bright.rgb[0], 1.0f);

  PrintImage untouched(W, H, std::vector<float>(W * H * 3, 0.3f));
  const std::vector<float> before = untouched.rgb;
  DodgeBurn::apply(untouched, {}, W, H, 0, full);
  EXPECT_EQ(untouched.rgb, before);
  EXPECT_EQ(DodgeBurn::mask({}, W, H, W, H, true, 0, full), std::vector<float>(W * H, 0.0f));
}

TEST(DodgeBurn, LinearFallsFromStartToEnd) {
  // From x = 16 to x = 48 in print pixels, across the rows.
  const std::vector<float> map =
      coverage({DodgeBurnStroke::linear({16.0 / W, 0.5}, {48.0 / W, 0.5}, 1)});
  EXPECT_EQ(at(map, 0, 5), 1.0f);
  EXPECT_EQ(at(map, 15, 40), 1.0f);          // centre 15.5, before the start
  EXPECT_NEAR(at(map, 31, 0), 0.5f, 0.05f);  // t ≈ 0.5
  EXPECT_EQ(at(map, 48, 0), 0.0f);
  EXPECT_EQ(at(map, 63, 0), 0.0f);
  EXPECT_GT(at(map, 20, 0), at(map, 30, 0));
}

TEST(DodgeBurn, RadialEdgesFeatherAndInversion) {
  // Radius 0.25 of the long side (64) is 16 pixels.
  DodgeBurnStroke hard = DodgeBurnStroke::radial({0.5, 0.5}, 0.25, 0.25, 1, 0, false);
  hard.rx.reset();
  hard.ry.reset();
  hard.radius = 0.25;
  const std::vector<float> edge = coverage({hard});
  EXPECT_EQ(at(edge, 32, 24), 1.0f);
  EXPECT_EQ(at(edge, 32 + 14, 24), 1.0f);  // d = 14.5/16, inside 0.98
  EXPECT_EQ(at(edge, 32 + 16, 24), 0.0f);  // d ≥ 1
  EXPECT_EQ(at(edge, 32, 24 + 16), 0.0f);

  const std::vector<float> soft =
      coverage({DodgeBurnStroke::radial({0.5, 0.5}, 0.25, 0.25, 1, 3, false)});
  EXPECT_LT(at(soft, 32 + 4, 24), 1.0f);  // soft from the centre
  EXPECT_GT(at(soft, 32 + 4, 24), at(soft, 32 + 8, 24));

  // Inverted with −1 stop: the outside loses a stop, the centre stays.
  PrintImage print(W, H, std::vector<float>(W * H * 3, 0.5f));
  DodgeBurn::apply(print, {DodgeBurnStroke::radial({0.5, 0.5}, 0.25, 0.125, -1, 0.1, true)}, W, H,
                   0, full);
  EXPECT_EQ(print.rgb[(24 * W + 32) * 3], 0.5f);
  EXPECT_NEAR(print.rgb[0], exposedByDefinition(0.5f, -1), 1e-6);
  EXPECT_NEAR(print.rgb[(24 * W + 32) * 3 + 1 + (10 * W) * 3],  // 10 rows down: outside ry = 8
              exposedByDefinition(0.5f, -1), 1e-6);
}

TEST(DodgeBurn, BrushCoreAndEdge) {
  // Radius 0 still paints a one-pixel core; feather below 1 ends the edge at r.
  const std::vector<float> dot = coverage({brush({{10.5 / W, 10.5 / H}}, 0, 1, 0.5)});
  EXPECT_EQ(at(dot, 10, 10), 1.0f);
  EXPECT_EQ(at(dot, 11, 10), 0.0f);
  EXPECT_EQ(at(dot, 10, 9), 0.0f);
  float total = 0;
  for (float v : dot) total += v;
  EXPECT_EQ(total, 1.0f);

  // A one-point path is a round dot: radius 0.125 · 64 = 8, core 2.8, soft to 14.4.
  const std::vector<float> round = coverage({brush({{32.0 / W, 24.0 / H}}, 0.125, 1)});
  EXPECT_EQ(at(round, 32, 24), 1.0f);
  EXPECT_EQ(at(round, 32 + 5, 24), at(round, 32, 24 + 5));
  EXPECT_EQ(at(round, 31 - 5, 24), at(round, 32, 24 + 5));
  EXPECT_EQ(at(round, 32 + 15, 24), 0.0f);
  EXPECT_GT(at(round, 32 + 8, 24), 0.0f);
}

TEST(DodgeBurn, OnlyTwoNumberPointsCount) {
  const std::vector<float> none =
      coverage({brush({{0.5, 0.5, 0.1}, {0.2}, {}}, 0.1, 1), everywhere(1)});
  EXPECT_EQ(coverage({everywhere(1)}), none);  // the first shape adds nothing

  // A shape keeps its valid points: here only the second point paints.
  const std::vector<float> some = coverage({brush({{0.1, 0.1, 0.0}, {0.9, 0.9}}, 0.05, 1)});
  EXPECT_EQ(at(some, 5, 4), 0.0f);
  EXPECT_EQ(at(some, static_cast<int64_t>(0.9 * W), static_cast<int64_t>(0.9 * H)), 1.0f);

  // A linear shape with a single valid point draws as a brush dot of its radius.
  DodgeBurnStroke single = DodgeBurnStroke::linear({0.5, 0.5}, {0.9, 0.9}, 1);
  single.points[1].push_back(0);
  single.radius = 0.05;
  const std::vector<float> dot = coverage({single});
  EXPECT_EQ(at(dot, 32, 24), 1.0f);
  EXPECT_EQ(at(dot, 0, 0), 0.0f);
}

TEST(DodgeBurn, UnusableShapesAreSkippedAndOthersStillDrawn) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const DodgeBurnStroke good = brush({{0.5, 0.5}}, 0.05, 1);
  const std::vector<float> expected = coverage({good});
  std::vector<DodgeBurnStroke> bad;
  bad.push_back(brush({{nan, 0.5}}, 0.05, 1));
  bad.push_back(brush({{0.2, 0.2}}, inf, 1));
  bad.push_back(brush({{0.2, 0.2}}, 0.05, nan));
  bad.push_back(DodgeBurnStroke::radial({0.2, 0.2}, inf, 0.1, 1, 0.5, true));
  bad.push_back(brush({{1e300, -1e300}, {-1e300, 1e300}}, 0.05, 1));
  bad.push_back(brush({{1e300, 0.5}}, 1e300, 1));
  bad.push_back(brush({{1.45e306, 0.5}, {-1.45e306, 0.6}, {0.2, -1.45e306}}, 0.05, 1));
  for (const DodgeBurnStroke& stroke : bad) {
    EXPECT_EQ(coverage({stroke, good}), expected);
  }
  // Shapes partly or wholly outside the print draw what falls inside.
  const std::vector<float> outside = coverage({brush({{-0.5, -0.5}, {-0.4, -0.4}}, 0.05, 1)});
  EXPECT_EQ(outside, std::vector<float>(W * H, 0.0f));
  const std::vector<float> edge = coverage({brush({{-0.01, 0.5}}, 0.05, 1)});
  EXPECT_GT(at(edge, 0, 24), 0.0f);

  // A degenerate crop makes every position non-finite: nothing is drawn.
  EXPECT_EQ(DodgeBurn::mask({good}, W, H, W, H, true, 0, NormRect{0, 0, 0, 1}),
            std::vector<float>(W * H, 0.0f));
}

// The brush exactly as written: every pixel of the whole box against every segment.
void referenceBrush(std::vector<float>& map, const DodgeBurnStroke& stroke, int64_t width,
                    int64_t height, const PrintMapping::Frame& frame, bool coverageMode) {
  std::vector<PrintMapping::Point> p;
  for (const auto& q : stroke.points)
    if (q.size() == 2) p.push_back(PrintMapping::toPrint(frame, q[0], q[1]));
  const double r = std::max(PrintMapping::length(frame, stroke.radius), 1.0);
  const double outer = std::max(stroke.feather, 1.0) * r, inner = 0.35 * r;
  double minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
  for (const auto& q : p) {
    minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
    minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
  }
  const int64_t x0 = std::max<int64_t>(0, static_cast<int64_t>(std::trunc(minX - outer)));
  const int64_t x1 = std::min<int64_t>(width - 1, static_cast<int64_t>(std::trunc(maxX + outer)));
  const int64_t y0 = std::max<int64_t>(0, static_cast<int64_t>(std::trunc(minY - outer)));
  const int64_t y1 = std::min<int64_t>(height - 1, static_cast<int64_t>(std::trunc(maxY + outer)));
  const size_t n = p.size();
  const float strength = static_cast<float>(std::clamp(stroke.stops, -3.0, 3.0));
  for (int64_t y = y0; y <= y1; ++y)
    for (int64_t x = x0; x <= x1; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      double m = std::numeric_limits<double>::infinity();
      for (size_t i = 0; i < std::max<size_t>(1, n - 1); ++i) {
        const auto a = p[i], b = p[std::min(i + 1, n - 1)];
        const double vx = b.x - a.x, vy = b.y - a.y, l2 = vx * vx + vy * vy;
        const double t =
            l2 > 0 ? std::clamp(((px - a.x) * vx + (py - a.y) * vy) / l2, 0.0, 1.0) : 0.0;
        const double dx = px - (a.x + t * vx), dy = py - (a.y + t * vy);
        m = std::min(m, std::sqrt(dx * dx + dy * dy));
      }
      if (m >= outer) continue;
      const double t = m <= inner ? 1.0 : 1 - (m - inner) / (outer - inner);
      const double w = t * t * (3 - 2 * t);
      if (!(w > 0)) continue;
      float& cell = map[y * width + x];
      cell = coverageMode ? std::max(cell, static_cast<float>(w))
                          : cell + strength * static_cast<float>(w);
    }
}

TEST(DodgeBurn, SegmentByRowBrushEqualsTheWholeBoxBrush) {
  const int64_t width = 160, height = 120, sourceWidth = 400, sourceHeight = 300;
  const PrintMapping::Frame frame{width,        height, sourceWidth,
                                  sourceHeight, 3.0,    {0.1, 0.15, 0.7, 0.6}};
  std::vector<DodgeBurnStroke> strokes = {
      // A zigzag with a repeated point, a steep and a flat segment, partly off the print.
      brush({{0.05, 0.1}, {0.3, 0.5}, {0.3, 0.5}, {0.32, 0.95}, {0.7, 0.93}, {1.1, 0.2}}, 0.04,
            1.5),
      brush({{0.5, 0.5}}, 0.02, -0.75, 0.6), brush({{0.2, 0.8}, {0.8, 0.3}}, 0.1, 0.5, 2.5),
      brush({{0.6, 0.2}, {0.61, 0.21}, {0.45, 0.7}}, 0, 2)};
  for (bool coverageMode : {false, true}) {
    std::vector<float> expected(width * height, 0.0f);
    for (const DodgeBurnStroke& stroke : strokes)
      referenceBrush(expected, stroke, width, height, frame, coverageMode);
    const std::vector<float> map = DodgeBurn::mask(strokes, width, height, sourceWidth,
                                                   sourceHeight, coverageMode, 3.0, frame.crop);
    EXPECT_EQ(map, expected) << "coverage " << coverageMode;
    float total = 0;
    for (float v : map) total += std::abs(v);
    EXPECT_GT(total, 100.0f);
  }
}

}  // namespace
