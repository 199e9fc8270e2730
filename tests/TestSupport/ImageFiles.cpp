#include "TestSupport/ImageFiles.h"

#include <jpeglib.h>
#include <tiffio.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <memory>

namespace {

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

template <class T>
T field(TIFF* tif, uint32_t tag, T fallback) {
  T value = fallback;
  TIFFGetFieldDefaulted(tif, tag, &value);
  return value;
}

struct JpegErrors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void jumpBack(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

}  // namespace

std::optional<TiffContents> readTiff(const std::filesystem::path& path) {
  TIFFSetWarningHandler(nullptr);
  std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "r"));
  if (!tif) return std::nullopt;
  TiffContents c;
  c.width = field<uint32_t>(tif.get(), TIFFTAG_IMAGEWIDTH, 0);
  c.height = field<uint32_t>(tif.get(), TIFFTAG_IMAGELENGTH, 0);
  c.bitsPerSample = field<uint16_t>(tif.get(), TIFFTAG_BITSPERSAMPLE, 0);
  c.samplesPerPixel = field<uint16_t>(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 0);
  c.compression = field<uint16_t>(tif.get(), TIFFTAG_COMPRESSION, 0);
  c.predictor = field<uint16_t>(tif.get(), TIFFTAG_PREDICTOR, 1);
  c.rowsPerStrip = field<uint32_t>(tif.get(), TIFFTAG_ROWSPERSTRIP, 0);
  uint32_t iccSize = 0;
  void* icc = nullptr;
  if (TIFFGetField(tif.get(), TIFFTAG_ICCPROFILE, &iccSize, &icc)) {
    c.iccProfile.assign(static_cast<uint8_t*>(icc), static_cast<uint8_t*>(icc) + iccSize);
  }
  const tmsize_t rowBytes = TIFFScanlineSize(tif.get());
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  for (uint32_t y = 0; y < c.height; ++y) {
    if (TIFFReadScanline(tif.get(), row.data(), y) < 0) return std::nullopt;
    for (int64_t i = 0; i < c.width * c.samplesPerPixel; ++i) {
      c.samples.push_back(c.bitsPerSample == 16 ? reinterpret_cast<uint16_t*>(row.data())[i]
                                                : row[i]);
    }
  }
  const uint32_t strips = TIFFNumberOfStrips(tif.get());
  uint64_t* sizes = nullptr;
  TIFFGetField(tif.get(), TIFFTAG_STRIPBYTECOUNTS, &sizes);
  for (uint32_t s = 0; s < strips; ++s) {
    std::vector<uint8_t> raw(static_cast<size_t>(sizes[s]));
    TIFFReadRawStrip(tif.get(), s, raw.data(), static_cast<tmsize_t>(raw.size()));
    c.rawStrips.push_back(std::move(raw));
  }
  return c;
}

std::optional<JpegContents> readJpeg(const std::filesystem::path& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return std::nullopt;
  jpeg_decompress_struct cinfo{};
  JpegErrors errors{};
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = jumpBack;
  JpegContents c;
  std::vector<uint8_t> row;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return std::nullopt;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file.get());
  jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);
  c.width = cinfo.image_width;
  c.height = cinfo.image_height;
  c.lumaHorizontalSampling = cinfo.comp_info[0].h_samp_factor;
  c.lumaVerticalSampling = cinfo.comp_info[0].v_samp_factor;
  for (int i = 0; i < DCTSIZE2; ++i) {
    c.lumaQuantTable.push_back(cinfo.quant_tbl_ptrs[0]->quantval[i]);
  }
  JOCTET* icc = nullptr;
  unsigned int iccSize = 0;
  if (jpeg_read_icc_profile(&cinfo, &icc, &iccSize)) {
    c.iccProfile.assign(icc, icc + iccSize);
    std::free(icc);
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  row.resize(static_cast<size_t>(c.width * 3));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW pointer = row.data();
    jpeg_read_scanlines(&cinfo, &pointer, 1);
    c.samples.insert(c.samples.end(), row.begin(), row.end());
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return c;
}

std::vector<uint16_t> jpegLumaQuantTable(int quality) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  cinfo.in_color_space = JCS_RGB;
  cinfo.input_components = 3;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  std::vector<uint16_t> table;
  for (int i = 0; i < DCTSIZE2; ++i) {
    table.push_back(cinfo.quant_tbl_ptrs[0]->quantval[i]);
  }
  jpeg_destroy_compress(&cinfo);
  return table;
}

std::optional<std::string> commandOutput(const std::string& command) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return std::nullopt;
  std::string output;
  std::array<char, 4096> buffer;
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
    output.append(buffer.data(), n);
  if (::pclose(pipe.release()) != 0) return std::nullopt;
  return output;
}
