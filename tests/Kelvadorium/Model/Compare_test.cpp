// Before/after compare: the mode's toggles, the before record, the before image's render on the
// preview renderer with its key, and the split divider.
#include <gtest/gtest.h>

#include <functional>

#include "Kelvadorium/Model/PublishedPass.h"
#include "Model/AppModel.h"
#include "Model/BeforeSettings.h"
#include "Model/ZoomGeometry.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace {

using Edit = std::function<void(ConversionSettings&)>;

TEST(CompareMode, TogglesSwitchBetweenOffAndTheirMode) {
  struct Case {
    CompareMode from;
    void (AppModel::*toggle)();
    CompareMode expected;
  };
  const std::vector<Case> cases = {
      {CompareMode::off, &AppModel::toggleCompareBefore, CompareMode::before},
      {CompareMode::before, &AppModel::toggleCompareBefore, CompareMode::off},
      {CompareMode::split, &AppModel::toggleCompareBefore, CompareMode::before},
      {CompareMode::off, &AppModel::toggleCompareSplit, CompareMode::split},
      {CompareMode::before, &AppModel::toggleCompareSplit, CompareMode::split},
      {CompareMode::split, &AppModel::toggleCompareSplit, CompareMode::off},
  };
  TestServices services;
  AppModel model(services.services());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << toString(c.from) << " "
                 << (c.toggle == &AppModel::toggleCompareBefore ? "before" : "split"));
    model.setCompareMode(c.from);
    (model.*c.toggle)();
    EXPECT_EQ(model.compareMode(), c.expected);
  }
  // Nothing selected: nothing is rendered and nothing shown.
  services.clock.settle();
  EXPECT_EQ(model.previewRenderer().counts().conversions, 0);
  EXPECT_FALSE(model.currentBeforePreview());
}

// One edit per row on the default record: the before record keeps it exactly when it is one of
// the film type, the measurement, the geometry, the border or the spots.
TEST(BeforeSettings, KeepsTheFrameAndDropsEveryCreativeEdit) {
  struct Case {
    const char* field;
    Edit edit;
    bool kept;
  };
  DodgeBurnStroke stroke;
  stroke.points = {{0.2, 0.2}, {0.4, 0.3}};
  LocalLayer layer;
  layer.shapes = {stroke};
  RollBalance roll;
  roll.offsets = {0.01, 0, -0.01};
  roll.ratios = {1.02, 1, 0.98};
  roll.frames = 12;
  const Spot spot = makeSpot(0.3, 0.4, 0.01);
  const RedEye redEye{Uuid::random(), 0.5, 0.5, 0.01};
  const std::vector<Case> cases = {
      {"mode", [](auto& s) { s.mode = FilmMode::positive; }, true},
      {"analysisInset", [](auto& s) { s.analysisInset = 0.12; }, true},
      {"blackClip", [](auto& s) { s.blackClip = 0.01; }, true},
      {"whiteClip", [](auto& s) { s.whiteClip = 0.99; }, true},
      {"autoCrop", [](auto& s) { s.autoCrop = true; }, true},
      {"autoCropMargin", [](auto& s) { s.autoCropMargin = 0.03; }, true},
      {"rotationQuarterTurns", [](auto& s) { s.rotationQuarterTurns = 3; }, true},
      {"mirrored", [](auto& s) { s.mirrored = true; }, true},
      {"crop",
       [](auto& s) {
         s.crop = NormRect{0.1, 0.1, 0.7, 0.6};
       },
       true},
      {"cropAspect", [](auto& s) { s.cropAspect = CropAspect::r4x3; }, true},
      {"skewDegrees", [](auto& s) { s.skewDegrees = 1.5; }, true},
      {"border", [](auto& s) { s.border = BorderStyle::black; }, true},
      {"borderSize", [](auto& s) { s.borderSize = 8; }, true},
      {"borderFrame", [](auto& s) { s.borderFrame = "holder35"; }, true},
      {"spots", [=](auto& s) { s.spots = {spot}; }, true},
      {"exposure", [](auto& s) { s.exposure = 1; }, false},
      {"contrast", [](auto& s) { s.contrast = 1.3; }, false},
      {"look", [](auto& s) { s.look = ScannerLook::frontier; }, false},
      {"filmPreset", [](auto& s) { s.filmPreset = "portra400"; }, false},
      {"rollBalance", [=](auto& s) { s.rollBalance = roll; }, false},
      {"flatField", [](auto& s) { s.flatField = "/scans/blank.tif"; }, false},
      {"dodgeBurn", [=](auto& s) { s.dodgeBurn = {stroke}; }, false},
      {"layers", [=](auto& s) { s.layers = {layer}; }, false},
      {"redEyes", [=](auto& s) { s.redEyes = {redEye}; }, false},
      {"clarity", [](auto& s) { s.clarity = 20; }, false},
      {"temperature", [](auto& s) { s.temperature = 10; }, false},
      {"vignetteAmount", [](auto& s) { s.vignetteAmount = -30; }, false},
      {"filmInfo", [](auto& s) { s.filmInfo.film = "Portra 400"; }, false},
  };
  ConversionSettings everything;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    ConversionSettings edited;
    c.edit(edited);
    ASSERT_NE(edited, ConversionSettings{});
    EXPECT_EQ(BeforeSettings::of(edited), c.kept ? edited : ConversionSettings{});
    c.edit(everything);
  }
  // All of them at once: exactly the kept ones survive.
  ConversionSettings keptOnly;
  for (const Case& c : cases) {
    if (c.kept) c.edit(keptOnly);
  }
  EXPECT_EQ(BeforeSettings::of(everything), keptOnly);
}

