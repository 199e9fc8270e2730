// The process-wide supply of large planes: reuse, zeros where asked, the bound, trimming when
// idle, and renders that come out the same whether their planes are fresh or reused.
#include "Support/PlanePool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <thread>

#include "Driver/Converter.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

using namespace std::chrono_literals;

constexpr size_t kMiB = size_t{1} << 20;
constexpr size_t kFloatsPerMiB = kMiB / sizeof(float);

// Each test starts with an empty pool and leaves the default limits behind.
class PlanePoolTest : public ::testing::Test {
 protected:
  void SetUp() override { PlanePool::trim(); }
  void TearDown() override {
    PlanePool::setLimits(saved_);
    PlanePool::trim();
  }

 private:
  PlanePool::Limits saved_ = PlanePool::limits();
};

std::vector<float> filled(size_t count, float value) { return std::vector<float>(count, value); }

TEST_F(PlanePoolTest, ReusesGivenPlanesAndZeroesWhereAsked) {
  const size_t count = 3 * PlanePool::kPooledMinimum;
  std::vector<float> first = filled(count, 7.0f);
  const float* memory = first.data();
  PlanePool::give(std::move(first));
  std::vector<float> taken = PlanePool::take(count - 100);  // fits: the same memory comes back
  EXPECT_EQ(taken.data(), memory);
  EXPECT_EQ(taken.size(), count - 100);

  PlanePool::give(std::move(taken));
  const std::vector<float> zeros = PlanePool::takeZeroed(count);
  EXPECT_EQ(zeros.data(), memory);
  EXPECT_TRUE(std::all_of(zeros.begin(), zeros.end(), [](float v) { return v == 0.0f; }));

  // A plane more than twice the size asked for is not handed out for a small request.
  std::vector<float> big = filled(count * 4, 1.0f);
  const float* bigMemory = big.data();
  PlanePool::give(std::move(big));
  EXPECT_NE(PlanePool::take(count).data(), bigMemory);

  // New memory is zeros as well, however it was first written.
  const std::vector<float> fresh = PlanePool::take(count);
  EXPECT_TRUE(std::all_of(fresh.begin(), fresh.end(), [](float v) { return v == 0.0f; }));
}

TEST_F(PlanePoolTest, KeepsTheLargestPlanesThatFitTheBound) {
  PlanePool::setLimits({6 * kMiB, 10min});
  std::vector<float> one = filled(1 * kFloatsPerMiB, 1);
  std::vector<float> two = filled(2 * kFloatsPerMiB, 2);
  std::vector<float> four = filled(4 * kFloatsPerMiB, 4);
  const float* fourMemory = four.data();
  PlanePool::give(std::move(one));
  PlanePool::give(std::move(two));
  EXPECT_EQ(PlanePool::heldBytes(), 3 * kMiB);
  PlanePool::give(std::move(four));  // 7 MiB given: the 1 MiB plane goes
  EXPECT_EQ(PlanePool::heldBytes(), 6 * kMiB);
  PlanePool::give(filled(8 * kFloatsPerMiB, 8));  // larger than the bound: never held
  EXPECT_EQ(PlanePool::heldBytes(), 6 * kMiB);
  PlanePool::give(filled(PlanePool::kPooledMinimum - 1, 0));  // small: never held
  EXPECT_EQ(PlanePool::heldBytes(), 6 * kMiB);

  // A lower bound frees planes at once, keeping what still fits.
  PlanePool::setLimits({5 * kMiB, 10min});
  EXPECT_EQ(PlanePool::heldBytes(), 4 * kMiB);
  EXPECT_EQ(PlanePool::take(4 * kFloatsPerMiB).data(), fourMemory);
  EXPECT_EQ(PlanePool::heldBytes(), 0u);

  // A request the pool cannot serve frees the smaller planes before new memory is taken, and
  // keeps the larger ones.
  PlanePool::give(filled(1 * kFloatsPerMiB, 1));
  PlanePool::give(filled(4 * kFloatsPerMiB, 4));
  EXPECT_EQ(PlanePool::take(3 * kFloatsPerMiB / 2).size(), 3 * kFloatsPerMiB / 2);
  EXPECT_EQ(PlanePool::heldBytes(), 4 * kMiB);
}

