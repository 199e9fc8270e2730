// The print stage: density, matrix, paper curve, looks, saturation and clamp, per edit record.
#include "Print/Pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

#include "Print/Looks.h"
#include "Print/PaperCurve.h"

namespace {

using Rgb = std::array<float, 3>;

// Film measured from base (0.2, 0.5, 0.8) to dense end (1.4, 1.7, 2.0): a range of 1.2 each.
FilmAnalysis film() {
  FilmAnalysis analysis;
  analysis.dMin = {0.2, 0.5, 0.8};
  analysis.dMax = {1.4, 1.7, 2.0};
  return analysis;
}

// The scan value whose normalised density is d in every channel of film().
Rgb atDensity(Rgb d) {
  const FilmAnalysis a = film();
  Rgb v;
  for (int c = 0; c < 3; ++c)
    v[c] = static_cast<float>(std::pow(10.0, -(a.dMin[c] + d[c] * (a.dMax[c] - a.dMin[c]))));
  return v;
}

LinearImage imageOf(const std::vector<Rgb>& pixels) {
  LinearImage image(static_cast<int64_t>(pixels.size()), 1);
  float* row = image.mutableRow(0);
  for (size_t i = 0; i < pixels.size(); ++i) {
    for (int c = 0; c < 3; ++c) row[4 * i + c] = pixels[i][c];
    row[4 * i + 3] = 1;
  }
  return image;
}

Rgb printOf(Rgb value, const ConversionSettings& settings, const FilmAnalysis& a = film()) {
  const PrintImage print = Pipeline::render(imageOf({value}), a, settings);
  return {print.rgb[0], print.rgb[1], print.rgb[2]};
}

float curve(float v) { return std::clamp(PaperCurve(Pipeline::k).apply(v), 0.0f, 1.0f); }

void expectRgb(Rgb actual, Rgb expected, const std::string& what, float tolerance = 2e-5f) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(actual[c], expected[c], tolerance) << what << " ch " << c;
}

TEST(PaperCurve, FixedPointsAndConstants) {
  const PaperCurve paper(3.2f);
  EXPECT_NEAR(paper.lo, 0.1679816f, 1e-7);
  EXPECT_NEAR(paper.span, 0.6640368f, 1e-7);
  EXPECT_NEAR(paper.apply(0), 0, 1e-6);
  EXPECT_NEAR(paper.apply(0.5f), 0.5f, 1e-6);
  EXPECT_NEAR(paper.apply(1), 1, 1e-6);
}

TEST(Pipeline, DensityOfOneChannel) {
  EXPECT_NEAR(Pipeline::density(false, 0.1f, 0.5f, 2, 0), 0.25f, 1e-6);
  EXPECT_NEAR(Pipeline::density(true, 0.1f, 0.5f, 2, 0), 0.75f, 1e-6);
  EXPECT_NEAR(Pipeline::density(false, 0.1f, 0.5f, 2, 0.1f), 0.15f, 1e-6);
  for (float v : {0.0f, -1.0f, 1e-6f, std::numeric_limits<float>::quiet_NaN(),
                  std::numeric_limits<float>::infinity()})
    EXPECT_FLOAT_EQ(Pipeline::density(false, v, 0, 1, 0), 6) << v;
}

TEST(Pipeline, ColourNegativeWithTheDefaultRecord) {
  const ConversionSettings settings;
  expectRgb(printOf(atDensity({0, 0, 0}), settings), {0, 0, 0}, "film base prints black");
  expectRgb(printOf(atDensity({1, 1, 1}), settings), {1, 1, 1}, "dense end prints white");
  expectRgb(printOf(atDensity({0.5f, 0.5f, 0.5f}), settings), {0.5f, 0.5f, 0.5f}, "middle");
  const float q = curve(0.25f);
  expectRgb(printOf(atDensity({0.25f, 0.25f, 0.25f}), settings), {q, q, q}, "greys stay neutral");

  // The matrix mixes the channels of a coloured pixel.
  const Rgb coloured = printOf(atDensity({0.3f, 0.5f, 0.7f}), settings);
  EXPECT_GT(std::fabs(coloured[0] - curve(0.3f)), 0.01f);
}

