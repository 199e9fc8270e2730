#include "TestSupport/ScanFixtures.h"

#include <jpeglib.h>
#include <lcms2.h>
#include <libheif/heif.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>

#include "Color/Matrix3.h"

namespace ScanFixtures {

namespace {

using Matrix = Matrix3;

void fail(const std::filesystem::path& path, const std::string& what) {
  throw std::runtime_error("cannot write fixture " + path.string() + ": " + what);
}

uint32_t quantised(float value, uint32_t top) {
  const float clamped = std::clamp(std::isfinite(value) ? value : 0.0f, 0.0f, 1.0f);
  return static_cast<uint32_t>(std::lround(clamped * static_cast<float>(top)));
}

// XYZ (white Y = 1) to linear Display P3, from the primaries and D65 without adaptation: the
// colour matrix a DNG carries for a camera whose native RGB is linear Display P3.
Matrix xyzToDisplayP3() {
  const double xs[3] = {0.680, 0.265, 0.150}, ys[3] = {0.320, 0.690, 0.060};
  const double wx = 0.3127, wy = 0.3290;
  Matrix primaries{};
  for (int c = 0; c < 3; ++c) {
    primaries[0 * 3 + c] = xs[c] / ys[c];
    primaries[1 * 3 + c] = 1.0;
    primaries[2 * 3 + c] = (1 - xs[c] - ys[c]) / ys[c];
  }
  const double white[3] = {wx / wy, 1.0, (1 - wx - wy) / wy};
  const Matrix inv = matrixInverse(primaries);
  double scale[3];
  for (int r = 0; r < 3; ++r)
    scale[r] = inv[r * 3] * white[0] + inv[r * 3 + 1] * white[1] + inv[r * 3 + 2] * white[2];
  Matrix toXyz{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) toXyz[r * 3 + c] = primaries[r * 3 + c] * scale[c];
  return matrixInverse(toXyz);
}

std::vector<uint8_t> savedProfile(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<uint8_t> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

std::vector<uint8_t> rgbProfile(cmsCIExyY white, cmsCIExyYTRIPLE primaries, double gamma) {
  cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  return savedProfile(profile);
}

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

std::unique_ptr<TIFF, TiffCloser> createTiff(const std::filesystem::path& path) {
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(path.c_str(), "w"));
  if (!tiff) fail(path, "TIFFOpen");
  return tiff;
}

// Stores `value` (0…1) as one sample of the given kind at `out`.
void storeSample(uint8_t* out, float value, int bits, bool floatingPoint) {
  if (floatingPoint) {
    std::memcpy(out, &value, 4);
  } else if (bits == 8) {
    *out = static_cast<uint8_t>(quantised(value, 255));
  } else if (bits == 16) {
    const auto v = static_cast<uint16_t>(quantised(value, 65535));
    std::memcpy(out, &v, 2);
  } else {
    const double clamped = std::clamp(static_cast<double>(value), 0.0, 1.0);
    const auto v = static_cast<uint32_t>(std::llround(clamped * 4294967295.0));
    std::memcpy(out, &v, 4);
  }
}

}  // namespace

Pattern flat(float r, float g, float b, float a) {
  return [=](int64_t, int64_t) { return std::array<float, 4>{r, g, b, a}; };
}

Pattern quadrants(int64_t width, int64_t height, float level) {
  return [=](int64_t x, int64_t y) {
    const bool right = x >= width / 2, bottom = y >= height / 2;
    if (!right && !bottom) return std::array<float, 4>{level, 0, 0, 1};
    if (right && !bottom) return std::array<float, 4>{0, level, 0, 1};
    if (!right) return std::array<float, 4>{0, 0, level, 1};
    return std::array<float, 4>{level, level, level, 1};
  };
}

std::vector<uint8_t> linearDisplayP3Profile() {
  return rgbProfile({0.3127, 0.3290, 1.0},
                    {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}}, 1.0);
}

std::vector<uint8_t> proPhotoProfile() {
  return rgbProfile({0.3457, 0.3585, 1.0},
                    {{0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}}, 1.8);
}

std::vector<uint8_t> adobeRgbProfile() {
  return rgbProfile({0.3127, 0.3290, 1.0},
                    {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}}, 563.0 / 256.0);
}

