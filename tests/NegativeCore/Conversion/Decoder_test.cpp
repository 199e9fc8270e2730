#include "Conversion/Decoder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "Conversion/DecodeSize.h"
#include "TestSupport/ScanFixtures.h"
#include "TestSupport/TempDir.h"

namespace {

using Pixel = std::array<float, 4>;

Pixel pixel(const LinearImage& image, int64_t x, int64_t y) {
  const float* p = image.row(y) + x * 4;
  return {p[0], p[1], p[2], p[3]};
}

float srgbToLinear(float v) {
  return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

DecodeError::Kind failureKind(const std::filesystem::path& path, double scale = 1) {
  try {
    Decoder::decode(path, 0, false, scale);
  } catch (const DecodeError& error) {
    return error.kind();
  }
  ADD_FAILURE() << "decode of " << path << " did not fail";
  return DecodeError::Kind::unreadable;
}

// Independent statement of the edit's moves: mirror left-right, then turn clockwise.
LinearImage mirroredThenTurned(const LinearImage& image, bool mirrored, int turns) {
  LinearImage current = image;
  if (mirrored) {
    LinearImage next(current.width(), current.height());
    for (int64_t y = 0; y < current.height(); ++y)
      for (int64_t x = 0; x < current.width(); ++x)
        std::copy_n(current.row(y) + (current.width() - 1 - x) * 4, 4, next.mutableRow(y) + x * 4);
    current = next;
  }
  for (int t = 0; t < ((turns % 4) + 4) % 4; ++t) {
    LinearImage next(current.height(), current.width());
    for (int64_t y = 0; y < next.height(); ++y)
      for (int64_t x = 0; x < next.width(); ++x)  // the bottom-left corner moves to the top left
        std::copy_n(current.row(current.height() - 1 - x) + y * 4, 4, next.mutableRow(y) + x * 4);
    current = next;
  }
  return current;
}

bool samePixels(const LinearImage& a, const LinearImage& b) {
  return a.width() == b.width() && a.height() == b.height() &&
         std::equal(a.pixels(), a.pixels() + a.valueCount(), b.pixels());
}

// A pattern that differs at every pixel, stored linearly so that values come back exactly.
ScanFixtures::Tiff gradientTiff(int64_t width, int64_t height) {
  ScanFixtures::Tiff tiff;
  tiff.width = width;
  tiff.height = height;
  tiff.bitsPerSample = 16;
  tiff.icc = ScanFixtures::linearDisplayP3Profile();
  tiff.pattern = [=](int64_t x, int64_t y) {
    return Pixel{(x + 1.0f) / (width + 1), (y + 1.0f) / (height + 1), 0.25f, 1};
  };
  return tiff;
}

class DecoderTest : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST(DecoderExtensions, SetsAndCase) {
  EXPECT_EQ(Decoder::rawExtensions().size(), 13u);
  EXPECT_EQ(Decoder::imageExtensions().size(), 6u);
  EXPECT_EQ(Decoder::supportedExtensions().size(), 19u);
  for (const char* ext : {"nef", "dng", "3fr", "iiq", "cr3"})
    EXPECT_TRUE(Decoder::rawExtensions().contains(ext)) << ext;
  for (const char* ext : {"jpeg", "jpg", "tif", "tiff", "png", "heic"})
    EXPECT_TRUE(Decoder::supportedExtensions().contains(ext)) << ext;
  EXPECT_FALSE(Decoder::supportedExtensions().contains("gif"));
  EXPECT_FALSE(Decoder::supportedExtensions().contains("JPG"));  // callers compare lower case
}

TEST_F(DecoderTest, DngDecodesNeutralAndColouredValuesThroughTheIdentityMatrix) {
  for (const auto& rgb :
       {std::array<float, 3>{0.5f, 0.5f, 0.5f}, {0.5f, 0.25f, 0.125f}, {0.05f, 0.3f, 0.9f}}) {
    ScanFixtures::Dng dng;
    dng.pattern = ScanFixtures::flat(rgb[0], rgb[1], rgb[2]);
    ScanFixtures::writeDng(dir / "flat.dng", dng);
    for (double scale : {1.0, 0.25}) {
      const LinearImage image = Decoder::decode(dir / "flat.dng", 0, false, scale);
      const Pixel p = pixel(image, image.width() / 2, image.height() / 2);
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], rgb[c], 0.002) << "channel " << c;
      EXPECT_NEAR(p[3], 1.0f, 1e-5);
    }
  }
}

