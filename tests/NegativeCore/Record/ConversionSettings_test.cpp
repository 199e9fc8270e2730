// The edit record as a value: defaults, equality, the measurement key, the built-in presets and
// the raw values of its enumerations.
#include "Record/ConversionSettings.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Record/BuiltInPreset.h"
#include "TestSupport/InEachLocale.h"

namespace {

using CS = ConversionSettings;

Spot spotAt(double x) {
  Spot spot;
  spot.id = Uuid::random();
  spot.x = x;
  spot.y = 0.5;
  spot.r = 0.01;
  return spot;
}

TEST(ConversionSettings, InitEqualsTheSharedDefaults) {
  EXPECT_EQ(CS{}, CS::defaults());
  EXPECT_EQ(CS::defaultsValue(), CS::defaults());
  EXPECT_EQ(&CS::defaults(), &CS::defaults());

  const CS s;
  EXPECT_EQ(s.version, 1);
  EXPECT_EQ(s.whiteClip, 0.998);
  EXPECT_EQ(s.cmy, (std::vector<double>{1, 1, 1}));
  EXPECT_EQ(s.hsl.hue.size(), 8u);
  EXPECT_EQ(s.curves.rgb.points, (std::vector<std::vector<double>>{{0, 0}, {1, 1}}));
  EXPECT_EQ(s.curves.regions, (std::vector<double>{0, 0, 0, 0}));
  EXPECT_FALSE(s.crop || s.rollBalance || s.filmPreset || s.flatField);
}

TEST(ConversionSettings, SharedDefaultsAreBuiltOnceAcrossThreads) {
  std::vector<const CS*> seen(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i)
    threads.emplace_back([&seen, i] { seen[i] = &CS::defaults(); });
  for (auto& t : threads) t.join();
  for (const CS* p : seen) EXPECT_EQ(p, seen[0]);
}

TEST(ConversionSettings, EqualityComparesEveryFieldNumerically) {
  CS a, b;
  b.exposure = -0.0;
  EXPECT_EQ(a, b);

  a.spots = {spotAt(0.3)};
  b.spots = a.spots;
  EXPECT_EQ(a, b);
  b.spots[0].score = 0.9;
  EXPECT_NE(a, b);

  CS absent, empty;
  empty.flatField = "";
  EXPECT_NE(absent, empty);
  EXPECT_EQ(absent.analysisKey(), empty.analysisKey());

  CS turned;
  turned.rotationQuarterTurns = 7;
  turned.borderSize = -3;
  EXPECT_EQ(turned.rotationQuarterTurns, 7);  // the record never clamps
  EXPECT_NE(turned, CS{});
}

class AnalysisKey : public InEachLocale {};
INSTANTIATE_IN_EACH_LOCALE(AnalysisKey);

TEST_P(AnalysisKey, WritesTheTenMeasurementFields) {
  struct Case {
    const char* name;
    void (*change)(CS&);
    const char* key;
  };
  const Case cases[] = {
      {"defaults", [](CS&) {}, "colorNegative|0.08|0.002|0.998|auto|0.0|false|0.01||"},
      {"crop",
       [](CS& s) {
         s.crop = NormRect{0.1, 0.2, 0.5, 0.5};
       },
       "colorNegative|0.08|0.002|0.998|0.10000,0.20000,0.50000,0.50000|0.0|false|0.01||"},
      {"crop rounding",
       [](CS& s) {
         s.crop = NormRect{1.0 / 3, 0.123456, 2.0 / 3, 0.5};
       },
       "colorNegative|0.08|0.002|0.998|0.33333,0.12346,0.66667,0.50000|0.0|false|0.01||"},
      {"auto crop",
       [](CS& s) {
         s.autoCrop = true;
         s.autoCropMargin = 0.02;
       },
       "colorNegative|0.08|0.002|0.998|auto|0.0|true|0.02||"},
      {"blank frame", [](CS& s) { s.flatField = "/scans/blank frame.tif"; },
       "colorNegative|0.08|0.002|0.998|auto|0.0|false|0.01||/scans/blank frame.tif"},
      {"roll balance",
       [](CS& s) {
         s.rollBalance = RollBalance{{0.12, 0, 0.35}, {1.02, 1, 0.94}, 6};
       },
       "colorNegative|0.08|0.002|0.998|auto|0.0|false|0.01|"
       "0.1200,0.0000,0.3500,1.0200,1.0000,0.9400|"},
      {"tiny and large",
       [](CS& s) {
         s.analysisInset = 0.0001;
         s.skewDegrees = 100000;
       },
       "colorNegative|0.0001|0.002|0.998|auto|100000.0|false|0.01||"},
      {"below 0.0001",
       [](CS& s) {
         s.blackClip = 0.00001;
         s.whiteClip = 1;
       },
       "colorNegative|0.08|0.00001|1.0|auto|0.0|false|0.01||"},
      {"negative and minus zero",
       [](CS& s) {
         s.mode = FilmMode::bwNegative;
         s.skewDegrees = -1.25;
         s.autoCropMargin = -0.0;
       },
       "bwNegative|0.08|0.002|0.998|auto|-1.25|false|0.0||"},
  };
  for (const auto& c : cases) {
    CS s;
    c.change(s);
    EXPECT_EQ(s.analysisKey(), c.key) << c.name;
  }
}

TEST_P(AnalysisKey, FollowsOnlyTheMeasurement) {
  const std::string base = CS{}.analysisKey();
  void (*const renderOnly[])(CS&) = {
      [](CS& s) { s.exposure = 1.5; },        [](CS& s) { s.look = ScannerLook::frontier; },
      [](CS& s) { s.spots = {spotAt(0.5)}; }, [](CS& s) { s.rotationQuarterTurns = 1; },
      [](CS& s) { s.mirrored = true; },
  };
  for (auto change : renderOnly) {
    CS s;
    change(s);
    EXPECT_EQ(s.analysisKey(), base);
  }
  void (*const measured[])(CS&) = {
      [](CS& s) { s.mode = FilmMode::positive; },
      [](CS& s) { s.skewDegrees = 0.5; },
      [](CS& s) {
        s.rollBalance = RollBalance{{0, 0, 0}, {1, 1, 1}, 2};
      },
      [](CS& s) { s.flatField = "blank.tif"; },
  };
  for (auto change : measured) {
    CS s;
    change(s);
    EXPECT_NE(s.analysisKey(), base);
  }
}

TEST_P(AnalysisKey, RollBalanceTextHasFourDecimals) {
  const RollBalance learned{{0.123449, 0.00004, 2}, {1.00004, 1, 0.94}, 3};
  EXPECT_EQ(learned.keyText(), "0.1234,0.0000,2.0000,1.0000,1.0000,0.9400");
  const RollBalance close{{0.123441, 0.00001, 2}, {1.00001, 1, 0.94}, 3};
  EXPECT_EQ(close.keyText(), learned.keyText());
}

TEST(BuiltInPreset, SetsOnlyItsOwnFields) {
  CS base;
  base.contrast = 1.3;
  base.saturation = 0.7;
  base.curves.red.points = {{0, 0.1}, {1, 1}};
  base.curves.regions = {1, 2, 3, 4};
  base.mode = FilmMode::positive;

  struct Case {
    BuiltInPreset preset;
    void (*expected)(CS&);
  };
  const Case cases[] = {
      {BuiltInPreset::flat,
       [](CS& s) {
         s.contrast = 0.85;
         s.saturation = 0.9;
       }},
      {BuiltInPreset::normal,
       [](CS& s) {
         s.contrast = 1.0;
         s.saturation = 1.0;
       }},
      {BuiltInPreset::highContrast,
       [](CS& s) {
         s.contrast = 1.25;
         s.saturation = 1.1;
       }},
      {BuiltInPreset::merivaldoonMono1,
       [](CS& s) {
         s.contrast = 1.0;
         s.curves.rgb.points = {{0, 0},         {0.027, 0.035}, {0.151, 0.11},  {0.443, 0.341},
                                {0.678, 0.678}, {0.851, 0.906}, {0.949, 0.969}, {1, 1}};
         s.clarity = 10;
         s.blackMist = 12;
         s.grainAmount = 12;
         s.grainSize = 40;
         s.grainRoughness = 60;
         s.vignetteAmount = -40;
         s.vignetteMidpoint = 35;
         s.vignetteFeather = 70;
         s.glowAmount = 30;
         s.glowSize = 40;
       }},
  };
  for (const auto& c : cases) {
    CS applied = base;
    apply(c.preset, applied);
    CS expected = base;
    c.expected(expected);
    EXPECT_EQ(applied, expected) << toString(c.preset);
  }
}

TEST(BuiltInPreset, MonochromeOnlyForBlackAndWhiteNegatives) {
  for (BuiltInPreset preset : allCases<BuiltInPreset>())
    for (FilmMode mode : allCases<FilmMode>()) {
      const bool mono = preset == BuiltInPreset::merivaldoonMono1;
      EXPECT_EQ(isMonochrome(preset), mono);
      EXPECT_EQ(isAvailable(preset, mode), !mono || mode == FilmMode::bwNegative)
          << toString(preset) << " " << toString(mode);
    }
}

TEST(RecordEnumerations, RawValuesAreTheCaseNamesInOrder) {
  const auto names = [](auto cases) {
    std::vector<std::string> out;
    for (auto c : cases) out.push_back(toString(c));
    return out;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(names(allCases<FilmMode>()), (Names{"colorNegative", "bwNegative", "positive"}));
  EXPECT_EQ(names(allCases<BorderStyle>()), (Names{"none", "white", "black", "film"}));
  EXPECT_EQ(names(allCases<BuiltInPreset>()),
            (Names{"flat", "normal", "highContrast", "merivaldoonMono1"}));
  EXPECT_EQ(names(allCases<CropAspect>()), (Names{"free", "r3x2", "r4x3", "r1x1", "r5x4", "r7x5"}));
  EXPECT_EQ(names(allCases<ScannerLook>()), (Names{"neutral", "frontier", "noritsu"}));
  EXPECT_EQ(names(allCases<SpotKind>()), (Names{"heal", "clone", "fill", "ai"}));
  EXPECT_EQ(names(allCases<DodgeShape>()), (Names{"brush", "linear", "radial"}));

  EXPECT_EQ(fromString<FilmMode>("bwNegative"), FilmMode::bwNegative);
  EXPECT_EQ(fromString<BuiltInPreset>("highContrast"), BuiltInPreset::highContrast);
  EXPECT_EQ(fromString<BorderStyle>("film"), BorderStyle::film);
  for (const char* text : {"ColorNegative", "BWNegative", "slide", "", " positive"})
    EXPECT_EQ(fromString<FilmMode>(text), std::nullopt) << text;
  EXPECT_EQ(fromString<BuiltInPreset>("Flat"), std::nullopt);
}

TEST(NormRect, DescriptionHasThreeDecimals) {
  LocaleGuard german("de_DE.UTF-8");
  EXPECT_EQ((NormRect{0.1, 0.25, 0.5, 1.0 / 3}).description(), "x 0.100 y 0.250 w 0.500 h 0.333");
}

}  // namespace
