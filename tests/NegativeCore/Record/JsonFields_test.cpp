// The shared field readers: the three whole-number rules differ on purpose (the edit record,
// the frame list and export options, sidecars and project files each keep their own), and a
// list conversion fails as a whole on one bad element.
#include "Record/JsonFields.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace JsonFields;

TEST(JsonFields, WholeNumberRulesKeepTheirDifferences) {
  const std::optional<int64_t> none;
  struct Case {
    Json value;
    std::optional<int64_t> asInt, written, within;
  };
  const Case cases[] = {
      {Json(7), 7, 7, 7},
      {Json(-7), -7, -7, -7},
      {Json(7.0), 7, none, 7},  // only the record and the files take a float that is whole
      {Json(7.5), none, none, none},
      {Json(uint64_t(INT64_MAX)), INT64_MAX, INT64_MAX, INT64_MAX},
      {Json(uint64_t(INT64_MAX) + 1), none, none, none},
      {Json(9.21e18), int64_t(9.21e18), none, none},  // beyond the files' ±9.2e18
      {Json(-9.2e18), int64_t(-9.2e18), none, int64_t(-9.2e18)},
      {Json(1e300), none, none, none},
      {Json("7"), none, none, none},
      {Json(true), none, none, none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.dump());
    EXPECT_EQ(asInt(c.value), c.asInt);
    EXPECT_EQ(asWrittenInt(c.value), c.written);
    EXPECT_EQ(wholeNumberWithin(9.2e18)(c.value), c.within);
  }
}

TEST(JsonFields, AListConvertsOnlyWhenEveryElementDoes) {
  const auto ints = listOf(asWrittenInt);
  EXPECT_EQ(ints(Json::parse("[1, 2, 3]")), (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(ints(Json::array()), std::vector<int64_t>{});
  EXPECT_FALSE(ints(Json::parse("[1, 2.0, 3]")));
  EXPECT_FALSE(ints(Json::parse("[1, null]")));
  EXPECT_FALSE(ints(Json::parse("{\"a\": 1}")));
  EXPECT_FALSE(asNumbers(Json::parse("[1, \"2\"]")));
}

TEST(JsonFields, AnyDoubleKeepsWhatAsDoubleRefuses) {
  const Json infinite = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(asDouble(infinite));
  EXPECT_EQ(asAnyDouble(infinite), std::numeric_limits<double>::infinity());
  EXPECT_FALSE(asAnyDouble(Json("0.5")));
}

}  // namespace
