// Healing repairs on a decoded scan: what a repair changes and what it leaves alone, how the
// kinds, groups and stored values are read, and the distance plane's shortcut.
#include "Dust/Healer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Dust/HealerSteps.h"
#include "Record/SpotPath.h"
#include "TestSupport/TexturedImage.h"

namespace {

constexpr int64_t kWidth = 200;
constexpr int64_t kHeight = 150;

// A spot given in pixels on the kWidth × kHeight image.
Spot pixelSpot(double x, double y, double radius) {
  return makeSpot(x / kWidth, y / kHeight, radius / kWidth);
}

Spot withSource(Spot spot, double sx, double sy) {
  spot.sx = sx / kWidth;
  spot.sy = sy / kHeight;
  return spot;
}

float value(const LinearImage& image, int64_t x, int64_t y, int c) {
  return image.pixels()[(y * image.width() + x) * 4 + c];
}

bool samePixels(const LinearImage& a, const LinearImage& b) {
  return std::equal(a.pixels(), a.pixels() + a.valueCount(), b.pixels());
}

LinearImage healed(const LinearImage& image, const std::vector<Spot>& spots) {
  LinearImage copy = image;
  Healer::apply(copy, spots);
  return copy;
}

double pathDistance(double px, double py, const std::vector<Healer::Point>& path) {
  double best = std::numeric_limits<double>::infinity();
  if (path.size() == 1) return Healer::segmentDistance(px, py, path[0], path[0]);
  for (size_t i = 1; i < path.size(); ++i)
    best = std::min(best, Healer::segmentDistance(px, py, path[i - 1], path[i]));
  return best;
}

TEST(Healer, DarkDiscHealsCloseToTheCleanImage) {
  const LinearImage clean = texturedImage(kWidth, kHeight, 7);
  LinearImage damaged = clean;
  const double cx = 92, cy = 71, disc = 5;
  float* p = damaged.mutablePixels();
  for (int64_t y = 0; y < kHeight; ++y)
    for (int64_t x = 0; x < kWidth; ++x)
      if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= disc)
        for (int c = 0; c < 3; ++c) p[(y * kWidth + x) * 4 + c] *= 0.15f;

  for (const SpotKind kind : {SpotKind::heal, SpotKind::fill}) {
    Spot spot = pixelSpot(cx, cy, 6);
    spot.kind = kind;
    const LinearImage result = healed(damaged, {spot});

    // The patch is grain from elsewhere, so even a perfect repair differs from the clean image
    // by two independent grain samples: √2 × 0.03 × √1.09 (grain and chroma) ≈ 0.044 in log10
    // RMS. Allow 0.06 RMS and a mean level error of 0.015 (3.5 %); the blemish itself is 0.82.
    double sum = 0, squares = 0;
    int count = 0;
    for (int64_t y = 0; y < kHeight; ++y)
      for (int64_t x = 0; x < kWidth; ++x)
        if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= disc)
          for (int c = 0; c < 3; ++c) {
            const double d = std::log10(value(result, x, y, c)) - std::log10(value(clean, x, y, c));
            sum += d;
            squares += d * d;
            ++count;
          }
    EXPECT_LT(std::sqrt(squares / count), 0.06) << toString(kind);
    EXPECT_LT(std::abs(sum / count), 0.015) << toString(kind);
  }
}

TEST(Healer, LeavesAlphaAndEverythingBeyondTheOuterRadiusAlone) {
  const LinearImage image = texturedImage(kWidth, kHeight, 3);
  const std::vector<std::pair<double, double>> stroke{{0.2, 0.3}, {0.45, 0.42}, {0.5, 0.7}};

  struct Case {
    std::string name;
    std::vector<Spot> unit;
  };
  std::vector<Case> cases;
  for (const SpotKind kind : {SpotKind::heal, SpotKind::clone, SpotKind::fill, SpotKind::ai}) {
    Spot spot = pixelSpot(60, 50, 7);
    spot.kind = kind;
    spot.feather = 2.0;
    cases.push_back({toString(kind), {spot}});
  }
  cases.push_back({"stroke", alongPath(stroke, kWidth, kHeight, 0.015)});
  cases.push_back({"edge", {pixelSpot(2, 148, 9)}});

  for (const Case& c : cases) {
    const LinearImage result = healed(image, c.unit);
    std::vector<Healer::Point> path;
    for (const Spot& s : c.unit) path.push_back({s.x * kWidth, s.y * kHeight});
    const double rOut = std::max(c.unit[0].r * kWidth, 1.5) * c.unit[0].feather.value_or(1.4);
    int changed = 0;
    for (int64_t y = 0; y < kHeight; ++y)
      for (int64_t x = 0; x < kWidth; ++x) {
        const bool far = pathDistance(x + 0.5, y + 0.5, path) >= rOut;
        for (int ch = 0; ch < 4; ++ch) {
          const bool same = value(result, x, y, ch) == value(image, x, y, ch);
          if (far || ch == 3) {
            EXPECT_TRUE(same) << c.name << " at " << x << "," << y;
          } else {
            changed += !same;
          }
        }
      }
    EXPECT_GT(changed, 0) << c.name;
  }
}

