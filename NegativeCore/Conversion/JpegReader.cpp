#include "Conversion/JpegReader.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Conversion/DecodeError.h"
#include "Conversion/DecodeSize.h"
#include "Conversion/ExifOrientation.h"

namespace {

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to the
// setjmp of the step that called it. The steps below keep no C++ objects in their own frames, so
// the jump skips no destructor; everything else lives in Decompressor, destroyed normally.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void silentMessage(j_common_ptr) {}

struct Decompressor {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  FILE* file = nullptr;

  explicit Decompressor(FILE* opened) : file(opened) {
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = errorExit;
    errors.base.output_message = silentMessage;
    jpeg_create_decompress(&info);
  }
  ~Decompressor() {
    jpeg_destroy_decompress(&info);
    if (file) std::fclose(file);
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
};

bool readHeader(Decompressor& d, bool keepMarkers) {
  if (setjmp(d.errors.jump)) return false;
  jpeg_stdio_src(&d.info, d.file);
  if (keepMarkers) {
    jpeg_save_markers(&d.info, JPEG_APP0 + 1, 0xFFFF);  // EXIF
    jpeg_save_markers(&d.info, JPEG_APP0 + 2, 0xFFFF);  // ICC
  }
  return jpeg_read_header(&d.info, TRUE) == JPEG_HEADER_OK;
}

bool readIcc(Decompressor& d, JOCTET** data, unsigned* length) {
  if (setjmp(d.errors.jump)) return false;
  return jpeg_read_icc_profile(&d.info, data, length);
}

bool startDecompress(Decompressor& d) {
  if (setjmp(d.errors.jump)) return false;
  switch (d.info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      d.info.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      d.info.out_color_space = JCS_CMYK;
      break;
    default:
      d.info.out_color_space = JCS_RGB;
      break;
  }
  return jpeg_start_decompress(&d.info);
}

// Reads every row y into rows[y].
bool readRows(Decompressor& d, uint8_t* const* rows) {
  if (setjmp(d.errors.jump)) return false;
  while (d.info.output_scanline < d.info.output_height) {
    JSAMPROW row = rows[d.info.output_scanline];
    if (jpeg_read_scanlines(&d.info, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&d.info);
  return true;
}

int exifOrientation(const jpeg_decompress_struct& info) {
  for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next)
    if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 &&
        std::memcmp(m->data, "Exif\0\0", 6) == 0)
      return ExifOrientation::fromTiffBlock(m->data + 6, m->data_length - 6);
  return 1;
}

// The fewest bytes that hold the picture's Huffman-coded scans: every 8 × 8 block of a component
// takes at least one bit. libjpeg reads missing data as zeros, so without this a small file could
// declare a huge picture. Arithmetic coding has no such floor.
double leastFileBytes(const jpeg_decompress_struct& info) {
  if (info.arith_code) return 0;
  double blocks = 0;
  for (int c = 0; c < info.num_components; ++c)
    blocks = std::max(blocks, static_cast<double>(info.comp_info[c].width_in_blocks) *
                                  info.comp_info[c].height_in_blocks);
  return blocks / 8;
}

// CMYK samples (Adobe files store them inverted) to 8-bit RGB, in place: a plain conversion.
void cmykToRgb(uint8_t* row, int64_t width, bool inverted) {
  for (int64_t x = 0; x < width; ++x) {
    const uint8_t* in = row + x * 4;
    const int k = inverted ? in[3] : 255 - in[3];
    uint8_t rgb[3];
    for (int c = 0; c < 3; ++c)
      rgb[c] = static_cast<uint8_t>((inverted ? in[c] : 255 - in[c]) * k / 255);
    std::memcpy(row + x * 3, rgb, 3);
  }
}

FILE* openFile(const std::filesystem::path& url) { return std::fopen(url.c_str(), "rb"); }

}  // namespace

namespace JpegReader {

SourceImage read(const std::filesystem::path& url, const SizeCheck& check) {
  FILE* file = openFile(url);
  if (!file) throw DecodeError::unreadable(url);
  Decompressor d(file);
  if (!readHeader(d, true)) throw DecodeError::unreadable(url);
  DecodeSize::checkStored(url, d.info.image_width, d.info.image_height, leastFileBytes(d.info));
  check(d.info.image_width, d.info.image_height);

  SourceImage image;
  JOCTET* icc = nullptr;
  unsigned iccLength = 0;
  if (readIcc(d, &icc, &iccLength) && icc) image.icc.assign(icc, icc + iccLength);
  std::free(icc);
  image.orientation = ImageOrientation::fromExifTag(exifOrientation(d.info));
  if (!startDecompress(d)) throw DecodeError::unreadable(url);

  const bool cmyk = d.info.out_color_space == JCS_CMYK;
  const int64_t width = d.info.output_width, height = d.info.output_height;
  image.allocate(width, height, cmyk ? 4 : d.info.output_components, SourceImage::Sample::uint8);
  std::vector<uint8_t*> rows(static_cast<size_t>(height));
  for (int64_t y = 0; y < height; ++y) rows[y] = reinterpret_cast<uint8_t*>(image.row(y));
  if (!readRows(d, rows.data())) throw DecodeError::unreadable(url);
  if (cmyk) {
    // Converted into a new three-channel image.
    SourceImage rgb;
    rgb.allocate(width, height, 3, SourceImage::Sample::uint8);
    for (int64_t y = 0; y < height; ++y) {
      cmykToRgb(rows[y], width, d.info.saw_Adobe_marker);
      std::memcpy(rgb.row(y), rows[y], rgb.rowBytes());
    }
    rgb.orientation = image.orientation;
    return rgb;  // the CMYK profile does not describe the converted samples
  }
  return image;
}

std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright) {
  FILE* file = openFile(url);
  if (!file) return std::nullopt;
  Decompressor d(file);
  if (!readHeader(d, upright)) return std::nullopt;
  const std::pair<int64_t, int64_t> stored{d.info.image_width, d.info.image_height};
  if (upright && ImageOrientation::fromExifTag(exifOrientation(d.info)).transposed)
    return std::pair{stored.second, stored.first};
  return stored;
}

}  // namespace JpegReader
