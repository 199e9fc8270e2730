// The conversion driver: the order and conditions of its stages, the crop it prints with, the
// region it measures, and whole conversions of a synthetic colour negative.
#include "Driver/Converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "Conversion/Decoder.h"
#include "Dust/Healer.h"
#include "Finishing/DodgeBurn.h"
#include "Finishing/FilmEffects.h"
#include "Finishing/LocalLayers.h"
#include "Finishing/RedEyeFix.h"
#include "Print/Pipeline.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Tone/Adjustments.h"

namespace {

// A scan whose transmissions vary across it, so that crops and turns change the print.
LinearImage rampScan(int64_t width, int64_t height) {
  LinearImage scan(width, height);
  for (int64_t y = 0; y < height; ++y) {
    float* row = scan.mutableRow(y);
    for (int64_t x = 0; x < width; ++x) {
      const float t = static_cast<float>(x + 2 * y) / static_cast<float>(width + 2 * height);
      row[4 * x] = 0.05f + 0.6f * t;
      row[4 * x + 1] = 0.03f + 0.4f * t;
      row[4 * x + 2] = 0.02f + 0.2f * (1 - t);
      row[4 * x + 3] = 1;
    }
  }
  return scan;
}

FilmAnalysis someAnalysis(NormRect crop = NormRect::full) {
  FilmAnalysis analysis;
  analysis.dMin = {0.2, 0.35, 0.6};
  analysis.dMax = {1.3, 1.5, 1.7};
  analysis.crop = crop;
  return analysis;
}

TEST(Converter, DefaultRecordPrintsExactlyThePrintStage) {
  const LinearImage scan = rampScan(120, 80);
  const ConversionSettings settings;
  const PrintImage print = Converter::process(scan, someAnalysis(), settings, true, true);
  const PrintImage expected = Pipeline::render(scan, someAnalysis(), settings);
  EXPECT_EQ(print.width, 120);
  EXPECT_EQ(print.height, 80);
  EXPECT_EQ(print.rgb, expected.rgb);
}

TEST(Converter, CropAndBorderFollowTheCallersChoice) {
  const LinearImage scan = rampScan(200, 100);
  const float* before = scan.pixels();
  ConversionSettings settings;
  settings.border = BorderStyle::white;
  settings.skewDegrees = 3;
  const FilmAnalysis analysis = someAnalysis({0.1, 0.2, 0.5, 0.5});

  const PrintImage cropped = Converter::process(scan, analysis, settings, true, false);
  EXPECT_EQ(cropped.width, 100);
  EXPECT_EQ(cropped.height, 50);
  const PrintImage cut = Pipeline::render(
      Geometry::straightenAndCrop(scan, 3, {0.1, 0.2, 0.5, 0.5}), analysis, settings);
  EXPECT_EQ(cropped.rgb, cut.rgb);

  // Without the crop the whole straightened frame is printed, and no border is added to it.
  const PrintImage whole = Converter::process(scan, analysis, settings, false, true);
  EXPECT_EQ(whole.width, 200);
  EXPECT_EQ(whole.height, 100);
  EXPECT_EQ(whole.rgb, Pipeline::render(Geometry::straightenAndCrop(scan, 3, NormRect::full),
                                        analysis, settings)
                           .rgb);

  // An unknown film-holder frame gives neither a frame nor a plain border.
  settings.border = BorderStyle::film;
  settings.borderFrame = "no-such-frame";
  EXPECT_EQ(Converter::process(scan, analysis, settings, true, true).rgb, cropped.rgb);

  EXPECT_EQ(scan.pixels(), before);
}

TEST(Converter, BlackAndWhiteSkipsRedEyeAndHsl) {
  const LinearImage scan = rampScan(64, 48);
  ConversionSettings plain;
  plain.mode = FilmMode::bwNegative;
  ConversionSettings marked = plain;
  marked.redEyes.push_back({Uuid::random(), 0.5, 0.5, 0.2});
  marked.hsl.saturation.assign(8, -100);
  marked.hsl.hue[0] = 40;
  FilmAnalysis grey = someAnalysis();
  grey.dMin = {0.3, 0.3, 0.3};
  grey.dMax = {1.4, 1.4, 1.4};
  EXPECT_EQ(Converter::process(scan, grey, marked, true, true).rgb,
            Converter::process(scan, grey, plain, true, true).rgb);
}

TEST(Converter, HslCurvesAndToneControlsFollowThePrintInOrder) {
  const LinearImage scan = rampScan(64, 48);
  const FilmAnalysis analysis = someAnalysis();
  ConversionSettings settings;
  settings.hsl.saturation.assign(8, 40);
  settings.curves.red.points = {{0, 0.1}, {1, 0.9}};
  settings.curves.rgb.points = {{0, 0}, {0.5, 0.6}, {1, 1}};
  settings.shadows = 30;
  PrintImage expected = Pipeline::render(scan, analysis, settings);
  HSLAdjustments::apply(expected, settings.hsl.hue, settings.hsl.saturation,
                        settings.hsl.luminance);
  settings.curves.apply(expected, false);
  Adjustments::apply(expected, settings);
  EXPECT_EQ(Converter::process(scan, analysis, settings, true, true).rgb, expected.rgb);

  // Black-and-white negatives get the master curve only.
  settings.mode = FilmMode::bwNegative;
  FilmAnalysis grey = someAnalysis();
  grey.dMin = {0.3, 0.3, 0.3};
  grey.dMax = {1.4, 1.4, 1.4};
  PrintImage mono = Pipeline::render(scan, grey, settings);
  settings.curves.apply(mono, true);
  Adjustments::apply(mono, settings);
  EXPECT_EQ(Converter::process(scan, grey, settings, true, true).rgb, mono.rgb);
}

TEST(Converter, RepairsAndFinishingStagesRunInTheirPlaces) {
  const LinearImage scan = rampScan(96, 64);
  const NormRect crop{0.1, 0.1, 0.8, 0.8};
  const FilmAnalysis analysis = someAnalysis(crop);
  ConversionSettings settings;
  settings.skewDegrees = 2;
  Spot spot;
  spot.id = Uuid::random();
  spot.x = 0.5;
  spot.y = 0.5;
  spot.r = 0.05;
  spot.sx = 0.3;
  spot.sy = 0.4;
  settings.spots.push_back(spot);
  settings.redEyes.push_back({Uuid::random(), 0.4, 0.4, 0.1});
  settings.dodgeBurn.push_back(DodgeBurnStroke::radial({0.5, 0.5}, 0.2, 0.2, 0.7, 1.8, false));
  LocalLayer layer;
  layer.shapes.push_back(DodgeBurnStroke::radial({0.3, 0.6}, 0.2, 0.1, 0, 1.8, false));
  layer.adjust.exposure = -0.5;
  settings.layers.push_back(layer);
  settings.vignetteAmount = -40;
  settings.border = BorderStyle::black;
  settings.borderSize = 10;

  LinearImage healed = scan;
  Healer::apply(healed, settings.spots);
  PrintImage expected =
      Pipeline::render(Geometry::straightenAndCrop(healed, 2, crop), analysis, settings);
  RedEyeFix::apply(expected, settings.redEyes, 96, 64, 2, crop);
  DodgeBurn::apply(expected, settings.dodgeBurn, 96, 64, 2, crop);
  LocalLayers::apply(expected, settings.layers, 96, 64, settings.mode, 2, crop);
  FilmEffects::apply(expected, settings);
  expected = Adjustments::border(expected.width, expected.height, std::move(expected.rgb),
                                 BorderStyle::black, 10);

  const PrintImage print = Converter::process(scan, analysis, settings, true, true);
  EXPECT_EQ(print.width, expected.width);
  EXPECT_EQ(print.height, expected.height);
  EXPECT_EQ(print.rgb, expected.rgb);
  EXPECT_GT(print.width, 77);  // the border made it larger than the cut
}

TEST(Converter, FrameCrop) {
  const LinearImage scan = rampScan(40, 30);
  const struct {
    const char* what;
    std::function<void(ConversionSettings&)> change;
    Converter::FrameCrop expected;
  } cases[] = {
      {"no crop", [](auto&) {}, {NormRect::full, false}},
      {"stored crop",
       [](auto& s) {
         s.crop = NormRect{0.1, 0.2, 0.3, 0.4};
       },
       {{0.1, 0.2, 0.3, 0.4}, false}},
      {"stored crop clamped",
       [](auto& s) {
         s.crop = NormRect{0.9, -0.5, 0.5, 0};
       },
       {{0.5, 0, 0.5, 0.02}, false}},
      {"stored crop wins over auto-crop",
       [](auto& s) {
         s.crop = NormRect{0.1, 0.2, 0.3, 0.4};
         s.autoCrop = true;
       },
       {{0.1, 0.2, 0.3, 0.4}, false}},
      {"auto-crop without a frame", [](auto& s) { s.autoCrop = true; }, {NormRect::full, false}},
  };
  for (const auto& c : cases) {
    ConversionSettings settings;
    c.change(settings);
    EXPECT_EQ(Converter::frameCrop(scan, settings), c.expected) << c.what;
  }
}

TEST(Converter, AnalysisMeasuresTheStoredCropWhenNoFrameIsFound) {
  // Dense on the left half, thin on the right: what is measured shows in dMin.
  LinearImage scan(200, 100);
  for (int64_t y = 0; y < 100; ++y)
    for (int64_t x = 0; x < 200; ++x) {
      float* p = scan.mutableRow(y) + 4 * x;
      const float t = x < 100 ? 0.01f : 0.5f;
      p[0] = p[1] = p[2] = t;
      p[3] = 1;
    }
  ConversionSettings settings;
  const FilmAnalysis whole = Converter::analyze(scan, settings);
  EXPECT_EQ(whole.crop, NormRect::full);
  EXPECT_FALSE(whole.autoCropped);
  EXPECT_NEAR(whole.dMin[0], -std::log10(0.5), 1e-4);

  settings.crop = NormRect{0, 0, 0.4, 1};
  settings.autoCrop = true;
  const FilmAnalysis left = Converter::analyze(scan, settings);
  EXPECT_EQ(left.crop, (NormRect{0, 0, 0.4, 1}));
  EXPECT_FALSE(left.autoCropped);
  EXPECT_NEAR(left.dMin[0], 2, 1e-4);

  ConversionSettings balanced = settings;
  balanced.rollBalance = RollBalance{{0.1, 0, -0.1}, {1.1, 1, 0.9}, 4};
  EXPECT_EQ(Converter::analyzeWithoutRollBalance(scan, balanced),
            Converter::analyze(scan, settings));
}

class ConverterScan : public ::testing::Test {
 protected:
  void SetUp() override {
    negative_.width = 600;
    negative_.height = 400;
    ScanFixtures::writeNegativeDng(path_, negative_);
  }