TEST(Healer, CloneAtFullOpacityCopiesTheSourceWithinTheInnerRadius) {
  const LinearImage image = texturedImage(kWidth, kHeight, 11);
  for (const double feather : {1.0, 2.5}) {
    Spot spot = withSource(pixelSpot(80, 60, 6), 80 + 20.4, 60 - 13.6);  // offset (20, −14)
    spot.kind = SpotKind::clone;
    spot.opacity = 1.0;
    spot.feather = feather;
    const LinearImage result = healed(image, {spot});
    int checked = 0;
    for (int64_t y = 0; y < kHeight; ++y)
      for (int64_t x = 0; x < kWidth; ++x) {
        if (std::hypot(x + 0.5 - 80, y + 0.5 - 60) > 6) continue;
        for (int c = 0; c < 3; ++c)
          EXPECT_NEAR(value(result, x, y, c), value(image, x + 20, y - 14, c),
                      2e-6f * value(image, x + 20, y - 14, c));
        ++checked;
      }
    EXPECT_GT(checked, 100);
  }
}

TEST(Healer, HealsEachGroupOnceWhereItsFirstSpotStands) {
  const LinearImage image = texturedImage(kWidth, kHeight, 5);
  const Uuid group = Uuid::random();
  auto member = [&](double x, double y) {
    Spot s = withSource(pixelSpot(x, y, 4), x + 25, y);
    s.group = group;
    s.kind = SpotKind::clone;
    s.opacity = 0.5;  // a second blend would show
    return s;
  };
  const Spot a = member(50, 50), b = member(56, 52), d = member(62, 55);
  const Spot alone = withSource(pixelSpot(60, 54, 6), 60, 80);  // overlaps the group

  const LinearImage result = healed(image, {a, alone, b, d});
  const LinearImage expected = healed(healed(image, {a, b, d}), {alone});
  EXPECT_TRUE(samePixels(result, expected));
  EXPECT_FALSE(samePixels(result, healed(healed(image, {alone}), {a, b, d})));
}

TEST(Healer, ReadsKindFeatherOpacityRadiusAndSourceAsDocumented) {
  const LinearImage image = texturedImage(kWidth, kHeight, 13);
  const Spot base = withSource(pixelSpot(100, 70, 6), 118, 70);
  auto variant = [&](auto change) {
    Spot s = base;
    change(s);
    return s;
  };
  struct Case {
    const char* name;
    Spot spot;
    Spot sameAs;
  };
  const std::vector<Case> cases{
      {"ai is fill", variant([](Spot& s) { s.kind = SpotKind::ai; }),
       variant([](Spot& s) { s.kind = SpotKind::fill; })},
      {"no kind is heal", base, variant([](Spot& s) { s.kind = SpotKind::heal; })},
      {"feather 0.5 is 1", variant([](Spot& s) { s.feather = 0.5; }),
       variant([](Spot& s) { s.feather = 1.0; })},
      {"feather 5 is 3", variant([](Spot& s) { s.feather = 5.0; }),
       variant([](Spot& s) { s.feather = 3.0; })},
      {"opacity 2 is 1", variant([](Spot& s) { s.opacity = 2.0; }),
       variant([](Spot& s) { s.opacity = 1.0; })},
      {"radius 0 is 1.5 pixels", variant([](Spot& s) { s.r = 0; }),
       variant([](Spot& s) { s.r = 1.5 / kWidth; })},
      {"sx alone is searched", variant([](Spot& s) { s.sy.reset(); }),
       variant([](Spot& s) { s.sx.reset(), s.sy.reset(); })},
  };
  for (const Case& c : cases) {
    Spot twin = c.sameAs;
    twin.id = c.spot.id;  // the search keeps clear of spots with other ids
    EXPECT_TRUE(samePixels(healed(image, {c.spot}), healed(image, {twin}))) << c.name;
    EXPECT_FALSE(samePixels(healed(image, {c.spot}), image)) << c.name;
  }
  EXPECT_TRUE(samePixels(healed(image, {variant([](Spot& s) { s.opacity = -1.0; })}), image));
}

// With no qualifying ring pixel a fill has no surrounding level to interpolate; it takes the
// source as it is, like heal, instead of painting linear 1.0 (a white patch).
TEST(Healer, FillWithoutRingPixelsCopiesTheSource) {
  const LinearImage image = texturedImage(16, 16, 17);
  // Radius 8 pixels in the middle: the ring starts at 1.02·rOut = 11.4, beyond every pixel.
  Spot spot = makeSpot(0.5, 0.5, 0.5, 11.0 / 16, 8.0 / 16);  // source offset (3, 0)
  spot.kind = SpotKind::fill;
  LinearImage result = image;
  Healer::apply(result, {spot});
  for (int64_t y = 0; y < 16; ++y)
    for (int64_t x = 0; x < 16; ++x) {
      if (std::hypot(x + 0.5 - 8, y + 0.5 - 8) >= 8) continue;
      const int64_t sx = std::min<int64_t>(x + 3, 15);
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(value(result, x, y, c), value(image, sx, y, c), 2e-6f * value(image, sx, y, c));
    }
}

