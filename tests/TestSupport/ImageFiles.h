// Reading exported image files back in tests: pixels, layout and ICC profile of TIFF and JPEG
// files through libtiff and libjpeg, and the output of command-line tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct TiffContents {
  int64_t width = 0;
  int64_t height = 0;
  int bitsPerSample = 0;
  int samplesPerPixel = 0;
  int compression = 0;
  int predictor = 0;
  int64_t rowsPerStrip = 0;
  std::vector<uint16_t> samples;  // 8-bit files too, one value per sample
  std::vector<uint8_t> iccProfile;
  std::vector<std::vector<uint8_t>> rawStrips;  // the compressed strips as stored
};

// Nothing when libtiff cannot read the file.
std::optional<TiffContents> readTiff(const std::filesystem::path& path);

struct JpegContents {
  int64_t width = 0;
  int64_t height = 0;
  int lumaHorizontalSampling = 0;  // 1 for 4:4:4, 2 for 4:2:0
  int lumaVerticalSampling = 0;
  std::vector<uint16_t> lumaQuantTable;  // 64 values
  std::vector<uint8_t> samples;          // RGB
  std::vector<uint8_t> iccProfile;
};

std::optional<JpegContents> readJpeg(const std::filesystem::path& path);

// The luminance quantisation table libjpeg makes for a quality of 1…100.
std::vector<uint16_t> jpegLumaQuantTable(int quality);

// Standard output of a shell command; nothing when it cannot be run or fails.
std::optional<std::string> commandOutput(const std::string& command);