double residentMiB() {
  std::ifstream statm("/proc/self/statm");
  double size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / kMiB;
}

TEST_F(PlanePoolTest, GivesMemoryBackWhenIdle) {
  PlanePool::setLimits({512 * kMiB, 10min});
  PlanePool::give(filled(64 * kFloatsPerMiB, 1));
  EXPECT_EQ(PlanePool::heldBytes(), 64 * kMiB);
  const double resident = residentMiB();
  PlanePool::trim();
  EXPECT_EQ(PlanePool::heldBytes(), 0u);
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer keeps freed memory in quarantine
  EXPECT_LT(residentMiB(), resident - 48);
#else
  (void)resident;
#endif

  // With a short idle period the pool empties itself; not before the period is over.
  PlanePool::setLimits({512 * kMiB, 10min});
  PlanePool::give(filled(4 * kFloatsPerMiB, 1));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(PlanePool::heldBytes(), 4 * kMiB);
  PlanePool::setLimits({512 * kMiB, 50ms});
  for (int i = 0; i < 500 && PlanePool::heldBytes() > 0; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(PlanePool::heldBytes(), 0u);
}

// Renders whose planes all come back from the pool full of NaN match renders on fresh memory
// bit for bit: no stage may rely on memory it did not write.
TEST_F(PlanePoolTest, RendersOnReusedPlanesMatchRendersOnFreshOnes) {
  PlanePool::setLimits({512 * kMiB, 10min});
  TempDir dir;
  ScanFixtures::Negative negative;
  const auto path = dir / "negative.dng";
  ScanFixtures::writeNegativeDng(path, negative);

  struct Case {
    const char* name;
    double scale;
    void (*edit)(ConversionSettings&);
  };
  const Case cases[] = {
      {"default record, full size", 1.0, [](ConversionSettings&) {}},
      {"half size, turned, straightened, tone controls, white border", 0.5,
       [](ConversionSettings& s) {
         s.rotationQuarterTurns = 1;
         s.skewDegrees = 3;
         s.shadows = 40;
         s.clarity = 30;
         s.vignetteAmount = -30;
         s.border = BorderStyle::white;
         s.borderSize = 8;
       }},
      {"cropped, mirrored, black border", 1.0,
       [](ConversionSettings& s) {
         s.mirrored = true;
         s.crop = NormRect{0.1, 0.15, 0.7, 0.6};
         s.border = BorderStyle::black;
         s.borderSize = 5;
       }},
  };
  const auto poisonPool = [] {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (size_t floats = PlanePool::kPooledMinimum; floats <= 8 * kFloatsPerMiB; floats *= 2)
      for (int copy = 0; copy < 3; ++copy) {
        PlanePool::give(filled(floats, nan));
        PlanePool::give(filled(floats + floats / 2, nan));
      }
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConversionSettings settings;
    c.edit(settings);
    PlanePool::trim();
    const Converter::Result fresh = Converter::convert(path, settings, c.scale, 0.25);
    poisonPool();
    const Converter::Result reused = Converter::convert(path, settings, c.scale, 0.25);
    ASSERT_EQ(reused.print.width, fresh.print.width);
    ASSERT_EQ(reused.print.height, fresh.print.height);
    EXPECT_EQ(0, std::memcmp(reused.print.rgb.data(), fresh.print.rgb.data(),
                             fresh.print.rgb.size() * sizeof(float)));
    EXPECT_TRUE(std::none_of(reused.print.rgb.begin(), reused.print.rgb.end(),
                             [](float v) { return std::isnan(v); }));
  }
}

}  // namespace
