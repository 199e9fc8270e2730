#include "Conversion/Analyzer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "Conversion/Decoder.h"
#include "Support/VectorMath.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

using Rgb = std::array<float, 3>;

LinearImage makeImage(int64_t width, int64_t height,
                      const std::function<Rgb(int64_t, int64_t)>& f) {
  LinearImage image(width, height);
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      const Rgb rgb = f(x, y);
      float* p = image.mutableRow(y) + x * 4;
      p[0] = rgb[0];
      p[1] = rgb[1];
      p[2] = rgb[2];
      p[3] = 1;
    }
  return image;
}

float transmission(double density) { return static_cast<float>(std::pow(10.0, -density)); }

ConversionSettings settings(double inset, double blackClip = 0.002, double whiteClip = 0.998) {
  ConversionSettings s;
  s.analysisInset = inset;
  s.blackClip = blackClip;
  s.whiteClip = whiteClip;
  return s;
}

TEST(Analyzer, InsetIsLimitedAndSelectsTheRegion) {
  // Density rises by 0.01 per column, so the extreme densities tell which columns were read.
  const LinearImage image = makeImage(100, 100, [](int64_t x, int64_t) {
    const float t = transmission(x / 100.0);
    return Rgb{t, t, t};
  });
  struct Case {
    double inset, firstColumn, lastColumn;
  };
  for (const Case& c : {Case{0.6, 45, 54}, Case{0.45, 45, 54}, Case{-0.3, 0, 99}, Case{0.1, 10, 89},
                        Case{std::nan(""), 0, 99}}) {
    const FilmAnalysis a = Analyzer::analyze(image, settings(c.inset, 0, 1), 1'000'000);
    EXPECT_NEAR(a.dMin[0], c.firstColumn / 100.0, 1e-4) << "inset " << c.inset;
    EXPECT_NEAR(a.dMax[0], c.lastColumn / 100.0, 1e-4) << "inset " << c.inset;
  }
}