TEST(SplitDivider, StaysWithinTheEdgesWhereverTheDragGoes) {
  struct Case {
    double x, width;
    double expected;
  };
  TestServices services;
  AppModel model(services.services());
  for (const Case& c : std::vector<Case>{{400, 800, 0.5},
                                         {-50, 800, 0.02},
                                         {10, 800, 0.02},
                                         {900, 800, 0.98},
                                         {790, 800, 0.98},
                                         {600, 800, 0.75},
                                         // A preview without width keeps the divider.
                                         {100, 0, 0.75},
                                         {std::nan(""), 800, 0.75}}) {
    SCOPED_TRACE(testing::Message() << c.x << " of " << c.width);
    model.dragSplitDivider(c.x, c.width);
    EXPECT_DOUBLE_EQ(model.splitPosition(), c.expected);
  }
}

class BeforeImage : public PublishedPass::TwoScans {
 protected:
  void SetUp() override {
    TwoScans::SetUp();
    passConversions = model.previewRenderer().counts().conversions;
  }
  // The before images' conversions: the selection's own pass shares the renderer.
  int64_t conversions() { return model.previewRenderer().counts().conversions - passConversions; }

  int64_t passConversions = 0;
};

// The observer runs on every write; the skip test keeps a second write from rendering again.
// Off keeps the image, and switching on again shows it at once.
TEST_F(BeforeImage, WritingTheModeRendersOnceAndOffKeepsTheImage) {
  model.setCompareMode(CompareMode::before);
  services.clock.settle();
  model.setCompareMode(CompareMode::before);
  services.clock.settle();
  EXPECT_EQ(conversions(), 1);
  const auto before = model.currentBeforePreview();
  ASSERT_TRUE(before);
  EXPECT_EQ(model.plain().beforeFor, std::make_tuple(a.id, ConversionSettings{}, true));

  model.toggleCompareBefore();
  EXPECT_FALSE(model.currentBeforePreview());
  EXPECT_EQ(model.beforePreview(), before);
  model.toggleCompareSplit();
  EXPECT_EQ(model.currentBeforePreview(), before);
  services.clock.settle();
  EXPECT_EQ(conversions(), 1);

  // Neither the negative view nor the uncropped preview on screen matter to it.
  model.setShowNegative(true);
  model.setPreviewIsUncropped(true);
  EXPECT_EQ(model.currentBeforePreview(), before);
}

