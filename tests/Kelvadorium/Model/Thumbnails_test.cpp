// Thumbnails: one worker renders the queue in order, one scan at a time; a refresh 0.6 s after
// the last change moves the scan to the front; removed scans are skipped; a failed render clears
// the thumbnail; items keep only the screen copy.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "Model/AppModel.h"
#include "Services/TaskHandle.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace fs = std::filesystem;

namespace {

class ThumbnailsTest : public ::testing::Test {
 protected:
  ThumbnailsTest() {
    // Every decode at the thumbnail renderer's size is noted, and may be made to fail; the
    // other renderers decode these scans at full size.
    services.renderBackend.decode = [this](const fs::path& url, const ConversionSettings& settings,
                                           double scale) {
      if (scale < 1) {
        std::lock_guard lock(mutex);
        decoded.push_back(url.filename().string());
        if (failing == url.filename().string()) throw DecodeError::unreadable(url.filename());
      }
      return RenderCache::libraryBackend().decode(url, settings, scale);
    };
    model = std::make_unique<AppModel>(services.services());
  }
  ~ThumbnailsTest() override {
    model->thumbRenderer().release();
    VirtualClock::settle();
    model.reset();
  }

  std::vector<Uuid> add(const std::vector<std::string>& names) {
    fs::create_directories(dir / "roll");
    ScanFixtures::Tiff tiff;
    tiff.width = 640;
    tiff.height = 480;
    for (const auto& name : names) ScanFixtures::writeTiff(dir / "roll" / name, tiff);
    model->addScans({dir / "roll"});
    // The first scan added is selected; the thumbnails wait for its first picture.
    services.clock.advance(seconds(0.1));
    std::vector<Uuid> ids;
    for (const ImageItem& item : model->items()) ids.push_back(item.id);
    return ids;
  }

  std::vector<std::string> decodes() {
    std::lock_guard lock(mutex);
    return decoded;
  }

  const ImageItem& item(const Uuid& id) const {
    for (const ImageItem& i : model->items()) {
      if (i.id == id) return i;
    }
    throw std::logic_error("no such scan");
  }

  std::vector<Uuid> queue() const { return model->plain().thumbQueue; }

  TempDir dir;
  TestServices services;
  std::unique_ptr<AppModel> model;
  std::mutex mutex;
  std::vector<std::string> decoded;
  std::string failing;
};

TEST_F(ThumbnailsTest, RenderedInListOrderAndKeptAsTheScreenCopyOnly) {
  model->thumbRenderer().hold();
  const auto ids = add({"f10.tif", "f2.tif", "f1.tif"});
  ASSERT_TRUE(model->plain().thumbTask);
  model->thumbRenderer().release();
  VirtualClock::settle();
  EXPECT_EQ(decodes(), (std::vector<std::string>{"f1.tif", "f2.tif", "f10.tif"}));
  for (const Uuid& id : ids) {
    const auto& thumbnail = item(id).thumbnail;
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->screen.size(), QSize(320, 240));
    EXPECT_TRUE(thumbnail->image.samples.empty());
    // Shown at once as the preview, it still tells its size.
    EXPECT_EQ(thumbnail->width(), 320);
    EXPECT_EQ(thumbnail->height(), 240);
  }
  EXPECT_FALSE(model->plain().thumbTask);
  EXPECT_TRUE(queue().empty());
  EXPECT_EQ(model->thumbRenderer().counts().conversions, 3);
}

// While the worker renders, new scans and a second start join the same worker.
TEST_F(ThumbnailsTest, OneWorkerTakesWhatIsQueuedMeanwhile) {
  model->thumbRenderer().hold();
  add({"a.tif", "b.tif"});
  const TaskHandle worker = model->plain().thumbTask;
  ASSERT_TRUE(worker);
  add({"c.tif"});
  model->startThumbnails();
  EXPECT_EQ(model->plain().thumbTask, worker);
  model->thumbRenderer().release();
  VirtualClock::settle();
  EXPECT_TRUE(worker.isFinished());
  EXPECT_FALSE(model->plain().thumbTask);
  for (const ImageItem& i : model->items()) EXPECT_TRUE(i.thumbnail) << i.url;
  // Queued after the worker ended: a new worker starts.
  model->plain().thumbQueue.push_back(model->items()[0].id);
  model->startThumbnails();
  EXPECT_TRUE(model->plain().thumbTask);
  VirtualClock::settle();
  EXPECT_FALSE(model->plain().thumbTask);
  // Starting with nothing queued leaves no worker behind.
  model->startThumbnails();
  EXPECT_FALSE(model->plain().thumbTask);
}

