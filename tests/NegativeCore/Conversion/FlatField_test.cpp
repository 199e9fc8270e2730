// Even-light correction: fitting a gain map to a blank frame, applying it to a scan, decoding
// with the correction, and the process-wide cache of measured blank frames.
#include "Conversion/FlatField.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <fstream>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "Conversion/Decoder.h"
#include "Driver/Converter.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

using FlatField::FlatError;
using FlatField::GainMap;

// A light source's fall-off: per channel 1 − a·r² − b·r⁴ with r² = X² + Y², where X and Y span
// −1…1 across the frame, slightly different per channel as real fall-off is.
struct Vignette {
  std::array<double, 3> a{0.06, 0.07, 0.08};
  std::array<double, 3> b{0.02, 0.015, 0.01};

  double at(int c, double X, double Y) const {
    const double r2 = X * X + Y * Y;
    return 1 - a[c] * r2 - b[c] * r2 * r2;
  }
  double corner(int c) const { return at(c, 1, 1); }
};

// Centre of pixel i of n in −1…1.
double centred(int64_t i, int64_t n) {
  return (static_cast<double>(i) + 0.5) / static_cast<double>(n) * 2 - 1;
}

// A 16-bit linear TIFF of the given levels under the vignette, so a decode returns the values
// themselves.
ScanFixtures::Tiff vignettedTiff(int64_t width, int64_t height, const Vignette& vignette,
                                 std::array<double, 3> level = {0.9, 0.8, 0.7}) {
  ScanFixtures::Tiff tiff;
  tiff.width = width;
  tiff.height = height;
  tiff.bitsPerSample = 16;
  tiff.icc = ScanFixtures::linearDisplayP3Profile();
  tiff.pattern = [=](int64_t x, int64_t y) {
    std::array<float, 4> p{0, 0, 0, 1};
    for (int c = 0; c < 3; ++c)
      p[c] = static_cast<float>(level[c] * vignette.at(c, centred(x, width), centred(y, height)));
    return p;
  };
  return tiff;
}

LinearImage image(int64_t width, int64_t height,
                  const std::function<std::array<float, 3>(int64_t, int64_t)>& rgb) {
  LinearImage result(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      const auto value = rgb(x, y);
      float* p = result.mutableRow(y) + 4 * x;
      std::copy(value.begin(), value.end(), p);
      p[3] = 0.25f;
    }
  return result;
}

LinearImage even(int64_t width, int64_t height, float level = 0.6f) {
  return image(width, height, [=](int64_t, int64_t) { return std::array{level, level, level}; });
}

float gainAt(const GainMap& map, int64_t column, int64_t row, int channel) {
  return map.gain[static_cast<size_t>((row * map.width + column) * 3 + channel)];
}

FlatError::Kind fitFailure(const LinearImage& blank) {
  try {
    FlatField::fitGainMap(blank);
  } catch (const FlatError& error) {
    return error.kind();
  }
  ADD_FAILURE() << "the fit did not fail";
  return FlatError::Kind::unreadable;
}

bool samePixels(const LinearImage& a, const LinearImage& b) {
  return a.width() == b.width() && a.height() == b.height() &&
         std::equal(a.pixels(), a.pixels() + a.valueCount(), b.pixels());
}

// ---- Fitting ---------------------------------------------------------------------------------

TEST(FlatFieldFit, MapSizeFollowsTheBlankFramesShape) {
  struct Case {
    int64_t width, height, mapHeight;
  };
  for (const Case& c : {Case{384, 256, 64}, Case{256, 384, 144}, Case{300, 40, 13},
                        Case{1024, 60, 8}, Case{40, 40, 96}}) {
    const GainMap map = FlatField::fitGainMap(even(c.width, c.height));
    EXPECT_EQ(map.width, 96) << c.width << "×" << c.height;
    EXPECT_EQ(map.height, c.mapHeight) << c.width << "×" << c.height;
    EXPECT_EQ(map.gain.size(), static_cast<size_t>(96 * c.mapHeight * 3));
  }
}

TEST(FlatFieldFit, EvenFrameGivesUnitGains) {
  const GainMap map = FlatField::fitGainMap(even(384, 256, 0.37f));
  for (float gain : map.gain) ASSERT_NEAR(gain, 1, 1e-5);
  EXPECT_NEAR(map.cornerLevel, 1, 1e-5);
}

