// The whole chain from scan file to exported file, pinned: each recipe renders one synthetic scan
// with one record through the export and compares the written pixels against a stored 16-bit
// reference in tests/reference/. A real change to any stage moves pixels by far more than the
// tolerance; regenerate the references on purpose with tools/regenerate_references.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <string>

#include "Conversion/FlatField.h"
#include "Driver/Converter.h"
#include "Driver/ExportScan.h"
#include "TestSupport/ImageFiles.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

namespace fs = std::filesystem;
using ScanFixtures::Pattern;

constexpr int64_t kLongEdge = 240;

// A colour negative of a smooth scene of many hues: per-channel log exposures that drift across
// the frame, inside a rebate at base density and a dark holder. No hard edges, so demosaicing
// adds nothing of its own.
Pattern colourSceneNegative(int64_t width, int64_t height) {
  return [=](int64_t x, int64_t y) -> std::array<float, 4> {
    const double u = (x + 0.5) / width;
    const double v = (y + 0.5) / height;
    const double edge = std::min({u, v, 1 - u, 1 - v});
    const std::array<double, 3> base{0.15, 0.45, 0.75};
    std::array<float, 4> out{0, 0, 0, 1};
    for (int c = 0; c < 3; ++c) {
      double density = base[c];
      if (edge < 0.03) {
        density = 3.2;
      } else if (edge > 0.1) {
        const double phase = c * 2 * std::numbers::pi / 3;
        const double logExposure =
            0.25 + 0.9 * (0.5 + 0.5 * std::sin(5.0 * u + 3.0 * v + phase)) + 0.6 * v;
        density += 0.62 * logExposure;
      }
      out[c] = float(std::pow(10.0, -density));
    }
    return out;
  };
}

// A slide: a positive with smooth colour gradients and a dark mount around it, as encoded values.
Pattern slide(int64_t width, int64_t height) {
  return [=](int64_t x, int64_t y) -> std::array<float, 4> {
    const double u = (x + 0.5) / width;
    const double v = (y + 0.5) / height;
    if (std::min({u, v, 1 - u, 1 - v}) < 0.04) return {0.02f, 0.02f, 0.02f, 1};
    return {float(0.1 + 0.8 * u), float(0.15 + 0.7 * v),
            float(0.2 + 0.6 * (0.5 + 0.5 * std::cos(6 * u * v))), 1};
  };
}

enum class Film { colourNegative, colourScene, bwNegative, slide };

fs::path writeScan(const fs::path& folder, Film film) {
  switch (film) {
    case Film::colourNegative: {
      ScanFixtures::Negative negative;
      const fs::path path = folder / "negative.dng";
      ScanFixtures::writeNegativeDng(path, negative);
      return path;
    }
    case Film::colourScene: {
      ScanFixtures::Dng dng;
      dng.width = 480;
      dng.height = 320;
      dng.pattern = colourSceneNegative(dng.width, dng.height);
      const fs::path path = folder / "scene.dng";
      ScanFixtures::writeDng(path, dng);
      return path;
    }
    case Film::bwNegative: {
      ScanFixtures::Negative negative;
      negative.baseDensity = {0.25, 0.25, 0.25};
      negative.gamma = {0.62, 0.62, 0.62};
      const fs::path path = folder / "bw.dng";
      ScanFixtures::writeNegativeDng(path, negative);
      return path;
    }
    case Film::slide: {
      ScanFixtures::Tiff tiff;
      tiff.width = 450;
      tiff.height = 300;
      tiff.bitsPerSample = 16;
      tiff.pattern = slide(tiff.width, tiff.height);
      tiff.icc = ScanFixtures::linearDisplayP3Profile();
      const fs::path path = folder / "slide.tif";
      ScanFixtures::writeTiff(path, tiff);
      return path;
    }
  }
  return {};
}