// A dense patch beside a clear one, as at the edge of a frame, a sprocket hole or a step wedge:
// demosaicing may blur the edge but must not invent a channel value beyond the two patches' (a
// near-zero one reads as density 6 and moves the film measurement).
TEST_F(DecoderTest, DemosaicedHardEdgesStayWithinThePatchValues) {
  constexpr Pixel dense{0.02f, 0.006f, 0.002f, 1}, clear{0.7f, 0.35f, 0.18f, 1};
  struct Case {
    const char* name;
    std::function<bool(int64_t x, int64_t y)> isDense;
  };
  const Case cases[] = {
      {"edge after an even column", [](int64_t x, int64_t) { return x < 32; }},
      {"edge after an odd column", [](int64_t x, int64_t) { return x < 33; }},
      {"edge between rows", [](int64_t, int64_t y) { return y >= 23; }},
      {"small dense square", [](int64_t x, int64_t y) { return x / 5 == 6 && y / 5 == 4; }},
      {"thin clear line", [](int64_t x, int64_t) { return x < 30 || x > 32; }},
      {"checkerboard of 3-pixel squares", [](int64_t x, int64_t y) { return (x / 3 + y / 3) % 2; }},
  };
  // Two 16-bit steps of the stored range: the values themselves come back quantised.
  constexpr float quantum = 2.0f / (16383 - 256);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScanFixtures::Dng dng;
    dng.pattern = [&](int64_t x, int64_t y) { return c.isDense(x, y) ? dense : clear; };
    ScanFixtures::writeDng(dir / "edge.dng", dng);
    const LinearImage image = Decoder::decode(dir / "edge.dng", 0, false, 1);
    int outside = 0;
    for (int64_t y = 0; y < image.height(); ++y)
      for (int64_t x = 0; x < image.width(); ++x)
        for (int ch = 0; ch < 3; ++ch) {
          const float v = pixel(image, x, y)[ch];
          if (v < dense[ch] - quantum || v > clear[ch] + quantum) ++outside;
        }
    EXPECT_EQ(outside, 0);
  }
}

TEST_F(DecoderTest, DecodeSizesFollowTheScale) {
  ScanFixtures::Dng dng;
  dng.width = 200;
  dng.height = 120;
  ScanFixtures::writeDng(dir / "raw.dng", dng);
  dng.width = 65;
  dng.height = 47;
  ScanFixtures::writeDng(dir / "odd.dng", dng);
  ScanFixtures::Tiff tiff;
  tiff.width = 200;
  tiff.height = 120;
  ScanFixtures::writeTiff(dir / "image.tif", tiff);
  struct Case {
    const char* file;
    double scale;
    int64_t width, height;
  };
  // Sides are ceil(side · s) for the float s: 0.3f and 0.1f lie just above 0.3 and 0.1, so
  // 200 · 0.3f is a hair over 60 and takes a 61st column; 0.01f lies just below 0.01.
  const Case cases[] = {
      {"raw.dng", 1, 200, 120},    {"raw.dng", 2, 200, 120},   {"raw.dng", 0.75, 150, 90},
      {"raw.dng", 0.5, 100, 60},   {"raw.dng", 0.25, 50, 30},  {"raw.dng", 0.3, 61, 37},
      {"raw.dng", 0.001, 2, 2},    {"raw.dng", 0.01, 2, 2},    {"raw.dng", -3, 2, 2},
      {"image.tif", 1, 200, 120},  {"image.tif", 2, 200, 120}, {"image.tif", 0.5, 100, 60},
      {"image.tif", 0.25, 50, 30}, {"image.tif", 0.3, 61, 37}, {"image.tif", 0.001, 1, 1},
  };
  for (const Case& c : cases) {
    const LinearImage image = Decoder::decode(dir / c.file, 0, false, c.scale);
    EXPECT_EQ(image.width(), c.width) << c.file << " at " << c.scale;
    EXPECT_EQ(image.height(), c.height) << c.file << " at " << c.scale;
  }
}

