// The model's mapping between the shown preview and the selected scan: what it reads from the
// published preview, analysis and proxy size and from the current record, and when it must give
// nothing: no analysis, a preview that is not the selected scan's render, sizes without room.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Model/AppModel.h"
#include "Testing/TestServices.h"

namespace {

std::shared_ptr<const PreviewImage> pictureOf(int w, int h) {
  auto picture = std::make_shared<PreviewImage>();
  picture->screen = QImage(w, h, QImage::Format_RGB888);
  return picture;
}

struct MappedSession {
  MappedSession() {
    model = std::make_unique<AppModel>(services.services());
    std::vector<ImageItem> list(2);
    list[0].url = "/nowhere/a.tif";
    list[1].url = "/nowhere/b.tif";
    model->setItems(list);
    model->setSelection(id(0));
  }

  const Uuid& id(size_t i) const { return model->items()[i].id; }

  // What a finished pass of the selected scan publishes.
  void publish(NormRect crop, QSize proxy, QSize preview = {1200, 800}) {
    FilmAnalysis analysis;
    analysis.crop = crop;
    model->setPreview(pictureOf(preview.width(), preview.height()));
    model->setAnalysis(analysis);
    model->setProxySize(proxy);
    model->plain().previewImageID = model->selection();
  }

  void edit(const std::function<void(ConversionSettings&)>& change) {
    std::vector<ImageItem> list = model->items();
    change(list[*model->selectedIndex()].settings);
    model->setItems(list);
  }

