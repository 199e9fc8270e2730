#include "Conversion/RawReader.h"

#include <libraw.h>
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <string_view>

#include "Conversion/ColorProfile.h"
#include "Conversion/DecodeError.h"
#include "Conversion/DecodeSize.h"
#include "Conversion/ImageOrientation.h"
#include "Conversion/LanczosResampler.h"
#include "Support/ParallelFor.h"

namespace {

// LibRaw runs OpenMP teams of its own inside dcraw_process. The team size is a setting of the
// calling thread, so each decode sets it on its own thread to the processors divided among the
// decodes running at that moment: several renderers decoding at once share the cores instead of
// each starting a team as large as the machine.
class OpenMpShare {
 public:
  OpenMpShare() {
    const int running = ++running_;
    omp_set_num_threads(std::max(1, ParallelFor::activeProcessorCount() / running));
  }
  ~OpenMpShare() { --running_; }
  OpenMpShare(const OpenMpShare&) = delete;
  OpenMpShare& operator=(const OpenMpShare&) = delete;

 private:
  static inline std::atomic<int> running_{0};
};

std::unique_ptr<LibRaw> makeProcessor(bool halfSize) {
  // No callbacks: LibRaw's default ones print to standard error.
  auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_MEMERR_CALLBACK |
                                      LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
  libraw_output_params_t& p = raw->imgdata.params;
  p.output_bps = 16;
  p.gamm[0] = 1.0;  // linear
  p.gamm[1] = 1.0;
  p.no_auto_bright = 1;
  p.adjust_maximum_thr = 0.0f;  // keep the white level even when a bright film base fills the frame
  p.use_camera_wb = 0;          // daylight multipliers (pre_mul) from the camera's colour matrix
  p.use_auto_wb = 0;
  p.output_color = 0;  // raw camera colour; our own float matrix follows
  p.highlight = 0;
  p.threshold = 0;  // no wavelet denoising
  p.med_passes = 0;
  p.fbdd_noiserd = 0;
  p.exp_correc = 0;
  p.half_size = halfSize ? 1 : 0;
  return raw;
}

// Full-size width and height of the developed image before the camera's orientation.
std::pair<int64_t, int64_t> fullSize(const LibRaw& raw) {
  const libraw_image_sizes_t& s = raw.imgdata.sizes;
  int64_t width = s.width;
  int64_t height = s.height;
  if (s.pixel_aspect > 0 && s.pixel_aspect < 1)
    height = static_cast<int64_t>(height / s.pixel_aspect + 0.5);
  else if (s.pixel_aspect > 1)
    width = static_cast<int64_t>(width * s.pixel_aspect + 0.5);
  return {width, height};
}

// Camera colour (white balanced, 0…65535) to linear Display P3: LibRaw's camera-to-sRGB matrix
// followed by sRGB to Display P3, with the 16-bit scale folded in. Rows of four columns.
std::array<float, 12> cameraToDisplayP3(const LibRaw& raw) {
  const auto& rgbCam = raw.imgdata.color.rgb_cam;
  const int colours = std::clamp(raw.imgdata.idata.colors, 1, 4);
  const auto p3 = ColorProfile::matrixToDisplayP3(Chromaticities::sRGB());
  std::array<float, 12> m{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < colours; ++c) {
      double sum = 0;
      for (int k = 0; k < 3; ++k) sum += p3[r * 3 + k] * rgbCam[k][c];
      m[r * 4 + c] = static_cast<float>(sum / 65535.0);
    }
  return m;
}

using CameraMatrix = std::array<float, 12>;

inline void cameraPixel(const CameraMatrix& m, const ushort* in, float* out) {
  const float c0 = in[0], c1 = in[1], c2 = in[2], c3 = in[3];
  out[0] = m[0] * c0 + m[1] * c1 + m[2] * c2 + m[3] * c3;
  out[1] = m[4] * c0 + m[5] * c1 + m[6] * c2 + m[7] * c3;
  out[2] = m[8] * c0 + m[9] * c1 + m[10] * c2 + m[11] * c3;
  out[3] = 1.0f;
}

// LibRaw's developed pixels into float RGBA, moved by `orientation` on the way.
LinearImage convertPixels(const LibRaw& raw, const ImageOrientation& orientation) {
  const libraw_image_sizes_t& s = raw.imgdata.sizes;
  const int64_t width = s.iwidth;
  const int64_t height = s.iheight;
  const CameraMatrix m = cameraToDisplayP3(raw);
  const ushort(*source)[4] = raw.imgdata.image;
  const auto [outWidth, outHeight] = orientation.outputSize(width, height);
  const auto walk = orientation.walk(width, height);
  LinearImage image(outWidth, outHeight);
  float* pixels = image.mutablePixels();
  parallelForRows(outHeight, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      float* out = pixels + y * outWidth * 4;
      int64_t index = walk.origin + y * walk.stepY;
      for (int64_t x = 0; x < outWidth; ++x, index += walk.stepX, out += 4)
        cameraPixel(m, source[index], out);
    }
  });
  return image;
}

