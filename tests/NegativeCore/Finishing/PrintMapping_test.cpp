// Marks stored on the scan land where the straightened, cropped print shows that spot.
#include "Finishing/PrintMapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Conversion/Geometry.h"
#include "Finishing/DodgeBurn.h"
#include "Finishing/RedEyeFix.h"

namespace {

constexpr int64_t Ws = 400, Hs = 300;
constexpr double angle = 3;
const NormRect crop{0.1, 0.15, 0.7, 0.6};

struct Dot {
  int64_t x, y;  // scan pixel
};

// A grey scan with red 3 × 3 dots, turned and cut as the conversion does; the print takes the
// cut's colours directly.
PrintImage printWithDots(const std::vector<Dot>& dots) {
  LinearImage scan(Ws, Hs);
  for (int64_t i = 0; i < Ws * Hs; ++i) {
    float* p = scan.mutablePixels() + i * 4;
    p[0] = p[1] = p[2] = 0.4f;
    p[3] = 1;
  }
  for (const Dot& d : dots)
    for (int64_t y = d.y - 1; y <= d.y + 1; ++y)
      for (int64_t x = d.x - 1; x <= d.x + 1; ++x) {
        float* p = scan.mutableRow(y) + x * 4;
        p[0] = 0.9f;
        p[1] = p[2] = 0.05f;
      }
  const LinearImage cut = Geometry::straightenAndCrop(scan, angle, crop);
  PrintImage print(cut.width(), cut.height());
  for (int64_t i = 0; i < cut.width() * cut.height(); ++i)
    for (int c = 0; c < 3; ++c) print.rgb[i * 3 + c] = cut.pixels()[i * 4 + c];
  return print;
}

// Centre of the red in the print within radius 6 of (x, y), weighted by redness.
PrintMapping::Point redCentre(const PrintImage& print, double x, double y) {
  double sum = 0, sx = 0, sy = 0;
  for (int64_t py = static_cast<int64_t>(y) - 6; py <= static_cast<int64_t>(y) + 6; ++py)
    for (int64_t px = static_cast<int64_t>(x) - 6; px <= static_cast<int64_t>(x) + 6; ++px) {
      const float* p = print.row(py) + px * 3;
      const double red = std::max(0.0f, p[0] - p[1]);
      sum += red;
      sx += red * (px + 0.5);
      sy += red * (py + 0.5);
    }
  return {sx / sum, sy / sum};
}

TEST(PrintMapping, ScanPointsLandOnTheirPrintPixels) {
  const std::vector<Dot> dots = {{120, 90}, {300, 200}, {200, 150}, {80, 220}};
  const PrintImage print = printWithDots(dots);
  const PrintMapping::Frame frame{print.width, print.height, Ws, Hs, angle, crop};
  for (const Dot& d : dots) {
    const PrintMapping::Point p = PrintMapping::toPrint(frame, (d.x + 0.5) / Ws, (d.y + 0.5) / Hs);
    const PrintMapping::Point seen = redCentre(print, p.x, p.y);
    EXPECT_NEAR(p.x, seen.x, 0.05) << d.x << "," << d.y;
    EXPECT_NEAR(p.y, seen.y, 0.05) << d.x << "," << d.y;
  }
  // The print of the crop has crop.w · Ws pixels across, so one scan pixel is one print pixel.
  EXPECT_DOUBLE_EQ(PrintMapping::scale(frame), 1.0);
  EXPECT_DOUBLE_EQ(PrintMapping::length(frame, 0.01), 4.0);
}

TEST(PrintMapping, MarksAndShapesHitTheSpotTheyWerePlacedOn) {
  const PrintImage original = printWithDots({{120, 90}, {300, 200}});
  const PrintMapping::Frame frame{original.width, original.height, Ws, Hs, angle, crop};
  const PrintMapping::Point first = PrintMapping::toPrint(frame, 120.5 / Ws, 90.5 / Hs);
  const PrintMapping::Point second = PrintMapping::toPrint(frame, 300.5 / Ws, 200.5 / Hs);
  auto redness = [&](const PrintImage& print, PrintMapping::Point p) {
    const float* c = print.row(static_cast<int64_t>(p.y)) + static_cast<int64_t>(p.x) * 3;
    return c[0] - c[1];
  };

  // A red-eye mark of radius 3 scan pixels on the first dot clears it and leaves the second.
  PrintImage print = original;
  RedEyeFix::apply(print, {RedEye{.x = 120.5 / Ws, .y = 90.5 / Hs, .r = 3.0 / Ws}}, Ws, Hs, angle,
                   crop);
  EXPECT_GT(redness(original, first), 0.5f);
  EXPECT_NEAR(redness(print, first), 0.0f, 1e-6);
  EXPECT_EQ(redness(print, second), redness(original, second));

  // A brush dot placed there peaks on the same pixel.
  DodgeBurnStroke dot;
  dot.points = {{300.5 / Ws, 200.5 / Hs}};
  dot.radius = 2.0 / Ws;
  const std::vector<float> mask =
      DodgeBurn::coverageMask({dot}, print.width, print.height, Ws, Hs, angle, crop);
  const int64_t peak = std::max_element(mask.begin(), mask.end()) - mask.begin();
  EXPECT_EQ(peak % print.width, static_cast<int64_t>(second.x));
  EXPECT_EQ(peak / print.width, static_cast<int64_t>(second.y));
}

}  // namespace
