// The renderer's dust search end to end on small generated dusty frames: which neighbouring
// frames are decoded at all, which are used, the scan's own decode error, and the classic finds
// when there is no dust model (in a copy of this executable without one).
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include "Driver/Converter.h"
#include "Driver/DustPasses.h"
#include "Dust/DustModel.h"
#include "Rendering/Renderer.h"
#include "Services/TaskHandle.h"
#include "TestSupport/ChildProcess.h"
#include "TestSupport/DustyScan.h"
#include "TestSupport/TempDir.h"
#include "Testing/VirtualClock.h"

namespace fs = std::filesystem;

namespace {

using Groups = std::vector<std::vector<Spot>>;

// The frames' size: the scan's proxy is the scan itself.
constexpr int64_t W = 1200, H = 800;

// Two specks at fixed places of the frame, given as shares of its width and height.
constexpr double ax = 0.25, ay = 0.3, bx = 0.7, by = 0.65;

// A grainy negative of its own picture (seed) with round specks at the given shares.
LinearImage dustyFrame(int64_t width, int64_t height, uint64_t seed,
                       const std::vector<std::pair<double, double>>& at, float density = 0.6f) {
  DustyScan::Options options;
  options.width = width;
  options.height = height;
  options.seed = seed;
  std::vector<DustyScan::Speck> specks;
  for (const auto& [x, y] : at) specks.push_back({x * width, y * height, 3, density});
  return DustyScan::make(options, specks);
}

fs::path write(const fs::path& path, const LinearImage& image) {
  DustyScan::writeTiff(path, image);
  return path;
}

// The library's decoding, counting the calls per file name.
struct CountingBackend {
  RenderCache::Backend backend() {
    const RenderCache::Backend library = RenderCache::libraryBackend();
    return {[this, library](const fs::path& url, const ConversionSettings& s, double scale) {
              count(decodes, url);
              return library.decode(url, s, scale);
            },
            [this, library](const fs::path& url) {
              count(sizes, url);
              return library.pixelSize(url);
            }};
  }
  void count(std::map<std::string, int>& counts, const fs::path& url) {
    std::lock_guard lock(mutex);
    ++counts[url.filename().string()];
  }
  int decoded(const std::string& name) { return decodes[name]; }
  int sized(const std::string& name) { return sizes[name]; }

  std::mutex mutex;
  std::map<std::string, int> decodes;
  std::map<std::string, int> sizes;
};

RenderResult<Groups> findDust(Renderer& renderer, const fs::path& url,
                              const ConversionSettings& settings,
                              std::vector<DustSearch::Sample> samples) {
  RenderResult<Groups> result;
  auto task = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    auto searching = renderer.findDust(url, settings, std::move(samples), 0.5);
    result = co_await std::move(searching);
  });
  VirtualClock::settle();
  return result;
}

const Spot* nearest(const Groups& groups, double x, double y) {
  const Spot* best = nullptr;
  for (const auto& group : groups)
    for (const Spot& spot : group)
      if (!best || std::hypot(spot.x - x, spot.y - y) < std::hypot(best->x - x, best->y - y))
        best = &spot;
  return best && std::hypot(best->x - x, best->y - y) < 0.02 ? best : nullptr;
}

bool foundNear(const std::vector<Spot>& spots, double x, double y) {
  return std::any_of(spots.begin(), spots.end(),
                     [&](const Spot& s) { return std::hypot(s.x - x, s.y - y) < 0.01; });
}

// A roll beside the scan: a turned frame, two usable ones, one of another size, a broken one,
// and a fifth that is never looked at.
struct Roll {
  Roll() {
    turned.rotationQuarterTurns = 1;
    scan = write(dir / "scan.tif", dustyFrame(W, H, 1, {{ax, ay}, {bx, by}}));
    samples = {
        {write(dir / "turned.tif", dustyFrame(W, H, 2, {{ax, ay}, {bx, by}})), turned},
        {write(dir / "both.tif", dustyFrame(W, H, 3, {{ax, ay}, {bx, by}})), upright},
        {write(dir / "first.tif", dustyFrame(W, H, 4, {{ax, ay}})), upright},
        {write(dir / "smaller.tif", dustyFrame(W * 3 / 4, H * 3 / 4, 5, {{bx, by}})), upright},
        {write(dir / "fifth.tif", dustyFrame(W, H, 6, {{bx, by}})), upright},
    };
  }

  TempDir dir;
  ConversionSettings upright;
  ConversionSettings turned;
  fs::path scan;
  std::vector<DustSearch::Sample> samples;
};

