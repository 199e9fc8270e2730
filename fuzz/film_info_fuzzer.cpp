// Film information as typed: eleven fields from the input's lines, every reader of them, and the
// EXIF date in its one fixed form whenever there is one.
#include <nlohmann/json.hpp>

#include <cctype>
#include <string_view>

#include "Finishing/FilmInfoParsing.h"
#include "FuzzSupport.h"

namespace {

bool isExifDate(const std::string& date) {
  // "yyyy:MM:dd HH:mm:ss"
  if (date.size() != 19) return false;
  for (size_t i = 0; i < date.size(); ++i) {
    const char expected = i == 4 || i == 7 || i == 13 || i == 16 ? ':' : i == 10 ? ' ' : '0';
    const bool digit = std::isdigit(static_cast<unsigned char>(date[i])) != 0;
    if (expected == '0' ? !digit : date[i] != expected) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  FilmInfo info;
  std::string* fields[] = {&info.camera,    &info.lens,         &info.film,      &info.iso,
                           &info.shutter,   &info.aperture,     &info.focalLength,
                           &info.dateTaken, &info.photographer, &info.copyright, &info.notes};
  size_t start = 0;
  for (size_t f = 0; f < std::size(fields) && start <= text.size(); ++f) {
    const size_t end = f + 1 == std::size(fields) ? text.size() : text.find('\n', start);
    *fields[f] = std::string(text.substr(start, end == std::string_view::npos ? end : end - start));
    start = end == std::string_view::npos ? text.size() + 1 : end + 1;
  }
  FilmInfoParsing::firstNumber(text);
  FilmInfoParsing::trimmed(text);
  FilmInfoParsing::cameraMake(info);
  FilmInfoParsing::isoSpeed(info);
  FilmInfoParsing::exposureTime(info);
  FilmInfoParsing::fNumber(info);
  FilmInfoParsing::focalLengthValue(info);
  FilmInfoParsing::isEmpty(info);
  if (const auto date = FilmInfoParsing::exifDate(info); date && !isExifDate(*date))
    FuzzSupport::fail("not an EXIF date: " + *date);
  if (filmInfoFromJson(toJson(info)) != info) FuzzSupport::fail("film information reads back differently");
  return 0;
}