TEST(FlatFieldFit, VignetteIsMeasuredPerChannel) {
  const Vignette vignette;
  const int64_t width = 384, height = 256;
  const LinearImage blank = image(width, height, [&](int64_t x, int64_t y) {
    std::array<float, 3> rgb;
    for (int c = 0; c < 3; ++c)
      rgb[c] = static_cast<float>(0.5 * vignette.at(c, centred(x, width), centred(y, height)));
    return rgb;
  });
  const GainMap map = FlatField::fitGainMap(blank);
  EXPECT_NEAR(map.cornerLevel, vignette.corner(1), 0.001);
  for (int c = 0; c < 3; ++c) {
    // Each cell's gain lifts the fall-off at the cell's centre back to the frame's centre level.
    for (const auto& [column, row] : {std::pair{0, 0}, std::pair{95, 63}, std::pair{20, 40}})
      EXPECT_NEAR(
          gainAt(map, column, row, c) * vignette.at(c, centred(column, 96), centred(row, 64)), 1,
          0.002)
          << "channel " << c << " cell " << column << "," << row;
  }
}

TEST(FlatFieldFit, GainsAreLimitedToHalfAndFour) {
  // Light rising steeply from left to right: the surface falls below 0 at the left edge and
  // passes twice its centre value at the right.
  const LinearImage ramp = image(384, 256, [](int64_t x, int64_t) {
    const float v = static_cast<float>(1 + 1.5 * centred(x, 384));
    return std::array{v, v, v};
  });
  const GainMap map = FlatField::fitGainMap(ramp);
  for (int64_t row : {0, 31, 63}) {
    EXPECT_EQ(gainAt(map, 0, row, 1), 4.0f);
    EXPECT_EQ(gainAt(map, 95, row, 1), 0.5f);
    EXPECT_NEAR(gainAt(map, 48, row, 1), 1 / (1 + 1.5 * centred(48, 96)), 1e-4);
  }
}

TEST(FlatFieldFit, UnusableFramesFail) {
  EXPECT_EQ(fitFailure(even(16, 400)), FlatError::Kind::unreadable);
  EXPECT_EQ(fitFailure(even(400, 16)), FlatError::Kind::unreadable);
  EXPECT_EQ(fitFailure(even(384, 256, 0)), FlatError::Kind::tooDark);
  EXPECT_EQ(fitFailure(even(384, 256, 1e-4f)), FlatError::Kind::tooDark);
  // Green alone too dark fails the whole frame.
  EXPECT_EQ(fitFailure(image(64, 64,
                             [](int64_t, int64_t) {
                               return std::array{0.5f, 0.f, 0.5f};
                             })),
            FlatError::Kind::tooDark);
  // Cells whose median is not a number cannot determine the surface.
  EXPECT_EQ(fitFailure(even(64, 64, std::nanf(""))), FlatError::Kind::unreadable);
  EXPECT_EQ(fitFailure(even(64, 64, INFINITY)), FlatError::Kind::unreadable);
}

TEST(FlatFieldFit, ScatteredBadPixelsDoNotSpoilTheFit) {
  LinearImage blank = even(384, 256, 0.5f);
  for (int64_t y = 0; y < 256; y += 7)
    for (int64_t x = y % 5; x < 384; x += 11) blank.mutableRow(y)[4 * x + 1] = std::nanf("");
  const GainMap map = FlatField::fitGainMap(blank);
  for (float gain : map.gain) ASSERT_NEAR(gain, 1, 1e-5);
}

TEST(FlatFieldError, TextsAndComparison) {
  EXPECT_STREQ(FlatError::unreadable().what(), "The blank frame could not be read.");
  EXPECT_STREQ(FlatError::tooDark().what(),
               "The blank frame is too dark to use: shoot the light source with nothing (or clear "
               "film base) in the holder.");
  EXPECT_EQ(FlatError::unreadable(), FlatError::unreadable());
  EXPECT_FALSE(FlatError::unreadable() == FlatError::tooDark());
}

// ---- Applying --------------------------------------------------------------------------------

// A 96 × 64 map whose gains are linear in column and row, so bilinear lookup is exact.
GainMap linearMap() {
  GainMap map{96, 64, std::vector<float>(96 * 64 * 3), 1};
  for (int64_t r = 0; r < 64; ++r)
    for (int64_t k = 0; k < 96; ++k)
      for (int c = 0; c < 3; ++c)
        map.gain[static_cast<size_t>((r * 96 + k) * 3 + c)] =
            1 + 0.01f * static_cast<float>(k) + 0.02f * static_cast<float>(r) + 0.1f * c;
  return map;
}

