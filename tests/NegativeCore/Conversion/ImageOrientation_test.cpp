#include "Conversion/ImageOrientation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A 3 × 2 image whose red value names the pixel: 10·row + column.
LinearImage labelled() {
  LinearImage image(3, 2);
  for (int64_t y = 0; y < 2; ++y)
    for (int64_t x = 0; x < 3; ++x) {
      float* p = image.mutableRow(y) + x * 4;
      p[0] = static_cast<float>(10 * y + x);
      p[1] = p[2] = p[3] = 0;
    }
  return image;
}

std::vector<int> labels(const LinearImage& image) {
  std::vector<int> result;
  for (int64_t y = 0; y < image.height(); ++y)
    for (int64_t x = 0; x < image.width(); ++x)
      result.push_back(static_cast<int>(image.row(y)[x * 4]));
  return result;
}

TEST(ImageOrientation, ExifTagsTurnTheStoredImageUpright) {
  // Stored:  0  1  2
  //         10 11 12
  struct Case {
    int tag;
    int64_t width;
    std::vector<int> upright;
  };
  const Case cases[] = {
      {1, 3, {0, 1, 2, 10, 11, 12}}, {2, 3, {2, 1, 0, 12, 11, 10}}, {3, 3, {12, 11, 10, 2, 1, 0}},
      {4, 3, {10, 11, 12, 0, 1, 2}}, {5, 2, {0, 10, 1, 11, 2, 12}}, {6, 2, {10, 0, 11, 1, 12, 2}},
      {7, 2, {12, 2, 11, 1, 10, 0}}, {8, 2, {2, 12, 1, 11, 0, 10}}, {0, 3, {0, 1, 2, 10, 11, 12}},
      {9, 3, {0, 1, 2, 10, 11, 12}},
  };
  for (const Case& c : cases) {
    const LinearImage out = oriented(labelled(), ImageOrientation::fromExifTag(c.tag));
    EXPECT_EQ(out.width(), c.width) << "tag " << c.tag;
    EXPECT_EQ(labels(out), c.upright) << "tag " << c.tag;
  }
}

TEST(ImageOrientation, EditMovesComposeAfterTheFileOrientation) {
  const ImageOrientation none;
  // Mirror first, then one clockwise turn: 2 1 0 / 12 11 10 turned clockwise.
  EXPECT_EQ(labels(oriented(labelled(), none.followedBy(true, 1))),
            (std::vector<int>{12, 2, 11, 1, 10, 0}));
  EXPECT_EQ(none.followedBy(false, 5), none.followedBy(false, 1));
  EXPECT_EQ(none.followedBy(false, -1), none.followedBy(false, 3));
  EXPECT_EQ(none.followedBy(false, 4), none);
  // The file's turn and the edit's turn add up.
  EXPECT_EQ(ImageOrientation::fromExifTag(6).followedBy(false, 1),
            ImageOrientation::fromExifTag(3));
  EXPECT_EQ(ImageOrientation::fromExifTag(8).followedBy(false, 1), none);
  // LibRaw's flips name the same moves as the EXIF tags they stand for.
  EXPECT_EQ(ImageOrientation::fromLibRawFlip(3), ImageOrientation::fromExifTag(3));
  EXPECT_EQ(ImageOrientation::fromLibRawFlip(5), ImageOrientation::fromExifTag(8));
  EXPECT_EQ(ImageOrientation::fromLibRawFlip(6), ImageOrientation::fromExifTag(6));
  const LinearImage image = labelled();
  EXPECT_TRUE(oriented(image, none).sharesPixelsWith(image));
}

}  // namespace