// LibRaw's developed pixels resampled to width × height in their stored orientation, each row
// converted as the resampler asks for it.
LinearImage resampledPixels(const LibRaw& raw, int64_t width, int64_t height) {
  const int64_t sourceWidth = raw.imgdata.sizes.iwidth;
  const CameraMatrix m = cameraToDisplayP3(raw);
  const ushort(*source)[4] = raw.imgdata.image;
  return LanczosResampler::resample(
      sourceWidth, raw.imgdata.sizes.iheight,
      [&](int64_t y, float* scratch) {
        const ushort(*in)[4] = source + y * sourceWidth;
        for (int64_t x = 0; x < sourceWidth; ++x) cameraPixel(m, in[x], scratch + x * 4);
        return scratch;
      },
      width, height);
}

// A sensor whose colour filters repeat every 2 × 2 pixels in three colours, read as plain
// integers and needing no maker-specific correction: the case binBayer handles. Everything else
// (X-Trans, Foveon, four-colour, Fuji SuperCCD, small RAW, floating point, Phase One) goes
// through LibRaw's own half size.
bool isPlainBayer(LibRaw& raw) {
  const unsigned filters = raw.imgdata.idata.filters;
  const libraw_image_sizes_t& s = raw.imgdata.sizes;
  const float* pre = raw.imgdata.color.pre_mul;
  return raw.imgdata.rawdata.raw_image && raw.imgdata.idata.colors == 3 && filters >= 1000 &&
         pre[0] > 0 && pre[1] > 0 && pre[2] > 0 && filters == (filters & 0xFF) * 0x01010101u &&
         s.pixel_aspect == 1.0 && !raw.is_fuji_rotated() && !raw.is_sraw() &&
         !raw.is_floating_point() && std::string_view(raw.imgdata.idata.make) != "Phase One" &&
         s.width >= 2 && s.height >= 2 && s.top_margin + s.height <= s.raw_height &&
         s.left_margin + s.width <= s.raw_width && s.raw_pitch >= 2 * s.raw_width;
}

// The colour of the filter over sensor site (row, col) of the visible area, a second green as
// green.
unsigned bayerColour(unsigned filters, int64_t row, int64_t col) {
  const unsigned c = filters >> ((((row << 1) & 14) | (col & 1)) << 1) & 3;
  return c == 3 ? 1u : c;
}

