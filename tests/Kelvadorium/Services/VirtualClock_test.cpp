// Time the tests drive: waits fire in time order with background work settled between them,
// cancelled waits end at once, and elapsed-time tests treat "no time" as long ago.
#include "Testing/VirtualClock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <string>
#include <vector>

#include "Rendering/Renderer.h"
#include "Services/SteadyClock.h"
#include "Services/TaskHandle.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

using std::chrono::milliseconds;

TEST(VirtualClock, FiresDueWaitsInTimeOrderAtTheirOwnTimes) {
  VirtualClock clock;
  const auto start = clock.now();
  std::vector<std::pair<std::string, Clock::Duration>> woke;
  std::vector<TaskHandle> tasks;
  for (const auto& [name, delay] : std::vector<std::pair<std::string, double>>{
           {"0.3", 0.3}, {"0.1 first", 0.1}, {"0.2", 0.2}, {"0.1 second", 0.1}}) {
    tasks.push_back(TaskHandle::start([&, name, delay](std::stop_token stop) -> QCoro::Task<> {
      co_await clock.sleep(seconds(delay), stop);
      woke.emplace_back(name, clock.now() - start);
    }));
  }
  clock.advance(seconds(0.25));
  using Woke = std::vector<std::pair<std::string, Clock::Duration>>;
  EXPECT_EQ(
      woke,
      (Woke{{"0.1 first", seconds(0.1)}, {"0.1 second", seconds(0.1)}, {"0.2", seconds(0.2)}}));
  EXPECT_EQ(clock.now() - start, seconds(0.25));
  EXPECT_EQ(clock.pendingWaits(), 1u);
  clock.advance(seconds(0.05));
  EXPECT_EQ(woke.back(), (std::pair<std::string, Clock::Duration>{"0.3", seconds(0.3)}));
}

// A coroutine woken at 0.1 s asks a renderer for a proxy; the one woken at 0.2 s already sees
// it, because the renderer's work and its delivery ran between the two wake-ups.
TEST(VirtualClock, LetsRendererWorkFinishBetweenWakeUps) {
  TempDir dir;
  ScanFixtures::writeTiff(dir / "a.tif", {});
  Renderer renderer(2400, 4);
  VirtualClock clock;
  const auto file = dir / "a.tif";
  const ConversionSettings defaults;
  std::vector<std::string> steps;
  auto first = TaskHandle::start([&](std::stop_token stop) -> QCoro::Task<> {
    co_await clock.sleep(seconds(0.1), stop);
    auto proxy = co_await renderer.proxy(file, defaults);
    steps.push_back(proxy.ok() ? std::string("proxy") : std::string("failed"));
    co_await clock.sleep(seconds(0.2), stop);
    steps.push_back("after 0.3");
  });
  auto second = TaskHandle::start([&](std::stop_token stop) -> QCoro::Task<> {
    co_await clock.sleep(seconds(0.2), stop);
    steps.push_back("at 0.2");
  });
  clock.advance(seconds(0.5));
  EXPECT_EQ(steps, (std::vector<std::string>{"proxy", "at 0.2", "after 0.3"}));
}

TEST(VirtualClock, ACancelledWaitEndsAtOnceAsFinished) {
  VirtualClock clock;
  const auto start = clock.now();
  std::vector<std::string> steps;
  auto task = TaskHandle::start([&](std::stop_token stop) -> QCoro::Task<> {
    co_await clock.sleep(seconds(10), stop);
    steps.push_back(stop.stop_requested() ? std::string("woke cancelled") : std::string("woke"));
    co_await clock.sleep(seconds(10), stop);
    steps.push_back("second wait did not wait");
  });
  EXPECT_EQ(clock.pendingWaits(), 1u);
  task.cancel();
  EXPECT_TRUE(task.isFinished());
  EXPECT_TRUE(task.isCancelled());
  EXPECT_EQ(clock.pendingWaits(), 0u);
  EXPECT_EQ(clock.now(), start);
  EXPECT_EQ(steps, (std::vector<std::string>{"woke cancelled", "second wait did not wait"}));
}

TEST(TaskHandle, KeepsItsIdentityWhenCancelledAndReportsTheEnd) {
  VirtualClock clock;
  TaskHandle empty;
  EXPECT_TRUE(empty.isFinished());
  EXPECT_EQ(empty.id(), 0u);
  auto worker = TaskHandle::start(
      [&](std::stop_token stop) -> QCoro::Task<> { co_await clock.sleep(seconds(1), stop); });
  auto other = TaskHandle::start([](std::stop_token) -> QCoro::Task<> { co_return; });
  EXPECT_NE(worker.id(), other.id());
  EXPECT_TRUE(other.isFinished());
  bool joined = false;
  auto joiner = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    co_await worker.finished();
    joined = true;
  });
  const TaskHandle kept = worker;
  clock.advance(seconds(0.5));
  EXPECT_FALSE(joined);
  worker.cancel();
  EXPECT_TRUE(joined);
  EXPECT_EQ(kept, worker);
  EXPECT_TRUE(kept.isCancelled());
  // A body that throws still ends its task.
  auto throwing = TaskHandle::start([](std::stop_token) -> QCoro::Task<> {
    throw std::runtime_error("boom");
    co_return;
  });
  EXPECT_TRUE(throwing.isFinished());
}

TEST(Clock, NoTimeIsLongerAgoThanAnyWindow) {
  VirtualClock clock;
  EXPECT_FALSE(clock.elapsedSince(std::nullopt));
  EXPECT_FALSE(clock.isWithin(std::nullopt, seconds(1e9)));
  const Clock::Moment now = clock.now();
  EXPECT_TRUE(clock.isWithin(now, seconds(0.7)));
  clock.advance(seconds(0.7));
  EXPECT_FALSE(clock.isWithin(now, seconds(0.7)));
  EXPECT_EQ(clock.elapsedSince(now), seconds(0.7));
}

// The real clock's wait ends by its timer (a zero wait: the next turn of the event loop, no real
// time spent), or at once when cancelled.
TEST(SteadyClock, WaitsOnTheEventLoopAndEndsAtOnceWhenCancelled) {
  SteadyClock clock;
  const auto start = clock.now();
  auto waiting = TaskHandle::start([&](std::stop_token stop) -> QCoro::Task<> {
    co_await clock.sleep(std::chrono::hours(1), stop);
  });
  EXPECT_FALSE(waiting.isFinished());
  waiting.cancel();
  EXPECT_TRUE(waiting.isFinished());
  EXPECT_LT(clock.now() - start, std::chrono::seconds(5));

  auto zero = TaskHandle::start([&](std::stop_token stop) -> QCoro::Task<> {
    co_await clock.sleep(Clock::Duration::zero(), stop);
  });
  EXPECT_FALSE(zero.isFinished());
  for (int turn = 0; turn < 100 && !zero.isFinished(); ++turn) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  EXPECT_TRUE(zero.isFinished());
}

}  // namespace