TEST_F(DecoderTest, UpperCaseRawExtensionDecodesAsRaw) {
  ScanFixtures::Dng dng;
  dng.width = 300;
  dng.height = 200;
  dng.pattern = ScanFixtures::flat(0.4f, 0.4f, 0.4f);
  ScanFixtures::writeDng(dir / "FRAME.NEF", dng);
  // Only the RAW path has the 0.01 floor; as an image it would shrink to 1 × 1.
  const LinearImage image = Decoder::decode(dir / "FRAME.NEF", 0, false, 0.001);
  EXPECT_EQ(image.width(), 3);
  EXPECT_EQ(image.height(), 2);
  EXPECT_NEAR(pixel(image, 0, 0)[1], 0.4f, 0.003);
}

TEST_F(DecoderTest, RawExtensionThatLibRawRejectsIsReadAsAnImage) {
  ScanFixtures::Png png;
  png.pattern = ScanFixtures::flat(188 / 255.0f, 188 / 255.0f, 188 / 255.0f);
  ScanFixtures::writePng(dir / "renamed.nef", png);
  const LinearImage image = Decoder::decode(dir / "renamed.nef", 0, false, 1);
  EXPECT_EQ(image.width(), 40);
  EXPECT_NEAR(pixel(image, 3, 3)[0], 0.5029f, 0.002);
}

TEST_F(DecoderTest, EditTurnsAndMirrorsOnBothPaths) {
  ScanFixtures::writeTiff(dir / "gradient.tif", gradientTiff(7, 4));
  const LinearImage upright = Decoder::decode(dir / "gradient.tif", 0, false, 1);
  for (int turns : {0, 1, 2, 3, 5, -1, -2})
    for (bool mirrored : {false, true}) {
      const LinearImage image = Decoder::decode(dir / "gradient.tif", turns, mirrored, 1);
      EXPECT_TRUE(samePixels(image, mirroredThenTurned(upright, mirrored, turns)))
          << "turns " << turns << " mirrored " << mirrored;
    }

  ScanFixtures::Dng dng;
  dng.width = 40;
  dng.height = 24;
  dng.pattern = ScanFixtures::quadrants(40, 24, 0.6f);
  ScanFixtures::writeDng(dir / "quadrants.dng", dng);
  for (double scale : {1.0, 0.5}) {
    const LinearImage rawUpright = Decoder::decode(dir / "quadrants.dng", 0, false, scale);
    for (int turns : {1, 3, 5})
      EXPECT_TRUE(samePixels(Decoder::decode(dir / "quadrants.dng", turns, true, scale),
                             mirroredThenTurned(rawUpright, true, turns)))
          << "raw turns " << turns << " scale " << scale;
  }
}

// Whether channel c clearly dominates the pixel (sRGB primaries are not pure in Display P3).
bool dominant(const Pixel& p, int c) {
  return p[c] > 0.3f && p[c] > 2 * p[(c + 1) % 3] && p[c] > 2 * p[(c + 2) % 3];
}

// The upright image's top-left quadrant is red, top right green, bottom left blue.
void expectUprightQuadrants(const LinearImage& image, const char* what) {
  const int64_t w = image.width(), h = image.height();
  EXPECT_TRUE(dominant(pixel(image, w / 4, h / 4), 0)) << what;
  EXPECT_TRUE(dominant(pixel(image, 3 * w / 4, h / 4), 1)) << what;
  EXPECT_TRUE(dominant(pixel(image, w / 4, 3 * h / 4), 2)) << what;
}

// Stored pixels that an orientation-6 reader turns clockwise into upright quadrants: the
// stored image is the upright one turned anticlockwise.
ScanFixtures::Pattern storedForOrientation6(int64_t uprightWidth, int64_t uprightHeight) {
  const auto upright = ScanFixtures::quadrants(uprightWidth, uprightHeight, 0.8f);
  return [=](int64_t x, int64_t y) { return upright(uprightWidth - 1 - y, x); };
}

