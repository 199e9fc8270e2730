// The histogram of the preview: the measured size, counting and clip marks, normalisation, the
// clip mask as an image, and which of two computations is published.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <array>

#include "Model/AppModel.h"
#include "Model/HistogramMeasure.h"
#include "Testing/TestServices.h"

namespace {

DisplayP3Image uniform(int64_t width, int64_t height, std::array<uint16_t, 3> rgb) {
  DisplayP3Image image{width, height, {}};
  image.samples.resize(static_cast<size_t>(width * height * 3));
  for (size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = rgb[i % 3];
  return image;
}

TEST(HistogramMeasure, MeasuredSizeNeverEnlargesAndKeepsOnePixel) {
  struct Case {
    int64_t width, height;
    QSize measured;
  };
  for (const Case& c : {Case{2000, 1000, {640, 320}}, Case{6000, 4000, {640, 426}},
                        Case{300, 200, {300, 200}}, Case{1, 5000, {1, 640}},
                        Case{640, 640, {640, 640}}, Case{5000, 1, {640, 1}}, Case{0, 0, {1, 1}}}) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    EXPECT_EQ(HistogramMeasure::measuredSize(c.width, c.height), c.measured);
  }
}

// One pixel each: which clip it counts as and how the mask marks it, in straight alpha.
TEST(HistogramMeasure, ClipsAndMaskOfSinglePixels) {
  struct Case {
    std::array<uint8_t, 4> pixel;
    bool highlight, shadow;
    std::array<uint8_t, 4> mark;
  };
  const std::array<uint8_t, 4> red{255, 0, 0, 200}, blue{0, 90, 255, 200}, none{0, 0, 0, 0};
  for (const Case& c : {
           Case{{254, 0, 0, 255}, true, false, red},       // a highlight wins over dark others
           Case{{0, 0, 254, 0}, true, false, red},         // any channel, alpha ignored
           Case{{1, 1, 1, 255}, false, true, blue},        //
           Case{{0, 0, 0, 255}, false, true, blue},        //
           Case{{2, 0, 0, 255}, false, false, none},       // one channel at 2 is no shadow
           Case{{253, 253, 253, 255}, false, false, none}  // 253 is no highlight
       }) {
    SCOPED_TRACE(testing::Message()
                 << int(c.pixel[0]) << "," << int(c.pixel[1]) << "," << int(c.pixel[2]));
    const Histogram h = HistogramMeasure::count(c.pixel.data(), 1, 1);
    EXPECT_EQ(h.clipHighlights, c.highlight ? 1.0 : 0.0);
    EXPECT_EQ(h.clipShadows, c.shadow ? 1.0 : 0.0);
    ASSERT_EQ(h.clipMask.format(), QImage::Format_RGBA8888);
    const uint8_t* mark = h.clipMask.constBits();
    EXPECT_EQ((std::array<uint8_t, 4>{mark[0], mark[1], mark[2], mark[3]}), c.mark);
    // Straight alpha: the mark reads back as the colour it was written as.
    if (c.mark != none) {
      EXPECT_EQ(h.clipMask.pixelColor(0, 0), QColor(c.mark[0], c.mark[1], c.mark[2], c.mark[3]));
    }
  }
}

// The peak leaves out bins 0 and 255, is at least 1, and every bin is cut at 1.
TEST(HistogramMeasure, NormalisesByThePeakOfTheInnerBins) {
  std::vector<uint8_t> pixels;
  const auto add = [&](int times, uint8_t r, uint8_t g, uint8_t b) {
    for (int i = 0; i < times; ++i) pixels.insert(pixels.end(), {r, g, b, 255});
  };
  add(6, 0, 0, 0);       // bin 0 six times: beyond the peak, cut at 1
  add(4, 100, 50, 200);  // with the next row, red 100 and blue 200 hold the peak: 5
  add(1, 100, 60, 200);
  add(1, 255, 60, 30);
  const Histogram h =
      HistogramMeasure::count(pixels.data(), static_cast<int>(pixels.size() / 4), 1);
  EXPECT_EQ(h.r[0], 1.0f);
  EXPECT_EQ(h.r[100], 1.0f);
  EXPECT_EQ(h.g[50], 0.8f);
  EXPECT_EQ(h.g[60], 0.4f);
  EXPECT_EQ(h.b[200], 1.0f);
  EXPECT_EQ(h.b[30], 0.2f);
  EXPECT_EQ(h.r[255], 0.2f);
  EXPECT_DOUBLE_EQ(h.clipShadows, 6.0 / 12);
  EXPECT_DOUBLE_EQ(h.clipHighlights, 1.0 / 12);
}

// Whole images through the reduction: white, black and a mid grey, large enough to be scaled.
TEST(HistogramMeasure, UniformImagesLandInOneBin) {
  struct Case {
    const char* name;
    uint16_t value;
    size_t bin;
    double shadows, highlights;
  };
  for (const Case& c : {Case{"white", 65535, 255, 0, 1}, Case{"black", 0, 0, 1, 0},
                        Case{"grey", 32896, 128, 0, 0}}) {
    SCOPED_TRACE(c.name);
    const Histogram h = HistogramMeasure::measure(uniform(2000, 1000, {c.value, c.value, c.value}));
    EXPECT_EQ(h.clipMask.size(), QSize(640, 320));
    EXPECT_EQ(h.clipShadows, c.shadows);
    EXPECT_EQ(h.clipHighlights, c.highlights);
    for (size_t k = 0; k < 256; ++k) {
      const float expected = k == c.bin ? 1.0f : 0.0f;
      ASSERT_EQ(h.r[k], expected) << k;
      ASSERT_EQ(h.g[k], expected) << k;
      ASSERT_EQ(h.b[k], expected) << k;
    }
  }
}

// Display P3 values are counted as they are, channel by channel, without a colour conversion.
TEST(HistogramMeasure, CountsTheStoredValuesOfEachChannel) {
  const Histogram h =
      HistogramMeasure::measure(uniform(300, 200, {257 * 10, 257 * 128, 257 * 250}));
  EXPECT_EQ(h.r[10], 1.0f);
  EXPECT_EQ(h.g[128], 1.0f);
  EXPECT_EQ(h.b[250], 1.0f);
}

// A newer preview replaces the computation in hand: the earlier one is not published.
TEST(AppModelHistogram, TheNewerPreviewWins) {
  TestServices services;
  AppModel model(services.services());
  QSignalSpy published(&model, &AppModel::histogramChanged);
  auto white = std::make_shared<PreviewImage>();
  white->image = uniform(800, 600, {65535, 65535, 65535});
  auto black = std::make_shared<PreviewImage>();
  black->image = uniform(800, 600, {0, 0, 0});
  model.startHistogram(white);
  model.startHistogram(black);
  VirtualClock::settle();
  ASSERT_TRUE(model.histogram());
  EXPECT_EQ(published.count(), 1);
  EXPECT_EQ(model.histogram()->clipShadows, 1.0);
  EXPECT_EQ(model.histogram()->clipMask.size(), QSize(640, 480));
}

}  // namespace
