#include "Conversion/TiffReader.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "Conversion/DecodeError.h"
#include "Conversion/DecodeSize.h"

namespace {

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

// libtiff reports through these per-file handlers; the library does not log.
int silentHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

Tiff openTiff(const std::filesystem::path& url) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, silentHandler, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, silentHandler, nullptr);
  Tiff tiff(TIFFOpenExt(url.c_str(), "r", options));
  TIFFOpenOptionsFree(options);
  return tiff;
}

// What the first directory holds, and how its samples map onto the source image.
struct Layout {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  uint16_t sampleFormat = SAMPLEFORMAT_UINT;
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  bool hasAlpha = false;
  int colourChannels = 1;
};

Layout readLayout(TIFF* tiff) {
  Layout layout;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout.height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samplesPerPixel);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &layout.sampleFormat);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &layout.planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &layout.orientation);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric))
    layout.photometric = layout.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  layout.colourChannels = layout.photometric == PHOTOMETRIC_RGB ? 3 : 1;
  uint16_t extraCount = 0;
  uint16_t* extraKinds = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) && extraCount > 0 &&
      layout.samplesPerPixel > layout.colourChannels)
    layout.hasAlpha =
        extraKinds[0] == EXTRASAMPLE_ASSOCALPHA || extraKinds[0] == EXTRASAMPLE_UNASSALPHA;
  return layout;
}

// The fewest bytes in which the first image's compression can hold its pixels: the stored
// samples over the largest ratio it reaches (64 for PackBits, under 2,048 for LZW, 1,032 for
// Deflate), a bit per row for the fax codings, a bit per 8 × 8 block for JPEG. Codings without
// such a bound (LZMA, Zstandard, WebP …) give none; the pixel limit still holds for them.
double leastFileBytes(TIFF* tiff, const Layout& layout) {
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
  const double width = layout.width, height = layout.height;
  const double planes = layout.planar == PLANARCONFIG_SEPARATE ? layout.samplesPerPixel : 1;
  const double rowBytes =
      std::ceil(width * layout.bitsPerSample * layout.samplesPerPixel / planes / 8) * planes;
  // Subsampled YCbCr keeps as little as three eighths of its samples.
  const double storedBytes =
      rowBytes * height / (layout.photometric == PHOTOMETRIC_YCBCR ? 3 : 1);
  switch (compression) {
    case COMPRESSION_NONE:
      return storedBytes;
    case COMPRESSION_PACKBITS:
      return storedBytes / 64;
    case COMPRESSION_LZW:
      return storedBytes / 2048;
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
      return storedBytes / 1032;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
      return height * planes / 8;
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
      return std::ceil(width / 8) * std::ceil(height / 8) / 8;
    default:
      return 0;
  }
}

// Samples the fast path reads itself; anything else goes through libtiff's RGBA interface.
bool isNativeLayout(const Layout& layout) {
  const bool photometric = layout.photometric == PHOTOMETRIC_MINISBLACK ||
                           layout.photometric == PHOTOMETRIC_MINISWHITE ||
                           layout.photometric == PHOTOMETRIC_RGB;
  const bool integer =
      layout.sampleFormat == SAMPLEFORMAT_UINT &&
      (layout.bitsPerSample == 8 || layout.bitsPerSample == 16 || layout.bitsPerSample == 32);
  const bool floating = layout.sampleFormat == SAMPLEFORMAT_IEEEFP && layout.bitsPerSample == 32;
  return photometric && (integer || floating) &&
         layout.samplesPerPixel >= layout.colourChannels + (layout.hasAlpha ? 1 : 0);
}

SourceImage::Sample sourceSample(const Layout& layout) {
  if (layout.bitsPerSample == 8) return SourceImage::Sample::uint8;
  if (layout.bitsPerSample == 16) return SourceImage::Sample::uint16;
  return SourceImage::Sample::float32;  // 32-bit integers become floats in 0…1
}

// Copies `count` pixels of one chunk row into a source row. `in` holds `inStride` samples per
// pixel; sample `first + k` of each feeds output channel `firstChannel + k` for k < channels.
template <class In, class Out>
void copySamples(const In* in, int inStride, int first, Out* out, int outStride, int firstChannel,
                 int channels, int64_t count, bool invert) {
  for (int64_t x = 0; x < count; ++x) {
    for (int k = 0; k < channels; ++k) {
      const In value = in[x * inStride + first + k];
      Out converted;
      if constexpr (std::is_same_v<In, uint32_t>) {
        converted = static_cast<Out>(static_cast<double>(value) / 4294967295.0);
      } else {
        converted = static_cast<Out>(value);
      }
      if (invert && firstChannel + k < 1) {
        if constexpr (std::is_floating_point_v<Out>) {
          converted = 1 - converted;
        } else {
          converted = static_cast<Out>(std::numeric_limits<Out>::max() - converted);
        }
      }
      out[x * outStride + firstChannel + k] = converted;
    }
  }
}

