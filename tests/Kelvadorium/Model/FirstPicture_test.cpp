// A newly selected scan's first picture is made before the background decodes of the same moment:
// the warm-up on the quick passes' renderer and the thumbnails wait until it is shown (or its
// pass fails, or nothing is selected any more), then all of them run, none dropped. In fast
// mode the warm-up shares the loop's own renderer and is never held.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "Model/AppModel.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace fs = std::filesystem;

namespace {

// Wider than every renderer's long edge, so each renderer decodes at a scale of its own and the
// log tells them apart.
constexpr int64_t kWidth = 2448;
constexpr double kPreviewScale = 2400.0 / kWidth;
constexpr double kFastScale = 1200.0 / kWidth;
constexpr double kLightScale = 1600.0 / kWidth;
constexpr double kThumbScale = 320.0 / kWidth;

struct Decode {
  std::string file;
  double scale;
  friend bool operator==(const Decode& a, const Decode& b) {
    return a.file == b.file && std::abs(a.scale - b.scale) < 1e-6;
  }
  friend bool operator<(const Decode& a, const Decode& b) {
    return std::tie(a.file, a.scale) < std::tie(b.file, b.scale);
  }
  friend std::ostream& operator<<(std::ostream& out, const Decode& d) {
    return out << d.file << "@" << d.scale;
  }
};

// Scans added as the program adds them (so their thumbnails are queued and the first is
// selected), every decode logged in the order the renderers begin them.
class FirstPicture {
 public:
  explicit FirstPicture(PreviewMode mode) {
    services.renderBackend.decode = [this](const fs::path& url, const ConversionSettings& settings,
                                           double scale) {
      {
        std::lock_guard lock(mutex_);
        log_.push_back({url.filename().string(), scale});
        if (url.filename() == failing) throw DecodeError::unreadable(url.filename());
      }
      return RenderCache::libraryBackend().decode(url, settings, scale);
    };
    services.writeSettingsFile(QString("[General]\npreviewMode=%1\naskFilmType=false\n")
                                   .arg(QString::fromStdString(toString(mode))));
    model = std::make_unique<AppModel>(services.services());
  }
  ~FirstPicture() {
    model->previewRenderer().release();
    model->lightRenderer().release();
    VirtualClock::settle();
    model.reset();
  }

  void add(const std::vector<std::string>& names) {
    std::vector<fs::path> files;
    for (const std::string& name : names) {
      ScanFixtures::Negative negative;
      negative.width = kWidth;
      negative.height = 96;
      files.push_back(dir / name);
      ScanFixtures::writeNegativeTiff(files.back(), negative);
    }
    model->addScans(files);
  }
  const Uuid& id(size_t i) const { return model->items()[i].id; }
  std::vector<Decode> log() {
    std::lock_guard lock(mutex_);
    return log_;
  }
  // The log from `from` on, in a fixed order: work of different renderers runs side by side.
  std::vector<Decode> sortedFrom(size_t from) {
    std::vector<Decode> rest = log();
    rest.erase(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(from));
    std::sort(rest.begin(), rest.end());
    return rest;
  }
  VirtualClock& clock() { return services.clock; }

  TempDir dir;
  TestServices services;
  std::unique_ptr<AppModel> model;
  fs::path failing;  // a file name whose decodes fail, on every renderer

 private:
  std::mutex mutex_;
  std::vector<Decode> log_;
};

std::vector<Decode> sorted(std::vector<Decode> decodes) {
  std::sort(decodes.begin(), decodes.end());
  return decodes;
}

// The loop's renderer is held while its first pass is in work: nothing else decodes (in fast
// mode the warm-up waits in that renderer's own queue); once the picture is published, the
// warm-up and every thumbnail follow.
TEST(FirstPictureTest, BackgroundDecodesWaitForIt) {
  struct Case {
    PreviewMode mode;
    double passScale;
    std::vector<Decode> after;  // the pass's decode first, then these side by side
  };
  const std::vector<Case> cases = {
      {PreviewMode::hybrid,
       kPreviewScale,
       {{"a.tif", kFastScale}, {"a.tif", kThumbScale}, {"b.tif", kThumbScale}}},
      {PreviewMode::full,
       kPreviewScale,
       {{"a.tif", kFastScale}, {"a.tif", kThumbScale}, {"b.tif", kThumbScale}}},
      // One decode on the light renderer serves the warm-up and the pass, whichever comes second.
      {PreviewMode::fast, kLightScale, {{"a.tif", kThumbScale}, {"b.tif", kThumbScale}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toString(c.mode));
    FirstPicture f(c.mode);
    Renderer& loop =
        c.mode == PreviewMode::fast ? f.model->lightRenderer() : f.model->previewRenderer();
    loop.hold();
    f.add({"a.tif", "b.tif"});
    ASSERT_EQ(f.model->selection(), f.id(0));
    f.clock().advance(seconds(0.1));  // past the browse debounce: the pass waits on its renderer
    VirtualClock::settle();
    EXPECT_TRUE(f.log().empty());
    EXPECT_FALSE(f.model->plain().thumbTask);
    EXPECT_EQ(f.model->plain().thumbQueue.size(), 2u);
    EXPECT_EQ(f.model->plain().heldWarmUps.size(), c.mode == PreviewMode::fast ? 0u : 1u);

    loop.release();
    VirtualClock::settle();
    EXPECT_EQ(f.model->plain().previewImageID, f.id(0));
    const std::vector<Decode> log = f.log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), (Decode{"a.tif", c.passScale}));
    EXPECT_EQ(f.sortedFrom(1), sorted(c.after));
    EXPECT_TRUE(f.model->plain().heldWarmUps.empty());
    EXPECT_TRUE(f.model->plain().thumbQueue.empty());
    for (const ImageItem& item : f.model->items()) EXPECT_TRUE(item.thumbnail) << item.url;
  }
}

