#include "Export/JpegWriter.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <algorithm>
#include <memory>

#include "Export/MetadataBlocks.h"
#include "Support/ParallelFor.h"

namespace JpegWriter {

namespace {

// libjpeg reports errors by calling error_exit, which must not return. It jumps back to the
// guarded call; exceptions cannot cross libjpeg's C frames.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void jumpBack(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void silent(j_common_ptr, int) {}

// Runs one libjpeg call; false when libjpeg reported an error. Only trivially destructible
// objects live between setjmp and the call.
template <class Call>
bool guarded(ErrorManager& errors, Call call) {
  if (setjmp(errors.jump)) return false;
  call();
  return true;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

struct Compressor {
  ErrorManager errors{};
  jpeg_compress_struct cinfo{};
  Compressor() {
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpBack;
    errors.base.emit_message = silent;
    jpeg_create_compress(&cinfo);
  }
  ~Compressor() { jpeg_destroy_compress(&cinfo); }
  void run(const char* step, auto call) {
    if (!guarded(errors, call)) throw WriteError(step);
  }
};

void configure(Compressor& c, const Settings& s, std::FILE* file) {
  c.run("cannot set up the encoder", [&] {
    jpeg_stdio_dest(&c.cinfo, file);
    c.cinfo.image_width = static_cast<JDIMENSION>(s.width);
    c.cinfo.image_height = static_cast<JDIMENSION>(s.height);
    c.cinfo.input_components = 3;
    c.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_quality(&c.cinfo, s.quality, TRUE);
    // jpeg_set_defaults chooses 4:2:0 (luma sampled 2 × 2); 4:4:4 samples every component alike.
    if (s.fullChromaSampling) {
      c.cinfo.comp_info[0].h_samp_factor = 1;
      c.cinfo.comp_info[0].v_samp_factor = 1;
    }
  });
}

void writeMarkers(Compressor& c, const Settings& s, const std::vector<uint8_t>& iccProfile,
                  const Exporter::Metadata& metadata) {
  const auto exifSegment =
      MetadataBlocks::jpegExifSegment(metadata, {s.width, s.height, s.exifColorSpace});
  const auto iptcSegment = MetadataBlocks::jpegIptcSegment(metadata.iptc);
  if (!exifSegment || !iptcSegment) throw WriteError(metadataTooLong);
  const std::vector<uint8_t>& exif = *exifSegment;
  const std::vector<uint8_t>& iptc = *iptcSegment;
  c.run("cannot write the metadata", [&] {
    jpeg_write_marker(&c.cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    jpeg_write_icc_profile(&c.cinfo, iccProfile.data(), static_cast<unsigned>(iccProfile.size()));
    if (!iptc.empty()) {
      jpeg_write_marker(&c.cinfo, JPEG_APP0 + 13, iptc.data(), static_cast<unsigned>(iptc.size()));
    }
  });
}

// Rows are converted in parallel a band at a time and handed to the encoder in order.
void writeRows(Compressor& c, const Settings& s, const RowSource& rows) {
  const int64_t band = 256;
  const auto rowBytes = static_cast<size_t>(s.width * 3);
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(band, s.height)) * rowBytes);
  std::vector<JSAMPROW> pointers(static_cast<size_t>(std::min(band, s.height)));
  for (int64_t first = 0; first < s.height; first += band) {
    const int64_t count = std::min(band, s.height - first);
    parallelForRows(count, [&](int64_t begin, int64_t end) {
      rows(first + begin, end - begin, buffer.data() + begin * rowBytes);
    });
    for (int64_t r = 0; r < count; ++r) pointers[r] = buffer.data() + r * rowBytes;
    JDIMENSION written = 0;
    c.run("cannot encode the image", [&] {
      while (written < count) {
        written += jpeg_write_scanlines(&c.cinfo, pointers.data() + written,
                                        static_cast<JDIMENSION>(count) - written);
      }
    });
  }
}

}  // namespace

void write(const std::filesystem::path& path, const Settings& settings, const RowSource& rows,
           const std::vector<uint8_t>& iccProfile, const Exporter::Metadata& metadata) {
  if (settings.width < 1 || settings.height < 1 || settings.width > JPEG_MAX_DIMENSION ||
      settings.height > JPEG_MAX_DIMENSION) {
    throw WriteError("unsupported image size");
  }
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) throw WriteError("cannot open file");
  Compressor c;
  configure(c, settings, file.get());
  c.run("cannot start the encoder", [&] { jpeg_start_compress(&c.cinfo, TRUE); });
  writeMarkers(c, settings, iccProfile, metadata);
  writeRows(c, settings, rows);
  c.run("cannot finish the file", [&] { jpeg_finish_compress(&c.cinfo); });
  if (std::fflush(file.get()) != 0 || std::ferror(file.get()))
    throw WriteError("cannot write file");
}

}  // namespace JpegWriter