// Copies one row segment, dispatching on the file's sample type.
struct RowCopier {
  const Layout& layout;
  SourceImage& image;
  bool invert;

  void operator()(const uint8_t* in, int inStride, int first, int64_t y, int64_t x0,
                  int firstChannel, int channels, int64_t count) const {
    std::byte* row = image.row(y);
    const int outStride = image.channels;
    const int64_t offset = x0 * outStride;
    if (layout.bitsPerSample == 8) {
      copySamples(in, inStride, first, reinterpret_cast<uint8_t*>(row) + offset, outStride,
                  firstChannel, channels, count, invert);
    } else if (layout.bitsPerSample == 16) {
      copySamples(reinterpret_cast<const uint16_t*>(in), inStride, first,
                  reinterpret_cast<uint16_t*>(row) + offset, outStride, firstChannel, channels,
                  count, invert);
    } else if (layout.sampleFormat == SAMPLEFORMAT_IEEEFP) {
      copySamples(reinterpret_cast<const float*>(in), inStride, first,
                  reinterpret_cast<float*>(row) + offset, outStride, firstChannel, channels, count,
                  invert);
    } else {
      copySamples(reinterpret_cast<const uint32_t*>(in), inStride, first,
                  reinterpret_cast<float*>(row) + offset, outStride, firstChannel, channels, count,
                  invert);
    }
  }
};

// Reads every strip or tile; calls place(chunkBuffer, plane, x0, y0, chunkWidth, rows) for each.
template <class Place>
bool readChunks(TIFF* tiff, const Layout& layout, Place&& place) {
  const int planes = layout.planar == PLANARCONFIG_SEPARATE ? layout.samplesPerPixel : 1;
  if (TIFFIsTiled(tiff)) {
    uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    const tmsize_t tileBytes = TIFFTileSize(tiff);
    if (tileWidth == 0 || tileHeight == 0 || tileBytes <= 0) return false;
    std::vector<uint8_t> buffer(static_cast<size_t>(tileBytes));
    for (int plane = 0; plane < planes; ++plane)
      for (uint32_t y = 0; y < layout.height; y += tileHeight)
        for (uint32_t x = 0; x < layout.width; x += tileWidth) {
          const uint32_t tile = TIFFComputeTile(tiff, x, y, 0, static_cast<uint16_t>(plane));
          if (TIFFReadEncodedTile(tiff, tile, buffer.data(), tileBytes) < 0) return false;
          place(buffer.data(), plane, x, y, tileWidth, std::min(tileHeight, layout.height - y));
        }
    return true;
  }
  uint32_t rowsPerStrip = layout.height;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, layout.height);
  const tmsize_t stripBytes = TIFFStripSize(tiff);
  if (stripBytes <= 0) return false;
  std::vector<uint8_t> buffer(static_cast<size_t>(stripBytes));
  for (int plane = 0; plane < planes; ++plane)
    for (uint32_t y = 0; y < layout.height; y += rowsPerStrip) {
      const uint32_t strip = TIFFComputeStrip(tiff, y, static_cast<uint16_t>(plane));
      if (TIFFReadEncodedStrip(tiff, strip, buffer.data(), stripBytes) < 0) return false;
      place(buffer.data(), plane, 0u, y, layout.width, std::min(rowsPerStrip, layout.height - y));
    }
  return true;
}

// Strips whose rows are already the source rows decode straight into the image.
bool readStripsInPlace(TIFF* tiff, const Layout& layout, SourceImage& image) {
  uint32_t rowsPerStrip = layout.height;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, layout.height);
  if (TIFFScanlineSize64(tiff) != static_cast<uint64_t>(image.rowBytes())) return false;
  for (uint32_t y = 0; y < layout.height; y += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, layout.height - y);
    const tmsize_t bytes = static_cast<tmsize_t>(rows * image.rowBytes());
    if (TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, y, 0), image.row(y), bytes) < 0)
      return false;
  }
  return true;
}

