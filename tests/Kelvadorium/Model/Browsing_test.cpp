// Where a step lands in the list: clamped at both ends, whatever its size.
#include "Model/Browsing.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(Browsing, TargetsClampWithoutWrapping) {
  struct Case {
    size_t count, current;
    int64_t offset;
    size_t want;
  };
  const int64_t most = std::numeric_limits<int64_t>::max();
  const int64_t least = std::numeric_limits<int64_t>::min();
  for (const Case& c : std::vector<Case>{{1, 0, +1, 0},
                                         {1, 0, -1, 0},
                                         {5, 4, +1, 4},
                                         {5, 0, -1, 0},
                                         {5, 2, +2, 4},
                                         {5, 2, least, 0},
                                         {5, 2, most, 4},
                                         {5, 4, most, 4},
                                         {5, 0, least, 0}}) {
    EXPECT_EQ(Browsing::clampedTarget(c.count, c.current, c.offset), c.want)
        << c.count << " scans, from " << c.current << " by " << c.offset;
  }
}

TEST(Browsing, KeyStepsInAGrid) {
  struct Case {
    BrowseKey key;
    int columns;
    std::optional<int64_t> want;
  };
  for (const Case& c : std::vector<Case>{{BrowseKey::left, 4, -1},
                                         {BrowseKey::right, 4, +1},
                                         {BrowseKey::up, -3, -1},
                                         {BrowseKey::down, 0, +1},
                                         {BrowseKey::down, 1, +1},
                                         {BrowseKey::up, 2, -2},
                                         {BrowseKey::down, 4, +4},
                                         {BrowseKey::mark, 4, std::nullopt},
                                         {BrowseKey::delete_, 4, std::nullopt}}) {
    EXPECT_EQ(Browsing::keyOffset(c.key, c.columns), c.want)
        << static_cast<int>(c.key) << " with " << c.columns << " columns";
  }
}

}  // namespace
