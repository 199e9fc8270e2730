#include "Export/EarlierExport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "Export/ExportMetadata.h"

namespace EarlierExport {

namespace {

// Reads `size` bytes at `offset` of a TIFF structure; false when they are not all there.
using ReadAt = std::function<bool(uint64_t offset, size_t size, uint8_t* out)>;

constexpr uint16_t softwareTag = 305;
constexpr uint16_t asciiType = 2;
// A TIFF directory of ours holds about 25 entries; far more means a file that is not ours.
constexpr uint16_t entryLimit = 1000;

struct ByteOrder {
  bool little = true;
  uint16_t u16(const uint8_t* p) const {
    return little ? static_cast<uint16_t>(p[0] | p[1] << 8) : static_cast<uint16_t>(p[0] << 8 | p[1]);
  }
  uint32_t u32(const uint8_t* p) const {
    const uint32_t a = p[0], b = p[1], c = p[2], d = p[3];
    return little ? (a | b << 8 | c << 16 | d << 24) : (a << 24 | b << 16 | c << 8 | d);
  }
};

// The first directory's Software entry of a classic TIFF structure equals our name.
bool softwareIsOurs(const ReadAt& read) {
  uint8_t header[8];
  if (!read(0, 8, header)) return false;
  ByteOrder order;
  if (header[0] == 'I' && header[1] == 'I') {
    order.little = true;
  } else if (header[0] == 'M' && header[1] == 'M') {
    order.little = false;
  } else {
    return false;
  }
  if (order.u16(header + 2) != 42) return false;
  const uint64_t directory = order.u32(header + 4);
  uint8_t countBytes[2];
  if (!read(directory, 2, countBytes)) return false;
  const uint16_t count = order.u16(countBytes);
  if (count > entryLimit) return false;
  std::vector<uint8_t> entries(size_t{12} * count);
  if (!read(directory + 2, entries.size(), entries.data())) return false;

  const std::string_view name = Exporter::softwareName;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* entry = entries.data() + size_t{12} * i;
    if (order.u16(entry) != softwareTag) continue;
    const uint32_t length = order.u32(entry + 4);
    if (order.u16(entry + 2) != asciiType || length != name.size() + 1) return false;
    std::vector<uint8_t> text(length);
    if (!read(order.u32(entry + 8), length, text.data())) return false;
    return std::memcmp(text.data(), name.data(), name.size()) == 0 && text.back() == 0;
  }
  return false;
}

bool readFully(int fd, uint64_t offset, size_t size, uint8_t* out) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The Exif segment of a JPEG file: markers are walked up to the start of the image data.
bool jpegSoftwareIsOurs(int fd) {
  uint64_t position = 2;
  for (int markers = 0; markers < 64; ++markers) {
    uint8_t marker[4];
    if (!readFully(fd, position, 4, marker) || marker[0] != 0xFF) return false;
    if (marker[1] == 0xDA || marker[1] == 0xD9) return false;  // image data or end: no Exif
    const size_t length = static_cast<size_t>(marker[2] << 8 | marker[3]);
    if (length < 2) return false;
    if (marker[1] == 0xE1 && length >= 2 + 6 + 8) {
      std::vector<uint8_t> payload(length - 2);
      if (!readFully(fd, position + 4, payload.size(), payload.data())) return false;
      if (std::memcmp(payload.data(), "Exif\0\0", 6) == 0) {
        const uint8_t* tiff = payload.data() + 6;
        const size_t size = payload.size() - 6;
        return softwareIsOurs([&](uint64_t offset, size_t count, uint8_t* out) {
          if (offset > size || count > size - offset) return false;
          std::memcpy(out, tiff + offset, count);
          return true;
        });
      }
    }
    position += 2 + length;
  }
  return false;
}

}  // namespace

bool recognise(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  bool ours = false;
  uint8_t magic[2];
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && readFully(fd, 0, 2, magic)) {
    if (magic[0] == 0xFF && magic[1] == 0xD8) {
      ours = jpegSoftwareIsOurs(fd);
    } else {
      ours = softwareIsOurs([fd](uint64_t offset, size_t count, uint8_t* out) {
        return readFully(fd, offset, count, out);
      });
    }
  }
  ::close(fd);
  return ours;
}

}  // namespace EarlierExport
