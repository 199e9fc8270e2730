// The decode scale of a reference match: at most 450 pixels on the long side as the decoder
// rounds, never enlarged, a quarter for an unknown size.
#include "Model/MatchScale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "Conversion/DecodeSize.h"

namespace {

TEST(MatchScale, LongSideIsAtMost450AsTheDecoderRounds) {
  struct Case {
    double width, height;
    int64_t longSide;  // after DecodeSize::scaled
  };
  // 1350 and 6000 are the sides where the float nearest 450/side lies above it.
  for (const Case& c : {Case{1350, 900, 450}, Case{6000, 4000, 450}, Case{4000, 6000, 450},
                        Case{451, 300, 450}, Case{7953, 5304, 450}, Case{900, 1350, 450}}) {
    const double scale = MatchScale::forSize(std::pair{c.width, c.height});
    EXPECT_EQ(DecodeSize::scaled(static_cast<int64_t>(std::max(c.width, c.height)),
                                 static_cast<float>(scale)),
              c.longSide)
        << c.width << "×" << c.height;
    EXPECT_LE(scale, 450 / std::max(c.width, c.height) + 1e-7);
  }
}

TEST(MatchScale, SmallOrUnknownSizes) {
  EXPECT_EQ(MatchScale::forSize(std::pair{450.0, 300.0}), 1);
  EXPECT_EQ(MatchScale::forSize(std::pair{150.0, 100.0}), 1);
  EXPECT_EQ(MatchScale::forSize(std::nullopt), 0.25);
}

}  // namespace
