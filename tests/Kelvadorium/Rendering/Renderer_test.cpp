// The renderer as the GUI thread sees it: results and errors as values on the GUI thread, two
// priorities, renderers overlapping while each stays serial, and destruction mid-job.
#include "Rendering/Renderer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "Services/TaskHandle.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/VirtualClock.h"

namespace {

class RendererTest : public ::testing::Test {
 protected:
  std::filesystem::path scan(const std::string& name) {
    const auto path = dir / name;
    ScanFixtures::writeTiff(path, {});
    return path;
  }

  TempDir dir;
};

TEST_F(RendererTest, ResultsAndErrorsArriveOnTheGuiThreadAsValues) {
  const auto good = scan("good.tif");
  const auto bad = dir / "bad.tif";
  std::ofstream(bad) << "no picture";
  Renderer renderer(2400, 4);
  // Records live outside the coroutines: GCC 12 mishandles temporaries holding arrays in them.
  const ConversionSettings defaults;
  std::vector<std::string> seen;
  auto task = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    auto proxy = co_await renderer.proxy(good, defaults);
    seen.push_back(proxy.ok() ? "proxy " + std::to_string(proxy.value().width()) : std::string());
    seen.push_back(QThread::currentThread() == QCoreApplication::instance()->thread()
                       ? std::string("on the GUI thread")
                       : std::string());
    auto failed = co_await renderer.analysis(bad, defaults);
    seen.push_back(failed.decodeError() ? "decode error: " + failed.errorText() : std::string());
    auto thrown = co_await renderer.perform(
        [](RenderCache&) -> int { throw RenderError::encode(); }, RenderPriority::low);
    seen.push_back(thrown.renderError() ? std::string("render error") : std::string());
    auto image = co_await renderer.render(good, defaults, true);
    seen.push_back(image.ok() ? "image " + std::to_string(image.value().screen.width())
                              : std::string());
  });
  EXPECT_FALSE(task.isFinished());
  VirtualClock::settle();
  ASSERT_TRUE(task.isFinished());
  EXPECT_EQ(seen, (std::vector<std::string>{"proxy 40", "on the GUI thread",
                                            "decode error: cannot read bad.tif", "render error",
                                            "image 40"}));
  EXPECT_EQ(renderer.counts().decodes, 1);
  EXPECT_EQ(renderer.counts().measurements, 1);
}

TEST_F(RendererTest, LowWorkNeverStartsWhileNormalWorkWaits) {
  Renderer renderer(2400, 4);
  std::vector<std::string> ran;  // written on the worker only, one job at a time
  const auto job = [&](std::string name) {
    return [&ran, name](RenderCache&) { ran.push_back(name); };
  };
  renderer.hold();
  auto low1 = renderer.perform(job("low 1"), RenderPriority::low);
  auto normal1 = renderer.perform(job("normal 1"));
  auto low2 = renderer.perform(job("low 2"), RenderPriority::low);
  auto normal2 = renderer.perform(job("normal 2"));
  VirtualClock::settle();
  EXPECT_TRUE(ran.empty());
  EXPECT_TRUE(renderer.isBusy());
  renderer.release();
  VirtualClock::settle();
  EXPECT_EQ(ran, (std::vector<std::string>{"normal 1", "normal 2", "low 1", "low 2"}));
  EXPECT_FALSE(renderer.isBusy());
}

// Two renderers work at the same time, but each runs one job at a time: the first job of each
// waits until the other's first job is running too, and no renderer ever has two jobs in flight.
TEST_F(RendererTest, TwoRenderersOverlapWhileEachStaysSerial) {
  Renderer first(2400, 4);
  Renderer second(1200, 4);
  std::mutex mutex;
  std::condition_variable changed;
  int running[2] = {0, 0};
  int mostAtOnce[2] = {0, 0};
  bool overlapped = false;
  int met = 0;
  const auto job = [&](int which, bool meet) {
    return [&, which, meet](RenderCache&) {
      std::unique_lock lock(mutex);
      mostAtOnce[which] = std::max(mostAtOnce[which], ++running[which]);
      changed.notify_all();
      if (meet) {
        ++met;
        changed.notify_all();
        overlapped = changed.wait_for(lock, std::chrono::seconds(10), [&] { return met == 2; });
      }
      --running[which];
    };
  };
  std::vector<Renderer::Call<Done>> calls;
  for (int i = 0; i < 3; ++i) {
    calls.push_back(first.perform(job(0, i == 0)));
    calls.push_back(second.perform(job(1, i == 0)));
  }
  VirtualClock::settle();
  EXPECT_TRUE(overlapped);
  EXPECT_EQ(mostAtOnce[0], 1);
  EXPECT_EQ(mostAtOnce[1], 1);
}

TEST_F(RendererTest, DestroyedMidJobDropsQueuedWorkAndResumesWaitersStopped) {
  const auto file = scan("a.tif");
  auto renderer = std::make_unique<Renderer>(2400, 4);
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;
  bool finish = false;
  bool laterRan = false;
  auto blocking = renderer->perform([&](RenderCache& cache) {
    cache.proxy(file, {});
    std::unique_lock lock(mutex);
    started = true;
    changed.notify_all();
    changed.wait(lock, [&] { return finish; });
  });
  std::vector<std::string> outcomes;
  const ConversionSettings defaults;
  auto waiting = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    auto proxy = co_await renderer->proxy(file, defaults);
    outcomes.push_back(proxy.stopped() ? std::string("stopped") : std::string("ran"));
  });
  auto later = renderer->perform([&](RenderCache&) { laterRan = true; });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return started; });
    // Held, the worker takes nothing more after the running job: the two behind it are still
    // queued when the renderer goes.
    renderer->hold();
    finish = true;
    changed.notify_all();
  }
  renderer.reset();
  EXPECT_TRUE(waiting.isFinished());
  EXPECT_EQ(outcomes, std::vector<std::string>{"stopped"});
  EXPECT_FALSE(laterRan);
  VirtualClock::settle();
  EXPECT_EQ(outcomes.size(), 1u);
}

}  // namespace
