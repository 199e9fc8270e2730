#include "Export/TiffWriter.h"

#include <tiffio.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "Export/ExifDirectory.h"
#include "Export/MetadataBlocks.h"
#include "Support/ParallelFor.h"

namespace TiffWriter {

namespace {

// libtiff's messages stay with the handle: errors become WriteError, nothing is printed.
int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

std::unique_ptr<TIFFOpenOptions, OptionsDeleter> quietOptions() {
  std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
  return options;
}

struct TiffDeleter {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, TiffDeleter>;

void check(int ok, const char* what) {
  if (!ok) throw WriteError(what);
}

// --- An in-memory file for encoding strips -----------------------------------------------

struct MemoryFile {
  std::vector<uint8_t> bytes;
  uint64_t position = 0;
};

MemoryFile& memory(thandle_t handle) { return *static_cast<MemoryFile*>(handle); }

tmsize_t memoryRead(thandle_t handle, void* buffer, tmsize_t size) {
  MemoryFile& f = memory(handle);
  const uint64_t available = f.position < f.bytes.size() ? f.bytes.size() - f.position : 0;
  const auto n = std::min<uint64_t>(available, static_cast<uint64_t>(size));
  std::memcpy(buffer, f.bytes.data() + f.position, n);
  f.position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t memoryWrite(thandle_t handle, void* buffer, tmsize_t size) {
  MemoryFile& f = memory(handle);
  const uint64_t end = f.position + static_cast<uint64_t>(size);
  if (end > f.bytes.size()) f.bytes.resize(end);
  std::memcpy(f.bytes.data() + f.position, buffer, static_cast<size_t>(size));
  f.position = end;
  return size;
}

toff_t memorySeek(thandle_t handle, toff_t offset, int whence) {
  MemoryFile& f = memory(handle);
  if (whence == SEEK_CUR) offset += f.position;
  if (whence == SEEK_END) offset += f.bytes.size();
  f.position = offset;
  return offset;
}

int memoryClose(thandle_t) { return 0; }
toff_t memorySize(thandle_t handle) { return memory(handle).bytes.size(); }
int memoryMap(thandle_t, void**, toff_t*) { return 0; }
void memoryUnmap(thandle_t, void*, toff_t) {}

// --- Fields ------------------------------------------------------------------------------

int64_t bytesPerRow(const Layout& layout) { return layout.width * 3 * (layout.bitsPerSample / 8); }

void setImageFields(TIFF* tif, const Layout& layout, int64_t height) {
  check(TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(layout.width)) &&
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height)) &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample) &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
            TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) &&
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rowsPerStrip(layout))),
        "image fields");
}

void setText(TIFF* tif, uint32_t tag, const std::optional<std::string>& text) {
  if (text) check(TIFFSetField(tif, tag, text->c_str()), "text field");
}

// Writes the Exif directory right after the file header, where libtiff has written nothing
// yet (it places strips and directories at the end of the file), and returns its offset.
uint64_t writeExifDirectory(TIFF* tif, const Exporter::Metadata::Exif& exif, uint16_t colorSpace) {
  const int fd = TIFFFileno(tif);
  const off_t end = ::lseek(fd, 0, SEEK_END);
  check(end > 0 && end % 2 == 0, "Exif directory");
  const auto offset = static_cast<uint32_t>(end);
  const std::vector<uint8_t> bytes = ExifDirectory::encode(exif, colorSpace, offset);
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + written, bytes.size() - written,
                               static_cast<off_t>(offset + written));
    if (n < 0 && errno == EINTR) continue;
    check(n > 0, "Exif directory");
    written += static_cast<size_t>(n);
  }
  return offset;
}

