// Scan files the tests and benchmarks write for themselves: a Bayer DNG that LibRaw develops,
// TIFFs of every kind the decoder reads, JPEG, PNG and HEIC files, and a synthetic colour
// negative (orange film base, grey density steps, unexposed rebate, dark surround) as a DNG and
// as a 16-bit TIFF. Writers throw std::runtime_error when a file cannot be written.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "Record/NormRect.h"

namespace ScanFixtures {

// The value of pixel (x, y) of the stored image: RGBA in 0…1. For the DNG and the negative these
// are linear Display P3 values; for the other files they are the encoded values as stored.
using Pattern = std::function<std::array<float, 4>(int64_t x, int64_t y)>;

// One colour everywhere.
Pattern flat(float r, float g, float b, float a = 1);
// Four quadrants in distinct colours (top left red, top right green, bottom left blue, bottom
// right white, each at `level`), to tell orientation apart even through lossy coding.
Pattern quadrants(int64_t width, int64_t height, float level = 0.8f);

// ICC profiles built with lcms2.
std::vector<uint8_t> linearDisplayP3Profile();
std::vector<uint8_t> proPhotoProfile();  // ROMM primaries, D50, gamma 1.8
std::vector<uint8_t> adobeRgbProfile();  // gamma 2.2

// Bayer (RGGB) DNG whose colour matrix makes camera RGB equal linear Display P3, so a decode of
// pattern value v gives v back (up to 16-bit quantisation of blackLevel…whiteLevel).
struct Dng {
  int64_t width = 64;
  int64_t height = 48;
  Pattern pattern = flat(0.5f, 0.5f, 0.5f);
  uint16_t blackLevel = 256;
  uint16_t whiteLevel = 16383;
  std::array<float, 3> asShotNeutral{0.5f, 1.0f, 0.7f};  // ignored: the decoder uses daylight
  uint16_t orientation = 1;
};
void writeDng(const std::filesystem::path& path, const Dng& dng);

struct Tiff {
  int64_t width = 40;
  int64_t height = 30;
  Pattern pattern = flat(0.5f, 0.5f, 0.5f);
  int bitsPerSample = 8;       // 8, 16 or 32
  bool floatingPoint = false;  // with 32 bits
  int channels = 3;            // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
  bool separatePlanes = false;
  bool tiled = false;  // 16 × 16 tiles
  bool minIsWhite = false;
  uint16_t orientation = 1;
  bool deflate = false;
  std::vector<uint8_t> icc;
};
void writeTiff(const std::filesystem::path& path, const Tiff& tiff);
// A TIFF of about 120 bytes whose header claims width × height uncompressed pixels, 16-bit RGBA
// or, with bitsPerSample 1, bilevel grey, in one strip that the file does not hold: for size
// limits, reached before any pixel is read.
void writeTiffHeaderOnly(const std::filesystem::path& path, uint32_t width, uint32_t height,
                         int bitsPerSample = 16);

struct Jpeg {
  int64_t width = 40;
  int64_t height = 30;
  Pattern pattern = flat(0.5f, 0.5f, 0.5f);
  int exifOrientation = 0;  // 0: no EXIF block
  int quality = 95;
  bool grey = false;
  std::vector<uint8_t> icc;
};
void writeJpeg(const std::filesystem::path& path, const Jpeg& jpeg);

struct Png {
  int64_t width = 40;
  int64_t height = 30;
  Pattern pattern = flat(0.5f, 0.5f, 0.5f);
  int bitDepth = 8;  // 8 or 16
  bool alpha = false;
  bool grey = false;
  double gamma = 0;  // file gamma of a gAMA chunk (0.45455 for 2.2); 0 writes none
  std::vector<uint8_t> icc;
};
void writePng(const std::filesystem::path& path, const Png& png);

struct Heic {
  int64_t width = 64;
  int64_t height = 48;
  Pattern pattern = flat(0.5f, 0.5f, 0.5f);
  int orientation = 1;  // written as irot/imir boxes
  int quality = 95;
};
void writeHeic(const std::filesystem::path& path, const Heic& heic);

// A colour negative on a light table: a dark surround (the film holder), the unexposed rebate
// at film base density, and inside it the frame with a row of grey steps. Values are linear
// transmissions T = 10^−D per channel.
struct Negative {
  int64_t width = 600;
  int64_t height = 400;
  std::array<double, 3> baseDensity{0.15, 0.45, 0.75};  // orange mask, thinnest on red
  std::array<double, 3> gamma{0.60, 0.65, 0.70};        // density per unit log exposure
  int steps = 8;
  double firstLogExposure = 0.1;  // the thinnest step still sits above the base
  double logExposureStep = 0.3;
  double surroundDensity = 3.5;
  double surroundFraction = 0.04;  // of each side, dark
  double rebateFraction = 0.08;    // of each side, after the surround, at base density
  // Half width in pixels of the smooth transition in density at every edge, as real scans have;
  // hard or narrow edges make demosaicing and resampling overshoot.
  double edgeSoftness = 8;

  // Density of step k in channel c: base + gamma · (first + k · step).
  double stepDensity(int step, int channel) const;
  // The frame area inside the rebate, and step k's patch in it (normalised coordinates).
  NormRect frameRect() const;
  NormRect stepRect(int step) const;
  // The linear transmission pattern of the whole scan.
  Pattern pattern() const;
};
void writeNegativeDng(const std::filesystem::path& path, const Negative& negative);
// 16-bit, with a linear Display P3 profile, so a decode returns the transmissions themselves.
void writeNegativeTiff(const std::filesystem::path& path, const Negative& negative);

}  // namespace ScanFixtures
