#include "Export/MetadataBlocks.h"

#include <cstring>
#include <exiv2/exiv2.hpp>
#include <string_view>

#include "Export/ExportMetadata.h"

namespace MetadataBlocks {

namespace {

// IPTC stores "yyyyMMdd" and "HHmmss"; exiv2 reads them as "YYYY-MM-DD" and "HH:MM:SS".
std::string dashedDate(const std::string& date) {
  return date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2);
}

std::string colonTime(const std::string& time) {
  return time.substr(0, 2) + ":" + time.substr(2, 2) + ":" + time.substr(4, 2);
}

void addString(Exiv2::IptcData& data, const char* key, const std::string& text) {
  Exiv2::StringValue value(text);
  data.add(Exiv2::IptcKey(key), &value);
}

void addValue(Exiv2::IptcData& data, const char* key, Exiv2::TypeId type, const std::string& text) {
  const Exiv2::Value::AutoPtr value = Exiv2::Value::create(type);
  if (value->read(text) != 0) return;
  data.add(Exiv2::IptcKey(key), value.get());
}

Exiv2::IptcData iptcData(const Exporter::Metadata::IPTC& iptc) {
  Exiv2::IptcData data;
  addString(data, "Iptc.Envelope.CharacterSet", "\x1b%G");
  addValue(data, "Iptc.Application2.RecordVersion", Exiv2::unsignedShort, "4");
  for (const std::string& keyword : iptc.keywords)
    addString(data, "Iptc.Application2.Keywords", keyword);
  if (iptc.dateCreated && iptc.dateCreated->size() == 8) {
    addValue(data, "Iptc.Application2.DateCreated", Exiv2::date, dashedDate(*iptc.dateCreated));
  }
  if (iptc.timeCreated && iptc.timeCreated->size() == 6) {
    addValue(data, "Iptc.Application2.TimeCreated", Exiv2::time, colonTime(*iptc.timeCreated));
  }
  if (iptc.byline) addString(data, "Iptc.Application2.Byline", *iptc.byline);
  if (iptc.copyrightNotice) addString(data, "Iptc.Application2.Copyright", *iptc.copyrightNotice);
  if (iptc.captionAbstract) addString(data, "Iptc.Application2.Caption", *iptc.captionAbstract);
  return data;
}

void setAscii(Exiv2::ExifData& data, const char* key, const std::optional<std::string>& text) {
  if (text) data[key] = *text;
}

void setRational(Exiv2::ExifData& data, const char* key, const std::optional<double>& value) {
  if (!value) return;
  const auto rational = Exporter::unsignedRational(*value);
  if (!rational) return;
  Exiv2::URationalValue v;
  v.value_.emplace_back(rational->first, rational->second);
  data.add(Exiv2::ExifKey(key), &v);
}

void setResolution(Exiv2::ExifData& data, const char* key) {
  Exiv2::URationalValue v;
  v.value_.emplace_back(72, 1);
  data.add(Exiv2::ExifKey(key), &v);
}

void setShort(Exiv2::ExifData& data, const char* key, uint16_t value) {
  Exiv2::UShortValue v;
  v.value_.push_back(value);
  data.add(Exiv2::ExifKey(key), &v);
}

void setLong(Exiv2::ExifData& data, const char* key, int64_t value) {
  Exiv2::ULongValue v;
  v.value_.push_back(static_cast<uint32_t>(value));
  data.add(Exiv2::ExifKey(key), &v);
}

void setBytes(Exiv2::ExifData& data, const char* key, const char (&bytes)[5]) {
  Exiv2::DataValue v(reinterpret_cast<const Exiv2::byte*>(bytes), 4);
  data.add(Exiv2::ExifKey(key), &v);
}

Exiv2::ExifData exifData(const Exporter::Metadata& m, const JpegImage& image) {
  Exiv2::ExifData data;
  data["Exif.Image.Software"] = m.tiff.software;
  // Entries JPEG's Exif requires; 72 pixels per inch as in the TIFF files, samples centred as
  // libjpeg writes them.
  setResolution(data, "Exif.Image.XResolution");
  setResolution(data, "Exif.Image.YResolution");
  setShort(data, "Exif.Image.ResolutionUnit", 2);
  setShort(data, "Exif.Image.YCbCrPositioning", 1);
  setAscii(data, "Exif.Image.Model", m.tiff.model);
  setAscii(data, "Exif.Image.Make", m.tiff.make);
  setAscii(data, "Exif.Image.DateTime", m.tiff.dateTime);
  setAscii(data, "Exif.Image.Artist", m.tiff.artist);
  setAscii(data, "Exif.Image.Copyright", m.tiff.copyright);
  setAscii(data, "Exif.Image.ImageDescription", m.tiff.imageDescription);
  if (m.exif.empty()) return data;

  setBytes(data, "Exif.Photo.ExifVersion", "0231");
  setBytes(data, "Exif.Photo.ComponentsConfiguration", "\1\2\3\0");
  setBytes(data, "Exif.Photo.FlashpixVersion", "0100");
  setShort(data, "Exif.Photo.ColorSpace", image.exifColorSpace);
  setLong(data, "Exif.Photo.PixelXDimension", image.width);
  setLong(data, "Exif.Photo.PixelYDimension", image.height);
  setAscii(data, "Exif.Photo.LensModel", m.exif.lensModel);
  if (m.exif.isoSpeedRatings) {
    data["Exif.Photo.ISOSpeedRatings"] = *m.exif.isoSpeedRatings;
  }
  setRational(data, "Exif.Photo.ExposureTime", m.exif.exposureTime);
  setRational(data, "Exif.Photo.FNumber", m.exif.fNumber);
  setRational(data, "Exif.Photo.FocalLength", m.exif.focalLength);
  setAscii(data, "Exif.Photo.DateTimeOriginal", m.exif.dateTimeOriginal);
  if (m.exif.userComment) {
    const std::vector<uint8_t> comment = asciiUserComment(*m.exif.userComment);
    Exiv2::DataValue value(comment.data(), static_cast<long>(comment.size()));
    data.add(Exiv2::ExifKey("Exif.Photo.UserComment"), &value);
  }
  return data;
}

// The text the Exif segment carries; checked before encoding, because exiv2 drops the longest
// entries of a block that is too large instead of failing. The allowance covers the structure.
size_t textBytes(const Exporter::Metadata& m) {
  size_t total = m.tiff.software.size();
  for (const auto* text :
       {&m.tiff.model, &m.tiff.make, &m.tiff.dateTime, &m.tiff.artist, &m.tiff.copyright,
        &m.tiff.imageDescription, &m.exif.lensModel, &m.exif.dateTimeOriginal, &m.exif.userComment})
    if (*text) total += (*text)->size() + 8;
  return total;
}

constexpr size_t entryAllowance = 1024;

std::vector<uint8_t> withPrefix(std::string_view prefix, const uint8_t* data, size_t size) {
  std::vector<uint8_t> out(prefix.size() + size);
  std::memcpy(out.data(), prefix.data(), prefix.size());
  if (size > 0) std::memcpy(out.data() + prefix.size(), data, size);
  return out;
}

}  // namespace