TEST(FlatFieldApply, GainIsInterpolatedBetweenCellCentresAndHeldAtTheEdges) {
  const LinearImage original = even(192, 128, 1);
  LinearImage scan = original;
  ASSERT_TRUE(FlatField::applyGain(linearMap(), scan));
  EXPECT_EQ(original.pixels()[0], 1) << "an image sharing the pixels is not changed";
  for (int64_t y = 0; y < 128; ++y)
    for (int64_t x = 0; x < 192; ++x) {
      // Image pixel centres map onto the map's: half-pixel offsets, held at the outer cells.
      const double gx = std::clamp(0.5 * (static_cast<double>(x) + 0.5) - 0.5, 0.0, 95.0);
      const double gy = std::clamp(0.5 * (static_cast<double>(y) + 0.5) - 0.5, 0.0, 63.0);
      const float* p = scan.row(y) + 4 * x;
      for (int c = 0; c < 3; ++c)
        ASSERT_NEAR(p[c], 1 + 0.01 * gx + 0.02 * gy + 0.1 * c, 1e-5) << x << "," << y;
      ASSERT_EQ(p[3], 0.25f);
    }
}

TEST(FlatFieldApply, OnlyWhenTheAspectAgreesWithinThreePercent) {
  struct Case {
    int64_t width, height;
    bool applied;
  };
  // The map's aspect is 1.5.
  for (const Case& c : {Case{150, 100, true}, Case{1500, 1000, true}, Case{154, 100, true},
                        Case{146, 100, true}, Case{155, 100, false}, Case{145, 100, false},
                        Case{400, 300, false}, Case{100, 150, false}}) {
    const LinearImage original = even(c.width, c.height, 0.5f);
    LinearImage scan = original;
    EXPECT_EQ(FlatField::applyGain(linearMap(), scan), c.applied) << c.width << "×" << c.height;
    EXPECT_EQ(samePixels(scan, original), !c.applied) << c.width << "×" << c.height;
  }
}

TEST(FlatFieldApply, MalformedMapLeavesTheImage) {
  GainMap map = linearMap();
  map.gain.pop_back();
  LinearImage scan = even(150, 100);
  EXPECT_FALSE(FlatField::applyGain(map, scan));
  EXPECT_FALSE(FlatField::applyGain(GainMap{}, scan));
  EXPECT_TRUE(samePixels(scan, even(150, 100)));
}

// ---- Files, decoding and the cache -----------------------------------------------------------

class FlatFieldFiles : public ::testing::Test {
 protected:
  // Rewrites a file without changing its modification time, so only a fresh measurement can see
  // the new content.
  static void rewriteKeepingTime(const std::filesystem::path& path,
                                 const ScanFixtures::Tiff& tiff) {
    const auto time = std::filesystem::last_write_time(path);
    ScanFixtures::writeTiff(path, tiff);
    std::filesystem::last_write_time(path, time);
  }
  static void touch(const std::filesystem::path& path) {
    std::filesystem::last_write_time(
        path, std::filesystem::last_write_time(path) + std::chrono::seconds(7));
  }
  // A distinct vignette for every version number.
  static Vignette version(int v) {
    Vignette vignette;
    vignette.a[1] = 0.02 + 0.01 * v;
    return vignette;
  }

  TempDir dir;
};

TEST_F(FlatFieldFiles, BlankFrameCornerLevelMatchesItsVignette) {
  const Vignette vignette;
  const auto blank = dir / "blank.tif";
  ScanFixtures::writeTiff(blank, vignettedTiff(600, 400, vignette));
  const GainMap map = FlatField::gainMap(blank, 0, false);
  EXPECT_EQ(map.width, 96);
  EXPECT_EQ(map.height, 64);
  EXPECT_NEAR(map.cornerLevel, vignette.corner(1), 0.001);
}

TEST_F(FlatFieldFiles, ScanUnderTheSameLightComesOutFlat) {
  const Vignette vignette;
  const std::array<double, 3> level{0.5, 0.4, 0.3};
  const auto blank = dir / "blank.tif", scan = dir / "scan.tif";
  ScanFixtures::writeTiff(blank, vignettedTiff(600, 400, vignette));
  ScanFixtures::writeTiff(scan, vignettedTiff(600, 400, vignette, level));
  ConversionSettings settings;
  settings.flatField = blank.string();
  const LinearImage corrected = FlatField::decodeCorrected(scan, settings, 1);
  ASSERT_EQ(corrected.width(), 600);
  double worst = 0;
  for (int64_t y = 0; y < corrected.height(); ++y)
    for (int64_t x = 0; x < corrected.width(); ++x)
      for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(corrected.row(y)[4 * x + c] / level[c] - 1));
  EXPECT_LT(worst, 0.01);
  // Without the correction the corners are 20 % darker.
  EXPECT_GT(std::abs(Decoder::decode(scan, 0, false, 1).pixels()[1] / level[1] - 1), 0.15);
}

