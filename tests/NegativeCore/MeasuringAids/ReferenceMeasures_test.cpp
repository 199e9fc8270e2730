// The comparison measures of reference matching: drawing the reference (size, encoding, alpha,
// stored orientation), orienting and placing it, sampling, the two errors, quantiles, and the
// channel-curve fit with its rounding.
#include "MeasuringAids/ReferenceMeasures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>

#include "Conversion/DecodeError.h"
#include "Driver/Converter.h"
#include "TestSupport/FilledPrint.h"
#include "TestSupport/ReferenceScenes.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

using namespace ReferenceMatch;

namespace {

// A print with structure everywhere and no symmetry: the default print of the synthetic scene.
PrintImage scenePrint(int64_t width, int64_t height, uint32_t seed = 1) {
  const LinearImage scan = ReferenceScenes::colourNegative(width, height, seed);
  const ConversionSettings settings;
  return Converter::process(scan, Converter::analyze(scan, settings), settings, true, false);
}

PrintImage filled(int64_t width, int64_t height, Color colour) {
  return filledPrint(width, height, colour[0], colour[1], colour[2]);
}

Color pixel(const PrintImage& image, int64_t x, int64_t y) {
  const float* p = image.row(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

ReferencePicture uint8Picture(int64_t width, int64_t height, uint8_t value) {
  SourceImage source;
  source.allocate(width, height, 3, SourceImage::Sample::uint8);
  std::fill_n(reinterpret_cast<uint8_t*>(source.data.get()), source.rowBytes() * height, value);
  return ReferencePicture(std::move(source));
}

void expectCurve(const CurvePoints& actual, const CurvePoints& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(actual[i].size(), 2u);
    EXPECT_DOUBLE_EQ(actual[i][0], expected[i][0]) << "point " << i;
    EXPECT_DOUBLE_EQ(actual[i][1], expected[i][1]) << "point " << i;
  }
}

}  // namespace

TEST(ReferenceDrawing, KeepsTheReferenceAspectAtThePrintLongSide) {
  struct Case {
    int64_t width, height, longSide, expectedWidth, expectedHeight;
  };
  for (const Case& c :
       {Case{4000, 3000, 450, 450, 337}, Case{4000, 20, 450, 450, 8}, Case{20, 4000, 450, 8, 450},
        Case{300, 200, 450, 450, 300}, Case{6, 4, 4, 8, 8}}) {
    const PrintImage drawn = renderReference(uint8Picture(c.width, c.height, 128), c.longSide);
    EXPECT_EQ(drawn.width, c.expectedWidth) << c.width << "×" << c.height;
    EXPECT_EQ(drawn.height, c.expectedHeight) << c.width << "×" << c.height;
    // Display-encoded: sRGB grey 128 reads 128/255 in Display P3 (same curve, same white).
    EXPECT_NEAR(pixel(drawn, drawn.width / 2, drawn.height / 2)[1], 128.0f / 255, 2e-3f);
  }
}

TEST(ReferenceDrawing, PrintValuesComeBackAndTransparencyReadsDark) {
  const PrintImage print = scenePrint(60, 40);
  const PrintImage drawn = renderReference(ReferenceScenes::pictureOf(print), 60);
  ASSERT_EQ(drawn.rgb.size(), print.rgb.size());
  for (size_t i = 0; i < print.rgb.size(); ++i) ASSERT_NEAR(drawn.rgb[i], print.rgb[i], 1e-5f);

  // A white picture whose left half is transparent and right half half-covered.
  SourceImage source;
  source.allocate(16, 16, 4, SourceImage::Sample::float32);
  for (int64_t y = 0; y < 16; ++y) {
    float* row = reinterpret_cast<float*>(source.row(y));
    for (int64_t x = 0; x < 16; ++x) {
      std::fill_n(row + 4 * x, 3, 1.0f);
      row[4 * x + 3] = x < 8 ? 0.0f : 0.5f;
    }
  }
  const PrintImage faded = renderReference(ReferencePicture(std::move(source)), 16);
  EXPECT_FLOAT_EQ(pixel(faded, 2, 5)[0], 0.0f);
  EXPECT_NEAR(pixel(faded, 13, 5)[0], 0.5f, 1e-5f);
}

TEST(ReferenceDrawing, ReadsTheFirstPictureAsStored) {
  TempDir dir;
  // EXIF orientation 6 would turn the picture upright; the reference is used as stored.
  const auto jpeg = dir.path() / "turned.jpg";
  ScanFixtures::Jpeg turned;
  turned.width = 64;
  turned.height = 32;
  turned.pattern = ScanFixtures::quadrants(64, 32);
  turned.exifOrientation = 6;
  ScanFixtures::writeJpeg(jpeg, turned);
  const ReferencePicture picture = ReferencePicture::read(jpeg);
  EXPECT_EQ(picture.width(), 64);
  EXPECT_EQ(picture.height(), 32);
  const PrintImage drawn = renderReference(picture, 64);
  const Color topLeft = pixel(drawn, 8, 4);
  EXPECT_GT(topLeft[0], 0.6f);  // red quadrant where it was stored
  EXPECT_LT(topLeft[1], 0.2f);

  const auto png = dir.path() / "photo.png";
  ScanFixtures::Png plain;
  plain.width = 30;
  plain.height = 20;
  ScanFixtures::writePng(png, plain);
  EXPECT_EQ(ReferencePicture::read(png).width(), 30);

  const auto text = dir.path() / "photo.jpg";
  std::ofstream(text) << "not a picture";
  EXPECT_THROW(ReferencePicture::read(text), DecodeError);
  EXPECT_THROW(ReferencePicture::read(dir.path() / "missing.png"), DecodeError);
}

TEST(ReferenceThumbnails, NormalisedAndCorrelated) {
  const std::vector<float> uniform = normalized(std::vector<float>(1024, 0.3f));
  for (float v : uniform) ASSERT_EQ(v, 0.0f);

  const std::vector<float> thumb = normalized(lumaThumbnail(scenePrint(90, 60)));
  ASSERT_EQ(thumb.size(), 1024u);
  double sum = 0, squares = 0;
  for (float v : thumb) sum += v, squares += v * v;
  EXPECT_NEAR(sum, 0, 1e-4);
  EXPECT_NEAR(squares, 1, 1e-5);
  EXPECT_NEAR(correlation(thumb, thumb), 1, 1e-5);
  EXPECT_EQ(correlation(thumb, uniform), 0);
}

TEST(ReferenceThumbnails, WindowBeyondTheImageRepeatsItsEdges) {
  PrintImage ramp(4, 1);
  for (int64_t x = 0; x < 4; ++x) std::fill_n(ramp.row(0) + 3 * x, 3, x / 3.0f);
  const std::vector<float> left = lumaThumbnail(ramp, {-2, 0, 1, 1});
  for (float v : left) ASSERT_FLOAT_EQ(v, 0.0f);
  const std::vector<float> whole = lumaThumbnail(ramp);
  // Column 16 lies at (0.5 + 16)/32 · 4 − 0.5 = 1.5625: between pixels 1 and 2.
  EXPECT_NEAR(whole[16], (1 + 0.5625f) / 3, 1e-6f);
}

TEST(ReferenceOrientation, MirrorsFirstThenTurnsClockwise) {
  PrintImage image(3, 2);
  for (int64_t i = 0; i < 6; ++i) image.rgb[3 * i] = static_cast<float>(i);  // red = y·3 + x
  const PrintImage turned = oriented(image, false, 1);
  ASSERT_EQ(turned.width, 2);
  ASSERT_EQ(turned.height, 3);
  // (x, y) goes to (H − 1 − y, x).
  for (int64_t y = 0; y < 2; ++y)
    for (int64_t x = 0; x < 3; ++x) EXPECT_EQ(pixel(turned, 1 - y, x)[0], y * 3 + x);
  const PrintImage mirroredTurned = oriented(image, true, 1);
  EXPECT_EQ(pixel(mirroredTurned, 1, 0)[0], 2);  // stored (2, 0) mirrored to (0, 0), then turned
  EXPECT_EQ(oriented(image, false, 4).rgb, image.rgb);
  EXPECT_EQ(oriented(image, true, -2).rgb, oriented(oriented(image, true, 0), false, 2).rgb);
}

TEST(ReferencePlacement, TriesTwoThousandOneHundredEightySevenWindows) {
  const std::vector<Window> windows = searchWindows();
  EXPECT_EQ(windows.size(), 2187u);
  std::set<double> widths;
  for (const Window& w : windows) widths.insert(w.w);
  EXPECT_EQ(widths.size(), 9u);
  EXPECT_DOUBLE_EQ(*widths.begin(), 0.84);
  EXPECT_NEAR(*widths.rbegin(), 1.16, 1e-12);
  EXPECT_NEAR(windows.front().x, 0.08 - 0.08, 1e-12);  // (1 − 0.84)/2 − 0.08
  EXPECT_NEAR(windows.front().h, 0.80, 1e-12);
}

TEST(ReferencePlacement, IdenticalMirroredTurnedAndUnfitting) {
  const PrintImage print = scenePrint(120, 80);

  const Placement same = place(print, print);
  EXPECT_NEAR(same.correlation, 1.02, 1e-5);
  EXPECT_EQ(same.x, 0);
  EXPECT_EQ(same.y, 0);
  EXPECT_EQ(same.w, 1);
  EXPECT_EQ(same.h, 1);
  EXPECT_EQ(same.reference.rgb, print.rgb);

  // Placed mirrored: the chosen reference is the print again.
  const Placement mirrored = place(print, oriented(print, true, 0));
  EXPECT_NEAR(mirrored.correlation, 1, 1e-4);
  EXPECT_EQ(mirrored.reference.rgb, print.rgb);
  EXPECT_NEAR(mirrored.w, 1, 0.021);

  // A portrait reference for a landscape print is tried only turned; the print turned back
  // counter-clockwise is found by one clockwise turn.
  const Placement turned = place(print, oriented(print, false, 3));
  EXPECT_EQ(turned.reference.width, 120);
  EXPECT_NEAR(turned.correlation, 1, 1e-4);
  EXPECT_EQ(turned.reference.rgb, print.rgb);

  // No orientation of a square fits a 3:2 print (ln 1.5 > 0.35): the window search decides.
  const PrintImage square = scenePrint(80, 80, 7);
  const Placement unfitting = place(print, square);
  EXPECT_EQ(unfitting.reference.rgb, square.rgb);
  EXPECT_GT(unfitting.correlation, -1.0001);
  EXPECT_LE(unfitting.correlation, 1.0001);
}

TEST(ReferenceSampling, MeansAndFlatness) {
  const SampleMean flat = sampleMean(filled(50, 50, {0.3f, 0.6f, 0.1f}), 0.5, 0.5, 0.006);
  EXPECT_FLOAT_EQ(flat.mean[0], 0.3f);
  EXPECT_FLOAT_EQ(flat.mean[1], 0.6f);
  EXPECT_FLOAT_EQ(flat.mean[2], 0.1f);
  EXPECT_LT(flat.lumaDeviation, 1e-3f);
  // On grey 0.13 the float sums leave the variance a hair below zero: still flat, not NaN.
  EXPECT_EQ(sampleMean(filled(50, 50, {0.13f, 0.13f, 0.13f}), 0.5, 0.5, 0.006).lumaDeviation, 0.0f);

  // Columns 4, 5, 6, 7, 8 at radius 0.01 on a 100-wide image: x = 6.5% → ⌊6.5 + i⌋.
  PrintImage stripes(100, 10);
  for (int64_t y = 0; y < 10; ++y)
    for (int64_t x = 0; x < 100; ++x) std::fill_n(stripes.row(y) + 3 * x, 3, x % 2 ? 1.0f : 0.0f);
  const SampleMean striped = sampleMean(stripes, 0.065, 0.5, 0.01);
  EXPECT_FLOAT_EQ(striped.mean[0], 0.4f);  // 5, 7 of 4…8
  EXPECT_NEAR(striped.lumaDeviation, std::sqrt(0.4f - 0.16f), 1e-5f);

  // Beyond the image the samples clamp to the edge.
  PrintImage edge = filled(10, 10, {0, 0, 0});
  std::fill_n(edge.row(0), 3, 1.0f);
  EXPECT_FLOAT_EQ(sampleMean(edge, -5, -5, 0.006).mean[0], 1.0f);
  // Columns and rows 0, 0, 5, 9, 9: the corner pixel is 4 of the 25 samples.
  EXPECT_FLOAT_EQ(sampleMean(edge, 0.5, 0.5, 1e300).mean[0], 0.16f);
  const std::vector<Color> samples = samplePrint(filled(20, 20, {0.2f, 0.2f, 0.2f}), {{0.1, 0.9}});
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_FLOAT_EQ(samples[0][2], 0.2f);
}

TEST(ReferenceErrors, ColourError) {
  EXPECT_EQ(colorError({}, {}), 0);
  EXPECT_NEAR(colorError({{0.5f, 0.5f, 0.5f}}, {{0.4f, 0.4f, 0.4f}}), 0.1, 1e-6);
  // Pure chroma: red against green of equal luma weight differences.
  const Color red{0.5f, 0, 0}, none{0, 0, 0};
  const double dl = 0.3f * 0.5f, d1 = 0.5f;
  EXPECT_NEAR(colorError({red}, {none}), std::sqrt(dl * dl + 1.5 * d1 * d1), 1e-6);
  // The sum is divided by the first list's length, over the pairs both lists have.
  EXPECT_NEAR(colorError({{0.5f, 0.5f, 0.5f}, {0, 0, 0}}, {{0.4f, 0.4f, 0.4f}}),
              std::sqrt(0.01 / 2), 1e-6);
}

TEST(ReferenceErrors, QuantilesAndStatistics) {
  // 100 grey pixels 0.00…0.99: quantile k of 19 is element 5k; of 49 element 2k.
  PrintImage ramp(100, 1);
  for (int64_t x = 0; x < 100; ++x) std::fill_n(ramp.row(0) + 3 * x, 3, x / 100.0f);
  std::reverse(ramp.rgb.begin(), ramp.rgb.end());
  const Quantiles opponents = opponentQuantiles(ramp);
  ASSERT_EQ(opponents[0].size(), 19u);
  for (int k = 1; k <= 19; ++k) EXPECT_NEAR(opponents[0][k - 1], 5 * k / 100.0, 1e-6) << k;
  for (float c : opponents[1]) EXPECT_NEAR(c, 0, 1e-6);
  const Quantiles channels = channelQuantiles(ramp);
  ASSERT_EQ(channels[2].size(), 49u);
  for (int k = 1; k <= 49; ++k) EXPECT_FLOAT_EQ(channels[2][k - 1], 2 * k / 100.0f) << k;

  // A large image is sampled every ⌊N/20000⌋-th pixel: 300 × 200 takes every third.
  PrintImage striped(300, 200);
  for (size_t i = 0; i < striped.rgb.size() / 3; ++i)
    std::fill_n(striped.rgb.data() + 3 * i, 3, i % 3 == 0 ? 0.25f : 0.75f);
  EXPECT_FLOAT_EQ(channelQuantiles(striped)[0].back(), 0.25f);

  const PrintImage print = scenePrint(90, 60);
  EXPECT_EQ(statisticsError(print, print), 0);
  EXPECT_NEAR(
      statisticsError(filled(10, 10, {0.5f, 0.5f, 0.5f}), filled(10, 10, {0.4f, 0.4f, 0.4f})), 0.1,
      1e-6);
  const PercentileColors pairs = percentileColors(ramp, filled(5, 5, {0.1f, 0.2f, 0.3f}));
  ASSERT_EQ(pairs.print.size(), 49u);
  EXPECT_FLOAT_EQ(pairs.print[0][0], 0.02f);
  EXPECT_EQ(pairs.reference[48], (Color{0.1f, 0.2f, 0.3f}));
}

TEST(ReferenceCurves, FitCurveExamples) {
  expectCurve(fitCurve({}, {}),
              {{0, 0}, {0.12, 0.12}, {0.28, 0.28}, {0.45, 0.45}, {0.62, 0.62}, {0.8, 0.8}, {1, 1}});
  expectCurve(
      fitCurve(std::vector<float>(10, 0.5f), std::vector<float>(10, 0.9f)),
      {{0, 0}, {0.12, 0.12}, {0.28, 0.28}, {0.45, 0.67}, {0.62, 0.772}, {0.8, 0.88}, {1, 1}});
  expectCurve(
      fitCurve(std::vector<float>(10, 0.3f), std::vector<float>(10, 0.2f)),
      {{0, 0}, {0.12, 0.121}, {0.28, 0.217}, {0.45, 0.438}, {0.62, 0.62}, {0.8, 0.8}, {1, 1}});
  // Pairs only up to the shorter list: extra reference values change nothing.
  EXPECT_EQ(fitCurve(std::vector<float>(10, 0.5f), std::vector<float>(30, 0.9f)),
            fitCurve(std::vector<float>(10, 0.5f), std::vector<float>(10, 0.9f)));
}

TEST(ReferenceCurves, ScaledCurveAndCurvePoints) {
  expectCurve(scaledCurve({{0.5, 0.7}}, 0.6), {{0.5, 0.62}});
  expectCurve(scaledCurve({{0.5, 0.7}}, 0.3), {{0.5, 0.56}});
  const CurvePoints fitted{{0, 0.1}, {0.45, 0.67}, {1, 0.9}};
  expectCurve(scaledCurve(fitted, 1), fitted);
  expectCurve(scaledCurve(fitted, 0), {{0, 0}, {0.45, 0.45}, {1, 1}});

  expectCurve(curvePoints({0.12345, 0.0005, 0.5}, {0.2, -0.0015, 1.7}),
              {{0.123, 0.2}, {0.001, -0.002}, {0.5, 1}});
  expectCurve(curvePoints({0.1, 0.2, 0.3}, {0.4}), {{0.1, 0.4}});
}
