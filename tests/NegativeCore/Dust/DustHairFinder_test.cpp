// The hair finder: one chain for a thin dense line on a grainy scan, no chain for lines that are
// too short, too broad, too long or too faint, the ridge filter's values, the entries'
// acceptance, tiny images, and the debug lines in any locale. Tests that change the tuning or
// the debug variables put them back when they end.
#include "Dust/DustHairFinder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

#include "Dust/DustDetectorTuning.h"
#include "Support/NumberText.h"
#include "TestSupport/DustyScan.h"
#include "TestSupport/LocaleGuard.h"

namespace {

using DustDetector::Tuning;
using Chains = std::vector<std::vector<Spot>>;

// The counters and levels of one "hairs:" line.
struct Summary {
  int64_t comps = -1, longOnes = -1, thin = -1, sides = -1, kept = -1;
  std::string hi, med, mad;
};

Summary parseSummary(const std::string& line) {
  std::istringstream in(line);
  std::string word;
  Summary s;
  in >> word;
  EXPECT_EQ(word, "hairs:");
  auto field = [&](const char* name, auto& value) {
    in >> word;
    EXPECT_EQ(word, name);
    in >> value;
  };
  field("comps", s.comps);
  field("long", s.longOnes);
  field("thin", s.thin);
  field("sides", s.sides);
  field("kept", s.kept);
  field("hi", s.hi);
  field("med", s.med);
  field("mad", s.mad);
  return s;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class HairFinderTests : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = DustDetector::tuning(); }
  void TearDown() override {
    DustDetector::setTuning(saved_);
    unsetenv("KV_HAIRDEBUG");
    unsetenv("KV_HAIRDEBUG2");
  }
  static void change(const std::function<void(Tuning&)>& f) { DustDetector::updateTuning(f); }

  // A whole-frame run with KV_HAIRDEBUG set; `printed` receives what it wrote.
  static Chains findPrinting(const LinearImage& image, std::string& printed,
                             double sensitivity = 0.5) {
    setenv("KV_HAIRDEBUG", "1", 1);
    ::testing::internal::CaptureStdout();
    Chains chains = DustDetector::findHairsWholeFrame(image.width(), image.height(), image.pixels(),
                                                      sensitivity);
    printed = ::testing::internal::GetCapturedStdout();
    unsetenv("KV_HAIRDEBUG");
    return chains;
  }

  static Chains find(const LinearImage& image, Summary& summary, double sensitivity = 0.5) {
    std::string printed;
    Chains chains = findPrinting(image, printed, sensitivity);
    const auto lines = linesOf(printed);
    EXPECT_EQ(lines.size(), 1u);
    if (!lines.empty()) summary = parseSummary(lines.back());
    return chains;
  }

 private:
  Tuning saved_;
};

LinearImage grainyWith(const std::vector<DustyScan::Line>& lines) {
  return DustyScan::make({}, {}, lines);
}

// 200 pixels long, 2 wide, at 30° below the horizontal.
const DustyScan::Line kHair{800, 600, 800 + 200 * 0.8660254, 600 + 200 * 0.5, 2, 0.3f};

double distanceToLine(const Spot& s, const DustyScan::Line& l) {
  const double px = s.x * 2400, py = s.y * 1600;
  const double dx = l.x1 - l.x0, dy = l.y1 - l.y0;
  double t = ((px - l.x0) * dx + (py - l.y0) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (l.x0 + t * dx), py - (l.y0 + t * dy));
}