TEST_F(DecoderTest, FileOrientationIsApplied) {
  // Upright 48 × 32, stored 32 × 48 with orientation 6.
  ScanFixtures::Jpeg jpeg;
  jpeg.width = 32;
  jpeg.height = 48;
  jpeg.exifOrientation = 6;
  jpeg.pattern = storedForOrientation6(48, 32);
  ScanFixtures::writeJpeg(dir / "turned.jpg", jpeg);
  ScanFixtures::Tiff tiff;
  tiff.width = 32;
  tiff.height = 48;
  tiff.orientation = 6;
  tiff.pattern = storedForOrientation6(48, 32);
  ScanFixtures::writeTiff(dir / "turned.tif", tiff);
  ScanFixtures::Dng dng;
  dng.width = 32;
  dng.height = 48;
  dng.orientation = 6;
  dng.pattern = storedForOrientation6(48, 32);
  ScanFixtures::writeDng(dir / "turned.dng", dng);
  // libheif's encoder turns the pixels it is given; decoding must show them as libheif does.
  ScanFixtures::Heic heic;
  heic.width = 48;
  heic.height = 32;
  heic.orientation = 6;
  heic.pattern = ScanFixtures::quadrants(48, 32, 0.8f);
  ScanFixtures::writeHeic(dir / "turned.heic", heic);

  for (const char* name : {"turned.jpg", "turned.tif", "turned.dng"}) {
    const LinearImage image = Decoder::decode(dir / name, 0, false, 1);
    EXPECT_EQ(image.width(), 48) << name;
    EXPECT_EQ(image.height(), 32) << name;
    expectUprightQuadrants(image, name);
    const LinearImage half = Decoder::decode(dir / name, 0, false, 0.5);
    EXPECT_EQ(half.width(), 24) << name;
    EXPECT_EQ(half.height(), 16) << name;
    expectUprightQuadrants(half, name);
    const auto size = Decoder::pixelSize(dir / name);
    ASSERT_TRUE(size) << name;
    if (std::string(name) != "turned.dng") {  // stored size, not turned
      EXPECT_EQ(size->first, 32) << name;
      EXPECT_EQ(size->second, 48) << name;
    }
    // The upright size is the decode's, read from the header alone.
    EXPECT_EQ(Decoder::uprightPixelSize(dir / name), (std::pair<double, double>{48, 32})) << name;
  }
  const LinearImage heicImage = Decoder::decode(dir / "turned.heic", 0, false, 1);
  EXPECT_EQ(heicImage.width(), 32);
  EXPECT_EQ(heicImage.height(), 48);
  EXPECT_TRUE(dominant(pixel(heicImage, 24, 12), 0));  // the given top left, turned to top right
  EXPECT_TRUE(dominant(pixel(heicImage, 8, 12), 2));   // the given bottom left, now top left
  EXPECT_EQ(Decoder::pixelSize(dir / "turned.heic"), (std::pair<double, double>{32, 48}));
  EXPECT_EQ(Decoder::uprightPixelSize(dir / "turned.heic"), (std::pair<double, double>{32, 48}));
}

struct TiffKind {
  const char* name;
  int bits;
  bool floatingPoint;
  int channels;
  bool separate;
  bool tiled;
  bool minIsWhite;
};