TEST(Analyzer, SamplingStrideFollowsTheBudget) {
  const LinearImage one = makeImage(1, 1, [](int64_t, int64_t) { return Rgb{0.5f, 0.25f, 0.1f}; });
  const FilmAnalysis single = Analyzer::analyze(one, settings(0.08), 1'000'000);
  EXPECT_EQ(single.samples, 1);
  EXPECT_NEAR(single.dMin[1], -std::log10(0.25), 1e-5);
  EXPECT_EQ(single.crop, (NormRect{0, 0, 1, 1}));
  EXPECT_FALSE(single.autoCropped);

  // 1975² = 3,900,625 pixels against a budget of 1,000,000: s ≈ 1.97, stride 1, every pixel.
  const LinearImage big = makeImage(1975, 1975, [](int64_t, int64_t) {
    return Rgb{0.5f, 0.5f, 0.5f};
  });
  EXPECT_EQ(Analyzer::analyze(big, settings(0), 1'000'000).samples, 1975 * 1975);
  // 1000² against 10,000: stride 10, a 100 × 100 grid.
  const LinearImage square = makeImage(1000, 1000, [](int64_t, int64_t) {
    return Rgb{0.5f, 0.5f, 0.5f};
  });
  EXPECT_EQ(Analyzer::analyze(square, settings(0), 10'000).samples, 10'000);
  EXPECT_EQ(Analyzer::analyze(square, settings(0), 0).samples, 1);  // a budget below 1 acts as 1
}

TEST(Analyzer, BlackAndWhiteMeasuresLuminanceButKeepsChannelMaxima) {
  const LinearImage image = makeImage(50, 40, [](int64_t x, int64_t) {
    return Rgb{0.8f - x * 0.01f, 0.5f - x * 0.005f, 0.3f};
  });
  ConversionSettings s = settings(0);
  s.mode = FilmMode::bwNegative;
  const FilmAnalysis a = Analyzer::analyze(image, s, 1'000'000);
  EXPECT_EQ(a.dMin[0], a.dMin[1]);
  EXPECT_EQ(a.dMin[1], a.dMin[2]);
  EXPECT_EQ(a.dMax[0], a.dMax[2]);
  EXPECT_NEAR(a.baseTransmission[0], 0.8, 1e-6);
  EXPECT_NEAR(a.baseTransmission[1], 0.5, 1e-6);
  EXPECT_NEAR(a.baseTransmission[2], 0.3, 1e-6);
  EXPECT_NEAR(a.dMin[0], -std::log10(0.229 * 0.8 + 0.6917 * 0.5 + 0.0793 * 0.3), 1e-5);
}

TEST(Analyzer, FlatFrameGetsTheMinimumRange) {
  const LinearImage image = makeImage(20, 20, [](int64_t, int64_t) {
    return Rgb{0.6f, 0.3f, 0.15f};
  });
  const FilmAnalysis a = Analyzer::analyze(image, settings(0.08), 1'000'000);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(a.dMax[c] - a.dMin[c], 0.02, 1e-6);
  EXPECT_NEAR(a.dMin[2], -std::log10(0.15), 1e-5);
}

// A 1 × n strip: `thin` samples at density 0.3, the rest at density 4 (beyond 0.3 + 2.5).
LinearImage strip(int64_t n, int64_t thin) {
  return makeImage(n, 1, [=](int64_t x, int64_t) {
    const float t = transmission(x < thin ? 0.3 : 4.0);
    return Rgb{t, t, t};
  });
}

TEST(Analyzer, OutlierRejectionNeedsEnoughKeptSamples) {
  struct Case {
    int64_t n, thin, expectedSamples;
  };
  for (const Case& c : {Case{1500, 99, 1500}, Case{1500, 100, 100}, Case{10'000, 499, 10'000},
                        Case{10'000, 500, 500}, Case{50, 50, 50}}) {
    const FilmAnalysis a = Analyzer::analyze(strip(c.n, c.thin), settings(0, 0, 1), 1'000'000);
    EXPECT_EQ(a.samples, c.expectedSamples) << c.n << " with " << c.thin;
    const bool onlyThin = c.expectedSamples == c.thin;
    EXPECT_NEAR(a.dMax[0], onlyThin ? 0.32 : 4.0, 1e-4) << c.n << " with " << c.thin;
  }
}

TEST(Analyzer, PercentilesUseTheRoundedIndex) {
  // 1001 samples at densities 0.000, 0.001, … 1.000 in shuffled order.
  const LinearImage image = makeImage(1001, 1, [](int64_t x, int64_t) {
    const float t = transmission(((x * 617) % 1001) / 1000.0);
    return Rgb{t, t, t};
  });
  const FilmAnalysis a = Analyzer::analyze(image, settings(0, 0.002, 0.998), 1'000'000);
  EXPECT_EQ(a.samples, 1001);
  EXPECT_NEAR(a.dMin[0], 0.002, 1e-5);
  EXPECT_NEAR(a.dMax[0], 0.998, 1e-5);
  // Clips outside 0…1 are clamped; a white clip below the black clip still picks its index.
  const FilmAnalysis wide = Analyzer::analyze(image, settings(0, -1, 7), 1'000'000);
  EXPECT_NEAR(wide.dMin[1], 0.0, 1e-5);
  EXPECT_NEAR(wide.dMax[1], 1.0, 1e-5);
  const FilmAnalysis crossed = Analyzer::analyze(image, settings(0, 0.9, 0.1), 1'000'000);
  EXPECT_NEAR(crossed.dMin[2], 0.9, 1e-5);
  EXPECT_NEAR(crossed.dMax[2], 0.92, 1e-5);  // 0.1 is below dMin + 0.02
}

// Order statistics straight from sorted densities, for frames large enough that the analyzer
// brackets each rank from a subsample instead of selecting over every sample.
struct Expected {
  int64_t samples = 0;
  std::array<float, 3> dMin{}, dMax{};
};

Expected sortedPercentiles(const LinearImage& image, double blackClip, double whiteClip) {
  std::array<std::vector<float>, 3> lists;
  for (int64_t y = 0; y < image.height(); ++y)
    for (int64_t x = 0; x < image.width(); ++x)
      for (int c = 0; c < 3; ++c) lists[c].push_back(std::max(image.row(y)[4 * x + c], 1e-6f));
  for (auto& list : lists) {
    VectorMath::log10(list.data(), list.data(), list.size());
    for (float& value : list) value = -value;
  }
  const size_t n = lists[0].size();
  std::array<float, 3> limit{};
  for (int c = 0; c < 3; ++c) {
    std::vector<float> sorted = lists[c];
    std::sort(sorted.begin(), sorted.end());
    limit[c] = sorted[static_cast<size_t>(std::llround((n - 1) * 0.001))] + 2.5f;
  }
  std::array<std::vector<float>, 3> kept;
  for (size_t i = 0; i < n; ++i)
    if (lists[0][i] <= limit[0] && lists[1][i] <= limit[1] && lists[2][i] <= limit[2])
      for (int c = 0; c < 3; ++c) kept[c].push_back(lists[c][i]);
  if (kept[0].size() < n / 20) kept = lists;
  Expected e;
  e.samples = static_cast<int64_t>(kept[0].size());
  for (int c = 0; c < 3; ++c) {
    std::sort(kept[c].begin(), kept[c].end());
    const auto at = [&](double p) {
      return kept[c][static_cast<size_t>(std::llround(p * (kept[c].size() - 1)))];
    };
    e.dMin[c] = at(blackClip);
    e.dMax[c] = std::max(at(whiteClip), e.dMin[c] + 0.02f);
  }
  return e;
}

TEST(Analyzer, LargeFramesGiveTheExactOrderStatistics) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> uniform(0, 1);
  struct Case {
    const char* name;
    std::function<Rgb(int64_t, int64_t)> pixel;
    double blackClip, whiteClip;
  };
  const Case cases[] = {
      {"smooth",
       [&](int64_t, int64_t) {
         return Rgb{uniform(random), uniform(random), uniform(random)};
       },
       0.002, 0.998},
      // Flat patches: every rank falls on a value repeated tens of thousands of times.
      {"steps",
       [](int64_t x, int64_t y) {
         const float t = transmission(0.2 + 0.3 * ((x / 70 + y / 50) % 6));
         return Rgb{t, t * 0.8f, t * 0.6f};
       },
       0.002, 0.998},
      // A dense surround, dropped as film holder, with the frame's extremes.
      {"surround",
       [&](int64_t x, int64_t y) {
         if (x < 60 || y < 40) return Rgb{1e-7f, 1e-7f, 1e-7f};
         const float t = transmission(0.1 + 2 * uniform(random));
         return Rgb{t, t, t * 0.5f};
       },
       0, 1},
      {"mixed",
       [&](int64_t x, int64_t) {
         const float t = x % 3 == 0 ? 0.25f : uniform(random);
         return Rgb{t, 0.25f, 1 - t};
       },
       0.3, 0.7},
      // The first 100,000 samples thin, the rest dense: the black clip's rank is the first dense
      // sample, the white clip's the last thin one.
      {"boundary",
       [](int64_t x, int64_t y) {
         const float t = transmission(y * 700 + x < 100'000 ? 0.2 : 0.9);
         return Rgb{t, t, t};
       },
       100'000.0 / 349'999, 99'999.0 / 349'999},
      // Every 21st sample, the whole of an evenly spread subsample, holds the thinnest value in
      // red and the densest in blue.
      {"aliased",
       [&](int64_t x, int64_t y) {
         const float t = transmission(0.5 + 2 * uniform(random));
         if ((y * 700 + x) % 21 != 0) return Rgb{t, t, t};
         return Rgb{transmission(0.3), t, transmission(2.6)};
       },
       0.5, 0.9},
  };
  for (const Case& c : cases) {
    const LinearImage image = makeImage(700, 500, c.pixel);
    const Expected e = sortedPercentiles(image, c.blackClip, c.whiteClip);
    const FilmAnalysis a =
        Analyzer::analyze(image, settings(0, c.blackClip, c.whiteClip), 1'000'000);
    EXPECT_EQ(a.samples, e.samples) << c.name;
    for (int ch = 0; ch < 3; ++ch) {
      EXPECT_EQ(a.dMin[ch], e.dMin[ch]) << c.name << " channel " << ch;
      EXPECT_EQ(a.dMax[ch], e.dMax[ch]) << c.name << " channel " << ch;
    }
  }
}

TEST(Analyzer, NonFiniteAndNegativePixels) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const LinearImage empty = makeImage(8, 8, [&](int64_t, int64_t) { return Rgb{nan, 0.5f, 0.5f}; });
  EXPECT_EQ(Analyzer::analyze(empty, settings(0), 1'000'000), FilmAnalysis{});

  const LinearImage negative = makeImage(8, 8, [](int64_t x, int64_t) {
    return Rgb{x < 4 ? -0.5f : std::numeric_limits<float>::infinity(), 0.5f, 0.5f};
  });
  const FilmAnalysis a = Analyzer::analyze(negative, settings(0, 0, 1), 1'000'000);
  EXPECT_EQ(a.samples, 32);  // infinite pixels are skipped
  EXPECT_NEAR(a.dMin[0], 6.0, 1e-4);
  EXPECT_EQ(a.baseTransmission[0], 0.0);  // the maxima start at 0
}

TEST(Analyzer, MeasuresTheFilmBaseOfTheSyntheticNegative) {
  TempDir dir;
  const ScanFixtures::Negative negative;
  ScanFixtures::writeNegativeDng(dir / "negative.dng", negative);
  ScanFixtures::writeNegativeTiff(dir / "negative.tif", negative);
  for (const char* name : {"negative.dng", "negative.tif"})
    for (double scale : {1.0, 0.5}) {
      const LinearImage image = Decoder::decode(dir / name, 0, false, scale);
      const FilmAnalysis a = Analyzer::analyze(image, ConversionSettings{}, 1'000'000);
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(a.dMin[c], negative.baseDensity[c], 0.02)
            << name << " at " << scale << " channel " << c;
      // The densest step is the dense end; the surround was rejected as film holder.
      EXPECT_NEAR(a.dMax[0], negative.stepDensity(negative.steps - 1, 0), 0.05) << name;
    }
}

}  // namespace