TEST(Pipeline, SlidesPrintInvertedWithoutTheMatrix) {
  ConversionSettings settings;
  settings.mode = FilmMode::positive;
  expectRgb(printOf(atDensity({0, 0, 0}), settings), {1, 1, 1}, "clear film prints white");
  expectRgb(printOf(atDensity({1, 1, 1}), settings), {0, 0, 0}, "dense end prints black");
  expectRgb(printOf(atDensity({0.3f, 0.5f, 0.7f}), settings),
            {curve(0.7f), curve(0.5f), curve(0.3f)}, "channels stay apart");
}

TEST(Pipeline, ExposureAndWhiteBalanceShiftTheChannels) {
  const Rgb grey = atDensity({0.5f, 0.5f, 0.5f});
  const struct {
    std::string what;
    std::function<void(ConversionSettings&)> change;
    Rgb value;
    Rgb expected;
  } cases[] = {
      {"exposure 1",
       [](auto& s) { s.exposure = 1; },
       grey,
       {curve(0.62f), curve(0.62f), curve(0.62f)}},
      {"exposure 9 acts as 5",
       [](auto& s) { s.exposure = 9; },
       atDensity({0.1f, 0.1f, 0.1f}),
       {curve(0.7f), curve(0.7f), curve(0.7f)}},
      {"exposure -9 acts as -5",
       [](auto& s) { s.exposure = -9; },
       atDensity({0.9f, 0.9f, 0.9f}),
       {curve(0.3f), curve(0.3f), curve(0.3f)}},
      {"temperature 400 acts as 150",
       [](auto& s) { s.temperature = 400; },
       grey,
       {curve(0.65f), 0.5f, curve(0.35f)}},
      {"tint 100", [](auto& s) { s.tint = 100; }, grey, {0.5f, curve(0.42f), 0.5f}},
      {"cmy",
       [](auto& s) {
         s.cmy = {1.1, 1, 0.9};
       },
       grey,
       {curve(0.4f), 0.5f, curve(0.6f)}},
      {"contrast pivots about the middle",
       [](auto& s) { s.contrast = 2; },
       atDensity({0.4f, 0.4f, 0.4f}),
       {curve(0.3f), curve(0.3f), curve(0.3f)}},
      {"missing cmy values count as 1", [](auto& s) { s.cmy = {}; }, grey, {0.5f, 0.5f, 0.5f}},
  };
  for (const auto& c : cases) {
    ConversionSettings settings;
    c.change(settings);
    expectRgb(printOf(c.value, settings), c.expected, c.what, 5e-5f);
  }
}

TEST(Pipeline, BlackAndWhiteIgnoresFiltrationTemperatureAndLooks) {
  ConversionSettings plain;
  plain.mode = FilmMode::bwNegative;
  ConversionSettings dressed = plain;
  dressed.cmy = {1.2, 1, 1};
  dressed.temperature = 50;
  dressed.tint = -30;
  dressed.look = ScannerLook::frontier;
  dressed.filmPreset = "portra400-rich";
  // The measurement of a black-and-white negative has the same base and range in every channel.
  FilmAnalysis grey;
  grey.dMin = {0.3, 0.3, 0.3};
  grey.dMax = {1.5, 1.5, 1.5};
  for (const Rgb& value : {atDensity({0.3f, 0.5f, 0.7f}), Rgb{0.02f, 0.2f, 0.5f}}) {
    const Rgb expected = printOf(value, plain, grey);
    const Rgb actual = printOf(value, dressed, grey);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(actual[0], actual[1]);
    EXPECT_EQ(actual[1], actual[2]);
  }
  // A zero or negative value lies beyond the dense end and prints white.
  for (float v : {0.0f, -0.5f})
    expectRgb(printOf({v, v, v}, plain, grey), {1, 1, 1}, "beyond dense end");
}