TEST_F(HairFinderTests, AThinDenseLineGivesOneChainOfSpacedSpots) {
  Summary summary;
  const Chains chains = find(grainyWith({kHair}), summary);
  ASSERT_EQ(chains.size(), 1u);
  EXPECT_EQ(summary.kept, 1);
  const auto& chain = chains[0];
  ASSERT_GT(chain.size(), 30u);  // about 200 pixels at 3.2 or more apart
  ASSERT_TRUE(chain[0].group);
  std::set<Uuid> ids;
  for (size_t i = 0; i < chain.size(); ++i) {
    const Spot& s = chain[i];
    EXPECT_EQ(s.group, chain[0].group);
    ids.insert(s.id);
    EXPECT_DOUBLE_EQ(s.r, 4.0 / 2400);  // ρ = 2.5·M + 1.5 with M = 1
    EXPECT_EQ(s.score, 0.8);
    EXPECT_FALSE(s.sx || s.sy || s.kind || s.feather || s.opacity);
    EXPECT_LE(distanceToLine(s, kHair), 3.0);
    for (size_t j = 0; j < i; ++j)
      EXPECT_GE(std::hypot((s.x - chain[j].x) * 2400, (s.y - chain[j].y) * 1600), 3.2);
  }
  EXPECT_EQ(ids.size(), chain.size());
  EXPECT_FALSE(ids.count(*chain[0].group));
}

TEST_F(HairFinderTests, LinesTooShortTooBroadOrTooLongGiveNoChain) {
  struct Case {
    const char* what;
    DustyScan::Line line;
    int64_t longOnes, thin;  // −1: not checked
  };
  const double c = 0.8660254, s = 0.5;
  const Case cases[] = {
      {"5 pixels: too few pixels", {800, 600, 800 + 5 * c, 600 + 5 * s, 2, 0.3f}, 0, 0},
      {"10 pixels: too short", {800, 600, 800 + 10 * c, 600 + 10 * s, 2, 0.3f}, -1, 0},
      {"800 pixels: longer than a quarter",
       {800, 600, 800 + 800 * c, 600 + 800 * s, 2, 0.3f},
       1,
       0},
      // Broad bands: their ridges (the crest of a soft one, the two inner edges of a hard one)
      // never stand clearly above both sides.
      {"a soft band 16 pixels broad",
       {800, 600, 800 + 200 * c, 600 + 200 * s, 16, 0.3f, true},
       -1,
       -1},
      {"a band 10 pixels broad", {800, 600, 800 + 200 * c, 600 + 200 * s, 10, 0.3f}, -1, -1},
  };
  for (const Case& k : cases) {
    Summary summary;
    EXPECT_TRUE(find(grainyWith({k.line}), summary).empty()) << k.what;
    if (k.longOnes >= 0) {
      EXPECT_EQ(summary.longOnes, k.longOnes) << k.what;
    }
    if (k.thin >= 0) {
      EXPECT_EQ(summary.thin, k.thin) << k.what;
    }
    EXPECT_EQ(summary.sides, 0) << k.what;
  }
}

TEST_F(HairFinderTests, TheLiftMustBeatTheLiftAndTextureThresholds) {
  const LinearImage image = grainyWith({kHair});
  Summary summary;
  change([](Tuning& t) { t.hairLift = 0.3f; });
  EXPECT_TRUE(find(image, summary).empty());
  EXPECT_GE(summary.thin, 1);
  change([](Tuning& t) {
    t.hairLift = 0.004f;
    t.hairTexture = 100;
  });
  EXPECT_TRUE(find(image, summary).empty());
  change([](Tuning& t) { t.hairTexture = 2.5f; });
  EXPECT_EQ(find(image, summary).size(), 1u);
}

TEST_F(HairFinderTests, FineModeFindsTheLineToo) {
  change([](Tuning& t) { t.hairFine = true; });
  Summary summary;
  const Chains chains = find(grainyWith({kHair}), summary);
  ASSERT_EQ(chains.size(), 1u);
  for (const Spot& s : chains[0]) EXPECT_LE(distanceToLine(s, kHair), 3.0);
}

TEST_F(HairFinderTests, SensitivityLowersTheSeedThresholdByTwiceItsRise) {
  const LinearImage image = grainyWith({kHair});
  for (const double sensitivity : {0.5, 0.6, 0.0}) {
    Summary summary;
    find(image, summary, sensitivity);
    const float sigma = static_cast<float>(*NumberText::parseDouble(summary.mad));
    const float kf = 4.5f - static_cast<float>(2 * (sensitivity - 0.5));
    EXPECT_EQ(summary.hi, NumberText::shortestFloat(kf * sigma)) << sensitivity;
  }
}

