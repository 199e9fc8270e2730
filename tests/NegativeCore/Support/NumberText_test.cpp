#include "Support/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>

#include "TestSupport/LocaleGuard.h"

namespace {

TEST(NumberText, ShortestIsPlainWithPointAndReadsBack) {
  const std::pair<double, const char*> cases[] = {
      {0.08, "0.08"},      {0.0, "0.0"},
      {-0.0, "-0.0"},      {5.0, "5.0"},
      {0.0001, "0.0001"},  {100000, "100000.0"},
      {0.998, "0.998"},    {-2.5, "-2.5"},
      {1e-7, "0.0000001"}, {0.1 + 0.2, "0.30000000000000004"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(NumberText::shortest(value), text) << value;
}

TEST(NumberText, ShortestFloatSwitchesToExponentOutsidePlainRange) {
  EXPECT_EQ(NumberText::shortestFloat(0.0f), "0.0");
  EXPECT_EQ(NumberText::shortestFloat(5.0f), "5.0");
  EXPECT_EQ(NumberText::shortestFloat(0.0123f), "0.0123");
  EXPECT_EQ(NumberText::shortestFloat(0.0001f), "0.0001");
  EXPECT_EQ(NumberText::shortestFloat(1e-6f), "1e-06");
  EXPECT_EQ(NumberText::shortestFloat(1e17f), "1e+17");
}

TEST(NumberText, FixedAndParseIgnoreTheProcessLocale) {
  LocaleGuard german("de_DE.UTF-8");
  EXPECT_EQ(NumberText::fixed(0.12, 4), "0.1200");
  EXPECT_EQ(NumberText::fixed(0.5, 5), "0.50000");
  EXPECT_EQ(NumberText::fixed(-0.00004, 4), "-0.0000");
  EXPECT_EQ(NumberText::shortest(2.5), "2.5");
  EXPECT_EQ(NumberText::parseDouble("2.5"), 2.5);
  EXPECT_EQ(NumberText::parseDouble("2,5"), std::nullopt);
  EXPECT_EQ(NumberText::parseDouble("2.5x"), std::nullopt);
}

}  // namespace
