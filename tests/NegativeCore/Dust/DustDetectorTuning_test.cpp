// The detector tuning: its defaults, the process-wide current value in a fresh process, and
// replacing and changing it from several threads at once. Tests that change the current value
// put the old one back when they end.
#include "Dust/DustDetectorTuning.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "TestSupport/ChildProcess.h"

namespace {

using DustDetector::Tuning;

// Every field against its default, written out rather than compared with Tuning{}.
bool hasTheDefaults(const Tuning& t) {
  return t.busyFound == 3 && t.busyBlobs == 6 && t.hairMargin == 0.45f && t.ringDark == 0.35f &&
         t.edgeStep == 0.9f && !t.straightHairs && t.useBusy && t.useRing && t.useEdge &&
         t.useHair && t.darkSpecks && t.preSmooth == 0 && t.hairFinder && t.hairK == 4.5f &&
         t.hairMinLength == 14.0 && t.hairLift == 0.004f && t.hairTexture == 2.5f && !t.hairFine;
}

// In a child process started below: report whether the untouched current value holds the
// defaults, then end the process.
const bool childReport = [] {
  if (!std::getenv("KV_TUNING_CHILD")) return false;
  std::_Exit(hasTheDefaults(DustDetector::tuning()) ? 0 : 1);
}();

class CurrentTuning : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = DustDetector::tuning(); }
  void TearDown() override { DustDetector::setTuning(saved_); }

 private:
  Tuning saved_;
};

TEST(Tuning, DefaultValueHoldsTheDefaults) { EXPECT_TRUE(hasTheDefaults(Tuning{})); }

TEST(Tuning, AFreshProcessStartsWithTheDefaults) {
  EXPECT_EQ(ChildProcess::run(ChildProcess::currentExecutable(), {"KV_TUNING_CHILD=1"}), 0);
}

TEST_F(CurrentTuning, SetReplacesTheValueWholeAndUpdateChangesSingleFields) {
  Tuning changed;
  changed.useBusy = false;
  changed.hairK = 3.0f;
  DustDetector::setTuning(changed);
  EXPECT_EQ(DustDetector::tuning(), changed);

  DustDetector::updateTuning([](Tuning& t) { t.preSmooth = 2; });
  Tuning expected = changed;
  expected.preSmooth = 2;
  EXPECT_EQ(DustDetector::tuning(), expected);
}

TEST_F(CurrentTuning, ConcurrentChangesAreAllKeptAndReadersSeeWholeValues) {
  DustDetector::updateTuning([](Tuning& t) {
    t.busyFound = 0;
    t.busyBlobs = 0;
  });
  constexpr int kWriters = 4;
  constexpr int kSteps = 2000;
  std::vector<std::thread> threads;
  for (int i = 0; i < kWriters; ++i)
    threads.emplace_back([] {
      for (int s = 0; s < kSteps; ++s)
        DustDetector::updateTuning([](Tuning& t) {
          ++t.busyFound;
          ++t.busyBlobs;
        });
    });
  bool torn = false;
  threads.emplace_back([&torn] {
    for (int s = 0; s < kSteps; ++s) {
      const Tuning t = DustDetector::tuning();
      if (t.busyFound != t.busyBlobs) torn = true;
    }
  });
  for (auto& t : threads) t.join();
  EXPECT_FALSE(torn);
  EXPECT_EQ(DustDetector::tuning().busyFound, kWriters * kSteps);
  EXPECT_EQ(DustDetector::tuning().busyBlobs, kWriters * kSteps);
}

}  // namespace