TEST_F(DecoderTest, EveryTiffKindDecodesToTheSameLinearValues) {
  const TiffKind kinds[] = {
      {"grey 8", 8, false, 1, false, false, false},
      {"grey 16 min-is-white", 16, false, 1, false, false, true},
      {"grey+alpha 8", 8, false, 2, false, false, false},
      {"rgb 8", 8, false, 3, false, false, false},
      {"rgb 16", 16, false, 3, false, false, false},
      {"rgb 32 integer", 32, false, 3, false, false, false},
      {"rgb 32 float", 32, true, 3, false, false, false},
      {"rgba 16", 16, false, 4, false, false, false},
      {"rgb 16 planes", 16, false, 3, true, false, false},
      {"rgba 8 planes tiled", 8, false, 4, true, true, false},
      {"rgb 16 tiled", 16, false, 3, false, true, false},
      {"grey 8 tiled min-is-white", 8, false, 1, false, true, true},
  };
  const float encoded = 188 / 255.0f;
  const float expected = srgbToLinear(encoded);
  for (const TiffKind& kind : kinds) {
    ScanFixtures::Tiff tiff;
    tiff.width = 37;  // not a multiple of the tile size
    tiff.height = 21;
    tiff.bitsPerSample = kind.bits;
    tiff.floatingPoint = kind.floatingPoint;
    tiff.channels = kind.channels;
    tiff.separatePlanes = kind.separate;
    tiff.tiled = kind.tiled;
    tiff.minIsWhite = kind.minIsWhite;
    tiff.pattern = [&](int64_t x, int64_t) {
      return Pixel{x < 18 ? encoded : 0.0f, x < 18 ? encoded : 0.0f, x < 18 ? encoded : 0.0f, 0.5f};
    };
    ScanFixtures::writeTiff(dir / "kind.tif", tiff);
    const LinearImage image = Decoder::decode(dir / "kind.tif", 0, false, 1);
    ASSERT_EQ(image.width(), 37) << kind.name;
    ASSERT_EQ(image.height(), 21) << kind.name;
    const Pixel grey = pixel(image, 5, 20), black = pixel(image, 36, 0);
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(grey[c], expected, 0.002) << kind.name;
      EXPECT_NEAR(black[c], 0.0f, 0.0005) << kind.name;
    }
    const bool alpha = kind.channels == 2 || kind.channels == 4;
    EXPECT_NEAR(grey[3], alpha ? 0.5f : 1.0f, 0.003) << kind.name;
  }
}

TEST_F(DecoderTest, SrgbGrey188IsHalfLinearInEveryFormat) {
  const float encoded = 188 / 255.0f;
  ScanFixtures::Jpeg jpeg;
  jpeg.pattern = ScanFixtures::flat(encoded, encoded, encoded);
  ScanFixtures::writeJpeg(dir / "grey.jpg", jpeg);
  ScanFixtures::Png png;
  png.pattern = jpeg.pattern;
  ScanFixtures::writePng(dir / "grey.png", png);
  png.bitDepth = 16;
  png.alpha = true;
  ScanFixtures::writePng(dir / "grey16.png", png);
  ScanFixtures::Heic heic;
  heic.pattern = jpeg.pattern;
  ScanFixtures::writeHeic(dir / "grey.heic", heic);
  for (const char* name : {"grey.jpg", "grey.png", "grey16.png", "grey.heic"}) {
    const LinearImage image = Decoder::decode(dir / name, 0, false, 1);
    const Pixel p = pixel(image, image.width() / 2, image.height() / 2);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], 0.5f, 0.01) << name << " channel " << c;
  }
}

