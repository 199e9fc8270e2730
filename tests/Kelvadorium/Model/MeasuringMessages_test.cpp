// The measuring actions' rounded percentages and their notices.
#include "Model/MeasuringMessages.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(MeasuringMessages, CornerPercentIsWorkedInSinglePrecisionHalvesAwayFromZero) {
  struct Case {
    float level;
    int percent;
  };
  // 0.675 is 32.4999988… in double but exactly 32.5 once rounded to float, hence 33.
  for (const Case& c : {Case{0.88f, 12}, Case{0.99f, 1}, Case{0.675f, 33}, Case{1.0f, 0},
                        Case{0.875f, 13}, Case{1.03f, -3}, Case{1.125f, -13}, Case{0.0f, 100}}) {
    EXPECT_EQ(MeasuringMessages::cornerPercent(c.level), c.percent) << c.level;
  }
}

TEST(MeasuringMessages, EvenLightNoticeCountsTargetsAndTellsTheDetail) {
  struct Case {
    size_t targets;
    float level;
    const char* text;
  };
  const Case cases[] = {
      {1, 0.88f,
       "Even Light Correction set for 1 scan. The corners were 12% darker than the middle; that "
       "is now corrected."},
      {40, 0.99f,
       "Even Light Correction set for 40 scans. This setup is already very even (corners within "
       "2% of the middle)."},
      {0, 0.675f,
       "Even Light Correction set for 0 scans. The corners were 33% darker than the middle; that "
       "is now corrected."},
      // Corners brighter than the middle read as "already even", and the 2 % edge is darker.
      {2, 1.03f,
       "Even Light Correction set for 2 scans. This setup is already very even (corners within "
       "2% of the middle)."},
      {3, 0.98f,
       "Even Light Correction set for 3 scans. The corners were 2% darker than the middle; that "
       "is now corrected."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MeasuringMessages::flatFieldSet(c.targets, c.level), QString::fromUtf8(c.text));
  }
}

TEST(MeasuringMessages, MatchPercentIsHowMuchCloserHalvesAwayFromZero) {
  struct Case {
    double before, after;
    int percent;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const Case& c :
       {Case{0.20, 0.05, 75}, Case{0.2, 0.19, 5}, Case{0, 0.3, 0}, Case{-0.1, 0.05, 0},
        Case{nan, 0.1, 0}, Case{1, 0.125, 88}, Case{1, 1.125, -13}, Case{0.5, 0, 100},
        Case{1e-300, 1, -1000000}, Case{0.5, nan, 0}}) {
    EXPECT_EQ(MeasuringMessages::matchPercent(c.before, c.after), c.percent)
        << c.before << " " << c.after;
  }
}

TEST(MeasuringMessages, MatchNoticesNameThePhotoAsWritten) {
  // A name with "%1" in it stays as it is.
  EXPECT_EQ(MeasuringMessages::matched("lab %1.jpg", true, 75),
            QString::fromUtf8("Matched to lab %1.jpg: 75% closer. Every adjustment stays "
                              "editable; Ctrl+Z undoes it."));
  EXPECT_EQ(MeasuringMessages::matched("mood.png", false, 5),
            QString::fromUtf8("mood.png is a different picture, so the overall tones and colours "
                              "were matched (5% closer). Ctrl+Z undoes it."));
  EXPECT_EQ(MeasuringMessages::unreadableScan("roll 1.tif"),
            QString::fromUtf8("Could not read the scan “roll 1.tif”."));
}

TEST(MeasuringMessages, CountedNoticesUsePlainNumbers) {
  EXPECT_EQ(MeasuringMessages::rollMeasured(1234),
            QString::fromUtf8("Roll colour balance measured on 1234 frames and applied to them. "
                              "Ctrl+Z undoes it."));
  EXPECT_EQ(MeasuringMessages::lookCopied(0),
            QString::fromUtf8("Look copied to 0 other images (crop, rotation and healed spots "
                              "stay per image)."));
}

}  // namespace
