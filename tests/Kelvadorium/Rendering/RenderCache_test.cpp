// A renderer's caches on tiny generated TIFFs: keys, scale, eviction, analyses that outlive
// their proxies, failed decodes, forgetting, and the unconverted render's values.
#include "Rendering/RenderCache.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "Conversion/DecodeError.h"
#include "Conversion/Decoder.h"
#include "Conversion/FlatField.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

class RenderCacheTest : public ::testing::Test {
 protected:
  // A 40 × 30 TIFF named `name`, in its own colour so decodes differ.
  std::filesystem::path scan(const std::string& name, int64_t width = 40, int64_t height = 30) {
    ScanFixtures::Tiff tiff;
    tiff.width = width;
    tiff.height = height;
    const float level = 0.1f + 0.05f * static_cast<float>(name.size() + name.back() % 7);
    tiff.pattern = ScanFixtures::flat(level, 0.4f, 0.3f);
    const auto path = dir / name;
    ScanFixtures::writeTiff(path, tiff);
    return path;
  }

  static std::vector<std::filesystem::path> urls(const std::vector<ProxyKey>& order) {
    std::vector<std::filesystem::path> out;
    for (const auto& key : order) out.push_back(key.url.filename());
    return out;
  }

  TempDir dir;
};

TEST_F(RenderCacheTest, TurnsThatEndAlikeAndAnEmptyBlankFrameShareOneKey) {
  const auto file = scan("a.tif");
  RenderCache cache(2400, 4);
  struct Case {
    int64_t turns;
    std::optional<std::string> flatField;
  };
  // 1 and 5, −1 and 3, and no blank frame beside "": one decode and one analysis each pair.
  const std::vector<std::pair<Case, Case>> pairs = {
      {{1, std::nullopt}, {5, std::nullopt}},
      {{-1, std::nullopt}, {3, std::nullopt}},
      {{0, std::nullopt}, {0, std::string()}},
  };
  for (const auto& [first, second] : pairs) {
    ConversionSettings a;
    a.rotationQuarterTurns = first.turns;
    a.flatField = first.flatField;
    ConversionSettings b;
    b.rotationQuarterTurns = second.turns;
    b.flatField = second.flatField;
    EXPECT_EQ(ProxyKey::of(file, a), ProxyKey::of(file, b)) << first.turns << " " << second.turns;
    EXPECT_EQ(AnalysisKey::of(file, a), AnalysisKey::of(file, b));
    const auto before = cache.counts();
    cache.analysis(file, a);
    cache.analysis(file, b);
    EXPECT_EQ(cache.counts().decodes - before.decodes, 1);
    EXPECT_EQ(cache.counts().measurements - before.measurements, 1);
  }
  // The same file reached through "." and ".." is the same scan.
  EXPECT_EQ(ProxyKey::of(dir / "x" / ".." / "a.tif", {}), ProxyKey::of(file, {}));
}

TEST_F(RenderCacheTest, ScaleFollowsTheLongEdgeAndNeverEnlarges) {
  const auto file = scan("wide.tif", 40, 30);
  struct Case {
    int64_t longEdge;
    int64_t width, height;
  };
  for (const Case& c : std::vector<Case>{{20, 20, 15}, {40, 40, 30}, {1000000, 40, 30}}) {
    RenderCache cache(c.longEdge, 1);
    const LinearImage proxy = cache.proxy(file, {});
    EXPECT_EQ(proxy.width(), c.width) << c.longEdge;
    EXPECT_EQ(proxy.height(), c.height) << c.longEdge;
  }
}

TEST_F(RenderCacheTest, UnreadableSizeDecodesAQuarterThenReducesToTheLongEdge) {
  const auto file = scan("big.tif", 64, 48);
  auto backend = RenderCache::libraryBackend();
  backend.pixelSize = [](const std::filesystem::path&) {
    return std::optional<std::pair<double, double>>{};
  };
  {
    RenderCache roomy(100, 1, backend);
    EXPECT_DOUBLE_EQ(roomy.proxyScale(file), 0.25);
    const LinearImage quarter = roomy.proxy(file, {});
    EXPECT_EQ(quarter.width(), 16);
    EXPECT_EQ(quarter.height(), 12);
  }
  // A quarter of 64 × 48 is longer than 8: reduced, or a big scan of unknown size fills a
  // thumbnail cache with proxies far beyond its size.
  RenderCache small(8, 1, backend);
  const LinearImage reduced = small.proxy(file, {});
  EXPECT_EQ(reduced.width(), 8);
  EXPECT_EQ(reduced.height(), 6);
  EXPECT_EQ(small.counts().cachedBytes, 8 * 6 * 4 * 4);
  EXPECT_NEAR(reduced.row(3)[4 * 4], small.proxy(file, {}).row(3)[4 * 4], 0);
}