TEST_F(DecoderTest, ProfilesConvertIntoDisplayP3) {
  // Pure ProPhoto green lies outside Display P3: red and blue go negative and survive.
  ScanFixtures::Tiff tiff;
  tiff.bitsPerSample = 16;
  tiff.pattern = ScanFixtures::flat(0, 1, 0);
  tiff.icc = ScanFixtures::proPhotoProfile();
  ScanFixtures::writeTiff(dir / "prophoto.tif", tiff);
  const Pixel green = pixel(Decoder::decode(dir / "prophoto.tif", 0, false, 1), 4, 4);
  EXPECT_LT(green[0], -0.1f);
  EXPECT_GT(green[1], 1.0f);
  EXPECT_LT(green[2], -0.01f);

  // A neutral stays neutral under any profile; Adobe RGB 0.5 is 0.5^2.2 linear.
  tiff.pattern = ScanFixtures::flat(0.5f, 0.5f, 0.5f);
  tiff.icc = ScanFixtures::adobeRgbProfile();
  ScanFixtures::writeTiff(dir / "adobe.tif", tiff);
  const Pixel grey = pixel(Decoder::decode(dir / "adobe.tif", 0, false, 1), 4, 4);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(grey[c], std::pow(0.5f, 563.0f / 256.0f), 0.002);

  // JPEG and PNG files carry their profiles too.
  ScanFixtures::Jpeg jpeg;
  jpeg.pattern = ScanFixtures::flat(0, 1, 0);
  jpeg.icc = ScanFixtures::proPhotoProfile();
  ScanFixtures::writeJpeg(dir / "prophoto.jpg", jpeg);
  EXPECT_LT(pixel(Decoder::decode(dir / "prophoto.jpg", 0, false, 1), 4, 4)[0], -0.1f);
  ScanFixtures::Png png16;
  png16.bitDepth = 16;
  png16.pattern = ScanFixtures::flat(0, 1, 0);
  png16.icc = ScanFixtures::proPhotoProfile();
  ScanFixtures::writePng(dir / "prophoto.png", png16);
  EXPECT_LT(pixel(Decoder::decode(dir / "prophoto.png", 0, false, 1), 4, 4)[2], -0.01f);

  // A damaged profile falls back to sRGB instead of failing the decode.
  tiff.icc = {1, 2, 3, 4, 5, 6, 7, 8};
  ScanFixtures::writeTiff(dir / "damaged-profile.tif", tiff);
  EXPECT_NEAR(pixel(Decoder::decode(dir / "damaged-profile.tif", 0, false, 1), 4, 4)[0],
              srgbToLinear(0.5f), 0.002);

  // PNG gAMA 1/2.2 without a profile.
  ScanFixtures::Png png;
  png.pattern = ScanFixtures::flat(0.5f, 0.5f, 0.5f);
  png.gamma = 1 / 2.2;
  ScanFixtures::writePng(dir / "gamma.png", png);
  EXPECT_NEAR(pixel(Decoder::decode(dir / "gamma.png", 0, false, 1), 4, 4)[1],
              std::pow(128 / 255.0f, 2.2f), 0.002);
}

// A header colour space that is no signature (the top bit set, all ones) or one the pixels do not
// have is refused like a damaged profile: TIFF and JPEG pixels read as sRGB.
TEST_F(DecoderTest, ProfileWithAnUnknownColourSpaceReadsAsSrgb) {
  for (const uint32_t space : {0x80000000u, 0xFFFFFFFFu, 0x434D594Bu /* CMYK */}) {
    std::vector<uint8_t> icc = ScanFixtures::adobeRgbProfile();
    for (int i = 0; i < 4; ++i) icc[16 + i] = static_cast<uint8_t>(space >> (24 - 8 * i));
    ScanFixtures::Tiff tiff;
    tiff.icc = icc;
    ScanFixtures::writeTiff(dir / "space.tif", tiff);
    ScanFixtures::Jpeg jpeg;
    jpeg.icc = icc;
    ScanFixtures::writeJpeg(dir / "space.jpg", jpeg);
    for (const char* name : {"space.tif", "space.jpg"})
      EXPECT_NEAR(pixel(Decoder::decode(dir / name, 0, false, 1), 4, 4)[0], srgbToLinear(0.5f),
                  0.004)
          << name << " " << std::hex << space;
  }
}

TEST_F(DecoderTest, ReaderIsChosenByContent) {
  ScanFixtures::Png png;
  png.pattern = ScanFixtures::flat(188 / 255.0f, 188 / 255.0f, 188 / 255.0f);
  ScanFixtures::writePng(dir / "actually-png.jpg", png);
  EXPECT_NEAR(pixel(Decoder::decode(dir / "actually-png.jpg", 0, false, 1), 1, 1)[0], 0.5029f,
              0.002);
}

