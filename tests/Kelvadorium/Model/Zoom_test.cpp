// Zooming the preview and the 1:1 detail render: the zoom's limits and anchor, the pan's slack,
// the geometry the view reports, the percentage, and the full-size render in virtual time.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "Kelvadorium/Model/PublishedPass.h"
#include "Model/AppModel.h"
#include "Model/ZoomGeometry.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace {

void expectSize(QSizeF actual, QSizeF expected) {
  EXPECT_NEAR(actual.width(), expected.width(), 1e-9);
  EXPECT_NEAR(actual.height(), expected.height(), 1e-9);
}

// Each row zooms from a view; nothing expected means nothing changes.
TEST(ZoomGeometry, ZoomKeepsItsLimitsAndThePointUnderTheAnchor) {
  struct Case {
    const char* name;
    ZoomGeometry::View from;
    double requested, ax, ay, oneToOne;
    QSizeF fitted, container;
    std::optional<ZoomGeometry::View> expected;
  };
  const QSizeF fitted(800, 600);
  const QSizeF container(1000, 700);
  const std::vector<Case> cases = {
      {"below fitted from fitted", {1, {0, 0}}, 0.5, 0, 0, 1, fitted, container, std::nullopt},
      {"cap 8 at 1:1 of 1.5", {1, {0, 0}}, 20, 0, 0, 1.5, fitted, container, {{8, {0, 0}}}},
      {"cap 4 x 1:1 of 3", {1, {0, 0}}, 20, 0, 0, 3, fitted, container, {{12, {0, 0}}}},
      // "Actual Pixels" on a scan smaller on screen than at 1:1.
      {"1:1 below fitted, from fitted",
       {1, {0, 0}},
       0.8,
       0,
       0,
       0.8,
       fitted,
       container,
       std::nullopt},
      {"1:1 below fitted, from 2",
       {2, {50, -20}},
       0.8,
       0,
       0,
       0.8,
       fitted,
       container,
       {{1, {0, 0}}}},
      {"about (100, 0)", {1, {0, 0}}, 2, 100, 0, 1, fitted, container, {{2, {-100, 0}}}},
      {"within the tolerance", {2, {-100, 0}}, 2.00009, 300, 0, 1, fitted, container, std::nullopt},
      {"just beyond the tolerance",
       {2, {0, 0}},
       2.0002,
       100,
       0,
       1,
       fitted,
       container,
       {{2.0002, {-0.01, 0}}}},
      {"next to fitted has no pan",
       {3, {200, 100}},
       1.00005,
       50,
       50,
       1,
       fitted,
       container,
       {{1.00005, {0, 0}}}},
      // The point under the centre would sit 180 to the right; at 1.2 the slack is 4.
      {"limit taken at the new zoom",
       {2, {300, 0}},
       1.2,
       0,
       0,
       1,
       fitted,
       container,
       {{1.2, {4, 0}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto zoomed = ZoomGeometry::zoomedAbout(c.from, c.requested, c.ax, c.ay, c.oneToOne,
                                                  c.fitted, c.container);
    ASSERT_EQ(zoomed.has_value(), c.expected.has_value());
    if (!zoomed) continue;
    EXPECT_NEAR(zoomed->zoom, c.expected->zoom, 1e-12);
    expectSize(zoomed->pan, c.expected->pan);
  }
}

TEST(ZoomGeometry, PanStaysWithinTheOverhangPlusSlack) {
  struct Case {
    const char* name;
    QSizeF offset;
    double zoom;
    QSizeF fitted, container, expected;
  };
  const std::vector<Case> cases = {
      {"zoom 2, far out", {500, -500}, 2, {800, 600}, {1000, 700}, {324, -274}},
      {"zoom 2, far out the other way", {-500, 500}, 2, {800, 600}, {1000, 700}, {-324, 274}},
      {"zoom 2, inside", {-10, 3}, 2, {800, 600}, {1000, 700}, {-10, 3}},
      {"zoom 1.2, narrow overhang", {10, 10}, 1.2, {800, 500}, {1000, 700}, {4, 0}},
      {"fitted", {10, 10}, 1.0001, {800, 600}, {1000, 700}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectSize(ZoomGeometry::clampedPan(c.offset, c.zoom, c.fitted, c.container), c.expected);
  }
}

TEST(ZoomGeometry, OneToOneZoomAndPercentage) {
  struct OneToOne {
    double fullWidth, fittedWidth, scale;
    std::optional<double> expected;
  };
  for (const OneToOne& c : std::vector<OneToOne>{{6000, 1000, 2, 3},
                                                 {6000, 1500, 1, 4},
                                                 {6000, 1000, 0, 3},  // no screen: scale 2
                                                 {6000, 0, 2, std::nullopt},
                                                 {0, 1000, 2, std::nullopt}}) {
    SCOPED_TRACE(testing::Message() << c.fullWidth << " in " << c.fittedWidth << " @" << c.scale);
    EXPECT_EQ(ZoomGeometry::oneToOneZoom(c.fullWidth, c.fittedWidth, c.scale), c.expected);
  }
  struct Percent {
    double zoom, oneToOne, fullWidth;
    std::optional<int> expected;
  };
  for (const Percent& c : std::vector<Percent>{{1, 2.5, 6000, 40},
                                               {2.5, 2.5, 6000, 100},
                                               {0.125, 1, 6000, 13},  // 12.5, away from zero
                                               {2, 3, 6000, 67},
                                               {8, 1e-12, 6000, std::numeric_limits<int>::max()},
                                               {1, 2.5, 0, std::nullopt},  // before a pass
                                               {1, 0, 6000, std::nullopt}}) {
    SCOPED_TRACE(testing::Message() << c.zoom << " of " << c.oneToOne);
    EXPECT_EQ(ZoomGeometry::zoomPercent(c.zoom, c.oneToOne, c.fullWidth), c.expected);
  }
}

// The view reads the zoom first; when it does, the pan must still be the old one, and the pan
// that follows is clamped at the new zoom.
TEST(ZoomModel, ZoomIsPublishedBeforeThePanThatGoesWithIt) {
  TestServices services;
  AppModel model(services.services());
  EXPECT_EQ(model.zoomPercent(), std::nullopt);
  model.setFullPixelSize(QSizeF(4800, 3600));
  model.reportGeometry(QSizeF(1000, 700), QSizeF(800, 600), 2);
  EXPECT_EQ(model.plain().oneToOneZoom, 3);
  EXPECT_EQ(model.zoomPercent(), 33);

  std::vector<std::string> seen;
  QObject::connect(&model, &AppModel::zoomChanged, [&] {
    seen.push_back("zoom " + std::to_string(model.zoom()) + " pan " +
                   std::to_string(model.pan().width()));
  });
  QObject::connect(&model, &AppModel::panChanged,
                   [&] { seen.push_back("pan " + std::to_string(model.pan().width())); });
  model.setZoom(2, 100, 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"zoom 2.000000 pan 0.000000", "pan -100.000000"}));
  EXPECT_EQ(model.zoomPercent(), 67);

  seen.clear();
  model.setZoom(2.00005, 0, 0);
  EXPECT_TRUE(seen.empty());

  // A smaller preview area clamps the pan at once; a report without the fitted size keeps 1:1.
  model.setPan(QSizeF(300, 250));
  model.reportGeometry(QSizeF(1400, 1000), QSizeF(800, 600), 2);
  expectSize(model.pan(), QSizeF(124, 124));
  model.reportGeometry(QSizeF(1400, 1000), QSizeF(0, 0), 2);
  EXPECT_EQ(model.plain().oneToOneZoom, 3);
  expectSize(model.pan(), QSizeF(0, 0));
}

class DetailRender : public PublishedPass::TwoScans {
 protected:
  int64_t conversions() { return model.detailRenderer().counts().conversions; }

  // The detail of the first scan, published.
  void renderDetail() {
    model.setWantsDetail(true);
    services.clock.advance(seconds(0.25));
    ASSERT_TRUE(model.currentDetailPreview());
  }
};

// Holding the space bar at zoom 1 is enough: the detail is the whole scan at full size.
TEST_F(DetailRender, WaitsAQuarterSecondThenPublishesTheFullSizeScan) {
  QSignalSpy published(&model, &AppModel::detailPreviewChanged);
  model.setWantsDetail(true);
  EXPECT_TRUE(model.isRenderingDetail());
  services.clock.advance(seconds(0.249));
  EXPECT_EQ(conversions(), 0);
  EXPECT_EQ(published.count(), 0);
  services.clock.advance(seconds(0.001));
  ASSERT_TRUE(model.detailPreview());
  EXPECT_EQ(model.zoom(), 1);
  EXPECT_FALSE(model.isRenderingDetail());
  EXPECT_EQ(model.detailPreview()->width(), PublishedPass::scanWidth);
  EXPECT_EQ(model.detailPreview()->screen.width(), PublishedPass::scanWidth);
  EXPECT_EQ(model.currentDetailPreview(), model.detailPreview());
  ASSERT_TRUE(model.plain().detailFor);
  EXPECT_EQ(*model.plain().detailFor, std::make_tuple(a.id, a.settings, true, true));
}

// Every zoom step, edit and pass restarts the render; only the last one decodes and converts.
TEST_F(DetailRender, ABurstWithinTheWaitGivesOneRender) {
  model.setWantsDetail(true);
  for (int step = 0; step < 4; ++step) {
    services.clock.advance(seconds(0.2));
    model.startDetailRender();
  }
  EXPECT_EQ(conversions(), 0);
  services.clock.advance(seconds(0.25));
  EXPECT_EQ(conversions(), 1);
  EXPECT_EQ(model.detailRenderer().counts().decodes, 1);
  EXPECT_TRUE(model.currentDetailPreview());
}

// After a published detail, a start renders again only when the scan's record or the crop
// state has moved away from what the detail was rendered for.
TEST_F(DetailRender, AStartSkipsADetailThatIsCurrent) {
  renderDetail();
  struct Case {
    const char* name;
    std::function<void(AppModel&, const ImageItem&)> change;
    bool renders;
  };
  const std::vector<Case> cases = {
      {"nothing changed", [](AppModel&, const ImageItem&) {}, false},
      {"exposure edited",
       [](AppModel& m, const ImageItem& s) {
         PublishedPass::editRecord(m, s.id, [](ConversionSettings& r) { r.exposure += 0.5; });
       },
       true},
      {"crop mode entered",
       [](AppModel& m, const ImageItem&) { m.setCropMode(true); },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int64_t before = conversions();
    c.change(model, a);
    model.startDetailRender();
    EXPECT_EQ(model.isRenderingDetail(), c.renders);
    // Crop mode starts passes of its own; the full one starts the detail again as it publishes,
    // and the change still costs one render.
    services.clock.advance(seconds(1));
    EXPECT_EQ(conversions() - before, c.renders ? 1 : 0);
    EXPECT_TRUE(model.currentDetailPreview());
  }
}

// A stored detail goes out of sight while its key does not match and comes back, without a
// render, once it does again.
TEST_F(DetailRender, HiddenWhileItsKeyDiffersAndShownAgainWhenItMatches) {
  renderDetail();
  const auto detail = model.detailPreview();
  const ConversionSettings original = a.settings;

  PublishedPass::editRecord(model, a.id, [](ConversionSettings& r) { r.exposure = 1; });
  EXPECT_FALSE(model.currentDetailPreview());
  PublishedPass::editRecord(model, a.id, [&](ConversionSettings& r) { r = original; });
  EXPECT_EQ(model.currentDetailPreview(), detail);

  // Crop mode hides it at once; after leaving it, the uncropped preview still on screen keeps it
  // hidden until a cropped pass is published.
  model.setCropMode(true);
  EXPECT_FALSE(model.currentDetailPreview());
  model.setPreviewIsUncropped(true);
  model.setCropMode(false);
  EXPECT_FALSE(model.currentDetailPreview());
  model.setPreviewIsUncropped(false);
  EXPECT_EQ(model.currentDetailPreview(), detail);

  model.startDetailRender();
  EXPECT_FALSE(model.isRenderingDetail());
  EXPECT_EQ(services.clock.pendingWaits(), 0u);
  EXPECT_EQ(conversions(), 1);
}

TEST_F(DetailRender, TheNegativeViewRendersAndShowsNoDetail) {
  renderDetail();
  model.setShowNegative(true);
  EXPECT_FALSE(model.currentDetailPreview());
  PublishedPass::editRecord(model, a.id, [](ConversionSettings& r) { r.exposure = 1; });
  model.startDetailRender();
  EXPECT_FALSE(model.isRenderingDetail());
  services.clock.advance(seconds(1));
  EXPECT_EQ(conversions(), 1);
}

// A render called off or overtaken by another selection publishes nothing, whether it is still
// waiting or already converting; a start that ends early still calls off the one running. The
// pass that each call-off starts is held, so that only the render called off could publish.
TEST_F(DetailRender, ARenderCalledOffOrDeselectedPublishesNothing) {
  struct Case {
    const char* name;
    bool converting;
    std::function<void(AppModel&)> callOff;
    bool flagCleared;
  };
  const Uuid other = b.id;
  const std::vector<Case> cases = {
      {"deselected while waiting", false, [=](AppModel& m) { m.setSelection(other); }, false},
      {"deselected while converting", true, [=](AppModel& m) { m.setSelection(other); }, false},
      {"no longer wanted while waiting", false, [](AppModel& m) { m.setWantsDetail(false); }, true},
      {"no longer wanted while converting", true, [](AppModel& m) { m.setWantsDetail(false); },
       true},
      {"a start in the negative view", false,
       [](AppModel& m) {
         m.setShowNegative(true);
         m.startDetailRender();
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices rowServices;
    AppModel session(rowServices.services());
    session.setItems({a, b});
    session.setSelection(a.id);
    rowServices.clock.advance(seconds(1));
    PublishedPass::publish(session, a, PublishedPass::measured(a));
    session.setWantsDetail(true);
    if (c.converting) {
      session.detailRenderer().hold();
      rowServices.clock.advance(seconds(0.25));
    } else {
      rowServices.clock.advance(seconds(0.1));
    }
    session.previewRenderer().hold();
    c.callOff(session);
    session.detailRenderer().release();
    rowServices.clock.advance(seconds(1));
    EXPECT_FALSE(session.detailPreview());
    EXPECT_FALSE(session.plain().detailFor);
    if (c.flagCleared) {
      EXPECT_FALSE(session.isRenderingDetail());
    }
    session.previewRenderer().release();
    VirtualClock::settle();
  }
}

// A scan that cannot be decoded at full size: no message, the old detail kept (and not shown,
// its record differs), the note of a running render gone.
TEST_F(DetailRender, AScanThatCannotBeDecodedLeavesThePreviewAlone) {
  struct Case {
    const char* name;
    std::function<void(const std::filesystem::path&)> spoil;
  };
  const std::vector<Case> cases = {
      {"missing", [](const std::filesystem::path& f) { std::filesystem::remove(f); }},
      {"too large",
       [](const std::filesystem::path& f) { ScanFixtures::writeTiffHeaderOnly(f, 60000, 60000); }},
      {"damaged",
       [](const std::filesystem::path& f) {
         std::filesystem::resize_file(f, std::filesystem::file_size(f) / 3);
       }},
  };
  renderDetail();
  const auto detail = model.detailPreview();
  const auto key = model.plain().detailFor;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PublishedPass::writeScan(a.url);
    c.spoil(a.url);
    // A quarter turn needs a decode of its own.
    PublishedPass::editRecord(model, a.id,
                              [](ConversionSettings& r) { r.rotationQuarterTurns += 1; });
    model.startDetailRender();
    EXPECT_TRUE(model.isRenderingDetail());
    services.clock.advance(seconds(0.25));
    EXPECT_FALSE(model.isRenderingDetail());
    EXPECT_EQ(model.detailPreview(), detail);
    EXPECT_EQ(model.plain().detailFor, key);
    EXPECT_FALSE(model.currentDetailPreview());
    EXPECT_FALSE(model.errorMessage());
  }
}

// Right after another scan is selected, the analysis on show is still the previous scan's: no
// detail may be rendered with it, however long the new scan's pass takes. That pass starts the
// render when it publishes.
TEST_F(DetailRender, WaitsForTheSelectedScansOwnAnalysis) {
  model.previewRenderer().hold();
  model.setSelection(b.id);
  model.setWantsDetail(true);
  EXPECT_FALSE(model.isRenderingDetail());
  services.clock.advance(seconds(1));
  EXPECT_EQ(conversions(), 0);
  EXPECT_FALSE(model.detailPreview());

  model.previewRenderer().release();
  VirtualClock::settle();
  EXPECT_TRUE(model.isRenderingDetail());
  services.clock.advance(seconds(0.25));
  ASSERT_TRUE(model.plain().detailFor);
  EXPECT_EQ(std::get<0>(*model.plain().detailFor), b.id);
  EXPECT_TRUE(model.currentDetailPreview());
}

}  // namespace

namespace {

// The detail renderer keeps one scan; decoding the next one at full size must not begin while
// the previous full-size decode is still held.
TEST(DetailRenderMemory, TheNextScanIsDecodedOnlyAfterThePreviousOneIsLet) {
  TempDir dir;
  const ImageItem a = PublishedPass::writeScan(dir / "a.tif");
  const ImageItem b = PublishedPass::writeScan(dir / "b.tif");
  TestServices services;
  std::vector<int64_t> heldAtFullSizeDecodes;
  AppModel* session = nullptr;
  services.renderBackend.decode = [&](const std::filesystem::path& url,
                                      const ConversionSettings& settings, double scale) {
    if (scale == 1) heldAtFullSizeDecodes.push_back(session->detailRenderer().counts().cachedBytes);
    return RenderCache::libraryBackend().decode(url, settings, scale);
  };
  AppModel model(services.services());
  session = &model;
  model.setItems({a, b});
  model.setWantsDetail(true);
  for (const ImageItem& scan : {a, b, a}) {
    // The selection's pass starts the detail as it publishes.
    model.setSelection(scan.id);
    services.clock.advance(seconds(1));
    ASSERT_TRUE(model.currentDetailPreview());
  }
  EXPECT_EQ(heldAtFullSizeDecodes, (std::vector<int64_t>{0, 0, 0}));
}

// The model goes while its detail render and its before image wait for their renderers: neither
// touches it afterwards (clean under ASan).
TEST(DetailRenderLifetime, TheModelGoesWhileBothRendersAreUnderWay) {
  TempDir dir;
  const ImageItem a = PublishedPass::writeScan(dir / "a.tif");
  TestServices services;
  auto model = std::make_unique<AppModel>(services.services());
  model->setItems({a});
  model->setSelection(a.id);
  PublishedPass::publish(*model, a, PublishedPass::measured(a));
  model->previewRenderer().hold();
  model->detailRenderer().hold();
  model->setWantsDetail(true);
  model->setCompareMode(CompareMode::split);
  services.clock.advance(seconds(0.25));
  EXPECT_TRUE(model->isRenderingDetail());
  model.reset();
  services.clock.advance(seconds(1));
  EXPECT_EQ(services.clock.pendingWaits(), 0u);
}

}  // namespace