TEST_F(RenderCacheTest, EvictsTheLeastRecentlyUsedAndHitsNeverEvict) {
  RenderCache cache(2400, 4);
  for (const char* name : {"A.tif", "B.tif", "C.tif", "D.tif", "E.tif", "F.tif"}) scan(name);
  for (const char* name : {"A.tif", "B.tif", "C.tif", "D.tif", "E.tif"})
    cache.proxy(dir / name, {});
  using P = std::filesystem::path;
  EXPECT_EQ(urls(cache.order()), (std::vector<P>{"B.tif", "C.tif", "D.tif", "E.tif"}));
  cache.proxy(dir / "B.tif", {});
  EXPECT_EQ(cache.counts().decodes, 5);
  EXPECT_EQ(urls(cache.order()), (std::vector<P>{"C.tif", "D.tif", "E.tif", "B.tif"}));
  cache.proxy(dir / "F.tif", {});
  EXPECT_EQ(urls(cache.order()), (std::vector<P>{"D.tif", "E.tif", "B.tif", "F.tif"}));
  EXPECT_EQ(cache.proxyCount(), 4u);
  EXPECT_EQ(cache.counts().cachedBytes, 4 * 40 * 30 * 4 * 4);

  RenderCache single(2400, 1);
  single.proxy(dir / "A.tif", {});
  single.proxy(dir / "B.tif", {});
  EXPECT_EQ(urls(single.order()), (std::vector<P>{"B.tif"}));
  single.proxy(dir / "B.tif", {});
  single.proxy(dir / "A.tif", {});
  EXPECT_EQ(single.counts().decodes, 3);
}

TEST_F(RenderCacheTest, AnalysesOutliveTheirProxiesAndEveryMeasurementKeyAddsOne) {
  const auto a = scan("A.tif");
  const auto b = scan("B.tif");
  RenderCache cache(2400, 1);
  const FilmAnalysis first = cache.analysis(a, {});
  cache.proxy(b, {});  // evicts A's proxy
  EXPECT_EQ(cache.proxyCount(), 1u);
  EXPECT_EQ(cache.analysis(a, {}), first);
  EXPECT_EQ(cache.counts().decodes, 2);
  EXPECT_EQ(cache.counts().measurements, 1);
  // A field that moves the measurement is a new analysis of the same proxy; one that does not
  // (exposure) is a hit.
  ConversionSettings clipped;
  clipped.blackClip = 0.01;
  cache.analysis(b, clipped);
  cache.analysis(b, {});
  ConversionSettings brighter;
  brighter.exposure = 1;
  cache.analysis(b, brighter);
  EXPECT_EQ(cache.analysisCount(), 3u);
  EXPECT_EQ(cache.counts().decodes, 2);
  EXPECT_EQ(cache.counts().measurements, 3);
}

TEST_F(RenderCacheTest, AFailedDecodeChangesNoTable) {
  const auto good = scan("good.tif");
  const auto bad = dir / "bad.tif";
  std::ofstream(bad) << "not a picture";
  RenderCache cache(2400, 2);
  cache.analysis(good, {});
  const auto order = cache.order();
  const auto counts = cache.counts();
  EXPECT_THROW(cache.proxy(bad, {}), DecodeError);
  EXPECT_THROW(cache.analysis(bad, {}), DecodeError);
  EXPECT_THROW(cache.render(bad, {}, true), DecodeError);
  EXPECT_EQ(cache.order(), order);
  EXPECT_EQ(cache.proxyCount(), 1u);
  EXPECT_EQ(cache.analysisCount(), 1u);
  EXPECT_EQ(cache.counts().cachedBytes, counts.cachedBytes);
  EXPECT_EQ(cache.counts().measurements, counts.measurements);
}