void setMetadataFields(TIFF* tif, const std::vector<uint8_t>& iccProfile,
                       const Exporter::Metadata& metadata, std::optional<uint64_t> exifOffset) {
  const Exporter::Metadata::TIFF& t = metadata.tiff;
  // Baseline TIFF requires a resolution; 72 pixels per inch says "no particular print size".
  check(TIFFSetField(tif, TIFFTAG_XRESOLUTION, 72.0) &&
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, 72.0) &&
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH),
        "resolution");
  check(TIFFSetField(tif, TIFFTAG_SOFTWARE, t.software.c_str()), "software");
  setText(tif, TIFFTAG_MODEL, t.model);
  setText(tif, TIFFTAG_MAKE, t.make);
  setText(tif, TIFFTAG_DATETIME, t.dateTime);
  setText(tif, TIFFTAG_ARTIST, t.artist);
  setText(tif, TIFFTAG_COPYRIGHT, t.copyright);
  setText(tif, TIFFTAG_IMAGEDESCRIPTION, t.imageDescription);
  check(TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(iccProfile.size()),
                     iccProfile.data()),
        "ICC profile");
  if (exifOffset) check(TIFFSetField(tif, TIFFTAG_EXIFIFD, *exifOffset), "Exif pointer");

  // Readers expect the IPTC tag as 32-bit words; libtiff may declare it as bytes, in which case
  // the entry's type is corrected after the file is written (retypeIptcEntry). Either way the
  // records are padded with zeros to a multiple of four.
  std::vector<uint8_t> iptc = MetadataBlocks::iptcRecords(metadata.iptc);
  if (!iptc.empty()) {
    const TIFFField* field = TIFFFieldWithTag(tif, TIFFTAG_RICHTIFFIPTC);
    const bool words = field && TIFFFieldDataType(field) == TIFF_LONG;
    iptc.resize((iptc.size() + 3) / 4 * 4, 0);
    const auto count = static_cast<uint32_t>(words ? iptc.size() / 4 : iptc.size());
    check(TIFFSetField(tif, TIFFTAG_RICHTIFFIPTC, count, iptc.data()), "IPTC");
  }
}

// Turns a byte-typed IPTC entry of the first directory into the same bytes typed as 32-bit words.
// The file is a little-endian classic TIFF written by this writer.
void retypeIptcEntry(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  check(fd >= 0, "IPTC");
  const auto readAt = [fd](void* out, size_t size, off_t at) {
    return ::pread(fd, out, size, at) == static_cast<ssize_t>(size);
  };
  const auto u16 = [](const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); };
  const auto u32 = [](const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  };
  bool ok = false;
  uint8_t header[8];
  uint8_t countBytes[2];
  if (readAt(header, 8, 0) && header[0] == 'I' && header[1] == 'I' && u16(header + 2) == 42 &&
      readAt(countBytes, 2, u32(header + 4))) {
    const off_t first = static_cast<off_t>(u32(header + 4)) + 2;
    for (uint16_t i = 0; i < u16(countBytes) && !ok; ++i) {
      uint8_t entry[12];
      const off_t at = first + 12 * static_cast<off_t>(i);
      if (!readAt(entry, 12, at)) break;
      if (u16(entry) != TIFFTAG_RICHTIFFIPTC) continue;
      ok = u16(entry + 2) == TIFF_LONG;
      if (!ok && u16(entry + 2) == TIFF_UNDEFINED && u32(entry + 4) % 4 == 0) {
        const uint32_t words = u32(entry + 4) / 4;
        const uint8_t patch[6] = {TIFF_LONG, 0, static_cast<uint8_t>(words),
                                  static_cast<uint8_t>(words >> 8),
                                  static_cast<uint8_t>(words >> 16),
                                  static_cast<uint8_t>(words >> 24)};
        ok = ::pwrite(fd, patch, 6, at + 2) == 6;
      }
    }
  }
  ok = ::close(fd) == 0 && ok;
  check(ok, "IPTC");
}

// --- Strips --------------------------------------------------------------------------------

// The encoded strips of a group of rows, where the in-memory encoder left them.
struct EncodedGroup {
  std::vector<uint8_t> bytes;
  std::vector<std::pair<uint64_t, uint64_t>> strips;  // offset and size in bytes
};