// Browsing on while the first picture is made: a pass whose scan is left behind is dropped and
// the decodes go on waiting, for the picture of the scan reached; then every scan passed gets
// its warm-up. The scan already shown is selected without waiting for anything.
TEST(FirstPictureTest, BrowsingOnKeepsThemWaitingForTheScanReached) {
  FirstPicture f(PreviewMode::hybrid);
  f.model->previewRenderer().hold();
  f.add({"a.tif", "b.tif", "c.tif"});
  f.clock().advance(seconds(0.1));  // a's pass waits on the held renderer
  f.model->setSelection(f.id(1));
  f.model->setSelection(f.id(2));
  f.model->previewRenderer().release();
  VirtualClock::settle();  // a's pass comes back stale
  EXPECT_EQ(f.log(), (std::vector<Decode>{{"a.tif", kPreviewScale}}));
  EXPECT_EQ(f.model->plain().heldWarmUps.size(), 3u);

  f.clock().advance(seconds(0.1));
  EXPECT_EQ(f.model->plain().previewImageID, f.id(2));
  const std::vector<Decode> log = f.log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[1], (Decode{"c.tif", kPreviewScale}));
  EXPECT_EQ(f.sortedFrom(2), sorted({{"a.tif", kFastScale},
                                     {"b.tif", kFastScale},
                                     {"c.tif", kFastScale},
                                     {"a.tif", kThumbScale},
                                     {"b.tif", kThumbScale},
                                     {"c.tif", kThumbScale}}));

  // Stepping away and back to the scan shown: the warm-up of the scan between is held, the
  // shown one's is not. All three proxies are cached on the fast renderer: nothing decodes.
  f.clock().advance(seconds(1));
  const size_t before = f.log().size();
  f.model->setSelection(f.id(1));
  f.model->setSelection(f.id(2));
  EXPECT_EQ(f.model->plain().heldWarmUps.size(), 1u);
  f.clock().advance(seconds(0.1));
  EXPECT_TRUE(f.model->plain().heldWarmUps.empty());
  EXPECT_EQ(f.log().size(), before);
}

// The wait also ends when the selected scan's pass fails (the warm-up and the thumbnail then
// fail silently) and when the last scan goes; a held warm-up of a scan removed meanwhile still
// runs.
TEST(FirstPictureTest, AFailedPassOrAnEmptyListEndsTheWait) {
  {
    SCOPED_TRACE("the pass fails");
    FirstPicture f(PreviewMode::hybrid);
    f.failing = "a.tif";
    f.model->previewRenderer().hold();
    f.add({"a.tif"});
    f.clock().advance(seconds(0.1));
    EXPECT_TRUE(f.log().empty());
    f.model->previewRenderer().release();
    VirtualClock::settle();
    EXPECT_FALSE(f.model->isRendering());
    EXPECT_EQ(f.model->errorMessage(),
              QString::fromStdString("Could not open a.tif: " +
                                     std::string(DecodeError::unreadable("a.tif").what())));
    const std::vector<Decode> log = f.log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), (Decode{"a.tif", kPreviewScale}));
    // The early decode, queued behind the pass, fails once more.
    EXPECT_EQ(f.sortedFrom(1),
              sorted({{"a.tif", kPreviewScale}, {"a.tif", kFastScale}, {"a.tif", kThumbScale}}));
    EXPECT_FALSE(f.model->items()[0].thumbnail);
  }
  {
    SCOPED_TRACE("the scans are removed");
    FirstPicture f(PreviewMode::hybrid);
    f.add({"a.tif"});
    EXPECT_EQ(f.model->plain().heldWarmUps.size(), 1u);
    f.model->removeItems({f.id(0)});
    EXPECT_TRUE(f.model->plain().heldWarmUps.empty());
    VirtualClock::settle();
    EXPECT_FALSE(f.model->isRendering());
    EXPECT_EQ(f.sortedFrom(0), sorted({{"a.tif", kPreviewScale}, {"a.tif", kFastScale}}));
  }
}

// Before the session's first picture the browse debounce would leave the processors idle, so the
// loop's renderer decodes the scan at once and its pass finds the proxy cached. Once a picture
// has been shown, a newly selected scan is decoded only by its pass, after the debounce.
TEST(FirstPictureTest, TheFirstScanIsDecodedDuringTheDebounce) {
  for (PreviewMode mode : {PreviewMode::hybrid, PreviewMode::full}) {
    SCOPED_TRACE(toString(mode));
    FirstPicture f(mode);
    f.add({"a.tif", "b.tif", "c.tif"});
    VirtualClock::settle();
    EXPECT_EQ(f.log(), (std::vector<Decode>{{"a.tif", kPreviewScale}}));
    EXPECT_FALSE(f.model->plain().previewImageID);

    f.clock().advance(seconds(0.1));
    EXPECT_EQ(f.model->plain().previewImageID, f.id(0));
    const std::vector<Decode> shown = f.log();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), Decode{"a.tif", kPreviewScale}), 1);

    // c, not the neighbour the prefetch measures.
    f.clock().advance(seconds(1));
    const size_t before = f.log().size();
    f.model->setSelection(f.id(2));
    VirtualClock::settle();
    EXPECT_EQ(f.log().size(), before);
    f.clock().advance(seconds(0.1));
    EXPECT_EQ(f.model->plain().previewImageID, f.id(2));
    EXPECT_EQ(f.log().at(before), (Decode{"c.tif", kPreviewScale}));
  }
}

}  // namespace
