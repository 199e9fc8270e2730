#include "Export/ExifDirectory.h"

#include <string>

#include "Export/MetadataBlocks.h"

namespace ExifDirectory {

namespace {

enum Type : uint16_t { ascii = 2, shortType = 3, rational = 5, undefined = 7 };

struct Entry {
  uint16_t tag;
  Type type;
  uint32_t count;
  std::vector<uint8_t> value;  // in file byte order
};

void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

Entry text(uint16_t tag, const std::string& s) {
  std::vector<uint8_t> bytes(s.begin(), s.end());
  bytes.push_back(0);
  return {tag, ascii, static_cast<uint32_t>(bytes.size()), bytes};
}

void addRational(std::vector<Entry>& entries, uint16_t tag, const std::optional<double>& value) {
  if (!value) return;
  const auto r = Exporter::unsignedRational(*value);
  if (!r) return;
  std::vector<uint8_t> bytes;
  put32(bytes, r->first);
  put32(bytes, r->second);
  entries.push_back({tag, rational, 1, bytes});
}

std::vector<Entry> entries(const Exporter::Metadata::Exif& exif, uint16_t colorSpace) {
  std::vector<Entry> e;
  addRational(e, 0x829A, exif.exposureTime);
  addRational(e, 0x829D, exif.fNumber);
  if (exif.isoSpeedRatings) {
    std::vector<uint8_t> bytes;
    put16(bytes, *exif.isoSpeedRatings);
    e.push_back({0x8827, shortType, 1, bytes});
  }
  e.push_back({0x9000, undefined, 4, {'0', '2', '3', '1'}});
  if (exif.dateTimeOriginal) e.push_back(text(0x9003, *exif.dateTimeOriginal));
  addRational(e, 0x920A, exif.focalLength);
  if (exif.userComment) {
    std::vector<uint8_t> bytes = MetadataBlocks::asciiUserComment(*exif.userComment);
    e.push_back({0x9286, undefined, static_cast<uint32_t>(bytes.size()), bytes});
  }
  // FlashpixVersion and ColorSpace are required in every Exif directory.
  e.push_back({0xA000, undefined, 4, {'0', '1', '0', '0'}});
  std::vector<uint8_t> space;
  put16(space, colorSpace);
  e.push_back({0xA001, shortType, 1, space});
  if (exif.lensModel) e.push_back(text(0xA434, *exif.lensModel));
  return e;
}

}  // namespace

std::vector<uint8_t> encode(const Exporter::Metadata::Exif& exif, uint16_t colorSpace,
                            uint32_t offset) {
  if (exif.empty()) return {};
  const std::vector<Entry> list = entries(exif, colorSpace);
  std::vector<uint8_t> out;
  std::vector<uint8_t> values;
  const auto valuesStart = static_cast<uint32_t>(offset + 2 + 12 * list.size() + 4);
  put16(out, static_cast<uint16_t>(list.size()));
  for (const Entry& entry : list) {
    put16(out, entry.tag);
    put16(out, entry.type);
    put32(out, entry.count);
    if (entry.value.size() <= 4) {
      std::vector<uint8_t> inline4 = entry.value;
      inline4.resize(4, 0);
      out.insert(out.end(), inline4.begin(), inline4.end());
    } else {
      put32(out, valuesStart + static_cast<uint32_t>(values.size()));
      values.insert(values.end(), entry.value.begin(), entry.value.end());
      if (values.size() % 2) values.push_back(0);
    }
  }
  put32(out, 0);  // no next directory
  out.insert(out.end(), values.begin(), values.end());
  return out;
}

}  // namespace ExifDirectory