  TempDir dir_;
  std::filesystem::path path_ = dir_ / "negative.dng";
  ScanFixtures::Negative negative_;
};

// The mean of each channel over the middle half of a normalised patch of the print.
std::array<double, 3> patchMean(const PrintImage& print, const NormRect& patch) {
  const NormRect middle = patch.inset(0.25);
  const PixelRect px = middle.pixelRect(print.width, print.height);
  std::array<double, 3> sum{0, 0, 0};
  for (int64_t y = px.y; y < px.y + px.h; ++y)
    for (int64_t x = px.x; x < px.x + px.w; ++x)
      for (int c = 0; c < 3; ++c) sum[c] += print.row(y)[3 * x + c];
  for (double& s : sum) s /= static_cast<double>(px.w * px.h);
  return sum;
}

TEST_F(ConverterScan, ColourNegativeConvertsToNeutralAscendingGreys) {
  // Full size goes through demosaicing, half size bins the raw data instead.
  for (const double scale : {1.0, 0.5}) {
    SCOPED_TRACE(scale);
    const Converter::Result result = Converter::convert(path_, ConversionSettings(), scale, scale);
    ASSERT_EQ(result.print.width, std::lround(600 * scale));
    ASSERT_EQ(result.print.height, std::lround(400 * scale));
    EXPECT_GE(result.decodeSeconds, 0);
    EXPECT_GE(result.processSeconds, 0);
    double previous = -1;
    for (int step = 0; step < negative_.steps; ++step) {
      const auto mean = patchMean(result.print, negative_.stepRect(step));
      const double spread =
          *std::max_element(mean.begin(), mean.end()) - *std::min_element(mean.begin(), mean.end());
      EXPECT_LT(spread, 0.02) << "step " << step;
      const double grey = (mean[0] + mean[1] + mean[2]) / 3;
      EXPECT_GT(grey, previous + 0.02) << "step " << step;
      previous = grey;
    }
  }
}

TEST_F(ConverterScan, MeasuresOnTheSmallerDecode) {
  const ConversionSettings settings;
  const LinearImage quarter = Decoder::decode(path_, 0, false, 0.25);
  const LinearImage half = Decoder::decode(path_, 0, false, 0.5);

  const Converter::Result twice = Converter::convert(path_, settings, 0.5, 0.25);
  EXPECT_EQ(twice.print.width, half.width());
  EXPECT_EQ(twice.analysis, Converter::analyze(quarter, settings));

  const Converter::Result once = Converter::convert(path_, settings, 0.25, 0.5);
  EXPECT_EQ(once.print.width, quarter.width());
  EXPECT_EQ(once.analysis, Converter::analyze(quarter, settings));
}

TEST_F(ConverterScan, DecodeErrorsPassThrough) {
  EXPECT_THROW(Converter::convert(dir_ / "missing.dng", ConversionSettings(), 1, 1), DecodeError);
  const auto broken = dir_ / "broken.tif";
  std::ofstream(broken) << "not a scan";
  EXPECT_THROW(Converter::convert(broken, ConversionSettings(), 0.5, 0.25), DecodeError);
}

}  // namespace
