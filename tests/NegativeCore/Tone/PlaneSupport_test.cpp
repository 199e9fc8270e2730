// The supply of large planes: reuse through the pool, and zeros where asked.
#include "Tone/PlaneSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace Adjustments;

TEST(PlaneSupport, ReusesGivenPlanesAndZeroesNewOnes) {
  const size_t count = 3 << 18;
  std::vector<float> first(count, 7.0f);
  const float* memory = first.data();
  givePlane(std::move(first));
  std::vector<float> taken = takePlane(count - 100);  // fits: the same memory comes back
  EXPECT_EQ(taken.data(), memory);
  EXPECT_EQ(taken.size(), count - 100);

  givePlane(std::move(taken));
  const std::vector<float> zeros = newPlane(count);
  EXPECT_EQ(zeros.data(), memory);
  EXPECT_TRUE(std::all_of(zeros.begin(), zeros.end(), [](float v) { return v == 0.0f; }));

  // A plane more than twice the size asked for is not handed out for a small request.
  std::vector<float> big(count * 4, 1.0f);
  const float* bigMemory = big.data();
  givePlane(std::move(big));
  EXPECT_NE(takePlane(count).data(), bigMemory);
}

}  // namespace