TEST_F(DecoderTest, FailuresNameTheFileAlone) {
  { std::ofstream(dir / "notes.tif") << "not an image at all"; }
  ScanFixtures::Jpeg jpeg;
  jpeg.width = 64;
  jpeg.height = 64;
  ScanFixtures::writeJpeg(dir / "whole.jpg", jpeg);
  std::filesystem::copy_file(dir / "whole.jpg", dir / "truncated.jpg");
  std::filesystem::resize_file(dir / "truncated.jpg", 200);
  ScanFixtures::Dng dng;
  ScanFixtures::writeDng(dir / "whole.dng", dng);
  std::filesystem::copy_file(dir / "whole.dng", dir / "truncated.dng");
  std::filesystem::resize_file(dir / "truncated.dng", 300);

  for (const char* name : {"notes.tif", "missing.png", "truncated.jpg"}) {
    try {
      Decoder::decode(dir / name, 0, false, 1);
      ADD_FAILURE() << name << " decoded";
    } catch (const DecodeError& error) {
      EXPECT_EQ(error.kind(), DecodeError::Kind::unreadable);
      EXPECT_EQ(std::string(error.what()), std::string("cannot read ") + name);
      EXPECT_EQ(error.url(), dir / name);
    }
  }
  try {
    Decoder::decode(dir / "truncated.dng", 0, false, 1);
    ADD_FAILURE() << "truncated raw decoded";
  } catch (const DecodeError& error) {
    // LibRaw takes the header; whether it then yields nothing or the image reader gives up,
    // the failure names the file.
    EXPECT_NE(std::string(error.what()).find("truncated.dng"), std::string::npos);
  }
}

TEST_F(DecoderTest, InvalidUtf8InTheNameShowsAsReplacementCharacter) {
  const std::filesystem::path path = dir / "scan-\xFF\xC3(.tif";
  std::ofstream(path) << "garbage";
  try {
    Decoder::decode(path, 0, false, 1);
    ADD_FAILURE() << "decoded";
  } catch (const DecodeError& error) {
    EXPECT_EQ(std::string(error.what()), "cannot read scan-\xEF\xBF\xBD\xEF\xBF\xBD(.tif");
  }
  EXPECT_EQ(DecodeError::displayName("/a/Négatif-01.tif"), "Négatif-01.tif");
  EXPECT_EQ(DecodeError::displayName("/a/\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(DecodeSize, PixelLimitAndScaledSides) {
  EXPECT_TRUE(DecodeSize::isRenderable(19'999, 10'000));
  EXPECT_FALSE(DecodeSize::isRenderable(20'000, 10'000));
  EXPECT_TRUE(DecodeSize::isRenderable(1, 199'999'999));
  EXPECT_FALSE(DecodeSize::isRenderable(0, 10));
  EXPECT_FALSE(DecodeSize::isRenderable(10, -1));
  EXPECT_FALSE(DecodeSize::isRenderable(int64_t{1} << 40, int64_t{1} << 40));
  EXPECT_EQ(DecodeSize::scaled(6000, 0.25f), 1500);
  EXPECT_EQ(DecodeSize::scaled(6000, 0.1f), 601);  // 0.1f is 0.100000001…
  EXPECT_EQ(DecodeSize::scaled(6001, 0.5f), 3001);
  EXPECT_EQ(DecodeSize::scaled(100, 0.0f), 0);
  EXPECT_EQ(DecodeSize::scaled(100, -1.0f), 0);
}

TEST_F(DecoderTest, OversizedOrEmptyOutputFailsBeforeReadingPixels) {
  ScanFixtures::writeTiffHeaderOnly(dir / "huge.tif", 20'000, 10'000);
  EXPECT_EQ(failureKind(dir / "huge.tif"), DecodeError::Kind::renderFailed);
  // The stored size counts too: shrunk below the limit it still fails before reading pixels.
  EXPECT_EQ(failureKind(dir / "huge.tif", 0.5), DecodeError::Kind::renderFailed);
  ScanFixtures::Tiff tiff;
  ScanFixtures::writeTiff(dir / "small.tif", tiff);
  EXPECT_EQ(failureKind(dir / "small.tif", 0), DecodeError::Kind::renderFailed);
}

#if !defined(__SANITIZE_ADDRESS__)
// Runs in a child process: exits 0 when a decode under a 1 GiB address-space limit fails with
// renderFailed.
[[noreturn]] void decodeUnderMemoryLimit(const std::filesystem::path& path) {
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = rlim_t{1} << 30;
  setrlimit(RLIMIT_AS, &limit);
  try {
    Decoder::decode(path, 0, false, 1);
  } catch (const DecodeError& error) {
    std::exit(error.kind() == DecodeError::Kind::renderFailed ? 0 : 1);
  }
  std::exit(2);
}

TEST_F(DecoderTest, AllocationFailureIsARenderFailure) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ScanFixtures::writeTiffHeaderOnly(dir / "large.tif", 15'000, 13'000);  // 1.56 GB of samples
  // As long as the samples it declares (sparse), so that only the allocation can fail.
  std::filesystem::resize_file(dir / "large.tif", 4096 + uint64_t{15'000} * 8 * 13'000);
  EXPECT_EXIT(decodeUnderMemoryLimit(dir / "large.tif"), ::testing::ExitedWithCode(0), "");
}
#endif

TEST_F(DecoderTest, ConcurrentDecodesGiveTheSameImages) {
  ScanFixtures::Dng dng;
  dng.pattern = ScanFixtures::quadrants(64, 48);
  ScanFixtures::writeDng(dir / "a.dng", dng);
  ScanFixtures::Tiff tiff = gradientTiff(50, 40);
  tiff.icc = ScanFixtures::adobeRgbProfile();
  ScanFixtures::writeTiff(dir / "a.tif", tiff);
  ScanFixtures::Jpeg jpeg;
  jpeg.pattern = ScanFixtures::quadrants(40, 30);
  ScanFixtures::writeJpeg(dir / "a.jpg", jpeg);
  ScanFixtures::Heic heic;
  ScanFixtures::writeHeic(dir / "a.heic", heic);
  const std::vector<std::pair<std::string, double>> work = {
      {"a.dng", 1}, {"a.dng", 0.3}, {"a.tif", 1}, {"a.tif", 0.4}, {"a.jpg", 0.7}, {"a.heic", 1}};
  std::vector<LinearImage> expected;
  for (const auto& [name, scale] : work)
    expected.push_back(Decoder::decode(dir / name, 1, true, scale));
  std::vector<std::thread> threads;
  std::vector<int> mismatches(8, 0);
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 3; ++round)
        for (size_t i = 0; i < work.size(); ++i) {
          const size_t k = (i + t) % work.size();
          if (!samePixels(Decoder::decode(dir / work[k].first, 1, true, work[k].second),
                          expected[k]))
            ++mismatches[t];
          if (!Decoder::pixelSize(dir / work[k].first)) ++mismatches[t];
        }
    });
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

