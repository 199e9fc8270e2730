// The conversion driver's frame steps: the crop found by auto-crop and the region the film is
// measured in on a synthetic light-table scan, and the film-holder frame as the last stage.
#include <gtest/gtest.h>

#include "Conversion/Analyzer.h"
#include "Conversion/AutoCrop.h"
#include "Conversion/Geometry.h"
#include "Driver/Converter.h"
#include "Finishing/FilmFrames.h"
#include "TestSupport/LightTableScan.h"

namespace {

constexpr double minimumSide = 0.02;

FilmAnalysis measured(const LinearImage& scan, const NormRect& region,
                      const ConversionSettings& settings) {
  return Analyzer::analyze(Geometry::straightenAndCrop(scan, 0, region), settings, 1'000'000);
}

void expectSameMeasurement(const FilmAnalysis& a, const FilmAnalysis& b) {
  EXPECT_EQ(a.dMin, b.dMin);
  EXPECT_EQ(a.dMax, b.dMax);
  EXPECT_EQ(a.baseTransmission, b.baseTransmission);
  EXPECT_EQ(a.samples, b.samples);
}

class ConverterFrames : public ::testing::Test {
 protected:
  LightTableScan scan_ = makeLightTableScan(1200, 800);
  AutoCrop::Result detected_ = AutoCrop::detect(scan_.image, FilmMode::colorNegative);
};

TEST_F(ConverterFrames, AutoCropPrintsAndMeasuresTheDetectedFrame) {
  ASSERT_TRUE(detected_.found);
  ConversionSettings settings;
  settings.autoCrop = true;
  settings.autoCropMargin = 0.01;
  const FilmAnalysis analysis = Converter::analyze(scan_.image, settings);
  EXPECT_TRUE(analysis.autoCropped);
  const NormRect expected = detected_.rect.inset(0.01).clamped(minimumSide);
  EXPECT_EQ(analysis.crop, expected);
  const NormRect drawn = scan_.frame.inset(0.01);
  EXPECT_NEAR(analysis.crop.x, drawn.x, 0.01);
  EXPECT_NEAR(analysis.crop.y, drawn.y, 0.01);
  EXPECT_NEAR(analysis.crop.maxX(), drawn.maxX(), 0.01);
  EXPECT_NEAR(analysis.crop.maxY(), drawn.maxY(), 0.01);
  expectSameMeasurement(analysis, measured(scan_.image, expected, settings));

  // The margin is limited to 0.1 of the frame on each side.
  settings.autoCropMargin = 0.5;
  EXPECT_EQ(Converter::analyze(scan_.image, settings).crop,
            detected_.rect.inset(0.1).clamped(minimumSide));
}

TEST_F(ConverterFrames, StoredCropIsPrintedButTheDetectedFrameIsMeasured) {
  ASSERT_TRUE(detected_.found);
  const NormRect stored{0.02, 0.3, 0.4, 0.4};  // reaches into the holder and the gap
  const NormRect frame = detected_.rect.inset(0.01).clamped(minimumSide);
  for (const bool autoCrop : {false, true}) {
    ConversionSettings settings;
    settings.crop = stored;
    settings.autoCrop = autoCrop;
    const FilmAnalysis analysis = Converter::analyze(scan_.image, settings);
    EXPECT_EQ(analysis.crop, stored);
    EXPECT_FALSE(analysis.autoCropped);
    expectSameMeasurement(analysis, measured(scan_.image, frame, settings));
    EXPECT_NE(analysis.dMax, measured(scan_.image, stored, settings).dMax);
  }

  // Where no frame can be found, the stored crop is measured.
  LinearImage grey(600, 400);
  for (int64_t i = 0; i < 600 * 400; ++i) {
    float* p = grey.mutablePixels() + 4 * i;
    p[0] = p[1] = p[2] = 0.1f + 0.3f * float(i % 600) / 600.0f;
    p[3] = 1;
  }
  ASSERT_FALSE(AutoCrop::detect(grey, FilmMode::colorNegative).found);
  ConversionSettings settings;
  settings.crop = stored;
  expectSameMeasurement(Converter::analyze(grey, settings), measured(grey, stored, settings));
}

TEST(ConverterFilmHolder, FrameAvailableForTheModeFramesTheFinishedPrint) {
  LinearImage scan(300, 200);
  for (int64_t i = 0; i < 300 * 200; ++i) {
    float* p = scan.mutablePixels() + 4 * i;
    p[0] = 0.4f, p[1] = 0.2f, p[2] = 0.1f, p[3] = 1;
  }
  FilmAnalysis analysis;
  analysis.dMin = {0.3, 0.6, 0.9};
  analysis.dMax = {1.5, 1.8, 2.1};
  ConversionSettings settings;
  settings.border = BorderStyle::film;
  settings.borderFrame = "holder35";  // colour negatives and slides only
  const auto frame = FilmFrames::frame("holder35");
  ASSERT_TRUE(frame);

  const PrintImage plain = Converter::process(scan, analysis, settings, true, false);
  const PrintImage framed = Converter::process(scan, analysis, settings, true, true);
  const PrintImage expected = FilmFrames::composite(plain, "holder35");
  EXPECT_EQ(framed.width, expected.width);
  EXPECT_EQ(framed.height, expected.height);
  EXPECT_EQ(framed.rgb, expected.rgb);
  EXPECT_GT(framed.width, plain.width);

  struct Case {
    const char* what;
    FilmMode mode;
    std::string id;
  } unchanged[] = {{"not for black-and-white", FilmMode::bwNegative, "holder35"},
                   {"unknown id", FilmMode::colorNegative, "noSuchFrame"},
                   {"no id", FilmMode::colorNegative, ""}};
  for (const auto& c : unchanged) {
    ConversionSettings s = settings;
    s.mode = c.mode;
    s.borderFrame = c.id;
    const PrintImage print = Converter::process(scan, analysis, s, true, true);
    EXPECT_EQ(print.width, 300) << c.what;
    EXPECT_EQ(print.height, 200) << c.what;
  }
  // Without the crop applied there is no frame either.
  EXPECT_EQ(Converter::process(scan, analysis, settings, false, true).width, 300);
}

}  // namespace