TEST_F(HairFinderTests, EntriesAcceptChainsByCropByTestOrAll) {
  const LinearImage image = grainyWith({kHair});
  const double cx = (kHair.x0 + kHair.x1) / 2 / 2400, cy = (kHair.y0 + kHair.y1) / 2 / 1600;
  std::vector<std::pair<double, double>> asked;
  const Chains accepted = DustDetector::findHairsAccepting(
      2400, 1600, image.pixels(),
      [&](double x, double y) {
        asked.emplace_back(x, y);
        return true;
      },
      0.5);
  ASSERT_EQ(accepted.size(), 1u);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NEAR(asked[0].first, cx, 2.0 / 2400);
  EXPECT_NEAR(asked[0].second, cy, 2.0 / 1600);

  ConversionSettings settings;
  auto inCrop = [&](const NormRect& crop) {
    return DustDetector::findHairs(2400, 1600, image.pixels(), settings, crop, 0.5).size();
  };
  EXPECT_EQ(inCrop({0.3, 0.3, 0.2, 0.2}), 1u);
  EXPECT_EQ(inCrop({0.5, 0.3, 0.2, 0.2}), 0u);
  // Straightened by −30° the centre moves down to 0.517 of the height, out of the crop.
  settings.skewDegrees = -30;
  EXPECT_EQ(inCrop({0.3, 0.3, 0.2, 0.2}), 0u);
}

TEST_F(HairFinderTests, ImagesTooSmallToMeasureFindNothing) {
  struct Size {
    int64_t w, h;
  };
  for (const Size size : {Size{0, 0}, Size{0, 10}, Size{1, 1}, Size{4, 4}, Size{5, 5}, Size{3, 100},
                          Size{100, 3}, Size{-2, 5}}) {
    const std::vector<float> pixels(
        static_cast<size_t>(std::max<int64_t>(size.w, 0) * std::max<int64_t>(size.h, 0) * 4), 0.3f);
    setenv("KV_HAIRDEBUG", "1", 1);
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(DustDetector::findHairsWholeFrame(size.w, size.h, pixels.data(), 0.5).empty())
        << size.w << "x" << size.h;
    const auto lines = linesOf(::testing::internal::GetCapturedStdout());
    ASSERT_EQ(lines.size(), 1u) << size.w << "x" << size.h;
    EXPECT_EQ(parseSummary(lines[0]).comps, 0);
  }
}

TEST(RidgeRow, HessianResponseAcrossALine) {
  // K is 1 on row 5 and 0 elsewhere: a ridge along x.
  const int64_t w = 9, h = 11;
  std::vector<float> K(static_cast<size_t>(w * h), 0.0f);
  for (int64_t x = 0; x < w; ++x) K[static_cast<size_t>(5 * w + x)] = 1;
  for (const int64_t step : {1, 2}) {
    std::vector<float> ridge(K.size(), -1), across(K.size(), -1);
    for (int64_t y = 0; y < h; ++y)
      DustDetector::ridgeRow(K.data(), ridge.data(), across.data(), w, h, y, step);
    auto at = [&](const std::vector<float>& p, int64_t x, int64_t y) {
      return p[static_cast<size_t>(y * w + x)];
    };
    // On the line: Dyy = −2, B = −1, Q = 1: across 2, ridge 2 − 2·|0| = 2.
    EXPECT_EQ(at(across, 4, 5), 2.0f);
    EXPECT_EQ(at(ridge, 4, 5), 2.0f);
    // One row off with step 1, Dyy = 1: B = Q = 0.5, across 0; with step 2 it reaches row 7.
    EXPECT_EQ(at(across, 4, 6), 0.0f);
    EXPECT_EQ(at(ridge, 4, 6), 0.0f);
    // The two outermost rows and columns stay 0.
    for (int64_t x = 0; x < w; ++x)
      for (const int64_t y : {0L, 1L, h - 2, h - 1}) EXPECT_EQ(at(ridge, x, y), 0.0f);
    for (int64_t y = 0; y < h; ++y)
      for (const int64_t x : {0L, 1L, w - 2, w - 1}) {
        EXPECT_EQ(at(ridge, x, y), 0.0f);
        EXPECT_EQ(at(across, x, y), 0.0f);
      }
  }
  // A diagonal second difference: K = 1 at (4, 4) only, seen from (5, 5) with step 1:
  // Dxy = (K(6,6) − K(4,6) − K(6,4) + K(4,4))/4 = 0.25, Dxx = Dyy = 0: B = 0, Q = 0.25.
  std::vector<float> point(static_cast<size_t>(w * h), 0.0f);
  point[static_cast<size_t>(4 * w + 4)] = 1;
  std::vector<float> ridge(point.size()), across(point.size());
  DustDetector::ridgeRow(point.data(), ridge.data(), across.data(), w, h, 5, 1);
  EXPECT_EQ(across[static_cast<size_t>(5 * w + 5)], 0.25f);
  EXPECT_EQ(ridge[static_cast<size_t>(5 * w + 5)], 0.0f);  // max(0, 0.25 − 2·0.25)
}

