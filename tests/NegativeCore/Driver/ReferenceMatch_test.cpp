// Reference-photo matching end to end on a synthetic colour negative: the scan's own print (also
// mirrored) is recognised, a print made with other settings is matched back, a different picture
// is matched by its distributions, and the progress, rounding and debug lines behave.
#include "Driver/ReferenceMatch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Driver/Converter.h"
#include "MeasuringAids/ReferenceMeasures.h"
#include "TestSupport/InEachLocale.h"
#include "TestSupport/ReferenceScenes.h"

namespace {

const LinearImage& scan() {
  static const LinearImage image = ReferenceScenes::colourNegative(150, 100);
  return image;
}

PrintImage printOf(const ConversionSettings& settings) {
  return Converter::process(scan(), Converter::analyze(scan(), settings), settings, true, false);
}

// Sets or removes an environment variable for one scope.
class EnvironmentGuard {
 public:
  EnvironmentGuard(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvironmentGuard() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct MatchRun {
  ReferenceMatch::Result result;
  std::vector<double> progress;
  std::vector<std::string> debugLines;
};

MatchRun matched(const ConversionSettings& start, const ReferencePicture& reference,
                 const char* debug = nullptr) {
  const EnvironmentGuard guard("KELVADORIUM_MATCH_DEBUG", debug);
  MatchRun run{{}, {}, {}};
  testing::internal::CaptureStdout();
  run.result = ReferenceMatch::match(scan(), start, reference,
                                     [&](double value) { run.progress.push_back(value); });
  std::istringstream out(testing::internal::GetCapturedStdout());
  for (std::string line; std::getline(out, line);) run.debugLines.push_back(line);
  return run;
}

void expectProgressRisesToOne(const std::vector<double>& progress) {
  ASSERT_GE(progress.size(), 4u);
  EXPECT_EQ(progress.front(), 0.1);
  EXPECT_EQ(progress.back(), 1);
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_GE(progress[i], progress[i - 1]) << i;
  // The descent reports at most 0.6, then the curves 0.75.
  EXPECT_EQ(progress[progress.size() - 2], 0.75);
  EXPECT_LE(progress[progress.size() - 3], 0.6 + 1e-12);
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

class ReferenceMatchOwnPrint : public InEachLocale {};

TEST_P(ReferenceMatchOwnPrint, IsTheSamePictureAtTheFullWindowWithoutError) {
  const ConversionSettings start;
  const MatchRun run = matched(start, ReferenceScenes::pictureOf(printOf(start)), "");
  EXPECT_TRUE(run.result.samePicture);
  EXPECT_LT(run.result.before, 1e-4);
  EXPECT_LE(run.result.after, run.result.before);
  EXPECT_NEAR(run.result.settings.exposure, 0, 0.011);
  expectProgressRisesToOne(run.progress);

  // An empty value switches the debug lines on; numbers never take the locale's comma.
  ASSERT_GE(run.debugLines.size(), 5u);
  EXPECT_TRUE(
      startsWith(run.debugLines[0], "match: corr 1.020 place 0.000 0.000 1.000 1.000 samples "))
      << run.debugLines[0];
  EXPECT_NE(run.debugLines[0].find(" before 0.0000"), std::string::npos) << run.debugLines[0];
  EXPECT_TRUE(startsWith(run.debugLines[1], "match: after sliders 0.0")) << run.debugLines[1];
  EXPECT_TRUE(startsWith(run.debugLines[2], "match: curves at 100% 0.")) << run.debugLines[2];
  EXPECT_TRUE(startsWith(run.debugLines[3], "match: curves at 60% ")) << run.debugLines[3];
  EXPECT_TRUE(startsWith(run.debugLines[4], "match: curves at 30% ")) << run.debugLines[4];
  EXPECT_NE(run.debugLines[4].find(" (now 0.0"), std::string::npos) << run.debugLines[4];
}

INSTANTIATE_IN_EACH_LOCALE(ReferenceMatchOwnPrint);

TEST(ReferenceMatch, MirroredPrintIsPlacedMirroredWithoutDebugLines) {
  const ConversionSettings start;
  const PrintImage mirrored = ReferenceMatch::oriented(printOf(start), true, 0);
  const MatchRun run = matched(start, ReferenceScenes::pictureOf(mirrored));
  EXPECT_TRUE(run.result.samePicture);
  EXPECT_LT(run.result.before, 1e-3);  // colours compared where the mirrored reference lies
  EXPECT_TRUE(run.debugLines.empty());
  expectProgressRisesToOne(run.progress);
}

TEST(ReferenceMatch, MatchesBackThePrintOfOtherSettings) {
  ConversionSettings target;
  target.exposure = 0.6;
  target.temperature = 25;
  target.contrast = 1.25;
  const MatchRun run = matched({}, ReferenceScenes::pictureOf(printOf(target)));
  EXPECT_TRUE(run.result.samePicture);
  EXPECT_GT(run.result.before, 0.02);
  EXPECT_LT(run.result.after, run.result.before / 4);
  EXPECT_GT(run.result.settings.exposure, 0.2);
  EXPECT_GT(run.result.settings.temperature, 5);
  EXPECT_GT(run.result.settings.contrast, 1.05);
  // Only the match's own fields move.
  ConversionSettings untouched = run.result.settings;
  untouched.exposure = 0, untouched.contrast = 1, untouched.temperature = 0, untouched.tint = 0;
  untouched.highlights = 0, untouched.shadows = 0, untouched.whites = 0, untouched.blacks = 0;
  untouched.saturation = 1;
  untouched.curves.red = untouched.curves.green = untouched.curves.blue = ToneCurve{};
  untouched.hsl.saturation = untouched.hsl.luminance = std::vector<double>(8, 0.0);
  EXPECT_EQ(untouched, ConversionSettings{});
}

TEST(ReferenceMatch, RoundsTheSlidersEvenWhenNoneMoves) {
  ConversionSettings start;
  start.exposure = 0.123;
  start.temperature = 12.4;
  const MatchRun run = matched(start, ReferenceScenes::pictureOf(printOf(start)));
  EXPECT_EQ(run.result.settings.exposure, 0.12);
  EXPECT_EQ(run.result.settings.temperature, 12);
  EXPECT_LT(run.result.after, 0.01);
}

TEST(ReferenceMatch, SliderOutsideItsBoundsComesBackInside) {
  ConversionSettings start;
  start.exposure = 3;
  ConversionSettings target;
  target.exposure = 2;
  const MatchRun run = matched(start, ReferenceScenes::pictureOf(printOf(target)));
  EXPECT_EQ(run.result.settings.exposure, 2);
  EXPECT_LT(run.result.after, run.result.before / 4);
}

TEST(ReferenceMatch, DifferentPictureMatchesDistributionsOnly) {
  // Large colour blocks share nothing with the scene but lie brighter and warmer.
  PrintImage blocks(120, 80);
  for (int64_t y = 0; y < 80; ++y)
    for (int64_t x = 0; x < 120; ++x) {
      float* p = blocks.row(y) + 3 * x;
      const bool a = (x / 20 + y / 40) % 2 == 0;
      p[0] = a ? 0.9f : 0.5f, p[1] = a ? 0.7f : 0.35f, p[2] = a ? 0.4f : 0.2f;
    }
  const MatchRun run = matched({}, ReferenceScenes::pictureOf(blocks), "1");
  EXPECT_FALSE(run.result.samePicture);
  EXPECT_LT(run.result.after, run.result.before);
  EXPECT_EQ(run.result.settings.hsl, HSLAdjustments{});
  expectProgressRisesToOne(run.progress);
  ASSERT_FALSE(run.debugLines.empty());
  EXPECT_NE(run.debugLines[0].find(" samples 0 "), std::string::npos) << run.debugLines[0];
}

TEST(ReferenceMatch, SamePictureWithoutFlatAreasIsComparedByDistributions) {
  // The scan's own print under a fine texture: placed with a high correlation, but no sample
  // point is flat enough to compare colours at. A colour error over no points would read 0.
  const ConversionSettings start;
  PrintImage textured = printOf(start);
  for (int64_t y = 0; y < textured.height; ++y)
    for (int64_t x = 0; x < textured.width; ++x)
      for (int c = 0; c < 3; ++c) {
        float& v = textured.row(y)[3 * x + c];
        v = std::clamp(v + ((x + y) % 2 ? 0.25f : -0.25f), 0.0f, 1.0f);
      }
  const MatchRun run = matched(start, ReferenceScenes::pictureOf(textured), "1");
  ASSERT_FALSE(run.debugLines.empty());
  EXPECT_NE(run.debugLines[0].find(" samples 0 "), std::string::npos) << run.debugLines[0];
  EXPECT_FALSE(run.result.samePicture);
  EXPECT_GT(run.result.before, 0);
  EXPECT_LE(run.result.after, run.result.before);
}