TEST(FindDust, OnlyTheFirstFourSamplesAreLookedAtAndTurnedOnesAreNeverDecoded) {
  Roll roll;
  CountingBackend counting;
  Renderer renderer(W, 2, counting.backend());
  const auto result = findDust(renderer, roll.scan, roll.upright, roll.samples);
  ASSERT_TRUE(result.ok()) << result.errorText();
  EXPECT_EQ(counting.sized("turned.tif"), 0);
  EXPECT_EQ(counting.decoded("turned.tif"), 0);
  EXPECT_EQ(counting.sized("fifth.tif"), 0);
  EXPECT_EQ(counting.decoded("fifth.tif"), 0);
  for (const char* name : {"both.tif", "first.tif", "smaller.tif"})
    EXPECT_EQ(counting.decoded(name), 1) << name;
  // Both specks found, the first on two usable samples, each with a clone source.
  const Spot* a = nearest(result.value(), ax, ay);
  ASSERT_TRUE(a && nearest(result.value(), bx, by));
  EXPECT_EQ(a->score, 1);
  for (const auto& group : result.value())
    for (const Spot& spot : group) EXPECT_TRUE(spot.sx && spot.sy);
}

// The sample lists the repeat test gets: one per usable sample, in order.
TEST(FindDust, SamplesOfAnotherSizeOrThatDoNotDecodeGiveNoList) {
  Roll roll;
  std::ofstream(roll.dir / "broken.tif") << "not a picture";
  roll.samples.insert(roll.samples.begin() + 2, {roll.dir / "broken.tif", roll.upright});
  RenderCache cache(W, 1);
  const LinearImage proxy = cache.proxy(roll.scan, roll.upright);
  const auto lists =
      DustSearch::sampleFinds(cache.backend(), proxy, roll.upright, roll.samples, 0.5);
  // turned, both, broken, first: the smaller one is fifth now and never looked at.
  ASSERT_EQ(lists.size(), 2u);
  EXPECT_TRUE(foundNear(lists[0], ax, ay));
  EXPECT_TRUE(foundNear(lists[0], bx, by));
  EXPECT_TRUE(foundNear(lists[1], ax, ay));
  EXPECT_FALSE(foundNear(lists[1], bx, by));
  roll.samples.erase(roll.samples.begin() + 2);
  const auto withSmaller =
      DustSearch::sampleFinds(cache.backend(), proxy, roll.upright, roll.samples, 0.5);
  EXPECT_EQ(withSmaller.size(), 2u);
  // A sample of the scan's turn and mirroring, whatever the record's other fields.
  ConversionSettings mirrored;
  mirrored.mirrored = true;
  EXPECT_TRUE(DustSearch::sampleFinds(cache.backend(), proxy, mirrored,
                                      {{roll.dir / "both.tif", roll.upright}}, 0.5)
                  .empty());
}

TEST(FindDust, OnlyTheScansOwnDecodeErrorIsReported) {
  TempDir dir;
  std::ofstream(dir / "broken.tif") << "not a picture";
  Renderer renderer(W, 2);
  const auto result = findDust(renderer, dir / "broken.tif", {}, {});
  EXPECT_NE(result.decodeError(), nullptr);
}

// Finds existing repairs already cover are left out.
TEST(FindDust, ExistingRepairsHideTheirFinds) {
  TempDir dir;
  const fs::path scan = write(dir / "scan.tif", dustyFrame(W, H, 1, {{ax, ay}, {bx, by}}));
  ConversionSettings repaired;
  repaired.spots = {makeSpot(ax, ay, 0.02)};
  Renderer renderer(W, 2);
  const auto before = findDust(renderer, scan, {}, {});
  const auto after = findDust(renderer, scan, repaired, {});
  ASSERT_TRUE(before.ok() && after.ok());
  EXPECT_NE(nearest(before.value(), ax, ay), nullptr);
  EXPECT_EQ(nearest(after.value(), ax, ay), nullptr);
  EXPECT_NE(nearest(after.value(), bx, by), nullptr);
}

// In a copy of this executable with no resource bundle beside it and no model elsewhere, the
// search gives the classic finder's finds, in its order.
const bool withoutModel = [] {
  const char* scan = std::getenv("KV_FINDDUST_NOMODEL");
  if (!scan) return false;
  RenderCache cache(W, 1);
  const ConversionSettings settings;
  const Groups groups = DustSearch::run(cache, scan, settings, {}, 0.5);
  const LinearImage proxy = cache.proxy(scan, settings);
  const std::vector<Spot> classic =
      Converter::detectDust(proxy, cache.analysis(scan, settings), settings, 0.5);
  std::vector<Spot> found;
  for (const auto& group : groups) found.insert(found.end(), group.begin(), group.end());
  bool same = !DustModel::isAvailable() && !classic.empty() && found.size() == classic.size();
  for (size_t i = 0; same && i < found.size(); ++i)
    same = found[i].x == classic[i].x && found[i].y == classic[i].y && found[i].r == classic[i].r;
  std::_Exit(same ? 0 : 1);
}();

TEST(FindDust, WithoutADustModelTheClassicFinderAnswers) {
  TempDir dir;
  const fs::path scan = write(dir / "scan.tif", dustyFrame(W, H, 1, {{ax, ay}, {bx, by}}));
  fs::copy_file(ChildProcess::currentExecutable(), dir / "program");
  EXPECT_EQ(ChildProcess::run(dir / "program",
                              {"KV_FINDDUST_NOMODEL=" + scan.string(), "KV_DUSTMODEL=",
                               "XDG_DATA_HOME=" + (dir / "data").string()}),
            0);
}

}  // namespace