// Creative edits leave the before record alone: the same image, no render. Edits of what it
// keeps hide the old image at once and render a new one.
TEST_F(BeforeImage, OnlyEditsOfTheKeptFieldsRenderAgain) {
  struct Case {
    const char* name;
    Edit edit;
    bool rendersAgain;
  };
  const std::vector<Case> cases = {
      {"exposure", [](auto& s) { s.exposure = 1; }, false},
      {"film preset and look",
       [](auto& s) {
         s.filmPreset = "portra400";
         s.look = ScannerLook::frontier;
       },
       false},
      {"crop moved",
       [](auto& s) {
         s.crop = NormRect{0.1, 0.1, 0.8, 0.8};
       },
       true},
      {"spot added", [](auto& s) { s.spots.push_back(makeSpot(0.5, 0.5, 0.01)); }, true},
  };
  model.setCompareMode(CompareMode::before);
  services.clock.settle();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto shown = model.currentBeforePreview();
    ASSERT_TRUE(shown);
    const int64_t before = conversions();
    PublishedPass::editRecord(model, a.id, c.edit);
    EXPECT_EQ(model.currentBeforePreview() == shown, !c.rendersAgain);
    model.renderBefore();  // as the pass after the edit does
    services.clock.settle();
    EXPECT_EQ(conversions() - before, c.rendersAgain ? 1 : 0);
    ASSERT_TRUE(model.currentBeforePreview());
    EXPECT_EQ(std::get<1>(*model.plain().beforeFor), BeforeSettings::of(model.items()[0].settings));
  }
}

TEST_F(BeforeImage, CropModeHidesItUntilRenderedWholeFrame) {
  PublishedPass::editRecord(model, a.id, [](auto& s) { s.crop = NormRect{0.25, 0.25, 0.5, 0.5}; });
  model.setCompareMode(CompareMode::split);
  services.clock.settle();
  ASSERT_TRUE(model.currentBeforePreview());
  const int64_t cropped = model.currentBeforePreview()->width();

  model.setCropMode(true);
  EXPECT_FALSE(model.currentBeforePreview());
  model.renderBefore();
  services.clock.settle();
  ASSERT_TRUE(model.currentBeforePreview());
  EXPECT_FALSE(std::get<2>(*model.plain().beforeFor));
  EXPECT_GT(model.currentBeforePreview()->width(), cropped);
}

// Another scan's selection hides the image at once; when that scan's own before image cannot
// be made, the edited image is shown and nothing is reported.
TEST_F(BeforeImage, AnotherScanHidesItAndItsFailedRenderShowsTheEditedImage) {
  model.setCompareMode(CompareMode::before);
  services.clock.settle();
  const auto first = model.currentBeforePreview();
  ASSERT_TRUE(first);
  std::filesystem::remove(b.url);
  // The neighbour's measurement after the first pass decoded it; a scan gone from disk is
  // forgotten by the renderers.
  model.previewRenderer().invalidate(b.url);
  services.clock.settle();
  model.setSelection(b.id);
  EXPECT_FALSE(model.currentBeforePreview());
  model.renderBefore();
  services.clock.settle();
  EXPECT_FALSE(model.currentBeforePreview());
  EXPECT_EQ(model.beforePreview(), first);
  EXPECT_EQ(std::get<0>(*model.plain().beforeFor), a.id);
  EXPECT_FALSE(model.errorMessage());
}

// A new start calls off the render running; its result, arriving later, is dropped. A result
// for a scan no longer selected is dropped as well.
TEST_F(BeforeImage, OnlyTheLatestStartForTheSelectedScanPublishes) {
  model.previewRenderer().hold();
  model.setCompareMode(CompareMode::before);
  PublishedPass::editRecord(model, a.id, [](auto& s) { s.skewDegrees = 2; });
  model.renderBefore();
  model.previewRenderer().release();
  services.clock.settle();
  EXPECT_EQ(conversions(), 2);
  ASSERT_TRUE(model.plain().beforeFor);
  EXPECT_EQ(std::get<1>(*model.plain().beforeFor).skewDegrees, 2);
  EXPECT_TRUE(model.currentBeforePreview());

  model.previewRenderer().hold();
  PublishedPass::editRecord(model, a.id, [](auto& s) { s.skewDegrees = -2; });
  model.renderBefore();
  model.setSelection(b.id);
  model.previewRenderer().release();
  services.clock.settle();
  EXPECT_EQ(std::get<1>(*model.plain().beforeFor).skewDegrees, 2);
}

