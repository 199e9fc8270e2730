// The one-power form of the exposure step agrees with the two-power definition.
#include "Finishing/ExposureStep.h"

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport/Exposure.h"

namespace {

TEST(ExposureStep, RowFormMatchesTheDefinition) {
  std::vector<float> values, stops;
  for (int i = -20; i <= 1020; ++i) values.push_back(static_cast<float>(i) / 1000.0f);
  for (int s = -30; s <= 30; s += 3) stops.push_back(static_cast<float>(s) / 10.0f);
  stops.push_back(0.013f);

  for (float s : stops) {
    std::vector<float> rgb;
    for (float v : values) rgb.insert(rgb.end(), {v, v, v});
    std::vector<float> change(values.size(), s), scratch(values.size());
    change[5] = ExposureStep::untouched;
    ExposureStep::applyRow(rgb.data(), change.data(), static_cast<int64_t>(values.size()),
                           scratch.data());
    EXPECT_EQ(rgb[15], values[5]);  // marked untouched, even below 0
    for (size_t i = 0; i < values.size(); ++i) {
      if (i == 5) continue;
      const float expected = exposedByDefinition(values[i], s);
      ASSERT_NEAR(rgb[i * 3], expected, 2e-7f + 4e-7f * expected) << values[i] << " " << s;
      ASSERT_LE(rgb[i * 3 + 2], 1.0f);
      ASSERT_GE(rgb[i * 3 + 1], 0.0f);
    }
  }
}

}  // namespace