TEST_F(FlatFieldFiles, BlankFrameIsTurnedAndMirroredLikeTheScan) {
  // Light that falls off toward the right and the bottom, not symmetric under any turn; at the
  // centre it is 0.8 of its level, so the corrected scan is 0.4 everywhere.
  const auto lopsided = [](int64_t width, int64_t height, float level) {
    ScanFixtures::Tiff tiff;
    tiff.width = width;
    tiff.height = height;
    tiff.bitsPerSample = 16;
    tiff.icc = ScanFixtures::linearDisplayP3Profile();
    tiff.pattern = [=](int64_t x, int64_t y) {
      const float v = level * static_cast<float>(1 - 0.15 * (centred(x, width) + 1) -
                                                 0.05 * (centred(y, height) + 1));
      return std::array<float, 4>{v, v, v, 1};
    };
    return tiff;
  };
  const auto blank = dir / "blank.tif", scan = dir / "scan.tif";
  ScanFixtures::writeTiff(blank, lopsided(600, 400, 0.9f));
  ScanFixtures::writeTiff(scan, lopsided(600, 400, 0.5f));
  for (const auto& [turns, mirrored] :
       {std::pair{1, true}, std::pair{2, false}, std::pair{-1, false}}) {
    ConversionSettings settings;
    settings.flatField = blank.string();
    settings.rotationQuarterTurns = turns;
    settings.mirrored = mirrored;
    const LinearImage corrected = FlatField::decodeCorrected(scan, settings, 1);
    double worst = 0;
    for (int64_t i = 0; i < corrected.width() * corrected.height(); ++i)
      for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(corrected.pixels()[4 * i + c] / 0.4 - 1));
    EXPECT_LT(worst, 0.01) << turns << (mirrored ? " mirrored" : "");
  }
}

TEST_F(FlatFieldFiles, UnusableBlankFramesLeaveTheScanUncorrected) {
  const auto scan = dir / "scan.tif";
  ScanFixtures::writeTiff(scan, vignettedTiff(600, 400, Vignette()));
  const LinearImage plain = Decoder::decode(scan, 0, false, 0.5);

  ScanFixtures::Tiff black = vignettedTiff(600, 400, Vignette(), {0, 0, 0});
  ScanFixtures::writeTiff(dir / "black.tif", black);
  std::ofstream(dir / "garbage.tif") << "not an image";
  ScanFixtures::writeTiff(dir / "square.tif", vignettedTiff(400, 400, Vignette()));

  for (const std::string name : {"missing.tif", "garbage.tif", "black.tif", "square.tif", ""}) {
    ConversionSettings settings;
    settings.flatField = name.empty() ? "" : (dir / name).string();
    EXPECT_TRUE(samePixels(FlatField::decodeCorrected(scan, settings, 0.5), plain)) << name;
  }
  EXPECT_THROW(FlatField::gainMap(dir / "missing.tif", 0, false), FlatError);
  EXPECT_THROW(FlatField::gainMap(dir / "garbage.tif", 0, false), FlatError);

  ConversionSettings settings;
  settings.flatField = (dir / "square.tif").string();
  EXPECT_THROW(FlatField::decodeCorrected(dir / "no-scan.tif", settings, 1), DecodeError);
}

TEST_F(FlatFieldFiles, TouchingTheBlankFrameMeasuresItAgain) {
  const auto blank = dir / "blank.tif";
  ScanFixtures::writeTiff(blank, vignettedTiff(120, 80, version(1)));
  const GainMap first = FlatField::gainMap(blank, 0, false);
  rewriteKeepingTime(blank, vignettedTiff(120, 80, version(2)));
  EXPECT_EQ(FlatField::gainMap(blank, 0, false), first) << "an unchanged time reuses the map";
  touch(blank);
  const GainMap second = FlatField::gainMap(blank, 0, false);
  EXPECT_NE(second, first);
  EXPECT_EQ(second, FlatField::fitGainMap(Decoder::decode(blank, 0, false, 1)));
}

TEST_F(FlatFieldFiles, QuarterTurnsShareEntriesModuloFour) {
  const auto blank = dir / "blank.tif";
  ScanFixtures::writeTiff(blank, vignettedTiff(120, 80, version(1)));
  const GainMap once = FlatField::gainMap(blank, 1, false);
  EXPECT_EQ(once.height, 144);
  rewriteKeepingTime(blank, vignettedTiff(120, 80, version(2)));
  EXPECT_EQ(FlatField::gainMap(blank, 5, false), once);
  EXPECT_EQ(FlatField::gainMap(blank, -3, false), once);
  EXPECT_NE(FlatField::gainMap(blank, 1, true), once) << "mirroring is a different entry";
}

