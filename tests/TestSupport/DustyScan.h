// Synthetic negatives for the dust tests and benchmarks: an orange film base under smooth
// picture densities, film grain (spatially correlated density noise, partly shared by the three
// dye layers, so robust noise estimates behave as on real film), and dust specks and hairs drawn
// as soft-edged density changes at known places.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "Conversion/LinearImage.h"

namespace DustyScan {

// A round speck centred at (x, y) in pixel coordinates (pixel (i, j) covers i…i + 1,
// j…j + 1), changing the density by `density` (positive: denser, as dust on a negative),
// scaled per channel by `channels`.
struct Speck {
  double x = 0;
  double y = 0;
  double radius = 2;
  float density = 0.4f;
  std::array<float, 3> channels{1, 1, 1};
};

// A straight line from (x0, y0) to (x1, y1), `width` pixels across, with rounded ends.
struct Line {
  double x0 = 0;
  double y0 = 0;
  double x1 = 0;
  double y1 = 0;
  double width = 2;
  float density = 0.4f;
  bool soft = false;  // density falling off as cos² across the width, instead of a hard edge
};

struct Options {
  int64_t width = 2400;
  int64_t height = 1600;
  std::array<float, 3> base{0.62f, 0.34f, 0.17f};  // transmission of the clear film base
  float picture = 0.5f;                            // amplitude of the smooth picture densities
  float grain = 0.03f;  // standard deviation of the grain density per pixel
  float clump = 0.25f;  // weight of a grain speck's neighbours: 0 leaves pixels independent
  uint64_t seed = 1;
};

LinearImage make(const Options& options, const std::vector<Speck>& specks,
                 const std::vector<Line>& lines = {});

// Writes a scan as a 32-bit float TIFF in linear Display P3, so it decodes to the same values.
void writeTiff(const std::filesystem::path& path, const LinearImage& scan);

// A grainless grey scan of one density, for tests that follow the finders' planes exactly.
// Rectangles of pixels are made denser (or, with a negative change, less dense), per channel.
class FlatScan {
 public:
  FlatScan(int64_t width, int64_t height, float density = 0.5f);

  // Adds `density`·channels[c] to the density of channel c in the rectangle.
  void add(int64_t x, int64_t y, int64_t w, int64_t h, float density,
           std::array<float, 3> channels = {1, 1, 1});

  int64_t width() const { return width_; }
  int64_t height() const { return height_; }
  const float* pixels() const { return pixels_.data(); }

 private:
  int64_t width_;
  int64_t height_;
  std::vector<float> pixels_;
};

}  // namespace DustyScan