  TestServices services;
  std::unique_ptr<AppModel> model;
};

void expectPoint(std::optional<QPointF> actual, QPointF expected) {
  ASSERT_TRUE(actual.has_value());
  EXPECT_NEAR(actual->x(), expected.x(), 1e-12);
  EXPECT_NEAR(actual->y(), expected.y(), 1e-12);
}

void expectNothingMaps(const AppModel& model) {
  EXPECT_FALSE(model.imagePoint(0.5, 0.5).has_value());
  EXPECT_FALSE(model.previewPoint(0.5, 0.5).has_value());
  EXPECT_FALSE(model.previewCircle(makeSpot(0.5, 0.5, 0.01)).has_value());
  EXPECT_FALSE(model.mappingFrame().has_value());
  EXPECT_EQ(model.previewLength(0.2), 0.01);
}

TEST(Mapping, ThePublishedCropAndSizeMapBothWays) {
  MappedSession session;
  session.publish({0.1, 0.2, 0.5, 0.5}, {3000, 2000});
  expectPoint(session.model->imagePoint(0.5, 0.5), {0.35, 0.45});
  expectPoint(session.model->previewPoint(0.35, 0.45), {0.5, 0.5});
  const auto circle = session.model->previewCircle(makeSpot(0.35, 0.45, 0.01));
  ASSERT_TRUE(circle.has_value());
  EXPECT_NEAR(circle->x, 0.5, 1e-12);
  EXPECT_NEAR(circle->y, 0.5, 1e-12);
  EXPECT_NEAR(circle->r, 0.01 * 3000 / (0.5 * 3000), 1e-12);

  session.publish({0.05, 0.05, 0.9, 0.9}, {6000, 4000});
  EXPECT_NEAR(session.model->previewLength(0.008), 0.00889, 5e-6);
}

TEST(Mapping, TheUncroppedPreviewShowsTheWholeFrameWithoutItsBorder) {
  MappedSession session;
  session.edit([](ConversionSettings& s) {
    s.border = BorderStyle::white;
    s.borderSize = 10;
    s.skewDegrees = 6;
  });
  session.publish({0.1, 0.2, 0.5, 0.5}, {3000, 2000});
  session.model->setPreviewIsUncropped(true);
  EXPECT_EQ(session.model->photoRect(), QRectF(0, 0, 1, 1));
  expectPoint(session.model->imagePoint(0.5, 0.5), {0.5, 0.5});
  EXPECT_NEAR(session.model->previewLength(0.01), 0.01, 1e-15);
}

// The angle is the record's now, not the one the preview was rendered with.
TEST(Mapping, TheStraightenAngleIsReadFromTheCurrentRecord) {
  MappedSession session;
  session.publish(NormRect::full, {3000, 2000});
  expectPoint(session.model->imagePoint(0.25, 0.25), {0.25, 0.25});
  session.edit([](ConversionSettings& s) { s.skewDegrees = 10; });
  const auto turned = session.model->imagePoint(0.25, 0.25);
  ASSERT_TRUE(turned.has_value());
  EXPECT_GT(std::abs(turned->x() - 0.25), 0.01);
  expectPoint(session.model->previewPoint(turned->x(), turned->y()), {0.25, 0.25});
}

TEST(Mapping, APlainBorderKeepsClicksOnItOutOfThePicture) {
  MappedSession session;
  session.edit([](ConversionSettings& s) {
    s.border = BorderStyle::white;
    s.borderSize = 5;
  });
  session.publish(NormRect::full, {1000, 600}, {1060, 660});
  const QRectF photo = session.model->photoRect();
  EXPECT_NEAR(photo.x(), 30.0 / 1060, 1e-12);
  EXPECT_NEAR(photo.height(), 600.0 / 660, 1e-12);
  EXPECT_FALSE(session.model->imagePoint(0.01, 0.5).has_value());
  expectPoint(session.model->imagePoint(30.0 / 1060, 30.0 / 660), {0, 0});
  // Lengths shrink with the picture inside the border.
  EXPECT_NEAR(session.model->previewLength(0.01), 0.01 * 1000.0 / 1060, 1e-12);
}

TEST(Mapping, WithoutAnAnalysisOnlyThePhotoRectangleAnswers) {
  MappedSession session;
  session.edit([](ConversionSettings& s) {
    s.border = BorderStyle::black;
    s.borderSize = 5;
  });
  session.model->setPreview(pictureOf(1060, 660));
  expectNothingMaps(*session.model);
  EXPECT_NEAR(session.model->photoRect().y(), 30.0 / 660, 1e-12);

  session.model->setSelection(std::nullopt);
  EXPECT_EQ(session.model->photoRect(), QRectF(0, 0, 1, 1));
}

// After a selection change the new scan's thumbnail stands in while the analysis of the scan
// left is still published: a click must not land through that scan's crop.
TEST(Mapping, APreviewThatIsNotTheSelectedScansRenderMapsNothing) {
  MappedSession session;
  session.publish({0.1, 0.2, 0.5, 0.5}, {3000, 2000});
  ASSERT_TRUE(session.model->imagePoint(0.5, 0.5).has_value());
  std::vector<ImageItem> list = session.model->items();
  list[1].thumbnail = pictureOf(300, 200);
  session.model->setItems(list);
  session.model->setSelection(session.id(1));
  ASSERT_EQ(session.model->preview(), list[1].thumbnail);
  ASSERT_TRUE(session.model->analysis().has_value());
  expectNothingMaps(*session.model);

  session.publish({0.1, 0.2, 0.5, 0.5}, {3000, 2000});
  EXPECT_TRUE(session.model->imagePoint(0.5, 0.5).has_value());
}

TEST(Mapping, SizesWithoutRoomMapNothing) {
  {
    MappedSession session;
    session.publish(NormRect::full, {0, 2000});
    expectNothingMaps(*session.model);
  }
  {
    MappedSession session;
    session.publish({0.2, 0.2, 0, 0.5}, {3000, 2000});
    expectNothingMaps(*session.model);
  }
  {
    // A border as wide as the tiny preview itself leaves no picture inside.
    MappedSession session;
    session.edit([](ConversionSettings& s) {
      s.border = BorderStyle::white;
      s.borderSize = 50;
    });
    session.publish(NormRect::full, {3000, 2000}, {1, 1});
    EXPECT_LE(session.model->photoRect().width(), 0);
    expectNothingMaps(*session.model);
  }
}

}  // namespace