struct Recipe {
  const char* name;
  Film film;
  std::function<void(ConversionSettings&)> edit;
  ExportFormat format = ExportFormat::tiff16;
  ExportColorSpace space = ExportColorSpace::displayP3;
};

DodgeBurnStroke brush(std::vector<std::vector<double>> points, double stops) {
  DodgeBurnStroke stroke;
  stroke.points = std::move(points);
  stroke.radius = 0.06;
  stroke.stops = stops;
  return stroke;
}

const Recipe kRecipes[] = {
    {"colour-negative-default", Film::colourNegative, [](ConversionSettings&) {}},
    {"colour-negative-preset-exposure-crop-straightened", Film::colourScene,
     [](ConversionSettings& s) {
       s.filmPreset = "portra400-natural";
       s.exposure = 0.35;
       s.crop = NormRect{0.08, 0.1, 0.8, 0.75};
       s.skewDegrees = 2.5;
     }},
    {"bw-negative", Film::bwNegative, [](ConversionSettings& s) { s.mode = FilmMode::bwNegative; }},
    {"slide-positive", Film::slide, [](ConversionSettings& s) { s.mode = FilmMode::positive; }},
    {"tone-controls-curves-hsl", Film::colourScene,
     [](ConversionSettings& s) {
       s.contrast = 1.15;
       s.saturation = 1.2;
       s.temperature = 12;
       s.tint = -6;
       s.highlights = -30;
       s.shadows = 25;
       s.whites = 10;
       s.blacks = -8;
       s.clarity = 20;
       s.curves.rgb.points = {{0.0, 0.0}, {0.3, 0.24}, {0.7, 0.78}, {1.0, 1.0}};
       s.curves.blue.points = {{0.0, 0.04}, {1.0, 0.96}};
       s.curves.regions = {0.0, 0.1, -0.05, 0.0};
       s.hsl.hue[0] = 10;
       s.hsl.saturation[3] = -30;
       s.hsl.luminance[5] = 20;
     }},
    {"repairs-dodge-burn-layer", Film::colourScene,
     [](ConversionSettings& s) {
       Spot cloned;
       cloned.x = 0.4;
       cloned.y = 0.45;
       cloned.r = 0.02;
       cloned.sx = 0.46;
       cloned.sy = 0.45;
       Spot searched;
       searched.x = 0.62;
       searched.y = 0.3;
       searched.r = 0.015;
       s.spots = {cloned, searched};
       s.dodgeBurn = {brush({{0.3, 0.6}, {0.5, 0.65}, {0.7, 0.6}}, 0.6),
                      DodgeBurnStroke::radial({0.5, 0.5}, 0.3, 0.2, -0.5, 1.8, true)};
       LocalLayer layer;
       layer.name = "Sky";
       layer.shapes = {DodgeBurnStroke::linear({0.5, 0.15}, {0.5, 0.5}, 1.0)};
       layer.adjust.exposure = -0.4;
       layer.adjust.saturation = 15;
       s.layers = {layer};
     }},
    {"film-holder-frame", Film::colourNegative,
     [](ConversionSettings& s) {
       s.border = BorderStyle::film;
       s.borderFrame = "holder35";
     }},
    {"jpeg-srgb", Film::colourScene, [](ConversionSettings&) {}, ExportFormat::jpeg,
     ExportColorSpace::sRGB},
    {"tiff-romm", Film::colourScene, [](ConversionSettings&) {}, ExportFormat::tiff16,
     ExportColorSpace::proPhotoRGB},
};

struct Pixels {
  int64_t width = 0;
  int64_t height = 0;
  std::vector<uint16_t> rgb;  // 16-bit, three samples per pixel
};

