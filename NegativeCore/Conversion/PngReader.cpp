#include "Conversion/PngReader.h"

#include <png.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <vector>

#include "Conversion/DecodeError.h"
#include "Conversion/DecodeSize.h"
#include "Conversion/ExifOrientation.h"

namespace {

// libpng reports errors through this handler, which jumps back to the setjmp of the step that
// called it. The steps keep no C++ objects in their own frames; the rest lives in Reader.
[[noreturn]] void errorHandler(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void warningHandler(png_structp, png_const_charp) {}

struct Reader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  FILE* file = nullptr;

  explicit Reader(FILE* opened) : file(opened) {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorHandler, warningHandler);
    if (png) info = png_create_info_struct(png);
  }
  ~Reader() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (file) std::fclose(file);
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
};

bool readInfo(Reader& r) {
  if (!r.png || !r.info) return false;
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_init_io(r.png, r.file);
  png_read_info(r.png, r.info);
  return true;
}

// The fewest bytes whose Deflate stream (at most 1,032 bytes out of one) holds the picture's
// filtered rows.
double leastFileBytes(const Reader& r) {
  const double rowBits = static_cast<double>(png_get_image_width(r.png, r.info)) *
                         png_get_bit_depth(r.png, r.info) * png_get_channels(r.png, r.info);
  return (std::ceil(rowBits / 8) + 1) * png_get_image_height(r.png, r.info) / 1032;
}

// Expands palette, low-bit grey and tRNS to plain samples; 16-bit samples in host order.
bool prepareTransforms(Reader& r) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_set_expand(r.png);
  if constexpr (std::endian::native == std::endian::little) {
    if (png_get_bit_depth(r.png, r.info) == 16) png_set_swap(r.png);
  }
  png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  return true;
}

bool readImage(Reader& r, png_bytepp rows) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_read_image(r.png, rows);
  png_read_end(r.png, nullptr);
  return true;
}

// iCCP, else sRGB (nothing to record), else gAMA and cHRM.
void readColourSpace(const Reader& r, SourceImage& image) {
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  if (png_get_iCCP(r.png, r.info, &name, &compression, &profile, &length) && profile) {
    image.icc.assign(profile, profile + length);
    return;
  }
  int intent = 0;
  if (png_get_sRGB(r.png, r.info, &intent)) return;
  double fileGamma = 0;
  const bool hasGamma = png_get_gAMA(r.png, r.info, &fileGamma) && fileGamma > 0;
  Chromaticities c = Chromaticities::sRGB();
  const bool hasChromaticities = png_get_cHRM(r.png, r.info, &c.whiteX, &c.whiteY, &c.redX, &c.redY,
                                              &c.greenX, &c.greenY, &c.blueX, &c.blueY) != 0;
  if (!hasGamma && !hasChromaticities) return;
  SourceImage::Described described{hasChromaticities ? c : Chromaticities::sRGB(), std::nullopt};
  if (hasGamma) described.gamma = 1.0 / fileGamma;
  image.described = described;
}

int exifOrientation(const Reader& r) {
  png_uint_32 length = 0;
  png_bytep exif = nullptr;
  if (!png_get_eXIf_1(r.png, r.info, &length, &exif) || !exif) return 1;
  return ExifOrientation::fromTiffBlock(exif, length);
}

}  // namespace

namespace PngReader {

SourceImage read(const std::filesystem::path& url, const SizeCheck& check) {
  FILE* file = std::fopen(url.c_str(), "rb");
  if (!file) throw DecodeError::unreadable(url);
  Reader r(file);
  if (!readInfo(r)) throw DecodeError::unreadable(url);
  const int64_t width = png_get_image_width(r.png, r.info);
  const int64_t height = png_get_image_height(r.png, r.info);
  DecodeSize::checkStored(url, width, height, leastFileBytes(r));
  check(width, height);
  if (!prepareTransforms(r)) throw DecodeError::unreadable(url);

  SourceImage image;
  const int channels = png_get_channels(r.png, r.info);
  const int depth = png_get_bit_depth(r.png, r.info);
  if (channels < 1 || channels > 4 || (depth != 8 && depth != 16))
    throw DecodeError::unreadable(url);
  image.allocate(width, height, channels,
                 depth == 16 ? SourceImage::Sample::uint16 : SourceImage::Sample::uint8);
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (int64_t y = 0; y < image.height; ++y) rows[y] = reinterpret_cast<png_bytep>(image.row(y));
  if (!readImage(r, rows.data())) throw DecodeError::unreadable(url);
  readColourSpace(r, image);
  image.orientation = ImageOrientation::fromExifTag(exifOrientation(r));
  return image;
}

std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright) {
  FILE* file = std::fopen(url.c_str(), "rb");
  if (!file) return std::nullopt;
  Reader r(file);
  if (!readInfo(r)) return std::nullopt;
  const std::pair<int64_t, int64_t> stored{png_get_image_width(r.png, r.info),
                                           png_get_image_height(r.png, r.info)};
  if (upright && ImageOrientation::fromExifTag(exifOrientation(r)).transposed)
    return std::pair{stored.second, stored.first};
  return stored;
}

}  // namespace PngReader