TEST(Pipeline, FrontierShiftsWhiteBalanceAndContrastThenShapes) {
  ConversionSettings settings;
  settings.look = ScannerLook::frontier;
  const LookParameters look = parameters(ScannerLook::frontier);
  // Temperature +35 and tint +10 before the limits; paper contrast × 1.325.
  float r = curve(1.325f * (0.5f + 0.035f - 0.5f) + 0.5f);
  float g = curve(1.325f * (0.5f - 0.008f - 0.5f) + 0.5f);
  float b = curve(1.325f * (0.5f - 0.035f - 0.5f) + 0.5f);
  r = look.applyTone(r);
  g = look.applyTone(g);
  b = look.applyTone(b);
  look.applyColor(r, g, b, 0.229f * r + 0.6917f * g + 0.0793f * b);
  expectRgb(printOf(atDensity({0.5f, 0.5f, 0.5f}), settings), {r, g, b}, "frontier");
  // Its balance adds to the record's own before the limit of 150.
  settings.temperature = 140;
  ConversionSettings limit = settings;
  limit.temperature = 115;
  expectRgb(printOf(atDensity({0.5f, 0.5f, 0.5f}), settings),
            printOf(atDensity({0.5f, 0.5f, 0.5f}), limit), "limited after the balance");
}

TEST(Pipeline, SaturationZeroGivesLuminanceGrey) {
  ConversionSettings settings;
  const Rgb value = atDensity({0.3f, 0.5f, 0.75f});
  const Rgb colour = printOf(value, settings);
  settings.saturation = 0;
  const float L = 0.229f * colour[0] + 0.6917f * colour[1] + 0.0793f * colour[2];
  expectRgb(printOf(value, settings), {L, L, L}, "saturation 0", 1e-6f);
}

TEST(Pipeline, UndefinedInputPrintsDefinedValues) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ConversionSettings settings;
  settings.look = ScannerLook::frontier;
  settings.contrast = std::numeric_limits<double>::infinity();
  for (const Rgb& value : {Rgb{nan, inf, -inf}, Rgb{0.5f, 0.5f, 0.5f}, Rgb{1e30f, 0, 1e-30f}}) {
    for (float v : printOf(value, settings)) {
      EXPECT_GE(v, 0);
      EXPECT_LE(v, 1);
    }
  }
}

TEST(Pipeline, MatrixTunableIsReadPerRender) {
  const Rgb value = atDensity({0.3f, 0.5f, 0.7f});
  const Pipeline::Tunables initial = Pipeline::tunables();
  EXPECT_FLOAT_EQ(initial.matrix[3], 0.21f);
  EXPECT_EQ(initial.colorNegativeBalance, (std::pair<float, float>{0, 0}));

  Pipeline::setMatrix({1, 0, 0, 0, 1, 0, 0, 0, 1});
  const Rgb identity = printOf(value, ConversionSettings());
  Pipeline::setColorNegativeBalance({150, 0});
  const Rgb warm = printOf(atDensity({0.5f, 0.5f, 0.5f}), ConversionSettings());
  Pipeline::setMatrix(initial.matrix);
  Pipeline::setColorNegativeBalance(initial.colorNegativeBalance);

  expectRgb(identity, {curve(0.3f), curve(0.5f), curve(0.7f)}, "identity matrix is skipped");
  expectRgb(warm, {curve(0.65f), 0.5f, curve(0.35f)}, "colour-negative balance");
  EXPECT_EQ(Pipeline::matrix(), initial.matrix);
}