void writeDng(const std::filesystem::path& path, const Dng& dng) {
  auto tiff = createTiff(path);
  TIFF* t = tiff.get();
  const uint8_t version[4] = {1, 4, 0, 0};
  const uint16_t repeat[2] = {2, 2};
  const uint8_t cfa[4] = {0, 1, 1, 2};  // RGGB
  const Matrix colour = xyzToDisplayP3();
  float colourMatrix[9];
  for (int i = 0; i < 9; ++i) colourMatrix[i] = static_cast<float>(colour[i]);
  float black[1] = {static_cast<float>(dng.blackLevel)};
  uint32_t white[1] = {dng.whiteLevel};
  float neutral[3] = {dng.asShotNeutral[0], dng.asShotNeutral[1], dng.asShotNeutral[2]};
  TIFFSetField(t, TIFFTAG_SUBFILETYPE, 0);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(dng.width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(dng.height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ORIENTATION, dng.orientation);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 64);
  TIFFSetField(t, TIFFTAG_MAKE, "Kelvadorium");
  TIFFSetField(t, TIFFTAG_MODEL, "Test Camera");
  TIFFSetField(t, TIFFTAG_CFAREPEATPATTERNDIM, repeat);
  TIFFSetField(t, TIFFTAG_CFAPATTERN, 4, cfa);
  TIFFSetField(t, TIFFTAG_DNGVERSION, version);
  TIFFSetField(t, TIFFTAG_DNGBACKWARDVERSION, version);
  TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, "Kelvadorium Test Camera");
  TIFFSetField(t, TIFFTAG_COLORMATRIX1, 9, colourMatrix);
  TIFFSetField(t, TIFFTAG_CALIBRATIONILLUMINANT1, 21);  // D65
  TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
  TIFFSetField(t, TIFFTAG_BLACKLEVEL, 1, black);
  TIFFSetField(t, TIFFTAG_WHITELEVEL, 1, white);
  const float range = static_cast<float>(dng.whiteLevel - dng.blackLevel);
  std::vector<uint16_t> row(static_cast<size_t>(dng.width));
  for (int64_t y = 0; y < dng.height; ++y) {
    for (int64_t x = 0; x < dng.width; ++x) {
      const int channel = (y % 2 == 0) ? (x % 2 == 0 ? 0 : 1) : (x % 2 == 0 ? 1 : 2);
      const float value = dng.pattern(x, y)[channel];
      const float clamped = std::clamp(std::isfinite(value) ? value : 0.0f, 0.0f, 1.0f);
      row[x] = static_cast<uint16_t>(dng.blackLevel + std::lround(clamped * range));
    }
    if (TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0) < 0) fail(path, "scanline");
  }
}

void writeTiff(const std::filesystem::path& path, const Tiff& request) {
  auto tiff = createTiff(path);
  TIFF* t = tiff.get();
  const int bits = request.bitsPerSample;
  const int bytes = bits / 8;
  const bool grey = request.channels <= 2;
  const bool alpha = request.channels == 2 || request.channels == 4;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(request.width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(request.height));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, request.channels);
  TIFFSetField(t, TIFFTAG_SAMPLEFORMAT,
               request.floatingPoint ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
               grey ? (request.minIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK)
                    : PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG,
               request.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION,
               request.deflate ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_ORIENTATION, request.orientation);
  if (alpha) {
    const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  if (!request.icc.empty())
    TIFFSetField(t, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(request.icc.size()),
                 request.icc.data());

  const int planes = request.separatePlanes ? request.channels : 1;
  const int perPixel = request.separatePlanes ? 1 : request.channels;
  // Stored value of channel c at (x, y): MinIsWhite keeps the grey channel inverted.
  const auto sample = [&](int64_t x, int64_t y, int c) {
    const auto rgba = request.pattern(x, y);
    float value = grey ? (c == 0 ? rgba[0] : rgba[3]) : (c < 3 ? rgba[c] : rgba[3]);
    if (request.minIsWhite && c == 0) value = 1 - value;
    return value;
  };
  if (request.tiled) {
    const uint32_t tile = 16;
    TIFFSetField(t, TIFFTAG_TILEWIDTH, tile);
    TIFFSetField(t, TIFFTAG_TILELENGTH, tile);
    std::vector<uint8_t> buffer(static_cast<size_t>(tile) * tile * perPixel * bytes);
    for (int plane = 0; plane < planes; ++plane)
      for (int64_t ty = 0; ty < request.height; ty += tile)
        for (int64_t tx = 0; tx < request.width; tx += tile) {
          std::fill(buffer.begin(), buffer.end(), 0);
          for (uint32_t y = 0; y < tile && ty + y < request.height; ++y)
            for (uint32_t x = 0; x < tile && tx + x < request.width; ++x)
              for (int k = 0; k < perPixel; ++k)
                storeSample(buffer.data() + ((y * tile + x) * perPixel + k) * bytes,
                            sample(tx + x, ty + y, request.separatePlanes ? plane : k), bits,
                            request.floatingPoint);
          const uint32_t index =
              TIFFComputeTile(t, static_cast<uint32_t>(tx), static_cast<uint32_t>(ty), 0,
                              static_cast<uint16_t>(plane));
          if (TIFFWriteEncodedTile(t, index, buffer.data(), static_cast<tmsize_t>(buffer.size())) <
              0)
            fail(path, "tile");
        }
    return;
  }
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
  std::vector<uint8_t> row(static_cast<size_t>(request.width) * perPixel * bytes);
  for (int plane = 0; plane < planes; ++plane)
    for (int64_t y = 0; y < request.height; ++y) {
      for (int64_t x = 0; x < request.width; ++x)
        for (int k = 0; k < perPixel; ++k)
          storeSample(row.data() + (x * perPixel + k) * bytes,
                      sample(x, y, request.separatePlanes ? plane : k), bits,
                      request.floatingPoint);
      if (TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), static_cast<uint16_t>(plane)) <
          0)
        fail(path, "scanline");
    }
}