class HairDebugLines : public HairFinderTests, public ::testing::WithParamInterface<const char*> {};

TEST_P(HairDebugLines, OneSummaryLinePerRunWrittenWithoutTheLocale) {
  LocaleGuard locale(GetParam());
  // Clear film (transmission 1, density 0): every plane is 0, σ takes its floor.
  const std::vector<float> clear(64 * 48 * 4, 1.0f);
  setenv("KV_HAIRDEBUG", "", 1);
  ::testing::internal::CaptureStdout();
  DustDetector::findHairsWholeFrame(64, 48, clear.data(), 0.5);
  DustDetector::findHairsWholeFrame(64, 48, clear.data(), 0.5);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "hairs: comps 0 long 0 thin 0 sides 0 kept 0 hi 4.5e-06 med 0.0 mad 1e-06\n"
            "hairs: comps 0 long 0 thin 0 sides 0 kept 0 hi 4.5e-06 med 0.0 mad 1e-06\n");

  // On grain the levels are plain decimals that read back to the same float.
  std::string printed;
  findPrinting(grainyWith({kHair}), printed);
  const Summary s = parseSummary(linesOf(printed).at(0));
  for (const std::string& level : {s.hi, s.med, s.mad}) {
    EXPECT_EQ(level.find_first_of(",e"), std::string::npos) << level;
    EXPECT_EQ(level.rfind("0.0", 0), 0u) << level;
    const float value = static_cast<float>(*NumberText::parseDouble(level));
    EXPECT_EQ(NumberText::shortestFloat(value), level);
  }
}

TEST_P(HairDebugLines, ThinComponentLinesWithFixedDecimals) {
  LocaleGuard locale(GetParam());
  setenv("KV_HAIRDEBUG2", "1", 1);
  ::testing::internal::CaptureStdout();
  DustDetector::findHairsWholeFrame(2400, 1600, grainyWith({kHair}).pixels(), 0.5);
  const auto lines = linesOf(::testing::internal::GetCapturedStdout());
  ASSERT_GE(lines.size(), 1u);
  for (const std::string& line : lines) {
    std::istringstream in(line);
    std::string len, length, margin, marginValue, peak, peakValue;
    in >> len >> length >> margin >> marginValue >> peak >> peakValue;
    EXPECT_EQ(line.rfind("  len ", 0), 0u) << line;
    EXPECT_EQ(length.find_first_not_of("0123456789"), std::string::npos) << line;
    for (const std::string& v : {marginValue, peakValue}) {
      ASSERT_GT(v.size(), 5u) << line;
      EXPECT_EQ(v[v.size() - 5], '.') << line;
    }
    EXPECT_EQ(margin, "margin");
    EXPECT_EQ(peak, "peak");
  }
  // The 200-pixel hair is about 230 long by its moments.
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    const double length = std::stod(l.substr(6, l.find(' ', 6) - 6));
    return length > 200 && length < 260;
  }));
}

INSTANTIATE_TEST_SUITE_P(Locale, HairDebugLines, ::testing::Values("C", "de_DE.UTF-8"),
                         [](const auto& info) {
                           return std::string(info.param[0] == 'C' ? "C" : "German");
                         });

}  // namespace