TEST_F(RenderCacheTest, InvalidateForgetsOneFileInEveryOrientationAndMeasurement) {
  const auto a = scan("A.tif");
  const auto b = scan("B.tif");
  RenderCache cache(2400, 4);
  ConversionSettings turned;
  turned.rotationQuarterTurns = 1;
  ConversionSettings clipped;
  clipped.whiteClip = 0.99;
  cache.analysis(a, {});
  cache.analysis(a, turned);
  cache.analysis(a, clipped);
  cache.analysis(b, {});
  cache.invalidate(dir / "." / "A.tif");
  EXPECT_EQ(urls(cache.order()), std::vector<std::filesystem::path>{"B.tif"});
  EXPECT_EQ(cache.analysisCount(), 1u);
  EXPECT_TRUE(cache.holdsAnalysis(AnalysisKey::of(b, {})));
  EXPECT_EQ(cache.counts().cachedBytes, 40 * 30 * 16);

  cache.invalidate(dir / "never-seen.tif");
  EXPECT_EQ(cache.proxyCount(), 1u);
  EXPECT_EQ(cache.analysisCount(), 1u);
  cache.clear();
  EXPECT_EQ(cache.proxyCount(), 0u);
  EXPECT_EQ(cache.analysisCount(), 0u);
  EXPECT_TRUE(cache.order().empty());
  EXPECT_EQ(cache.counts().cachedBytes, 0);
}

// A scan with exact linear values straight from the decode: above 1, below 0, on the curve's
// linear segment and on its power segment.
RenderCache::Backend exactValues() {
  return {[](const std::filesystem::path&, const ConversionSettings&, double) {
            LinearImage image(4, 2);
            const float values[4][3] = {
                {2.5f, 1.0f, -0.5f}, {0.002f, 0.5f, 0.18f}, {1e30f, -1e30f, 0}, {0.25f, 0.75f, 1}};
            for (int64_t y = 0; y < 2; ++y) {
              for (int64_t x = 0; x < 4; ++x) {
                float* p = image.mutableRow(y) + 4 * x;
                for (int c = 0; c < 3; ++c) p[c] = values[x][c];
                p[3] = 1;
              }
            }
            return image;
          },
          [](const std::filesystem::path&) {
            return std::optional<std::pair<double, double>>{std::pair{4.0, 2.0}};
          }};
}

TEST_F(RenderCacheTest, RenderClampsThenEncodesWithTheSrgbCurve) {
  RenderCache cache(2400, 1, exactValues());
  ConversionSettings settings;
  settings.crop = NormRect{0.5, 0, 0.5, 1};  // a user crop is what the analysis crops to
  const PreviewImage whole = cache.render("/scans/x.tif", settings, false);
  ASSERT_EQ(whole.width(), 4);
  ASSERT_EQ(whole.height(), 2);
  // 0.002 is on the linear segment (12.92 v); 0.5 → 0.735357, 0.18 → 0.461356, 0.25 → 0.537099.
  const std::vector<uint16_t> expected = {65535, 65535, 0, 1693,  48192, 30235,
                                          65535, 0,     0, 35199, 57725, 65535};
  const std::vector<uint16_t> row(whole.image.samples.begin(), whole.image.samples.begin() + 12);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(row[i], expected[i], 1) << i;
  // The screen copy is 8-bit sRGB: Display P3's pure red lies outside it and clips.
  EXPECT_EQ(whole.screen.format(), QImage::Format_RGB888);
  EXPECT_EQ(whole.screen.size(), QSize(4, 2));
  EXPECT_EQ(qRed(whole.screen.pixel(0, 0)), 255);
  EXPECT_EQ(qBlue(whole.screen.pixel(2, 0)), 0);

  const PreviewImage cropped = cache.render("/scans/x.tif", settings, true);
  EXPECT_EQ(cropped.width(), 2);
  EXPECT_EQ(cropped.height(), 2);
  EXPECT_EQ(cropped.image.samples[0], 65535);  // the third column: 1e30 → full scale
  EXPECT_EQ(cropped.image.samples[1], 0);
  EXPECT_EQ(cache.counts().decodes, 1);
  EXPECT_EQ(cache.counts().measurements, 1);
}

}  // namespace
