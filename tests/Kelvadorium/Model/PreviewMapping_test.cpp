// The mapping between the preview and the scan's frame over snapshots: crop and straightening
// both ways, the photo rectangle's inclusive edges, lengths, frames that cannot be mapped, and
// the photo rectangle of plain borders and film-holder frames.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "Model/PreviewMapping.h"

namespace {

using PreviewMapping::Frame;

Frame frameOf(int64_t w, int64_t h, double angle, NormRect crop, QRectF photo = {0, 0, 1, 1}) {
  Frame frame;
  frame.width = w;
  frame.height = h;
  frame.angle = angle;
  frame.crop = crop;
  frame.photo = photo;
  return frame;
}

void expectPoint(std::optional<QPointF> actual, QPointF expected, double tolerance = 1e-12) {
  ASSERT_TRUE(actual.has_value());
  EXPECT_NEAR(actual->x(), expected.x(), tolerance);
  EXPECT_NEAR(actual->y(), expected.y(), tolerance);
}

void expectRect(QRectF actual, QRectF expected) {
  EXPECT_NEAR(actual.x(), expected.x(), 1e-12);
  EXPECT_NEAR(actual.y(), expected.y(), 1e-12);
  EXPECT_NEAR(actual.width(), expected.width(), 1e-12);
  EXPECT_NEAR(actual.height(), expected.height(), 1e-12);
}

TEST(PreviewMapping, ACropPlacesThePreviewCentreAndMapsBack) {
  const Frame frame = frameOf(3000, 2000, 0, {0.1, 0.2, 0.5, 0.5});
  expectPoint(PreviewMapping::imagePoint(frame, {0.5, 0.5}), {0.35, 0.45});
  expectPoint(PreviewMapping::previewPoint(frame, {0.35, 0.45}), {0.5, 0.5});
  // Outside the crop maps outside the photo, with no range test.
  expectPoint(PreviewMapping::previewPoint(frame, {0.05, 0.9}), {-0.1, 1.4});
}

TEST(PreviewMapping, TheWholeFrameKeepsTheCentreAtAnyAngle) {
  for (const double angle : {-45.0, -3.5, 0.0, 7.25, 90.0}) {
    expectPoint(PreviewMapping::imagePoint(frameOf(1600, 1000, angle, NormRect::full), {0.5, 0.5}),
                {0.5, 0.5});
  }
}

TEST(PreviewMapping, BothDirectionsAreInverseAcrossAnglesCropsAndBorders) {
  const std::vector<Frame> frames = {
      frameOf(3000, 2000, 0, {0.1, 0.2, 0.5, 0.5}),
      frameOf(3000, 2000, 3.7, {0.05, 0.08, 0.9, 0.84}),
      frameOf(2000, 3000, -12, {0.2, 0.1, 0.6, 0.7}, {30.0 / 1060, 30.0 / 660, 1000.0 / 1060,
                                                        600.0 / 660}),
      frameOf(2400, 1600, 45, NormRect::full, {0.125, 0.1875, 0.75, 0.625}),
      frameOf(1200, 1200, -0.3, {0.3, 0.3, 0.1, 0.4}),
  };
  for (const Frame& frame : frames) {
    for (const QPointF p : {QPointF(0, 0), QPointF(0.5, 0.5), QPointF(0.13, 0.97),
                            QPointF(1, 1), QPointF(0.71, 0.02)}) {
      const QPointF preview(frame.photo.x() + p.x() * frame.photo.width(),
                            frame.photo.y() + p.y() * frame.photo.height());
      const auto image = PreviewMapping::imagePoint(frame, preview);
      ASSERT_TRUE(image.has_value()) << frame.angle;
      expectPoint(PreviewMapping::previewPoint(frame, *image), preview, 1e-12);
    }
  }
}

TEST(PreviewMapping, ThePhotoEdgesAreInsideAndAHairBeyondIsNot) {
  const Frame frame = frameOf(1000, 800, 2, {0.1, 0.1, 0.8, 0.8}, {0.25, 0.125, 0.5, 0.75});
  const double outside = std::nextafter(0.25, 0.0);
  for (const QPointF edge : {QPointF(0.25, 0.5), QPointF(0.75, 0.5), QPointF(0.5, 0.125),
                             QPointF(0.5, 0.875), QPointF(0.25, 0.125), QPointF(0.75, 0.875)}) {
    EXPECT_TRUE(PreviewMapping::imagePoint(frame, edge).has_value()) << edge.x() << ", " << edge.y();
  }
  for (const QPointF beyond :
       {QPointF(outside, 0.5), QPointF(std::nextafter(0.75, 1.0), 0.5),
        QPointF(0.5, std::nextafter(0.125, 0.0)), QPointF(0.5, std::nextafter(0.875, 1.0)),
        QPointF(std::numeric_limits<double>::quiet_NaN(), 0.5)}) {
    EXPECT_FALSE(PreviewMapping::imagePoint(frame, beyond).has_value())
        << beyond.x() << ", " << beyond.y();
  }
}

TEST(PreviewMapping, LengthsFollowTheLongEdgeTheCropAndThePhotoWidth) {
  EXPECT_NEAR(PreviewMapping::previewLength(frameOf(6000, 4000, 0, {0.05, 0.05, 0.9, 0.9}), 0.008),
              0.008 / 0.9, 1e-15);
  // A portrait scan: the long edge is the height, the preview width spans the crop's width.
  EXPECT_NEAR(PreviewMapping::previewLength(
                  frameOf(2000, 3000, 0, NormRect::full, {0.1, 0, 0.8, 1}), 0.01),
              0.01 * 3000 / 2000 * 0.8, 1e-15);
}

// Frames whose sizes leave nothing to divide by give the answers of a missing analysis.
TEST(PreviewMapping, FramesWithoutRoomMapNothing) {
  const std::vector<Frame> frames = {
      frameOf(0, 2000, 0, NormRect::full),
      frameOf(3000, 0, 0, NormRect::full),
      frameOf(3000, 2000, 0, {0.1, 0.1, 0, 0.5}),
      frameOf(3000, 2000, 0, {0.1, 0.1, 0.5, 0}),
      frameOf(3000, 2000, 0, NormRect::full, {0.5, 0.5, 0, 0}),
      frameOf(3000, 2000, 0, NormRect::full, {0.6, 0.6, -0.2, -0.2}),
      frameOf(3000, 2000, 0, {0.1, 0.1, std::numeric_limits<double>::quiet_NaN(), 0.5}),
  };
  for (const Frame& frame : frames) {
    EXPECT_FALSE(PreviewMapping::isUsable(frame));
    EXPECT_FALSE(PreviewMapping::imagePoint(frame, {0.5, 0.5}).has_value());
    EXPECT_FALSE(PreviewMapping::previewPoint(frame, {0.5, 0.5}).has_value());
    EXPECT_EQ(PreviewMapping::previewLength(frame, 0.2), PreviewMapping::unmappedLength);
  }
}

TEST(PreviewMapping, AnAngleThatIsNoNumberTurnsNothing) {
  const Frame frame =
      frameOf(3000, 2000, std::numeric_limits<double>::quiet_NaN(), {0.1, 0.2, 0.5, 0.5});
  expectPoint(PreviewMapping::imagePoint(frame, {0.5, 0.5}), {0.35, 0.45});
  expectPoint(PreviewMapping::previewPoint(frame, {0.35, 0.45}), {0.5, 0.5});
}

TEST(PreviewMapping, BorderWidthsOfTheFixedCases) {
  struct Case {
    int64_t shortSide;
    double size;
    int64_t pixels;
  };
  const std::vector<Case> cases = {
      {660, 5, 30}, {660, 50, 165}, {660, 80, 165}, {660, 0, 0}, {660, -3, 0},
      {660, std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PreviewMapping::borderPixels(c.shortSide, c.size), c.pixels)
        << c.shortSide << " at " << c.size;
  }
}

// The bordered preview is the picture with round(size % of its short side) added on each side:
// the border found from the bordered side must be the one that was added.
TEST(PreviewMapping, BorderWidthsRecoverTheBorderAdded) {
  for (const double percent : {1.0, 2.0, 5.0, 10.0, 12.5, 20.0, 25.0, 33.0, 50.0}) {
    for (int64_t picture = 100; picture <= 4000; picture += 7) {
      const auto added = static_cast<int64_t>(std::round(percent * picture / 100));
      EXPECT_EQ(PreviewMapping::borderPixels(picture + 2 * added, percent), added)
          << picture << " at " << percent;
    }
  }
}

TEST(PreviewMapping, PhotoRectangles) {
  using PreviewMapping::Picture;
  struct Case {
    const char* name;
    Picture picture;
    QRectF expected;
  };
  const QRectF whole(0, 0, 1, 1);
  const std::vector<Case> cases = {
      {"no border", {1060, 660, BorderStyle::none, 5, "", FilmMode::colorNegative}, whole},
      {"white 5", {1060, 660, BorderStyle::white, 5, "", FilmMode::colorNegative},
       {30.0 / 1060, 30.0 / 660, 1000.0 / 1060, 600.0 / 660}},
      {"black 5, portrait", {660, 1060, BorderStyle::black, 5, "", FilmMode::positive},
       {30.0 / 660, 30.0 / 1060, 600.0 / 660, 1000.0 / 1060}},
      {"80 counts as 50", {1060, 660, BorderStyle::white, 80, "", FilmMode::colorNegative},
       {165.0 / 1060, 165.0 / 660, 730.0 / 1060, 330.0 / 660}},
      {"-3 counts as 0", {1060, 660, BorderStyle::white, -3, "", FilmMode::colorNegative}, whole},
      {"holder, landscape", {2000, 1600, BorderStyle::film, 5, "holder35", FilmMode::positive},
       {0.125, 0.1875, 0.75, 0.625}},
      // The landscape holder turned a quarter clockwise around a portrait picture.
      {"holder, turned", {1000, 1250, BorderStyle::film, 5, "holder35", FilmMode::colorNegative},
       {0.1875, 0.125, 0.625, 0.75}},
      {"holder not for the mode", {2000, 1600, BorderStyle::film, 5, "holder35",
                                   FilmMode::bwNegative},
       whole},
      {"no such frame", {2000, 1600, BorderStyle::film, 5, "noSuchFrame", FilmMode::positive},
       whole},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectRect(PreviewMapping::photoRect(c.picture), c.expected);
  }
}

}  // namespace