// The written file's pixels at 16 bits: JPEG samples scaled by 257.
Pixels readExport(const fs::path& path) {
  Pixels pixels;
  if (path.extension() == ".jpg") {
    const auto jpeg = readJpeg(path);
    if (!jpeg) return pixels;
    pixels.width = jpeg->width;
    pixels.height = jpeg->height;
    for (uint8_t sample : jpeg->samples) pixels.rgb.push_back(uint16_t(sample * 257));
    return pixels;
  }
  const auto tiff = readTiff(path);
  if (!tiff || tiff->samplesPerPixel < 3) return pixels;
  pixels.width = tiff->width;
  pixels.height = tiff->height;
  const int scale = tiff->bitsPerSample == 8 ? 257 : 1;
  for (size_t i = 0; i < tiff->samples.size(); i += size_t(tiff->samplesPerPixel)) {
    for (int c = 0; c < 3; ++c) pixels.rgb.push_back(uint16_t(tiff->samples[i + c] * scale));
  }
  return pixels;
}

void writeReference(const fs::path& path, const Pixels& pixels) {
  ScanFixtures::Tiff tiff;
  tiff.width = pixels.width;
  tiff.height = pixels.height;
  tiff.bitsPerSample = 16;
  tiff.deflate = true;
  tiff.pattern = [&](int64_t x, int64_t y) -> std::array<float, 4> {
    const size_t i = size_t(y * pixels.width + x) * 3;
    return {pixels.rgb[i] / 65535.0f, pixels.rgb[i + 1] / 65535.0f, pixels.rgb[i + 2] / 65535.0f,
            1};
  };
  ScanFixtures::writeTiff(path, tiff);
}

Pixels render(const Recipe& recipe, const TempDir& dir) {
  const fs::path scan = writeScan(dir.path(), recipe.film);
  ConversionSettings settings;
  recipe.edit(settings);
  const FilmAnalysis analysis =
      Converter::analyze(FlatField::decodeCorrected(scan, settings, 1.0), settings);
  ExportOptions options;
  options.longEdge = kLongEdge;
  options.colorSpace = recipe.space;
  const fs::path out = dir / "out";
  fs::create_directories(out);
  const auto written =
      Converter::exportScan(scan, settings, analysis, {recipe.format}, out, true, options);
  if (written.size() != 1) return {};
  return readExport(written.front());
}

class ReferenceImages : public testing::TestWithParam<Recipe> {};

TEST_P(ReferenceImages, ExportMatchesItsReference) {
  const Recipe& recipe = GetParam();
  TempDir dir;
  const Pixels rendered = render(recipe, dir);
  ASSERT_FALSE(rendered.rgb.empty()) << "the export could not be read back";
  EXPECT_EQ(std::max(rendered.width, rendered.height), kLongEdge);

  const fs::path reference = fs::path(KV_TEST_REFERENCES) / (std::string(recipe.name) + ".tif");
  if (std::getenv("KV_WRITE_REFERENCES")) {
    writeReference(reference, rendered);
    GTEST_SKIP() << "wrote " << reference;
  }
  const Pixels expected = readExport(reference);
  ASSERT_FALSE(expected.rgb.empty())
      << reference << " is missing: run tools/regenerate_references.sh";
  ASSERT_EQ(rendered.width, expected.width);
  ASSERT_EQ(rendered.height, expected.height);

  // A JPEG's samples are 8-bit; both may differ by a rounding step of the float arithmetic.
  const int step = recipe.format == ExportFormat::jpeg ? 257 : 1;
  int worst = 0;
  double total = 0;
  for (size_t i = 0; i < rendered.rgb.size(); ++i) {
    const int difference = std::abs(int(rendered.rgb[i]) - int(expected.rgb[i]));
    worst = std::max(worst, difference);
    total += difference;
  }
  const double mean = total / double(rendered.rgb.size());
  EXPECT_LE(worst, 40 * step) << "largest difference in 16-bit steps";
  EXPECT_LE(mean, 2.0 * step) << "mean difference in 16-bit steps";
}

INSTANTIATE_TEST_SUITE_P(Recipes, ReferenceImages, testing::ValuesIn(kRecipes),
                         [](const testing::TestParamInfo<Recipe>& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
