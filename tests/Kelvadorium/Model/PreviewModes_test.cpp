// Preview modes, the looks under the pointer in the pickers, prefetch of the neighbour and the
// warm-up of a newly selected scan.
#include <gtest/gtest.h>

#include <QFile>

#include "Model/HoverTracker.h"
#include "PreviewSession.h"

namespace {

TEST(PreviewModes, StoringTheSameModeChangesNothing) {
  PreviewSession s;
  s.showAndSettle(0);
  const auto preview = s.model->preview();
  const int64_t generation = s.model->plain().renderGen;
  s.model->setPreviewMode(PreviewMode::hybrid);
  EXPECT_EQ(s.model->preview(), preview);
  EXPECT_EQ(s.model->plain().previewImageID, s.id(0));
  EXPECT_EQ(s.model->plain().renderGen, generation);
  EXPECT_FALSE(s.model->isRendering());
}

// A new mode clears the preview at once; its first pass is a full one on the new mode's renderer,
// never quick and never handed over.
TEST(PreviewModes, ANewModeRendersAfreshOnItsRenderer) {
  struct Case {
    PreviewMode from, to;
    bool onLight;
  };
  for (const Case& c : {Case{PreviewMode::hybrid, PreviewMode::fast, true},
                        Case{PreviewMode::fast, PreviewMode::hybrid, false},
                        Case{PreviewMode::hybrid, PreviewMode::full, false}}) {
    SCOPED_TRACE(toString(c.to));
    PreviewSession s(2, c.from);
    s.showAndSettle(0);
    const int64_t light = s.light().counts().conversions;
    const int64_t full = s.preview().counts().conversions;
    s.model->setPreviewMode(c.to);
    EXPECT_FALSE(s.model->preview());
    EXPECT_FALSE(s.model->plain().previewImageID);
    EXPECT_TRUE(s.model->isRendering());
    s.clock().advance(seconds(1));
    ASSERT_TRUE(s.model->preview());
    EXPECT_FALSE(s.model->previewIsFast());
    EXPECT_EQ(s.light().counts().conversions - light, c.onLight ? 1 : 0);
    EXPECT_EQ(s.preview().counts().conversions - full, c.onLight ? 0 : 1);
    EXPECT_EQ(s.fast().counts().conversions, 0);
    EXPECT_FALSE(s.model->plain().fullJob);
  }
}

// The pickers' rule: a leave clears the look only for the row last entered. Each change of the
// look asks for one render; writing the same look again asks for none.
TEST(LookHover, EnterAndLeaveInEitherOrder) {
  using Step = std::pair<char, std::optional<std::string>>;  // 'e'nter, 'l'eave, 'c'hoose, 'g'one
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::optional<HoverLook> hovered;
    int requests;
  };
  const std::optional<std::string> a = "portra400-rich", b = "portra400-moody", none;
  const std::vector<Case> cases = {
      {"enter B before leave A", {{'e', a}, {'e', b}, {'l', a}}, HoverLook{b}, 2},
      {"leave A before enter B", {{'e', a}, {'l', a}, {'e', b}}, HoverLook{b}, 3},
      {"the None row is a look", {{'e', a}, {'e', none}, {'l', a}}, HoverLook{none}, 2},
      {"entering the same row again", {{'e', a}, {'e', a}}, HoverLook{a}, 1},
      {"leaving the last row", {{'e', a}, {'l', a}}, std::nullopt, 2},
      {"choosing a row", {{'e', a}, {'c', {}}}, std::nullopt, 2},
      {"the rows go away", {{'e', a}, {'e', b}, {'g', {}}, {'l', b}}, std::nullopt, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PreviewSession s(1);
    HoverTracker<HoverLook> picker(
        [&](std::optional<HoverLook> look) { s.model->setHoverFilmLook(std::move(look)); });
    const int64_t before = s.model->plain().renderGen;
    for (const auto& [kind, preset] : c.steps) {
      if (kind == 'e') picker.enter(HoverLook{preset});
      if (kind == 'l') picker.leave(HoverLook{preset});
      if (kind == 'c') picker.choose();
      if (kind == 'g') picker.rowsGone();
    }
    EXPECT_EQ(s.model->hoverFilmLook(), c.hovered);
    EXPECT_EQ(s.model->plain().renderGen - before, c.requests);
  }
}

// A look under the pointer is shown over the scan's own: a hovered "no film preset" shows the
// scan without its preset, a hovered scanner look replaces the scan's; the record keeps its own.
TEST(LookHover, ThePreviewShowsTheHoveredLookAndTheRecordKeepsItsOwn) {
  struct Case {
    const char* name;
    std::function<void(ConversionSettings&)> own;
    std::function<void(AppModel&)> hover;
    std::function<void(ConversionSettings&)> shown;
  };
  const std::vector<Case> cases = {
      {"no film preset", [](ConversionSettings& r) { r.filmPreset = "portra400-rich"; },
       [](AppModel& m) { m.setHoverFilmLook(HoverLook{std::nullopt}); },
       [](ConversionSettings& r) { r.filmPreset.reset(); }},
      {"scanner look", [](ConversionSettings& r) { r.look = ScannerLook::neutral; },
       [](AppModel& m) { m.setHoverScanner(ScannerLook::noritsu); },
       [](ConversionSettings& r) { r.look = ScannerLook::noritsu; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PreviewSession hovered(1, PreviewMode::full);
    std::vector<ImageItem> items = hovered.model->items();
    c.own(items[0].settings);
    hovered.model->setItems(items);
    const ConversionSettings stored = items[0].settings;
    hovered.showAndSettle(0);
    const auto ownImage = hovered.model->preview();
    c.hover(*hovered.model);
    hovered.clock().advance(seconds(1));
    ASSERT_NE(hovered.model->preview(), ownImage);
    EXPECT_EQ(hovered.item(0).settings, stored);

    PreviewSession plain(1, PreviewMode::full);
    items = plain.model->items();
    c.own(items[0].settings);
    c.shown(items[0].settings);
    items[0].url = hovered.item(0).url;
    plain.model->setItems(items);
    plain.showAndSettle(0);
    ASSERT_TRUE(plain.model->preview());
    EXPECT_EQ(hovered.model->preview()->image.samples, plain.model->preview()->image.samples);
    EXPECT_NE(ownImage->image.samples, plain.model->preview()->image.samples);
  }
}

// The neighbour in the browsing direction is measured after 0.25 s of quiet, and stored under
// its key; at either end of the list nothing is started.
TEST(Prefetch, MeasuresTheNeighbourInTheBrowsingDirection) {
  struct Case {
    size_t selected;
    int direction;
    std::optional<size_t> neighbour;
  };
  for (const Case& c :
       {Case{1, +1, 2}, Case{1, -1, 0}, Case{2, +1, std::nullopt}, Case{0, -1, std::nullopt}}) {
    SCOPED_TRACE(testing::Message() << c.selected << " " << c.direction);
    PreviewSession s(3);
    s.model->plain().browseDirection = c.direction;
    s.show(c.selected);
    while (s.model->isRendering()) s.clock().advance(seconds(0.01));
    EXPECT_EQ(static_cast<bool>(s.model->plain().prefetchTask), c.neighbour.has_value());
    if (!c.neighbour) continue;
    const ImageItem& next = s.item(*c.neighbour);
    const std::string key = s.model->analysisCacheKey(next.url, next.settings);
    // The loop ended within the last 0.01 s.
    s.clock().advance(seconds(0.23));
    EXPECT_FALSE(s.model->plain().analysisCache.contains(key));
    s.clock().advance(seconds(0.02));
    EXPECT_TRUE(s.model->plain().analysisCache.contains(key));
    EXPECT_EQ(s.preview().counts().measurements, 2);
  }
}

// Within the 0.25 s, a new selection or a running loop makes the prefetch measure nothing; an
// unreadable neighbour fails silently.
TEST(Prefetch, GivesUpOrFailsSilently) {
  struct Case {
    const char* name;
    std::function<void(PreviewSession&)> meanwhile;
  };
  const std::vector<Case> cases = {
      {"new selection", [](PreviewSession& s) { s.model->setSelection(s.id(2)); }},
      {"a loop runs",
       [](PreviewSession& s) {
         s.preview().hold();
         s.model->requestRender();
       }},
      {"unreadable neighbour", [](PreviewSession& s) { std::filesystem::remove(s.item(1).url); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PreviewSession s(3);
    s.showAndSettle(0);
    ASSERT_TRUE(s.model->plain().prefetchTask);
    c.meanwhile(s);
    s.clock().advance(seconds(0.3));
    EXPECT_FALSE(s.model->plain().analysisCache.contains(
        s.model->analysisCacheKey(s.item(1).url, s.item(1).settings)));
    EXPECT_FALSE(s.model->errorMessage());
    s.preview().release();
  }
}

// Every scan passed gets its warm-up on the renderer of its quick passes; none is cancelled and
// a failed one is silent. (On the fast renderer they wait for the picture of the scan reached.)
TEST(WarmUp, DecodesEachScanPassedInTheBackground) {
  for (PreviewMode mode : {PreviewMode::hybrid, PreviewMode::full, PreviewMode::fast}) {
    SCOPED_TRACE(toString(mode));
    PreviewSession s(4, mode);
    std::filesystem::remove(s.item(1).url);
    for (size_t i = 0; i < 4; ++i) {
      s.model->setSelection(s.id(i));
      s.model->warmUpSelected();
    }
    s.clock().advance(seconds(0.1));
    EXPECT_EQ(s.model->plain().previewImageID, s.id(3));
    Renderer& warmed = mode == PreviewMode::fast ? s.light() : s.fast();
    EXPECT_EQ(warmed.counts().decodes, 3);
    // On the preview renderer only the loop's own pass for the scan reached decodes, besides the
    // scan selected first, decoded at once while the session had no picture yet.
    EXPECT_EQ(s.preview().counts().decodes, mode == PreviewMode::fast ? 0 : 2);
    EXPECT_FALSE(s.model->errorMessage());
  }
}

}  // namespace