// Demosaicing fills each pixel's two missing colours from its neighbours and can overshoot far
// beyond them at a hard edge: beside a clear patch a dense one reads near zero in a channel,
// density 6, and a clear one reads clearer than the film base. Each filled value is held within
// the values its colour has at the sensor sites of the 3 × 3 neighbourhood; on a plain Bayer
// sensor every colour has one there. The sensor's own values are left as they are, so a pixel
// reads only values no pass writes.
void limitToNeighbours(LibRaw& raw, unsigned filters) {
  const int64_t width = raw.imgdata.sizes.iwidth, height = raw.imgdata.sizes.iheight;
  ushort(*image)[4] = raw.imgdata.image;
  // For each place in the 2 × 2 pattern: its colour and, per colour, the neighbours of that
  // colour.
  struct Place {
    unsigned colour;
    int count[3];
    int dy[3][8], dx[3][8];
  };
  Place places[2][2] = {};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) {
      Place& place = places[r][c];
      place.colour = bayerColour(filters, r, c);
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (dy == 0 && dx == 0) continue;
          const unsigned colour = bayerColour(filters, r + 2 + dy, c + 2 + dx);
          const int k = place.count[colour]++;
          place.dy[colour][k] = dy;
          place.dx[colour][k] = dx;
        }
    }
  // Any pixel, the image's edge included: neighbours outside the image are left out.
  const auto limitPixel = [&](int64_t y, int64_t x) {
    const Place& place = places[y & 1][x & 1];
    ushort* pixel = image[y * width + x];
    for (unsigned colour = 0; colour < 3; ++colour) {
      if (colour == place.colour) continue;
      ushort low = 65535, high = 0;
      for (int k = 0; k < place.count[colour]; ++k) {
        const int64_t ny = y + place.dy[colour][k], nx = x + place.dx[colour][k];
        if (ny < 0 || ny >= height || nx < 0 || nx >= width) continue;
        low = std::min(low, image[ny * width + nx][colour]);
        high = std::max(high, image[ny * width + nx][colour]);
      }
      if (low <= high) pixel[colour] = std::clamp(pixel[colour], low, high);
    }
  };
  // The usual pattern, greens on one diagonal of the block, takes the fast path inside the
  // image: a green pixel has one other colour left and right and the third above and below; a
  // red or blue one has green on its four sides and the third colour on its diagonals.
  const auto isGreen = [&](int r, int c) { return places[r][c].colour == 1; };
  const bool greensOnDiagonal = isGreen(0, 0) == isGreen(1, 1) && isGreen(0, 1) == isGreen(1, 0) &&
                                isGreen(0, 0) != isGreen(0, 1);
  const int redBlue = isGreen(0, 0) ? 1 : 0;  // column of the red or blue place in the top row
  const bool diagonalGreens = greensOnDiagonal && places[0][redBlue].colour != 1 &&
                              places[0][redBlue].colour + places[1][1 - redBlue].colour == 2;
  const auto between = [](ushort& value, ushort a, ushort b) {
    value = std::clamp(value, std::min(a, b), std::max(a, b));
  };
  const auto between4 = [](ushort& value, ushort a, ushort b, ushort c, ushort d) {
    value = std::clamp(value, std::min({a, b, c, d}), std::max({a, b, c, d}));
  };
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      if (!diagonalGreens || y == 0 || y + 1 == height || width < 3) {
        for (int64_t x = 0; x < width; ++x) limitPixel(y, x);
        continue;
      }
      ushort(*up)[4] = image + (y - 1) * width;
      ushort(*row)[4] = image + y * width;
      ushort(*down)[4] = image + (y + 1) * width;
      limitPixel(y, 0);
      for (int64_t x = 1; x + 1 < width; ++x) {
        const unsigned colour = places[y & 1][x & 1].colour;
        if (colour == 1) {
          const unsigned across = places[y & 1][(x + 1) & 1].colour, along = 2 - across;
          between(row[x][across], row[x - 1][across], row[x + 1][across]);
          between(row[x][along], up[x][along], down[x][along]);
        } else {
          const unsigned other = 2 - colour;
          between4(row[x][1], up[x][1], down[x][1], row[x - 1][1], row[x + 1][1]);
          between4(row[x][other], up[x - 1][other], up[x + 1][other], down[x - 1][other],
                   down[x + 1][other]);
        }
      }
      limitPixel(y, width - 1);
    }
  });
}

