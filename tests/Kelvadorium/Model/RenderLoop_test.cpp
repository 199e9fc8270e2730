// The preview render loop, publishing a preview, the full-quality job and the analysis cache key,
// driven in virtual time with renderers held where a pass must take time.
#include <gtest/gtest.h>

#include <QFile>

#include "Conversion/DecodeError.h"
#include "PreviewSession.h"

namespace {

TEST(RenderLoop, WithoutSelectionNothingRuns) {
  for (bool unknownId : {false, true}) {
    SCOPED_TRACE(unknownId ? "selection names no scan" : "no selection");
    PreviewSession s;
    if (unknownId) s.model->setSelection(Uuid::random());
    s.model->requestRender();
    s.clock().advance(seconds(1));
    EXPECT_FALSE(s.model->preview());
    EXPECT_FALSE(s.model->analysis());
    EXPECT_FALSE(s.model->isRendering());
    EXPECT_FALSE(s.model->plain().renderTask);
    EXPECT_EQ(s.preview().counts().conversions + s.fast().counts().conversions, 0);
  }
}

// Requests during a pass only mark the preview dirty: one further pass takes them all up.
TEST(RenderLoop, RequestsDuringOnePassCollapseIntoOne) {
  PreviewSession s(2, PreviewMode::full);
  s.preview().hold();
  s.show(0);
  s.clock().advance(seconds(0.1));  // the pass is under way
  const int64_t generation = s.model->plain().renderGen;
  for (int i = 0; i < 10; ++i) s.model->requestRender();
  EXPECT_EQ(s.model->plain().renderGen, generation + 10);
  EXPECT_TRUE(s.model->isRendering());
  s.preview().release();
  s.clock().advance(seconds(1));
  EXPECT_EQ(s.preview().counts().conversions, 2);
  EXPECT_FALSE(s.model->isRendering());
  EXPECT_EQ(s.model->plain().previewImageID, s.id(0));
}

// One edit in hybrid mode: a quick pass at once, the hand-over 0.18 s later (not at 0.17 s), the
// loop ending while the job renders, and the job's picture replacing the quick one.
TEST(RenderLoop, OneEditGivesAQuickPassThenTheFullQualityJob) {
  PreviewSession s;
  s.showAndSettle(0);
  ASSERT_TRUE(s.model->preview());
  EXPECT_FALSE(s.model->previewIsFast());
  s.model->setProxySize({3, 2});

  s.edit(0, [](ConversionSettings& settings) { settings.exposure = 0.5; });
  VirtualClock::settle();
  EXPECT_TRUE(s.model->previewIsFast());
  EXPECT_EQ(s.fast().counts().conversions, 1);
  EXPECT_EQ(s.model->proxySize(), QSize(3, 2));  // a quick pass leaves the proxy size
  const auto quickImage = s.model->preview();

  s.preview().hold();
  s.clock().advance(seconds(0.17));
  EXPECT_FALSE(s.model->plain().fullJob);
  s.clock().advance(seconds(0.01));
  const TaskHandle job = s.model->plain().fullJob;
  ASSERT_TRUE(job);
  EXPECT_FALSE(job.isFinished());
  EXPECT_FALSE(s.model->isRendering());
  EXPECT_FALSE(s.model->plain().renderTask);
  EXPECT_EQ(s.model->preview(), quickImage);

  s.preview().release();
  VirtualClock::settle();
  EXPECT_TRUE(job.isFinished());
  EXPECT_NE(s.model->preview(), quickImage);
  EXPECT_FALSE(s.model->previewIsFast());
  EXPECT_EQ(s.model->proxySize(), QSize(40, 30));
  EXPECT_EQ(s.model->plain().fullJob, job);  // the job never writes its own handle
}

// A pass that starts 0.15 s or more after the latest request is handed over at once, and the
// new job cancels the one before it.
TEST(RenderLoop, ALatePassIsHandedOverAndCancelsTheOldJob) {
  PreviewSession s;
  s.showAndSettle(0);
  s.edit(0, [](ConversionSettings& settings) { settings.exposure = 0.3; });
  VirtualClock::settle();
  s.preview().hold();
  s.clock().advance(seconds(0.18));
  const TaskHandle oldJob = s.model->plain().fullJob;
  ASSERT_TRUE(oldJob);

  s.fast().hold();
  s.edit(0, [](ConversionSettings& settings) { settings.exposure = 0.6; });
  s.model->requestRender();
  s.clock().advance(seconds(0.2));  // the quick pass takes 0.2 s
  const int64_t quickBefore = s.fast().counts().conversions;
  s.fast().release();
  VirtualClock::settle();
  EXPECT_EQ(s.fast().counts().conversions, quickBefore + 1);  // no second quick pass
  EXPECT_TRUE(oldJob.isCancelled());
  EXPECT_NE(s.model->plain().fullJob, oldJob);
  EXPECT_TRUE(s.model->previewIsFast());
  s.preview().release();
  VirtualClock::settle();
  EXPECT_FALSE(s.model->previewIsFast());
}

// The first pass on a scan other than the one shown is a full pass (a negative pass while the
// negative is shown), never quick, even right after its request.
TEST(RenderLoop, ANewScansFirstPassIsFull) {
  for (bool negative : {false, true}) {
    SCOPED_TRACE(negative ? "negative shown" : "positive");
    PreviewSession s;
    s.showAndSettle(0);
    s.model->setShowNegative(negative);
    const auto cacheSize = s.model->plain().analysisCache.size();
    const auto fullBefore = s.preview().counts().conversions;
    s.show(1);
    s.clock().advance(seconds(0.1));
    EXPECT_EQ(s.model->plain().previewImageID, s.id(1));
    EXPECT_FALSE(s.model->previewIsFast());
    EXPECT_EQ(s.fast().counts().conversions, 0);
    EXPECT_FALSE(s.model->plain().fullJob);
    // A negative pass converts nothing and stores no measurement.
    EXPECT_EQ(s.preview().counts().conversions, fullBefore + (negative ? 0 : 1));
    EXPECT_EQ(s.model->plain().analysisCache.size(), cacheSize + (negative ? 0 : 1));
    EXPECT_TRUE(s.model->analysis());
    // Edits under the negative view are never quick either.
    s.edit(1, [](ConversionSettings& settings) { settings.exposure = 1; });
    s.clock().advance(seconds(1));
    EXPECT_EQ(s.fast().counts().conversions, negative ? 0 : 1);
  }
}

// Turning the negative view on or off shows the other picture without any further request;
// writing the value it already has asks for nothing.
TEST(RenderLoop, TheNegativeSwitchRendersThePictureItNames) {
  PreviewSession s;
  s.showAndSettle(0);
  const auto positive = s.model->preview();
  const int64_t generation = s.model->plain().renderGen;
  s.model->setShowNegative(false);
  EXPECT_EQ(s.model->plain().renderGen, generation);

  s.model->setShowNegative(true);
  s.clock().advance(seconds(1));
  const auto negative = s.model->preview();
  ASSERT_TRUE(negative);
  EXPECT_NE(negative, positive);
  const auto conversions = s.preview().counts().conversions;

  s.model->setShowNegative(false);
  s.clock().advance(seconds(1));
  EXPECT_NE(s.model->preview(), negative);
  EXPECT_EQ(s.preview().counts().conversions, conversions + 1);
}

// A result for a scan that is no longer selected changes nothing.
TEST(RenderLoop, ALateResultIsDropped) {
  PreviewSession s;
  s.preview().hold();
  s.show(0);
  s.clock().advance(seconds(0.1));
  s.model->setSelection(s.id(1));
  s.preview().release();
  VirtualClock::settle();
  EXPECT_FALSE(s.model->preview());
  EXPECT_FALSE(s.model->analysis());
  EXPECT_FALSE(s.model->errorMessage());
  EXPECT_NE(s.model->plain().previewImageID, s.id(0));
  EXPECT_FALSE(s.model->plain().analysisCache.contains(
      s.model->analysisCacheKey(s.item(0).url, s.item(0).settings)));
}

// An unreadable or vanished file: the message while it is selected, the loop ends normally,
// the prefetch starts and the next scan renders.
TEST(RenderLoop, AnUnreadableFileIsReportedAndTheLoopGoesOn) {
  for (bool vanished : {false, true}) {
    SCOPED_TRACE(vanished ? "vanished" : "not an image");
    PreviewSession s;
    s.showAndSettle(0);
    const auto url = s.item(1).url;
    if (vanished) {
      std::filesystem::remove(url);
    } else {
      QFile file(QString::fromStdString(url.string()));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      file.write("II*\0 not a picture");
    }
    s.show(1);
    s.clock().advance(seconds(0.1));
    EXPECT_FALSE(s.model->preview());
    const std::string description = DecodeError::unreadable(url).what();
    EXPECT_EQ(s.model->errorMessage(),
              QString::fromStdString("Could not open s1.tif: " + description));
    EXPECT_FALSE(s.model->isRendering());
    EXPECT_FALSE(s.model->plain().renderTask);
    EXPECT_TRUE(s.model->plain().prefetchTask);
    s.show(2);
    s.clock().advance(seconds(0.1));
    EXPECT_TRUE(s.model->preview());
    EXPECT_EQ(s.model->plain().previewImageID, s.id(2));
  }
}

// A straighten drag keeps the angle shown on top of the preview; otherwise a pass resets it.
TEST(RenderLoop, LiveRotationStaysOnlyDuringADrag) {
  for (bool rotating : {false, true}) {
    PreviewSession s;
    s.model->plain().isRotating = rotating;
    s.model->setLiveRotation(2.5);
    s.showAndSettle(0);
    EXPECT_EQ(s.model->liveRotation(), rotating ? 2.5 : 0);
  }
}

// Clearing the list while a pass runs, then adding scans: the old loop ends at its next check
// without publishing and without touching the new loop's handle.
TEST(RenderLoop, ACancelledLoopLeavesTheNewOneAlone) {
  PreviewSession s(2, PreviewMode::full);
  s.preview().hold();
  s.light().hold();
  s.show(0);
  s.clock().advance(seconds(0.1));
  const TaskHandle oldLoop = s.model->plain().renderTask;
  // Clear Images.
  s.model->setItems({});
  s.model->setSelection(std::nullopt);
  s.model->requestRender();
  EXPECT_TRUE(oldLoop.isCancelled());
  EXPECT_FALSE(s.model->isRendering());
  // The new loop's pass goes to the light renderer, so the two can finish apart.
  s.model->setPreviewMode(PreviewMode::fast);
  PreviewSession other(1);
  ImageItem added = other.item(0);
  s.model->setItems({added});
  s.show(0);
  const TaskHandle newLoop = s.model->plain().renderTask;
  s.clock().advance(seconds(0.1));
  ASSERT_NE(newLoop, oldLoop);

  s.preview().release();
  VirtualClock::settle();
  EXPECT_TRUE(oldLoop.isFinished());
  EXPECT_EQ(s.model->plain().renderTask, newLoop);
  EXPECT_TRUE(s.model->isRendering());
  EXPECT_FALSE(s.model->preview());

  s.light().release();
  VirtualClock::settle();
  EXPECT_EQ(s.model->plain().previewImageID, added.id);
  EXPECT_FALSE(s.model->isRendering());
  EXPECT_FALSE(s.model->plain().renderTask);
  EXPECT_EQ(s.light().counts().conversions, 1);
  EXPECT_EQ(s.preview().counts().conversions, 1);  // only the old pass, already queued
}

// publishPreview's sizes: the picture as it stands (file orientation, then the record's turns),
// the analysis crop, and the border, all from the file's header.
TEST(PublishPreview, FullPixelSize) {
  TempDir dir;
  const auto wide = dir / "wide.tif";
  ScanFixtures::writeTiffHeaderOnly(wide, 3000, 2000);
  const auto portrait = dir / "portrait.jpg";
  ScanFixtures::Jpeg jpeg;
  jpeg.width = 40;
  jpeg.height = 30;
  jpeg.exifOrientation = 6;
  ScanFixtures::writeJpeg(portrait, jpeg);
  const auto missing = dir / "missing.tif";

  struct Case {
    const char* name;
    std::filesystem::path url;
    bool applyCrop;
    int64_t turns;
    NormRect crop;
    BorderStyle border;
    double borderSize;
    QSizeF expected;
  };
  const NormRect full = NormRect::full;
  const std::vector<Case> cases = {
      {"10 % border", wide, true, 0, full, BorderStyle::white, 10, {3400, 2400}},
      {"border above 50 counts as 50", wide, true, 0, full, BorderStyle::black, 60, {5000, 4000}},
      {"border below 0 counts as 0", wide, true, 0, full, BorderStyle::white, -5, {3000, 2000}},
      {"no border style", wide, true, 0, full, BorderStyle::none, 10, {3000, 2000}},
      {"crop then border",
       wide,
       true,
       0,
       {0.1, 0.2, 0.5, 0.25},
       BorderStyle::film,
       10,
       {1600, 600}},
      {"half rounds away from zero",
       wide,
       true,
       0,
       {0, 0, 1, 0.0125},
       BorderStyle::white,
       10,
       {3006, 31}},
      {"odd turn", wide, true, 1, full, BorderStyle::none, 0, {2000, 3000}},
      {"crop mode, turn -1, no border",
       wide,
       false,
       -1,
       {0, 0, 0.5, 0.5},
       BorderStyle::white,
       10,
       {2000, 3000}},
      {"crop mode, two turns", wide, false, 2, full, BorderStyle::none, 0, {3000, 2000}},
      {"EXIF orientation 6", portrait, false, 0, full, BorderStyle::none, 0, {30, 40}},
      {"EXIF orientation 6, one turn", portrait, false, 1, full, BorderStyle::none, 0, {40, 30}},
      {"unreadable keeps the size", missing, true, 0, full, BorderStyle::none, 0, {7, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServices services;
    AppModel model(services.services());
    model.setFullPixelSize({7, 7});
    FilmAnalysis analysis;
    analysis.crop = c.crop;
    model.setAnalysis(analysis);
    ConversionSettings settings;
    settings.rotationQuarterTurns = c.turns;
    settings.border = c.border;
    settings.borderSize = c.borderSize;
    const Uuid id = Uuid::random();
    auto publishing = model.publishPreview(id, c.url, settings, true, c.applyCrop, true);
    VirtualClock::settle();
    EXPECT_EQ(model.fullPixelSize(), c.expected);
    EXPECT_EQ(model.previewIsUncropped(), !c.applyCrop);
    EXPECT_TRUE(model.previewIsFast());
    EXPECT_EQ(model.plain().previewImageID, id);
  }
}

// The key, byte for byte, and which edits reach it.
TEST(AnalysisCacheKey, HoldsTheMeasurementInputsOnly) {
  TestServices services;
  AppModel model(services.services());
  const std::filesystem::path url = "/scans/roll1/f01.nef";
  const ConversionSettings defaults;
  EXPECT_EQ(model.analysisCacheKey(url, defaults),
            "/scans/roll1/f01.nef|0|false|colorNegative|0.08|0.002|0.998|auto|0.0|false|0.01|||"
            "false");

  struct Case {
    const char* name;
    std::function<void(ConversionSettings&)> change;
    std::filesystem::path url;
    bool sameKey;
  };
  const std::vector<Case> cases = {
      {"exposure", [](auto& s) { s.exposure = 1.5; }, url, true},
      {"film preset", [](auto& s) { s.filmPreset = "portra400-rich"; }, url, true},
      {"scanner look", [](auto& s) { s.look = ScannerLook::noritsu; }, url, true},
      {"border", [](auto& s) { s.border = BorderStyle::white; }, url, true},
      {"other folder", [](auto&) {}, "/scans/roll2/f01.nef", false},
      {"a quarter turn", [](auto& s) { s.rotationQuarterTurns = 1; }, url, false},
      {"five quarter turns, as stored", [](auto& s) { s.rotationQuarterTurns = 5; }, url, false},
      {"mirrored", [](auto& s) { s.mirrored = true; }, url, false},
      {"analysis inset", [](auto& s) { s.analysisInset = 0.1; }, url, false},
      {"crop",
       [](auto& s) {
         s.crop = NormRect{0.1, 0.1, 0.8, 0.8};
       },
       url, false},
      {"blank frame", [](auto& s) { s.flatField = "/scans/blank.nef"; }, url, false},
      {"film mode", [](auto& s) { s.mode = FilmMode::positive; }, url, false},
  };
  const std::string plain = model.analysisCacheKey(url, defaults);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConversionSettings settings;
    c.change(settings);
    EXPECT_EQ(model.analysisCacheKey(c.url, settings) == plain, c.sameKey);
  }
  ConversionSettings turned;
  turned.rotationQuarterTurns = 5;
  EXPECT_EQ(model.analysisCacheKey(url, turned).substr(0, 23), "/scans/roll1/f01.nef|5|");

  // The mode is read at the call.
  for (PreviewMode mode : {PreviewMode::full, PreviewMode::hybrid, PreviewMode::fast}) {
    model.setPreviewMode(mode);
    const std::string key = model.analysisCacheKey(url, defaults);
    EXPECT_EQ(key.substr(key.rfind('|')), mode == PreviewMode::fast ? "|true" : "|false");
  }
}

// The job publishes nothing after an edit, a new selection, its cancellation or a renderer
// error; the state it would have changed stays as it was before its result came.
TEST(FullQualityJob, IsDroppedWhenItsResultNoLongerStands) {
  struct Case {
    const char* name;
    std::function<void(PreviewSession&)> disturb;
  };
  const std::vector<Case> cases = {
      {"an edit",
       [](PreviewSession& s) {
         s.edit(0, [](ConversionSettings& settings) { settings.exposure = 2; });
       }},
      {"a new selection", [](PreviewSession& s) { s.model->setSelection(s.id(1)); }},
      {"cancelled", [](PreviewSession& s) { s.model->plain().fullJob.cancel(); }},
      {"renderer error", [](PreviewSession&) {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool failing = std::string(c.name) == "renderer error";
    PreviewSession s;
    s.showAndSettle(0);
    s.edit(0, [](ConversionSettings& settings) { settings.exposure = 0.4; });
    VirtualClock::settle();
    if (failing) {
      // The job must decode again, from a file that is gone.
      s.preview().clear();
      VirtualClock::settle();
      std::filesystem::remove(s.item(0).url);
    }
    s.preview().hold();
    s.clock().advance(seconds(0.18));
    ASSERT_TRUE(s.model->plain().fullJob);
    c.disturb(s);
    VirtualClock::settle();
    const auto preview = s.model->preview();
    const auto analysis = s.model->analysis();
    const auto cache = s.model->plain().analysisCache;
    s.preview().release();
    VirtualClock::settle();
    EXPECT_EQ(s.model->preview(), preview);
    EXPECT_EQ(s.model->analysis(), analysis);
    EXPECT_FALSE(s.model->errorMessage());
    EXPECT_EQ(s.model->plain().analysisCache.size(), cache.size());
    EXPECT_TRUE(s.model->previewIsFast());
  }
}

// A scan removed from the session keeps its measurement; added again, its key finds it.
TEST(AnalysisCache, OutlivesTheScansItMeasured) {
  PreviewSession s;
  s.showAndSettle(0);
  const ImageItem removed = s.item(0);
  const std::string key = s.model->analysisCacheKey(removed.url, removed.settings);
  ASSERT_TRUE(s.model->plain().analysisCache.contains(key));
  s.model->setItems({s.item(1)});
  s.model->setSelection(std::nullopt);
  s.model->requestRender();
  ImageItem again;
  again.url = removed.url;
  s.model->setItems({s.item(0), again});
  EXPECT_TRUE(s.model->plain().analysisCache.contains(
      s.model->analysisCacheKey(again.url, again.settings)));
}

}  // namespace