// A held renderer keeps "a" in work and the rest queued: a refresh of a waiting scan moves it to
// the front 0.6 s after its last change; a refresh of the scan in work queues it again.
TEST_F(ThumbnailsTest, ARefreshMovesTheScanToTheFront) {
  model->thumbRenderer().hold();
  const auto ids = add({"a.tif", "b.tif", "c.tif", "d.tif"});
  ASSERT_EQ(queue(), (std::vector<Uuid>{ids[1], ids[2], ids[3]}));

  // Five changes 0.5 s apart: one refresh, 0.6 s after the fifth.
  for (int i = 0; i < 5; ++i) {
    model->refreshThumbnail(ids[2]);
    services.clock.advance(seconds(0.5));
    EXPECT_EQ(queue(), (std::vector<Uuid>{ids[1], ids[2], ids[3]})) << i;
  }
  services.clock.advance(seconds(0.1));
  EXPECT_EQ(queue(), (std::vector<Uuid>{ids[2], ids[1], ids[3]}));
  EXPECT_EQ(model->plain().thumbRefreshTasks.size(), 1u);

  model->refreshThumbnail(ids[0]);
  services.clock.advance(seconds(0.6));
  EXPECT_EQ(queue(), (std::vector<Uuid>{ids[0], ids[2], ids[1], ids[3]}));

  model->thumbRenderer().release();
  VirtualClock::settle();
  EXPECT_EQ(model->thumbRenderer().counts().conversions, 5);  // "a" twice
  EXPECT_EQ(decodes(), (std::vector<std::string>{"a.tif", "c.tif", "b.tif", "d.tif"}));
}

TEST_F(ThumbnailsTest, RemovedScansAreSkippedOrTheirResultDropped) {
  model->thumbRenderer().hold();
  const auto ids = add({"a.tif", "b.tif", "c.tif"});
  model->removeItems({ids[0], ids[1]});  // "a" is in work, "b" waits
  model->thumbRenderer().release();
  services.clock.advance(seconds(0.1));  // "c", selected now, is shown first
  EXPECT_EQ(decodes(), (std::vector<std::string>{"a.tif", "c.tif"}));
  ASSERT_EQ(model->items().size(), 1u);
  EXPECT_TRUE(model->items()[0].thumbnail);
  EXPECT_FALSE(model->plain().thumbTask);
}

TEST_F(ThumbnailsTest, AFailedRenderClearsTheThumbnail) {
  const auto ids = add({"a.tif", "b.tif"});
  VirtualClock::settle();
  ASSERT_TRUE(item(ids[0]).thumbnail);
  failing = "a.tif";
  auto forget = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    co_await model->thumbRenderer().invalidate(dir / "roll" / "a.tif");
  });
  model->refreshThumbnail(ids[0]);
  services.clock.advance(seconds(0.6));
  VirtualClock::settle();
  EXPECT_FALSE(item(ids[0]).thumbnail);
  EXPECT_TRUE(item(ids[1]).thumbnail);
}

// The model goes while the worker waits for its renderer and a refresh is pending: nothing of
// either runs afterwards (clean under ASan).
TEST_F(ThumbnailsTest, TheModelGoesWhileThumbnailsAreInWork) {
  model->thumbRenderer().hold();
  const auto ids = add({"a.tif", "b.tif"});
  model->refreshThumbnail(ids[1]);
  model.reset();
  services.clock.advance(seconds(1));
  VirtualClock::settle();
  EXPECT_EQ(services.clock.pendingWaits(), 0u);
  model = std::make_unique<AppModel>(services.services());
}

}  // namespace
