// Numbers written with printf patterns against glibc's snprintf in the C locale: every pattern
// the windows use, with the values where printf's rounding and signs are easy to get wrong
// (halves, negative zero, values that round to zero), and a few flag, width and conversion
// forms; and the same text after the process locale has switched to decimal commas.
#include "ViewKit/PrintfText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "TestSupport/LocaleGuard.h"

namespace {

const char* const onePatterns[] = {
    "%+.0f",  "%+.2f", "%+.2f°", "%+.2f EV", "%.0f",   "%.0f%%", "%.1f%%",  "%.1f×", "%.2f",
    "%.2f%%", "%.1f",  "%8.3f",  "%-8.1f|",  "%08.2f", "% .1f",  "%+08.1f", "%#.0f", "%e",
    "%.3E",   "%g",    "%.3g",   "%G",       "%.0e",   "%10.4g", "%f",      "%F",
};

const double values[] = {
    0,
    -0.0,
    0.4,
    -0.4,
    0.5,
    -0.5,
    1.5,
    2.5,
    -2.5,
    0.125,
    0.375,
    0.005,
    0.015,
    0.045,
    0.15,
    0.0015 * 100,
    99.995,
    1.005,
    -0.004,
    1e-7,
    123456.789,
    -987654.321,
    1e300,
    -1e-300,
    5e-324,
    0.1 + 0.2,
    2.7,
    -100.4,
    0.123456789,
    100.0000001,
    1e16,
    4503599627370497.0,
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN(),
};

const char* const twoPatterns[] = {"Shadows %.1f%% · Highlights %.1f%%", "%.2f – %.2f",
                                   "%.2f–%.2f"};

const char* const wholePatterns[] = {
    "%lld", "Export %lld Scans…", "%5lld", "%-5lld|", "%.3lld", "%+lld", "%05lld", "%.0lld"};
const long long wholes[] = {0,
                            1,
                            -1,
                            42,
                            -42,
                            12345678901LL,
                            std::numeric_limits<long long>::min(),
                            std::numeric_limits<long long>::max()};

template <class... Values>
std::string cFormat(const char* pattern, Values... values) {
  std::string text(static_cast<size_t>(std::snprintf(nullptr, 0, pattern, values...)), '\0');
  std::snprintf(text.data(), text.size() + 1, pattern, values...);
  return text;
}

// Every case's text as snprintf writes it in the C locale, with the formatter's own answer.
void checkAll(const char* where) {
  for (const char* pattern : onePatterns) {
    for (double value : values) {
      std::string expected;
      {
        LocaleGuard c("C");
        expected = cFormat(pattern, value);
      }
      EXPECT_EQ(PrintfText::formatUtf8(pattern, {value}), expected)
          << where << ": " << pattern << " of " << value;
    }
  }
  for (const char* pattern : twoPatterns) {
    for (double a : values) {
      const double b = -a / 3;
      std::string expected;
      {
        LocaleGuard c("C");
        expected = cFormat(pattern, a, b);
      }
      EXPECT_EQ(PrintfText::formatUtf8(pattern, {a, b}), expected)
          << where << ": " << pattern << " of " << a << ", " << b;
    }
  }
  for (const char* pattern : wholePatterns) {
    for (long long value : wholes) {
      std::string expected;
      {
        LocaleGuard c("C");
        expected = cFormat(pattern, value);
      }
      EXPECT_EQ(PrintfText::formatUtf8(pattern, {value}), expected)
          << where << ": " << pattern << " of " << value;
    }
  }
}

TEST(PrintfText, WritesWhatCLocalePrintfWrites) { checkAll("C locale"); }

TEST(PrintfText, IgnoresTheProcessLocale) {
  LocaleGuard german("de_DE.UTF-8");
  // The locale is in force: printf itself writes a decimal comma now.
  EXPECT_EQ(cFormat("%.1f", 0.5), "0,5");
  checkAll("de_DE.UTF-8");
}

TEST(PrintfText, ReadsTheSignOfNegativeZeroAndOfValuesRoundingToIt) {
  EXPECT_EQ(PrintfText::format("%+.0f", -0.4), "-0");
  EXPECT_EQ(PrintfText::format("%+.0f", 0.4), "+0");
  EXPECT_EQ(PrintfText::format("%+.2f", -0.0), "-0.00");
}

TEST(PrintfText, LeavesWhatIsNoConversionAsItStands) {
  struct Case {
    const char* pattern;
    std::vector<PrintfText::Argument> arguments;
    const char* text;
  };
  const Case cases[] = {
      {"100%", {}, "100%"},                  // a '%' at the end
      {"50% off", {1.0}, "50% off"},         // '%' before a letter that converts nothing
      {"%.1f and %.1f", {1.0}, "1.0 and "},  // a conversion without its argument
      {"%.0f", {1.0, 2.0}, "1"},             // an argument too many
      {"%d items", {2.9}, "2 items"},        // a double where a whole number goes
      {"%.1f", {7LL}, "7.0"},                // a whole number where a double goes
      {"%lld", {std::numeric_limits<double>::quiet_NaN()}, "0"},
      {"%lld", {1e300}, "9223372036854775807"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrintfText::formatUtf8(c.pattern, c.arguments), c.text) << c.pattern;
  }
}

}  // namespace