TEST(Pipeline, ARenderReadsTheTunablesOnce) {
  // Every row of the scan is the same, so a render that read the matrix more than once while
  // another thread changes it would give rows that differ.
  LinearImage scan(64, 256);
  for (int64_t y = 0; y < scan.height(); ++y) {
    float* row = scan.mutableRow(y);
    for (int64_t x = 0; x < scan.width(); ++x) {
      const Rgb v = atDensity({0.1f + 0.01f * static_cast<float>(x % 50), 0.5f, 0.7f});
      std::copy(v.begin(), v.end(), row + 4 * x);
      row[4 * x + 3] = 1;
    }
  }
  const std::array<float, 9> initial = Pipeline::matrix();
  const std::array<float, 9> identity{1, 0, 0, 0, 1, 0, 0, 0, 1};
  std::atomic<bool> done = false;
  std::thread changer([&] {
    for (int i = 0; !done; ++i) Pipeline::setMatrix(i % 2 ? identity : initial);
  });
  int mixedRenders = 0;
  for (int i = 0; i < 50; ++i) {
    const PrintImage print = Pipeline::render(scan, film(), ConversionSettings());
    for (int64_t y = 1; y < print.height; ++y)
      if (!std::equal(print.row(y), print.row(y) + 3 * print.width, print.row(0))) {
        ++mixedRenders;
        break;
      }
  }
  done = true;
  changer.join();
  Pipeline::setMatrix(initial);
  EXPECT_EQ(mixedRenders, 0);
}

TEST(Pipeline, EveryPixelOfALargeImageMatchesTheScalarModel) {
  // Several rows and a width that is not a multiple of the internal block.
  const int64_t width = 613;
  const int64_t height = 37;
  LinearImage image(width, height);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> uniform(-0.05f, 1.1f);
  float* pixels = image.mutablePixels();
  for (size_t i = 0; i < image.valueCount(); ++i) pixels[i] = uniform(random);
  pixels[4 * 5] = std::numeric_limits<float>::quiet_NaN();
  pixels[4 * 300 + 1] = 0;

  const FilmAnalysis a = film();
  const PrintImage print = Pipeline::render(image, a, ConversionSettings());
  ASSERT_EQ(print.width, width);
  ASSERT_EQ(print.height, height);
  const std::array<float, 9> m = Pipeline::matrix();
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x) {
      const float* in = image.row(y) + 4 * x;
      float e[3];
      for (int c = 0; c < 3; ++c)
        e[c] = Pipeline::density(false, in[c], static_cast<float>(a.dMin[c]),
                                 static_cast<float>(a.dMax[c] - a.dMin[c]), 0) -
               0.5f;
      for (int c = 0; c < 3; ++c) {
        const float d = m[3 * c] * e[0] + m[3 * c + 1] * e[1] + m[3 * c + 2] * e[2] + 0.5f;
        ASSERT_NEAR(print.row(y)[3 * x + c], curve(d), 1e-5) << x << "," << y << " ch " << c;
      }
    }
}

TEST(Pipeline, PrintMadeInTheScansOwnMemoryMatchesTheSeparateOne) {
  // Heights around the scratch rows and the waves, and a width that is not a multiple of the
  // internal block; the rows differ, so a row read after its memory was overwritten shows.
  ConversionSettings settings;
  settings.saturation = 1.3;
  for (const auto& [width, height] : {std::pair<int64_t, int64_t>{5, 1},
                                      {7, 2},
                                      {300, 3},
                                      {300, 4},
                                      {613, 37},
                                      {257, 200},
                                      {1000, 700}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    LinearImage image(width, height);
    std::mt19937 random(static_cast<unsigned>(width * height));
    std::uniform_real_distribution<float> uniform(0.01f, 1.1f);
    float* pixels = image.mutablePixels();
    for (size_t i = 0; i < image.valueCount(); ++i) pixels[i] = uniform(random);
    const PrintImage separate = Pipeline::render(image, film(), settings);

    LinearImage own = image;  // shared: rendered into new memory, the scan left as it was
    const PrintImage fromShared = Pipeline::render(std::move(own), film(), settings);
    EXPECT_EQ(fromShared.rgb, separate.rgb);
    EXPECT_EQ(image.pixels()[0], pixels[0]);

    LinearImage copy(width, height);
    std::copy(pixels, pixels + image.valueCount(), copy.mutablePixels());
    const float* memory = copy.pixels();
    const PrintImage inPlace = Pipeline::render(std::move(copy), film(), settings);
    EXPECT_EQ(inPlace.rgb.data(), memory);
    ASSERT_EQ(inPlace.width, width);
    ASSERT_EQ(inPlace.height, height);
    EXPECT_EQ(inPlace.rgb, separate.rgb);
  }
}

}  // namespace