// The before record keeps the measurement, so a scan without roll balance or blank frame finds
// the preview's proxy and analysis in the renderer; a roll balance is measured once more.
TEST_F(BeforeImage, SharesThePreviewsDecodeAndMeasurement) {
  struct Case {
    const char* name;
    Edit edit;
    int64_t measurements;
  };
  RollBalance roll;
  roll.offsets = {0.01, 0, -0.01};
  roll.ratios = {1.02, 1, 0.98};
  roll.frames = 6;
  const std::vector<Case> cases = {
      {"creative edits",
       [](auto& s) {
         s.exposure = 0.7;
         s.look = ScannerLook::noritsu;
       },
       0},
      {"roll balance", [=](auto& s) { s.rollBalance = roll; }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices rowServices;
    AppModel session(rowServices.services());
    ImageItem scan = a;
    c.edit(scan.settings);
    session.setItems({scan});
    session.setSelection(scan.id);
    // The preview's full pass.
    session.previewRenderer().analysis(scan.url, scan.settings);
    rowServices.clock.settle();
    const auto counts = session.previewRenderer().counts();
    session.setCompareMode(CompareMode::before);
    rowServices.clock.settle();
    ASSERT_TRUE(session.currentBeforePreview());
    EXPECT_EQ(session.previewRenderer().counts().decodes, counts.decodes);
    EXPECT_EQ(session.previewRenderer().counts().measurements - counts.measurements,
              c.measurements);
  }
}

}  // namespace

namespace {

// The render loop's own full pass, with the 1:1 detail wanted and compare on, publishes the
// detail and the before image of what it showed; after an edit of a field the before record
// keeps, the pass that follows renders both again for the new record.
TEST(CompareWiring, AFullPassPublishesTheDetailAndTheBeforeImage) {
  TempDir dir;
  const ImageItem a = PublishedPass::writeScan(dir / "a.tif");
  TestServices services;
  AppModel model(services.services());
  model.setItems({a});
  model.setWantsDetail(true);
  model.setCompareMode(CompareMode::split);
  model.setSelection(a.id);
  services.clock.advance(seconds(2));
  ASSERT_TRUE(model.preview());
  ASSERT_TRUE(model.currentDetailPreview());
  ASSERT_TRUE(model.currentBeforePreview());
  EXPECT_EQ(*model.plain().detailFor, std::make_tuple(a.id, a.settings, true, true));
  EXPECT_EQ(model.plain().beforeFor, std::make_tuple(a.id, BeforeSettings::of(a.settings), true));
  EXPECT_EQ(model.detailPreview()->width(), PublishedPass::scanWidth);

  const NormRect crop{0.25, 0.25, 0.5, 0.5};
  model.editSelected([&](ConversionSettings& s) { s.crop = crop; });
  EXPECT_FALSE(model.currentDetailPreview());
  EXPECT_FALSE(model.currentBeforePreview());
  services.clock.advance(seconds(2));
  const ConversionSettings edited = model.items()[0].settings;
  ASSERT_EQ(edited.crop, crop);
  ASSERT_TRUE(model.currentDetailPreview());
  ASSERT_TRUE(model.currentBeforePreview());
  EXPECT_EQ(std::get<1>(*model.plain().detailFor), edited);
  EXPECT_EQ(std::get<1>(*model.plain().beforeFor), BeforeSettings::of(edited));
  EXPECT_LT(model.detailPreview()->width(), PublishedPass::scanWidth);
}

}  // namespace