// Half-size development of a plain Bayer sensor, as LibRaw's half size does it but in one
// parallel pass: each 2 × 2 block becomes one pixel, its two greens averaged; black subtracted
// (LibRaw's common, per-colour and repeating-pattern parts), daylight multipliers applied with
// the smallest at 1, each sample clipped at the white level, then the camera matrix.
LinearImage binBayer(const LibRaw& raw) {
  const libraw_image_sizes_t& s = raw.imgdata.sizes;
  const libraw_colordata_t& colour = raw.imgdata.color;
  const unsigned filters = raw.imgdata.idata.filters;
  const auto colourAt = [filters](int64_t row, int64_t col) {
    return bayerColour(filters, row, col);
  };
  const unsigned* cblack = colour.cblack;
  const auto blackAt = [&](int64_t row, int64_t col, unsigned c) {
    float black = static_cast<float>(colour.black + cblack[c]);
    if (cblack[4] && cblack[5])
      black += static_cast<float>(cblack[6 + (row % cblack[4]) * cblack[5] + col % cblack[5]]);
    return black;
  };
  float multipliers[3];
  const float* pre = colour.pre_mul;
  const float smallest = std::min({pre[0], pre[1], pre[2]});
  const float range = static_cast<float>(colour.maximum) - static_cast<float>(colour.black);
  for (int c = 0; c < 3; ++c) multipliers[c] = range > 0 ? pre[c] / smallest / range : 0.0f;
  CameraMatrix m = cameraToDisplayP3(raw);
  for (float& value : m) value *= 65535.0f;  // back from LibRaw's 16-bit scale to 0…1

  const int64_t width = (s.width + 1) / 2, height = (s.height + 1) / 2;
  const int64_t pitch = s.raw_pitch / 2;
  const ushort* rawImage = raw.imgdata.rawdata.raw_image;
  const auto sample = [&](int64_t row, int64_t col) {
    return static_cast<float>(rawImage[(row + s.top_margin) * pitch + col + s.left_margin]);
  };

  // The four sites of a block share colour, black, multiplier and weight with every other
  // block whenever the black pattern repeats within two pixels: the fast path.
  struct Site {
    unsigned colour;
    float black, multiplier, weight;
  };
  Site sites[4];
  int sitesOfColour[3] = {0, 0, 0};
  for (int k = 0; k < 4; ++k) ++sitesOfColour[colourAt(k / 2, k % 2)];
  for (int k = 0; k < 4; ++k) {
    const unsigned c = colourAt(k / 2, k % 2);
    sites[k] = {c, blackAt(k / 2, k % 2, c), multipliers[c], 1.0f / sitesOfColour[c]};
  }
  const bool repeatsInBlock = cblack[4] <= 2 && cblack[5] <= 2;

  // Blocks cut by the image edge, or with a longer black pattern: sample by sample.
  const auto generalBlock = [&](int64_t x, int64_t y, float camera[3]) {
    float sum[3] = {0, 0, 0};
    int count[3] = {0, 0, 0};
    for (int64_t row = 2 * y; row < std::min<int64_t>(2 * y + 2, s.height); ++row)
      for (int64_t col = 2 * x; col < std::min<int64_t>(2 * x + 2, s.width); ++col) {
        const unsigned c = colourAt(row, col);
        const float scaled = (sample(row, col) - blackAt(row, col, c)) * multipliers[c];
        sum[c] += std::clamp(scaled, 0.0f, 1.0f);
        ++count[c];
      }
    for (int c = 0; c < 3; ++c) camera[c] = count[c] ? sum[c] / count[c] : 0.0f;
  };

  LinearImage image(width, height);
  float* pixels = image.mutablePixels();
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      float* out = pixels + y * width * 4;
      const bool fullRows = 2 * y + 1 < s.height;
      const ushort* top = rawImage + (2 * y + s.top_margin) * pitch + s.left_margin;
      const ushort* bottom = fullRows ? top + pitch : top;
      for (int64_t x = 0; x < width; ++x, out += 4) {
        float camera[3] = {0, 0, 0};
        if (repeatsInBlock && fullRows && 2 * x + 1 < s.width) {
          const float values[4] = {
              static_cast<float>(top[2 * x]), static_cast<float>(top[2 * x + 1]),
              static_cast<float>(bottom[2 * x]), static_cast<float>(bottom[2 * x + 1])};
          for (int k = 0; k < 4; ++k) {
            const Site& site = sites[k];
            const float scaled = (values[k] - site.black) * site.multiplier;
            camera[site.colour] += std::clamp(scaled, 0.0f, 1.0f) * site.weight;
          }
        } else {
          generalBlock(x, y, camera);
        }
        for (int r = 0; r < 3; ++r)
          out[r] = m[r * 4] * camera[0] + m[r * 4 + 1] * camera[1] + m[r * 4 + 2] * camera[2];
        out[3] = 1.0f;
      }
    }
  });
  return image;
}

}  // namespace