void writeTiffHeaderOnly(const std::filesystem::path& path, uint32_t width, uint32_t height,
                         int bitsPerSample) {
  // Little-endian header, then one IFD; the strip points past the end of file.
  const bool bilevel = bitsPerSample == 1;
  std::vector<uint8_t> bytes = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const auto u16 = [&](uint32_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
  };
  const auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
    u16(tag);
    u16(type);
    u32(1);
    if (type == 3) {
      u16(value);
      u16(0);
    } else {
      u32(value);
    }
  };
  const uint32_t samples = bilevel ? 1 : 4;
  u16(bilevel ? 8 : 9);
  entry(256, 4, width);
  entry(257, 4, height);
  entry(258, 3, bilevel ? 1 : 16);  // bits per sample (one value stands for all)
  entry(262, 3, bilevel ? 1 : 2);   // MinIsBlack or RGB
  entry(273, 4, 4096);              // strip offset, beyond the end
  entry(277, 3, samples);
  entry(278, 4, height);  // rows per strip
  entry(279, 4, bilevel ? (width + 7) / 8 * height : width * 8u);
  if (!bilevel) entry(338, 3, 2);  // unassociated alpha
  u32(0);
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) fail(path, "write");
}

void writeJpeg(const std::filesystem::path& path, const Jpeg& request) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) fail(path, "fopen");
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(request.width);
  info.image_height = static_cast<JDIMENSION>(request.height);
  info.input_components = request.grey ? 1 : 3;
  info.in_color_space = request.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, request.quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  if (request.exifOrientation > 0) {
    // "Exif\0\0", a little-endian TIFF header and one IFD entry: Orientation, SHORT, 1 value.
    const uint8_t orientation = static_cast<uint8_t>(request.exifOrientation);
    const uint8_t exif[] = {'E',  'x',  'i', 'f', 0, 0, 'I', 'I', 42,          0, 8, 0, 0, 0, 1, 0,
                            0x12, 0x01, 3,   0,   1, 0, 0,   0,   orientation, 0, 0, 0, 0, 0, 0, 0};
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
  }
  if (!request.icc.empty())
    jpeg_write_icc_profile(&info, request.icc.data(), static_cast<unsigned>(request.icc.size()));
  std::vector<uint8_t> row(static_cast<size_t>(request.width) * info.input_components);
  while (info.next_scanline < info.image_height) {
    const int64_t y = info.next_scanline;
    for (int64_t x = 0; x < request.width; ++x) {
      const auto rgba = request.pattern(x, y);
      for (int c = 0; c < info.input_components; ++c)
        row[x * info.input_components + c] = static_cast<uint8_t>(quantised(rgba[c], 255));
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(file);
}

void writePng(const std::filesystem::path& path, const Png& request) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) fail(path, "fopen");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    fail(path, "libpng");
  }
  png_init_io(png, file);
  const int colourType = request.grey
                             ? (request.alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                             : (request.alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(request.width),
               static_cast<png_uint_32>(request.height), request.bitDepth, colourType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (request.gamma > 0) png_set_gAMA(png, info, request.gamma);
  if (!request.icc.empty())
    png_set_iCCP(png, info, "embedded", 0, request.icc.data(),
                 static_cast<png_uint_32>(request.icc.size()));
  png_write_info(png, info);
  const int channels = (request.grey ? 1 : 3) + (request.alpha ? 1 : 0);
  const int bytes = request.bitDepth / 8;
  std::vector<uint8_t> row(static_cast<size_t>(request.width) * channels * bytes);
  for (int64_t y = 0; y < request.height; ++y) {
    for (int64_t x = 0; x < request.width; ++x) {
      const auto rgba = request.pattern(x, y);
      for (int c = 0; c < channels; ++c) {
        const float value = c == channels - 1 && request.alpha ? rgba[3] : rgba[c];
        uint8_t* out = row.data() + (x * channels + c) * bytes;
        if (bytes == 1) {
          out[0] = static_cast<uint8_t>(quantised(value, 255));
        } else {  // big-endian
          const uint32_t v = quantised(value, 65535);
          out[0] = static_cast<uint8_t>(v >> 8);
          out[1] = static_cast<uint8_t>(v & 0xFF);
        }
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

void writeHeic(const std::filesystem::path& path, const Heic& request) {
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_image* image = nullptr;
  heif_encoding_options* options = heif_encoding_options_alloc();
  const auto cleanUp = [&] {
    if (image) heif_image_release(image);
    if (encoder) heif_encoder_release(encoder);
    heif_encoding_options_free(options);
    heif_context_free(context);
  };
  const auto check = [&](heif_error error, const char* what) {
    if (error.code != heif_error_Ok) {
      cleanUp();
      fail(path, std::string(what) + ": " + error.message);
    }
  };
  check(heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder), "encoder");
  check(heif_encoder_set_lossy_quality(encoder, request.quality), "quality");
  const int width = static_cast<int>(request.width), height = static_cast<int>(request.height);
  check(heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image),
        "image");
  check(heif_image_add_plane(image, heif_channel_interleaved, width, height, 8), "plane");
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto rgba = request.pattern(x, y);
      for (int c = 0; c < 3; ++c)
        plane[y * stride + x * 3 + c] = static_cast<uint8_t>(quantised(rgba[c], 255));
    }
  options->image_orientation = static_cast<heif_orientation>(request.orientation);
  check(heif_context_encode_image(context, image, encoder, options, nullptr), "encode");
  check(heif_context_write_to_file(context, path.c_str()), "write");
  cleanUp();
}

double Negative::stepDensity(int step, int channel) const {
  return baseDensity[channel] + gamma[channel] * (firstLogExposure + step * logExposureStep);
}

NormRect Negative::frameRect() const {
  const double inset = surroundFraction + rebateFraction;
  return {inset, inset, 1 - 2 * inset, 1 - 2 * inset};
}

NormRect Negative::stepRect(int step) const {
  const NormRect frame = frameRect();
  const double width = frame.w / steps;
  return {frame.x + step * width, frame.y, width, frame.h};
}

Pattern Negative::pattern() const {
  const Negative n = *this;
  // 0 outside an edge, 1 inside, a raised cosine across 2 · edgeSoftness pixels.
  const auto ramp = [soft = std::max(1e-6, n.edgeSoftness)](double inside) {
    const double t = std::clamp((inside + soft) / (2 * soft), 0.0, 1.0);
    return 0.5 - 0.5 * std::cos(std::numbers::pi * t);
  };
  return [n, ramp](int64_t x, int64_t y) {
    const double px = x + 0.5, py = y + 0.5;
    // Signed distance in pixels inside the rectangle inset by `fraction` of each side.
    const auto inside = [&](double fraction) {
      return std::min({px - fraction * n.width, (1 - fraction) * n.width - px,
                       py - fraction * n.height, (1 - fraction) * n.height - py});
    };
    const double onFilm = ramp(inside(n.surroundFraction));
    const double inFrame = ramp(inside(n.surroundFraction + n.rebateFraction));
    const NormRect frame = n.frameRect();
    std::array<float, 4> value{0, 0, 0, 1};
    // Edges blend in density: a linear-light blend between a dense and a thin patch changes
    // density almost all at once on its dense side, where demosaicing then overshoots.
    for (int c = 0; c < 3; ++c) {
      double steps = n.stepDensity(0, c);
      for (int k = 1; k < n.steps; ++k) {
        const double boundary = (frame.x + k * frame.w / n.steps) * n.width;
        steps += (n.stepDensity(k, c) - n.stepDensity(k - 1, c)) * ramp(px - boundary);
      }
      const double film = n.baseDensity[c] + (steps - n.baseDensity[c]) * inFrame;
      const double density = n.surroundDensity + (film - n.surroundDensity) * onFilm;
      value[c] = static_cast<float>(std::pow(10.0, -density));
    }
    return value;
  };
}

void writeNegativeDng(const std::filesystem::path& path, const Negative& negative) {
  Dng dng;
  dng.width = negative.width;
  dng.height = negative.height;
  dng.pattern = negative.pattern();
  writeDng(path, dng);
}

void writeNegativeTiff(const std::filesystem::path& path, const Negative& negative) {
  Tiff tiff;
  tiff.width = negative.width;
  tiff.height = negative.height;
  tiff.pattern = negative.pattern();
  tiff.bitsPerSample = 16;
  tiff.icc = linearDisplayP3Profile();
  writeTiff(path, tiff);
}

}  // namespace ScanFixtures