TEST_F(FlatFieldFiles, FailedMeasurementsAreNotCached) {
  const auto blank = dir / "blank.tif";
  ScanFixtures::writeTiff(blank, vignettedTiff(120, 80, Vignette(), {0, 0, 0}));
  try {
    FlatField::gainMap(blank, 0, false);
    FAIL() << "a black frame was measured";
  } catch (const FlatError& error) {
    EXPECT_EQ(error.kind(), FlatError::Kind::tooDark);
  }
  rewriteKeepingTime(blank, vignettedTiff(120, 80, Vignette()));
  EXPECT_NO_THROW(FlatField::gainMap(blank, 0, false));
}

TEST_F(FlatFieldFiles, SeventeenthKeyEmptiesTheCache) {
  // Keys are told apart by probing a sentinel whose file changed under an unchanged time: its
  // cached map comes back only while it is still in the cache.
  const auto sentinel = dir / "sentinel.tif";
  int sentinelVersion = 1;
  ScanFixtures::writeTiff(sentinel, vignettedTiff(40, 40, version(sentinelVersion)));
  GainMap cached = FlatField::gainMap(sentinel, 0, false);
  const auto makeStale = [&] {
    rewriteKeepingTime(sentinel, vignettedTiff(40, 40, version(++sentinelVersion)));
  };
  const auto stillCached = [&] {
    const GainMap probed = FlatField::gainMap(sentinel, 0, false);
    const bool hit = probed == cached;
    cached = probed;  // a miss measured and stored it again
    return hit;
  };
  int fresh = 0;
  const auto requestFreshKey = [&] {
    const auto path = dir / ("key-" + std::to_string(fresh++) + ".tif");
    ScanFixtures::writeTiff(path, vignettedTiff(40, 40, Vignette()));
    FlatField::gainMap(path, 0, false);
  };

  // Whatever earlier requests left, fresh keys empty the cache within 17 requests; after the
  // probe that notices it, the cache holds exactly the last fresh key and the sentinel.
  makeStale();
  while (stillCached()) {
    ASSERT_LT(fresh, 17);
    requestFreshKey();
    makeStale();
  }
  makeStale();
  for (int i = 0; i < 14; ++i) requestFreshKey();
  EXPECT_TRUE(stillCached()) << "16 entries are kept";
  makeStale();
  requestFreshKey();
  EXPECT_FALSE(stillCached()) << "the 17th entry empties the cache";
}

TEST_F(FlatFieldFiles, ConcurrentRequestsAllGetTheSameMap) {
  const auto blank = dir / "blank.tif";
  ScanFixtures::writeTiff(blank, vignettedTiff(600, 400, Vignette()));
  const GainMap expected = FlatField::fitGainMap(Decoder::decode(blank, 0, false, 0.64));
  constexpr int threadCount = 8;
  for (int round = 0; round < 4; ++round) {
    if (round > 0) touch(blank);  // every thread misses again
    std::vector<GainMap> maps(threadCount);
    std::latch start(threadCount);
    {
      std::vector<std::jthread> threads;
      for (int t = 0; t < threadCount; ++t)
        threads.emplace_back([&, t] {
          start.arrive_and_wait();
          maps[t] = FlatField::gainMap(blank, 0, false);
        });
    }
    for (const GainMap& map : maps) EXPECT_EQ(map, expected) << "round " << round;
  }
}

TEST_F(FlatFieldFiles, TheDriverDecodesThroughTheCorrection) {
  const auto blank = dir / "blank.tif", scan = dir / "scan.tif";
  ScanFixtures::writeTiff(blank, vignettedTiff(600, 400, Vignette()));
  ScanFixtures::writeTiff(scan, vignettedTiff(600, 400, Vignette(), {0.5, 0.4, 0.3}));
  ConversionSettings settings;
  settings.flatField = blank.string();
  const Converter::Result result = Converter::convert(scan, settings, 0.5, 0.25);
  EXPECT_EQ(result.analysis,
            Converter::analyze(FlatField::decodeCorrected(scan, settings, 0.25), settings));
  ConversionSettings plain = settings;
  plain.flatField.reset();
  EXPECT_NE(result.analysis, Converter::convert(scan, plain, 0.5, 0.25).analysis);
}

}  // namespace