std::vector<uint8_t> asciiUserComment(const std::string& text) {
  return withPrefix(std::string_view("ASCII\0\0\0", 8),
                    reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::vector<uint8_t> iptcRecords(const Exporter::Metadata::IPTC& iptc) {
  if (iptc.empty()) return {};
  const Exiv2::DataBuf records = Exiv2::IptcParser::encode(iptcData(iptc));
  return std::vector<uint8_t>(records.pData_, records.pData_ + records.size_);
}

std::optional<std::vector<uint8_t>> jpegExifSegment(const Exporter::Metadata& metadata,
                                                    const JpegImage& image) {
  if (textBytes(metadata) + entryAllowance > jpegSegmentLimit) return std::nullopt;
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exifData(metadata, image));
  std::vector<uint8_t> segment =
      withPrefix(std::string_view("Exif\0\0", 6), blob.data(), blob.size());
  if (segment.size() > jpegSegmentLimit) return std::nullopt;
  return segment;
}

std::optional<std::vector<uint8_t>> jpegIptcSegment(const Exporter::Metadata::IPTC& iptc) {
  if (iptc.empty()) return std::vector<uint8_t>();
  const Exiv2::DataBuf resources = Exiv2::Photoshop::setIptcIrb(nullptr, 0, iptcData(iptc));
  std::vector<uint8_t> segment =
      withPrefix(std::string_view("Photoshop 3.0\0", 14), resources.pData_, resources.size_);
  if (segment.size() > jpegSegmentLimit) return std::nullopt;
  return segment;
}

}  // namespace MetadataBlocks