// Stored values come from files: non-finite ones skip their repair, huge ones are limited, and
// neither may reach an undefined integer conversion.
TEST(Healer, SurvivesNonFiniteAndHugeStoredValues) {
  const LinearImage image = texturedImage(64, 48, 19);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Spot good = makeSpot(0.3, 0.4, 0.05, 0.6, 0.4);
  LinearImage reference = image;
  Healer::apply(reference, {good});

  const Uuid group = Uuid::random();
  auto grouped = [&](Spot s) {
    s.group = group;
    return s;
  };
  const std::vector<std::vector<Spot>> skipped{
      {makeSpot(nan, 0.5, 0.05)},
      {makeSpot(0.5, 0.5, inf)},
      {makeSpot(0.5, 0.5, 0.05, -inf, 0.5)},
      {grouped(makeSpot(0.5, 0.5, 0.05)), grouped(makeSpot(0.6, nan, 0.05))},
  };
  for (const auto& bad : skipped) {
    std::vector<Spot> spots = bad;
    spots.push_back(good);
    LinearImage result = image;
    Healer::apply(result, spots);
    EXPECT_TRUE(samePixels(result, reference));
  }

  Spot far = makeSpot(1e300, -1e300, 0.05);
  Spot huge = makeSpot(0.5, 0.5, 1e300, -1e300, 1e300);
  huge.feather = 1e300;
  huge.opacity = 1e300;
  Spot wideGroup1 = grouped(makeSpot(-1e308, 0.5, 1e-300));
  Spot wideGroup2 = grouped(makeSpot(1e308, 0.5, 1e-300));
  for (const auto& spots :
       std::vector<std::vector<Spot>>{{far}, {huge}, {wideGroup1, wideGroup2}}) {
    LinearImage result = image;
    Healer::apply(result, spots);
    for (size_t i = 0; i < result.valueCount(); ++i) {
      ASSERT_TRUE(std::isfinite(result.pixels()[i]));
      if (i % 4 == 3) {
        ASSERT_EQ(result.pixels()[i], 1.0f);
      }
    }
  }
  LinearImage result = image;
  Healer::apply(result, {far});
  EXPECT_TRUE(samePixels(result, image));
}

// Each segment fills only its own padded box: below the reach the plane equals the distance to
// the whole path; beyond it, a pixel only has to read as far.
TEST(Healer, SegmentLocalDistancesEqualTheWholeBoxComputation) {
  const Healer::Box box{3, 2, 60, 41};
  const std::vector<std::vector<Healer::Point>> paths{
      {{20.3, 17.7}},
      {{10.2, 10.9}, {10.2, 10.9}, {31.5, 12.25}, {33.0, 30.1}, {12.7, 36.4}, {50.0, 5.5}},
      {{-4.0, 20.0}, {70.0, 22.5}},
  };
  for (const auto& path : paths) {
    for (const double reach : {4.0, 7.3}) {
      const std::vector<double> plane = Healer::distancePlane(box, path, reach);
      ASSERT_EQ(plane.size(), static_cast<size_t>(box.width() * box.height()));
      for (int64_t y = box.y0; y <= box.y1; ++y)
        for (int64_t x = box.x0; x <= box.x1; ++x) {
          const double whole = pathDistance(x + 0.5, y + 0.5, path);
          const double local = plane[(y - box.y0) * box.width() + (x - box.x0)];
          if (whole < reach) {
            ASSERT_EQ(local, whole) << x << "," << y;
          } else {
            ASSERT_GE(local, reach) << x << "," << y;
          }
        }
    }
  }
}

TEST(Healer, PathNeighbourhoodAgreesWithEverySegment) {
  std::mt19937_64 random(23);
  std::uniform_real_distribution<double> coordinate(-20, 220);
  std::vector<Healer::Point> path{{100, 100}};
  for (int i = 0; i < 300; ++i) {
    const Healer::Point last = path.back();
    const double step = i % 50 == 0 ? 60 : 1.3;  // mostly a stroke, a few long jumps
    path.push_back({std::clamp(last.x + step * std::cos(i * 0.07), -20.0, 220.0),
                    std::clamp(last.y + step * std::sin(i * 0.05), -20.0, 220.0)});
  }
  for (const double limit : {0.5, 3.3, 12.0}) {
    const Healer::PathNeighbourhood near(path, limit);
    for (int q = 0; q < 20000; ++q) {
      const double x = coordinate(random), y = coordinate(random);
      ASSERT_EQ(near.within(x, y), pathDistance(x, y, path) <= limit) << x << "," << y;
    }
    // Points at exactly the limit along a horizontal segment's normal count as within.
    const Healer::PathNeighbourhood flat({{0, 0}, {10, 0}}, limit);
    EXPECT_TRUE(flat.within(5, limit));
    EXPECT_FALSE(flat.within(5, std::nextafter(limit, 100.0)));
  }
}

}  // namespace