namespace RawReader {

std::optional<LinearImage> decode(const std::filesystem::path& url, float scale, bool mirrored,
                                  int64_t quarterTurns) {
  const bool halfSize = scale <= 0.5f;
  std::unique_ptr<LibRaw> raw = makeProcessor(halfSize);
  if (raw->open_file(url.c_str()) != LIBRAW_SUCCESS) return std::nullopt;

  const auto [fullWidth, fullHeight] = fullSize(*raw);
  const int64_t width = DecodeSize::scaled(fullWidth, scale);
  const int64_t height = DecodeSize::scaled(fullHeight, scale);
  if (!DecodeSize::isRenderable(width, height)) throw DecodeError::renderFailed(url);

  if (raw->unpack() != LIBRAW_SUCCESS) throw DecodeError::renderFailed(url);
  const ImageOrientation camera = ImageOrientation::fromLibRawFlip(raw->imgdata.sizes.flip);
  const ImageOrientation orientation = camera.followedBy(mirrored, quarterTurns);
  const bool plainBayer = isPlainBayer(*raw);
  if (halfSize && plainBayer) {
    const LinearImage binned = binBayer(*raw);
    raw.reset();
    return oriented(LanczosResampler::resample(binned, width, height), orientation);
  }
  // Demosaicing changes the filter pattern it is given; the sensor's own is kept.
  const unsigned filters = raw->imgdata.idata.filters;
  {
    OpenMpShare share;
    if (raw->dcraw_process() != LIBRAW_SUCCESS || !raw->imgdata.image ||
        raw->imgdata.sizes.iwidth < 1 || raw->imgdata.sizes.iheight < 1)
      throw DecodeError::renderFailed(url);
  }
  if (plainBayer && !halfSize) limitToNeighbours(*raw, filters);
  const bool exact = raw->imgdata.sizes.iwidth == width && raw->imgdata.sizes.iheight == height;
  if (exact) return convertPixels(*raw, orientation);

  // Resample in the stored orientation, free LibRaw's buffers, then move.
  const LinearImage resampled = resampledPixels(*raw, width, height);
  raw.reset();
  return oriented(resampled, orientation);
}

std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright) {
  std::unique_ptr<LibRaw> raw = makeProcessor(false);
  if (raw->open_file(url.c_str()) != LIBRAW_SUCCESS) return std::nullopt;
  const auto size = fullSize(*raw);
  if (size.first < 1 || size.second < 1) return std::nullopt;
  if (upright && ImageOrientation::fromLibRawFlip(raw->imgdata.sizes.flip).transposed)
    return std::pair{size.second, size.first};
  return size;
}

}  // namespace RawReader