TEST_F(DecoderTest, PixelSizeReadsHeaders) {
  ScanFixtures::Dng dng;
  dng.width = 66;
  dng.height = 44;
  ScanFixtures::writeDng(dir / "a.dng", dng);
  ScanFixtures::Png png;
  png.width = 21;
  png.height = 13;
  ScanFixtures::writePng(dir / "a.png", png);
  ScanFixtures::writeTiffHeaderOnly(dir / "header.tif", 20'000, 10'000);
  EXPECT_EQ(Decoder::pixelSize(dir / "a.dng"), (std::pair<double, double>{66, 44}));
  EXPECT_EQ(Decoder::pixelSize(dir / "a.png"), (std::pair<double, double>{21, 13}));
  EXPECT_EQ(Decoder::pixelSize(dir / "header.tif"), (std::pair<double, double>{20'000, 10'000}));
  std::ofstream(dir / "text.jpg") << "hello";
  EXPECT_FALSE(Decoder::pixelSize(dir / "text.jpg"));
  EXPECT_FALSE(Decoder::pixelSize(dir / "missing.tif"));
  // Without an orientation, upright is stored.
  EXPECT_EQ(Decoder::uprightPixelSize(dir / "a.png"), (std::pair<double, double>{21, 13}));
  EXPECT_EQ(Decoder::uprightPixelSize(dir / "header.tif"),
            (std::pair<double, double>{20'000, 10'000}));
  EXPECT_FALSE(Decoder::uprightPixelSize(dir / "missing.tif"));
}

}  // namespace
