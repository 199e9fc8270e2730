// Crop actions: the crop in effect, the status line, auto-crop for every scan without an undo
// entry, and the landscape/portrait swap against the frame's pixel proportions.
#include <gtest/gtest.h>

#include "EditSession.h"

namespace {

std::shared_ptr<const PreviewImage> screenOfSize(int width, int height) {
  auto image = std::make_shared<PreviewImage>();
  image->screen = QImage(width, height, QImage::Format_RGB888);
  return image;
}

FilmAnalysis analysisWith(NormRect crop, bool found) {
  FilmAnalysis analysis;
  analysis.crop = crop;
  analysis.autoCropped = found;
  return analysis;
}

void expectRect(const NormRect& got, const NormRect& want) {
  EXPECT_NEAR(got.x, want.x, 1e-9);
  EXPECT_NEAR(got.y, want.y, 1e-9);
  EXPECT_NEAR(got.w, want.w, 1e-9);
  EXPECT_NEAR(got.h, want.h, 1e-9);
}

TEST(CropActions, StatusAndCropInEffectTakeTheFirstRuleThatApplies) {
  struct Case {
    const char* name;
    bool select;
    std::optional<NormRect> manual;
    bool autoCrop;
    std::optional<FilmAnalysis> analysis;
    const char* status;
    NormRect effective;
  };
  const NormRect manual{0.1, 0.1, 0.5, 0.5};
  const NormRect found{0.05, 0.04, 0.9, 0.92};
  const std::vector<Case> cases = {
      {"nothing selected", false, std::nullopt, true, std::nullopt, "", NormRect::full},
      {"nothing selected, analysis", false, std::nullopt, true, analysisWith(found, true), "",
       found},
      {"manual whatever auto-crop says", true, manual, true, analysisWith(found, true),
       "Manual crop", manual},
      {"manual with auto-crop off", true, manual, false, std::nullopt, "Manual crop", manual},
      {"auto-crop off", true, std::nullopt, false, analysisWith(found, false),
       "Full frame (no crop)", found},
      {"no analysis yet", true, std::nullopt, true, std::nullopt, "", NormRect::full},
      {"frame found", true, std::nullopt, true, analysisWith(found, true),
       "Frame found automatically", found},
      {"no border", true, std::nullopt, true, analysisWith(NormRect::full, false),
       "No border found, full frame", NormRect::full},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession session(1);
    auto items = session.model->items();
    items[0].settings.crop = c.manual;
    items[0].settings.autoCrop = c.autoCrop;
    session.model->setItems(items);
    if (c.select) session.select(0);
    session.model->setAnalysis(c.analysis);
    EXPECT_EQ(session.model->cropStatusText().toStdString(), c.status);
    expectRect(session.model->effectiveCrop(), c.effective);
  }
}

TEST(CropActions, AutoCropForAllCountsAndKeepsManualCropsWithoutAnUndoEntry) {
  struct Case {
    const char* name;
    std::vector<std::pair<bool, bool>> scans;  // manual crop, auto-crop on
    int written;
    const char* notice;
  };
  const std::vector<Case> cases = {
      {"mixed",
       {{true, false}, {false, false}, {true, true}, {false, true}, {false, false}},
       2,
       "Auto-crop on for 3 images. 2 with a manual crop kept theirs."},
      {"all manual", {{true, false}, {true, true}}, 0,
       "Auto-crop on for 0 images. 2 with a manual crop kept theirs."},
      {"one", {{false, false}}, 1, "Auto-crop on for 1 image."},
      {"none", {}, 0, "Auto-crop on for 0 images."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession session(c.scans.size());
    auto items = session.model->items();
    for (size_t i = 0; i < c.scans.size(); ++i) {
      if (c.scans[i].first) items[i].settings.crop = NormRect{0.1, 0.1, 0.5, 0.5};
      items[i].settings.autoCrop = c.scans[i].second;
    }
    session.model->setItems(items);
    int writes = 0;
    QObject::connect(session.model.get(), &AppModel::itemsChanged, [&] { ++writes; });
    session.model->autoCropAll();
    EXPECT_EQ(writes, c.written);
    EXPECT_EQ(session.model->notice().value_or("").toStdString(), c.notice);
    EXPECT_TRUE(session.undoStack().empty());
    for (size_t i = 0; i < c.scans.size(); ++i) {
      EXPECT_EQ(session.settings(i).autoCrop, c.scans[i].first ? c.scans[i].second : true) << i;
      EXPECT_EQ(session.settings(i).crop.has_value(), c.scans[i].first) << i;
    }
  }
}

TEST(CropActions, UndoingAnEarlierEditKeepsAutoCropOn) {
  EditSession session(1);
  session.select(0);
  session.model->editSelected([](ConversionSettings& s) { s.autoCrop = false; });
  session.wait(1);
  session.touch();
  session.model->autoCropAll();
  ASSERT_TRUE(session.settings(0).autoCrop);
  session.model->undo();
  session.model->undo();
  EXPECT_TRUE(session.settings(0).autoCrop);
  EXPECT_EQ(session.settings(0).exposure, 0);
}

// Rows: the aspect, the crop, the size the crop is measured against (uncropped preview in crop
// mode, else the frame last rendered), the swapped crop.
TEST(CropActions, SwapLaysTheLongSideTheOtherWayAboutTheSameCentre) {
  struct Case {
    const char* name;
    CropAspect aspect;
    NormRect crop;
    bool cropMode;
    QSize size;
    std::optional<NormRect> want;  // nothing: untouched
  };
  const std::vector<Case> cases = {
      {"3:2 on an uncropped 3000x2000 preview", CropAspect::r3x2, {0.2, 0.2, 0.6, 0.6}, true,
       {3000, 2000}, NormRect{0.3, 0.05, 0.4, 0.9}},
      {"back to landscape", CropAspect::r3x2, {0.3, 0.05, 0.4, 0.9}, true, {3000, 2000},
       NormRect{0.2, 0.2, 0.6, 0.6}},
      // Outside crop mode the frame's own proportions, not a fixed 3:2: exactly 3:4 in pixels.
      {"4:3 on a 4000x3000 frame outside crop mode", CropAspect::r4x3, {0.2, 0.2, 0.6, 0.6},
       false, {4000, 3000}, NormRect{0.275, 0.1, 0.45, 0.8}},
      {"square stays square", CropAspect::r1x1, {0.25, 0.1, 0.5, 0.75}, true, {3000, 2000},
       NormRect{0.25, 0.1, 0.5, 0.75}},
      {"free untouched", CropAspect::free, {0.2, 0.2, 0.6, 0.6}, true, {3000, 2000},
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditSession session(1);
    auto items = session.model->items();
    items[0].settings.crop = c.crop;
    items[0].settings.cropAspect = c.aspect;
    session.model->setItems(items);
    session.select(0);
    if (c.cropMode) {
      session.model->setPreview(screenOfSize(c.size.width(), c.size.height()));
      session.model->setPreviewIsUncropped(true);
      session.model->setProxySize(QSize(600, 900));  // never used while the preview is uncropped
    } else {
      session.model->setProxySize(c.size);
    }
    session.model->swapCropOrientation();
    if (c.want) {
      ASSERT_TRUE(session.settings(0).crop.has_value());
      expectRect(*session.settings(0).crop, *c.want);
      const double wide = session.settings(0).crop->w * c.size.width();
      const double tall = session.settings(0).crop->h * c.size.height();
      EXPECT_NEAR(std::max(wide, tall) / std::min(wide, tall), *ratio(c.aspect), 1e-9);
    } else {
      EXPECT_EQ(session.settings(0).crop, c.crop);
      EXPECT_TRUE(session.undoStack().empty());
    }
  }
}

TEST(CropActions, SwapIsOneUndoStepAndNeedsASelection) {
  EditSession session(1);
  auto items = session.model->items();
  items[0].settings.crop = NormRect{0.2, 0.2, 0.6, 0.6};
  items[0].settings.cropAspect = CropAspect::r3x2;
  session.model->setItems(items);
  session.model->swapCropOrientation();
  EXPECT_EQ(session.settings(0).crop, (NormRect{0.2, 0.2, 0.6, 0.6}));
  session.select(0);
  session.model->setProxySize(QSize(3000, 2000));
  session.model->swapCropOrientation();
  ASSERT_EQ(session.undoStack().size(), 1u);
  session.model->undo();
  EXPECT_EQ(session.settings(0).crop, (NormRect{0.2, 0.2, 0.6, 0.6}));
}

}  // namespace