// LZW-encodes the strips of rows [firstRow, firstRow + rows) through an in-memory TIFF with the
// same layout; `rows` is a multiple of the strip height except at the image's end.
EncodedGroup encodeStrips(const Layout& layout, int64_t firstRow, int64_t rows,
                          const RowSource& source) {
  const int64_t stripRows = rowsPerStrip(layout);
  const int64_t rowBytes = bytesPerRow(layout);
  const auto rawBytes = static_cast<size_t>(rows * rowBytes);
  // One strip's rows at a time, written whole by the source: small enough to stay in the cache.
  const auto raw =
      std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(stripRows * rowBytes));

  MemoryFile file;
  // Room for strips that do not shrink, so the encoder's output is never moved as it grows.
  file.bytes.reserve(rawBytes + rawBytes / 8 + (size_t{64} << 10));
  const auto options = quietOptions();
  Tiff tif(TIFFClientOpenExt("strips", "w", &file, memoryRead, memoryWrite, memorySeek, memoryClose,
                             memorySize, memoryMap, memoryUnmap, options.get()));
  check(tif != nullptr, "strip encoder");
  setImageFields(tif.get(), layout, rows);
  const auto count = static_cast<uint32_t>((rows + stripRows - 1) / stripRows);
  for (uint32_t s = 0; s < count; ++s) {
    const int64_t begin = s * stripRows;
    const int64_t stripHeight = std::min(rows, begin + stripRows) - begin;
    source(firstRow + begin, stripHeight, raw.get());
    check(TIFFWriteEncodedStrip(tif.get(), s, raw.get(), stripHeight * rowBytes) >= 0,
          "strip encoding");
  }
  uint64_t* offsets = nullptr;
  uint64_t* sizes = nullptr;
  check(TIFFGetField(tif.get(), TIFFTAG_STRIPOFFSETS, &offsets) &&
            TIFFGetField(tif.get(), TIFFTAG_STRIPBYTECOUNTS, &sizes),
        "strip encoding");
  EncodedGroup group;
  for (uint32_t s = 0; s < count; ++s) group.strips.emplace_back(offsets[s], sizes[s]);
  tif.reset();  // its directory goes into the file too, before the bytes are handed on
  group.bytes = std::move(file.bytes);
  return group;
}

// Every strip of the image, encoded by groups in parallel; groups in order.
std::vector<EncodedGroup> encodeAllStrips(const Layout& layout, const RowSource& source) {
  const int64_t stripRows = rowsPerStrip(layout);
  const int64_t strips = (layout.height + stripRows - 1) / stripRows;
  const int64_t groupStrips = ParallelFor::rowsPerChunk(strips);
  const int64_t groups = (strips + groupStrips - 1) / groupStrips;
  std::vector<EncodedGroup> encoded(static_cast<size_t>(groups));
  std::vector<std::string> failures(static_cast<size_t>(groups));
  parallelFor(groups, [&](int64_t g) {
    const int64_t firstRow = g * groupStrips * stripRows;
    const int64_t rows = std::min(layout.height, firstRow + groupStrips * stripRows) - firstRow;
    try {
      encoded[g] = encodeStrips(layout, firstRow, rows, source);
    } catch (const std::exception& error) {
      failures[g] = error.what();
    }
  });
  for (const std::string& failure : failures)
    if (!failure.empty()) throw WriteError(failure);
  return encoded;
}

}  // namespace

int64_t rowsPerStrip(const Layout& layout) {
  return std::max<int64_t>(1, (int64_t{256} << 10) / std::max<int64_t>(1, bytesPerRow(layout)));
}

void write(const std::filesystem::path& path, const Layout& layout, const RowSource& rows,
           const std::vector<uint8_t>& iccProfile, const Exporter::Metadata& metadata) {
  if (layout.width < 1 || layout.height < 1 || layout.width > UINT32_MAX ||
      layout.height > UINT32_MAX || (layout.bitsPerSample != 8 && layout.bitsPerSample != 16)) {
    throw WriteError("unsupported image size");
  }
  std::vector<EncodedGroup> groups = encodeAllStrips(layout, rows);

  {
    const auto options = quietOptions();
    const Tiff tif(TIFFOpenExt(path.c_str(), "w", options.get()));
    check(tif != nullptr, "cannot open file");
    std::optional<uint64_t> exifOffset;
    if (!metadata.exif.empty()) {
      exifOffset = writeExifDirectory(tif.get(), metadata.exif, layout.exifColorSpace);
    }
    setImageFields(tif.get(), layout, layout.height);
    setMetadataFields(tif.get(), iccProfile, metadata, exifOffset);
    uint32_t strip = 0;
    for (EncodedGroup& group : groups) {
      for (const auto& [offset, size] : group.strips) {
        check(TIFFWriteRawStrip(tif.get(), strip++, group.bytes.data() + offset,
                                static_cast<tmsize_t>(size)) >= 0,
              "cannot write strip");
      }
      std::vector<uint8_t>().swap(group.bytes);
    }
    check(TIFFWriteDirectory(tif.get()), "cannot write directory");
  }
  if (!metadata.iptc.empty()) retypeIptcEntry(path);
}

}  // namespace TiffWriter
