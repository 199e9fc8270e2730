// Tone curves: the monotone spline, lookup tables, region bumps, the print step and presets.
#include "Record/ToneCurves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "Print/PrintImage.h"
#include "Tone/CurvePreset.h"
#include "Tone/CurveRows.h"

namespace {

using Points = std::vector<std::vector<double>>;

ToneCurve curve(Points points) { return ToneCurve{std::move(points)}; }

PrintImage randomPrint(int64_t width, int64_t height) {
  std::mt19937 engine(5);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<float> rgb(static_cast<size_t>(width * height * 3));
  for (float& v : rgb) v = unit(engine);
  return PrintImage(width, height, std::move(rgb));
}

bool nonDecreasing(const ToneCurve::LookupTable& table) {
  return std::is_sorted(table.begin(), table.end());
}

TEST(ToneCurve, SortsUsablePointsStably) {
  const ToneCurve c = curve({{0.5, 0.2}, {0.1}, {0.2, 0.3}, {0.5, 0.9}, {1, 2, 3}, {0, 0}});
  const std::vector<std::array<double, 2>> expected = {{0, 0}, {0.2, 0.3}, {0.5, 0.2}, {0.5, 0.9}};
  EXPECT_EQ(c.sortedPoints(), expected);
}

TEST(ToneCurve, IdentityTest) {
  struct Case {
    Points points;
    bool identity;
  };
  const Case cases[] = {
      {{{0, 0}, {1, 1}}, true},
      {{{1, 1}, {0, 0}}, true},
      {{{0, 0}, {0.5}, {1, 1.0000005}}, true},
      {{{0, 0}, {0.5, 0.5}, {1, 1}}, false},
      {{{0, 0.01}, {1, 1}}, false},
      {{{0.5, 0.5}}, false},
      {{}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(curve(c.points).isIdentity(), c.identity);
}

TEST(ToneCurve, EvaluatesTheMonotoneSpline) {
  // Fewer than two usable points: the identity, though not "identity", so its table is built
  // and equals the identity table.
  const ToneCurve single = curve({{0.3, 0.8}, {0.4}});
  EXPECT_EQ(single.value(0.25), 0.25);
  EXPECT_FALSE(single.isIdentity());
  EXPECT_EQ(single.lookupTable(), ToneCurve{}.lookupTable());
  for (int i : {0, 1, 511, 1023}) EXPECT_FLOAT_EQ(single.lookupTable()[i], i / 1023.0f);

  // Flat beyond the end points.
  const ToneCurve inner = curve({{0.2, 0.1}, {0.8, 0.9}});
  EXPECT_EQ(inner.value(0), 0.1);
  EXPECT_EQ(inner.value(1), 0.9);
  EXPECT_EQ(inner.lookupTable()[0], 0.1f);
  EXPECT_EQ(inner.lookupTable()[1023], 0.9f);

  // Two points at the same x do not divide by zero.
  const ToneCurve step = curve({{0, 0}, {0.5, 0.2}, {0.5, 0.8}, {1, 1}});
  for (double x : {0.25, 0.5, 0.5000001, 0.75}) EXPECT_TRUE(std::isfinite(step.value(x))) << x;

  // The S-curve passes through its points and never overshoots between them.
  const ToneCurve s = curve({{0, 0}, {0.25, 0.16}, {0.5, 0.5}, {0.75, 0.85}, {1, 1}});
  EXPECT_DOUBLE_EQ(s.value(0.25), 0.16);
  EXPECT_DOUBLE_EQ(s.value(0.75), 0.85);
  double previous = 0;
  for (int i = 0; i <= 4000; ++i) {
    const double y = s.value(i / 4000.0);
    ASSERT_GE(y, previous) << i;
    ASSERT_LE(y, 1.0);
    previous = y;
  }
  // A steep rise between flat parts is limited so that it does not overshoot either.
  const ToneCurve steep = curve({{0, 0}, {0.45, 0.02}, {0.55, 0.98}, {1, 1}});
  EXPECT_TRUE(nonDecreasing(steep.lookupTable()));
}

TEST(ToneCurves, MasterValueReadsTheNearestEntry) {
  const ToneCurves curves = ::curves(CurvePreset::strongS);
  const auto table = curves.masterLookupTable();
  struct Case {
    double x;
    size_t entry;
  };
  for (const Case c : {Case{0.5, 512}, Case{-0.1, 0}, Case{1.2, 1023}, Case{0, 0}, Case{1, 1023},
                       Case{0.25, 256}, Case{10.0 / 1023 - 0.00001, 10}})
    EXPECT_EQ(curves.masterValue(c.x), table[c.entry]) << c.x;
}

TEST(ToneCurves, RegionsBendTheMasterTableWithinLimits) {
  const ToneCurve::LookupTable identity = ToneCurve{}.lookupTable();
  for (double value : {100.0, -100.0}) {
    ToneCurves curves;
    curves.regions = {value, value, value, value};
    EXPECT_FALSE(curves.regionsAreNeutral());
    const auto table = curves.masterLookupTable();
    EXPECT_TRUE(nonDecreasing(table)) << value;
    EXPECT_EQ(table[0], identity[0]);
    EXPECT_EQ(table[1023], identity[1023]);
    if (value < 0) continue;
    // Each region lifts by at most 0.11 times its squared bump.
    for (size_t i = 0; i < table.size(); ++i) {
      const double f = i / 1023.0;
      double limit = 0;
      for (double centre : {0.875, 0.625, 0.375, 0.125}) {
        const double g = std::max(0.0, 1 - 16 * (f - centre) * (f - centre));
        limit += 0.11 * g * g;
      }
      ASSERT_GE(table[i], identity[i]) << i;
      ASSERT_LE(table[i] - identity[i], limit + 1e-6) << i;
    }
  }
  // One region at +100 lifts its centre by 0.11 and leaves tones 0.25 away alone.
  ToneCurves lights;
  lights.regions = {0, 100, 0, 0};
  const auto table = lights.masterLookupTable();
  EXPECT_NEAR(table[639] - identity[639], 0.11f, 0.001f);  // 639/1023 ≈ 0.625
  EXPECT_EQ(table[1000], identity[1000]);
  EXPECT_EQ(table[200], identity[200]);
}

TEST(ToneCurves, ApplyUsesMasterThenChannelTables) {
  const PrintImage original = randomPrint(40, 30);

  // Identity curves leave the print untouched, even with values outside 0…1.
  PrintImage wild(2, 1, {-0.5f, 1.5f, 0.5f, 2, -1, 0});
  const PrintImage wildBefore = wild;
  ToneCurves{}.apply(wild, false);
  EXPECT_EQ(wild.rgb, wildBefore.rgb);

  // Channel curves only: changed in colour, ignored in monochrome.
  ToneCurves channelsOnly;
  channelsOnly.blue = curve({{0, 0.1}, {1, 0.9}});
  PrintImage mono = original;
  channelsOnly.apply(mono, true);
  EXPECT_EQ(mono.rgb, original.rgb);
  PrintImage colour = original;
  channelsOnly.apply(colour, false);
  for (size_t i = 0; i < colour.rgb.size(); ++i) {
    if (i % 3 == 2) {
      ASSERT_NEAR(colour.rgb[i], 0.1f + 0.8f * original.rgb[i], 1e-5f);
    } else {
      ASSERT_EQ(colour.rgb[i], original.rgb[i]);
    }
  }

  // Master and channel curve: the master table first, then the channel's own; monochrome
  // applies the master table only. Values outside 0…1 read the end entries.
  ToneCurves both = ::curves(CurvePreset::warmFade);
  const auto master = both.masterLookupTable();
  PrintImage ends(2, 1, {-0.2f, 0, 1.4f, 1, 2, 0.5f});
  PrintImage endsMono = ends;
  both.apply(endsMono, true);
  EXPECT_EQ(endsMono.rgb[0], master[0]);
  EXPECT_EQ(endsMono.rgb[1], master[0]);
  EXPECT_EQ(endsMono.rgb[2], master[1023]);
  EXPECT_EQ(endsMono.rgb[3], master[1023]);
  both.apply(ends, false);
  const auto red = both.red.lookupTable();
  const float v = master[0] * 1023;
  const auto i = static_cast<size_t>(v);
  EXPECT_EQ(ends.rgb[0], red[i] + (v - static_cast<float>(i)) * (red[i + 1] - red[i]));
  EXPECT_NE(ends.rgb[0], endsMono.rgb[0]);
}

TEST(ToneCurves, VectorRowsEqualTheScalarLookupBitForBit) {
  ToneCurves curves = ::curves(CurvePreset::crossProcess);
  curves.regions = {30, -20, 0, 60};
  PrintImage print = randomPrint(131, 7);  // not a whole number of vectors wide
  for (size_t i = 0; i < print.rgb.size(); i += 17) print.rgb[i] = 1.5f * print.rgb[i] - 0.25f;
  print.rgb[5] = std::nanf("");
  PrintImage scalar = print;
  curves.apply(print, false);

  const CurveRows::Table master(curves.masterLookupTable());
  const CurveRows::Table red(curves.red.lookupTable()), green(curves.green.lookupTable()),
      blue(curves.blue.lookupTable());
  const CurveRows::Table* channels[3] = {&red, &green, &blue};
  for (size_t i = 0; i < scalar.rgb.size(); ++i)
    scalar.rgb[i] = (*channels[i % 3])(master(scalar.rgb[i]));
  EXPECT_EQ(print.rgb, scalar.rgb);
}

TEST(CurvePreset, TwelvePresetsWithNamesAndCurves) {
  const auto all = allCases<CurvePreset>();
  ASSERT_EQ(all.size(), 12u);
  const char* raw[] = {"linear",     "gentleS",       "strongS",        "matte",
                       "matteS",     "crushedBlacks", "softHighlights", "openShadows",
                       "brightMids", "darkMids",      "crossProcess",   "warmFade"};
  for (size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(toString(all[i]), raw[i]);
    EXPECT_EQ(fromString<CurvePreset>(raw[i]), all[i]);
    EXPECT_EQ(isColor(all[i]),
              all[i] == CurvePreset::crossProcess || all[i] == CurvePreset::warmFade);
    const ToneCurves c = curves(all[i]);
    EXPECT_TRUE(c.regionsAreNeutral());
    EXPECT_EQ(!c.red.isIdentity() || !c.green.isIdentity() || !c.blue.isIdentity(),
              isColor(all[i]));
  }
  EXPECT_EQ(fromString<CurvePreset>("Linear"), std::nullopt);
  EXPECT_EQ(curves(CurvePreset::linear), ToneCurves{});
  EXPECT_EQ(displayName(CurvePreset::linear), "Linear (reset)");
  EXPECT_EQ(displayName(CurvePreset::matteS), "Matte S (faded + contrast)");
  EXPECT_EQ(displayName(CurvePreset::brightMids), "Bright Midtones");
  EXPECT_EQ(displayName(CurvePreset::crossProcess), "Cross Process (colour)");
  EXPECT_EQ(curves(CurvePreset::matte).rgb.points,
            (Points{{0, 0.08}, {0.25, 0.27}, {0.75, 0.76}, {1, 0.97}}));
  EXPECT_EQ(curves(CurvePreset::crossProcess).blue.points,
            (Points{{0, 0.1}, {0.5, 0.46}, {1, 0.9}}));
  EXPECT_EQ(curves(CurvePreset::warmFade).green, ToneCurve{});
}

}  // namespace