bool readNative(TIFF* tiff, const Layout& layout, SourceImage& image) {
  const bool invert = layout.photometric == PHOTOMETRIC_MINISWHITE;
  const int wanted = layout.colourChannels + (layout.hasAlpha ? 1 : 0);
  image.allocate(layout.width, layout.height, wanted, sourceSample(layout));
  const bool uint32Samples = layout.bitsPerSample == 32 && layout.sampleFormat == SAMPLEFORMAT_UINT;
  if (!TIFFIsTiled(tiff) && layout.planar == PLANARCONFIG_CONTIG && !invert && !uint32Samples &&
      layout.samplesPerPixel == wanted)
    return readStripsInPlace(tiff, layout, image);
  const size_t bytesPerSample = layout.bitsPerSample / 8;
  const bool separate = layout.planar == PLANARCONFIG_SEPARATE;
  const RowCopier copy{layout, image, invert};
  return readChunks(tiff, layout,
                    [&](const uint8_t* chunk, int plane, uint32_t x0, uint32_t y0,
                        uint32_t chunkWidth, uint32_t rows) {
                      if (separate && plane >= wanted) return;
                      const int inStride = separate ? 1 : layout.samplesPerPixel;
                      const size_t chunkRowBytes =
                          static_cast<size_t>(chunkWidth) * inStride * bytesPerSample;
                      const int64_t count = std::min<int64_t>(chunkWidth, layout.width - x0);
                      for (uint32_t r = 0; r < rows; ++r) {
                        const uint8_t* in = chunk + r * chunkRowBytes;
                        if (separate) {
                          copy(in, 1, 0, y0 + r, x0, plane, 1, count);
                        } else {
                          copy(in, inStride, 0, y0 + r, x0, 0, wanted, count);
                        }
                      }
                    });
}

// Kinds the fast path does not handle, rendered by libtiff into 8-bit RGBA in stored order.
bool readThroughRgba(TIFF* tiff, const Layout& layout, SourceImage& image) {
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tiff, message)) return false;
  TIFFRGBAImage rgba;
  if (!TIFFRGBAImageBegin(&rgba, tiff, 0, message)) return false;
  rgba.req_orientation = ORIENTATION_TOPLEFT;
  rgba.orientation = ORIENTATION_TOPLEFT;  // keep stored order; the tag is applied later
  const bool hasAlpha = rgba.alpha != 0;
  std::vector<uint32_t> raster;
  bool ok = false;
  try {
    raster.resize(static_cast<size_t>(layout.width) * layout.height);
    ok = TIFFRGBAImageGet(&rgba, raster.data(), layout.width, layout.height) != 0;
  } catch (...) {
    TIFFRGBAImageEnd(&rgba);
    throw;
  }
  TIFFRGBAImageEnd(&rgba);
  if (!ok) return false;
  const int channels = hasAlpha ? 4 : 3;
  image.allocate(layout.width, layout.height, channels, SourceImage::Sample::uint8);
  for (uint32_t y = 0; y < layout.height; ++y) {
    auto* out = reinterpret_cast<uint8_t*>(image.row(y));
    const uint32_t* in = raster.data() + static_cast<size_t>(y) * layout.width;
    for (uint32_t x = 0; x < layout.width; ++x, out += channels) {
      out[0] = static_cast<uint8_t>(TIFFGetR(in[x]));
      out[1] = static_cast<uint8_t>(TIFFGetG(in[x]));
      out[2] = static_cast<uint8_t>(TIFFGetB(in[x]));
      if (hasAlpha) out[3] = static_cast<uint8_t>(TIFFGetA(in[x]));
    }
  }
  return true;
}

std::vector<uint8_t> readIcc(TIFF* tiff) {
  uint32_t length = 0;
  void* data = nullptr;
  if (!TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &length, &data) || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return {bytes, bytes + length};
}

}  // namespace

namespace TiffReader {

SourceImage read(const std::filesystem::path& url, const SizeCheck& check) {
  Tiff tiff = openTiff(url);
  if (!tiff) throw DecodeError::unreadable(url);
  const Layout layout = readLayout(tiff.get());
  if (layout.width == 0 || layout.height == 0) throw DecodeError::unreadable(url);
  DecodeSize::checkStored(url, layout.width, layout.height, leastFileBytes(tiff.get(), layout));
  check(layout.width, layout.height);
  SourceImage image;
  const bool native = isNativeLayout(layout);
  const bool ok =
      native ? readNative(tiff.get(), layout, image) : readThroughRgba(tiff.get(), layout, image);
  if (!ok) throw DecodeError::unreadable(url);
  image.icc = readIcc(tiff.get());
  image.orientation = ImageOrientation::fromExifTag(layout.orientation);
  return image;
}

std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright) {
  Tiff tiff = openTiff(url);
  if (!tiff) return std::nullopt;
  uint32_t width = 0, height = 0;
  if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
    return std::nullopt;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
  if (upright && ImageOrientation::fromExifTag(orientation).transposed)
    return std::pair<int64_t, int64_t>{height, width};
  return std::pair<int64_t, int64_t>{width, height};
}

}  // namespace TiffReader
