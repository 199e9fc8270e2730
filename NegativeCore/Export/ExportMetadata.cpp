#include "Export/ExportMetadata.h"

#include <cmath>
#include <string_view>

#include "Finishing/FilmInfoParsing.h"
#include "Support/Utf8.h"

namespace Exporter {

namespace {

using FilmInfoParsing::trimmed;

std::optional<std::string> nonEmpty(std::string_view text) {
  if (text.empty()) return std::nullopt;
  return std::string(text);
}

std::string removed(std::string_view text, char c) {
  std::string result;
  for (char k : text)
    if (k != c) result += k;
  return result;
}

std::string replacedAll(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// An Exif rational field holds the value only when it is representable.
std::optional<double> asRational(std::optional<double> value) {
  if (!value) return std::nullopt;
  const auto rational = unsignedRational(*value);
  if (!rational) return std::nullopt;
  return static_cast<double>(rational->first) / rational->second;
}

void addDate(const FilmInfo& info, Metadata& m) {
  const auto date = FilmInfoParsing::exifDate(info);
  if (!date) return;
  m.exif.dateTimeOriginal = *date;
  m.tiff.dateTime = *date;
  std::vector<std::string_view> pieces;
  std::string_view rest = *date;
  while (!rest.empty()) {
    const size_t space = rest.find(' ');
    const std::string_view piece = rest.substr(0, space);
    if (!piece.empty()) pieces.push_back(piece);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
  }
  if (!pieces.empty()) m.iptc.dateCreated = removed(pieces[0], ':');
  if (pieces.size() > 1) m.iptc.timeCreated = removed(pieces[1], ':');
}

void addDescription(std::string_view film, std::string_view camera, std::string_view lens,
                    std::string_view notes, Metadata& m) {
  std::vector<std::string> parts;
  if (!film.empty()) parts.emplace_back(film);
  if (!camera.empty()) {
    parts.emplace_back(camera);
    if (!lens.empty()) (parts.back() += ", ") += lens;
  }
  if (!notes.empty()) parts.emplace_back(notes);
  std::string description;
  for (const std::string& part : parts) {
    if (!description.empty()) description += " \u2014 ";
    description += part;
  }
  if (description.empty()) return;
  m.tiff.imageDescription = description;
  m.iptc.captionAbstract = description;
  m.exif.userComment = asciiTransliteration(replacedAll(description, " \u2014 ", " - "));
}

// --- ASCII transliteration ---------------------------------------------------------------

// U+0100…U+017F, one base letter each; '*' marks the few spelled with more letters.
constexpr std::string_view latinExtendedA =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi**JjKkkLlLlLlLlLlNnNnNn*NnOoOoOo**RrRrRr"
    "SsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

// U+00C0…U+00FF.
constexpr std::string_view latin1Letters =
    "AAAAAA*CEEEEIIIIDNOOOOOxOUUUUY**aaaaaa*ceeeeiiiidnooooo/ouuuuy*y";

std::string_view latin1Symbol(char32_t c) {
  switch (c) {
    case 0xA0:
      return " ";
    case 0xA1:
      return "!";
    case 0xA9:
      return "(C)";
    case 0xAB:
      return "<<";
    case 0xAD:
      return "-";
    case 0xAE:
      return "(R)";
    case 0xB1:
      return "+/-";
    case 0xB2:
      return "2";
    case 0xB3:
      return "3";
    case 0xB4:
      return "'";
    case 0xB5:
      return "u";
    case 0xB7:
      return ".";
    case 0xB9:
      return "1";
    case 0xBB:
      return ">>";
    case 0xBC:
      return "1/4";
    case 0xBD:
      return "1/2";
    case 0xBE:
      return "3/4";
    case 0xBF:
      return "?";
    default:
      return "?";
  }
}

std::string_view spelledOut(char32_t c) {
  switch (c) {
    case 0xC6:
      return "AE";
    case 0xDE:
      return "TH";
    case 0xDF:
      return "ss";
    case 0xE6:
      return "ae";
    case 0xFE:
      return "th";
    case 0x132:
      return "IJ";
    case 0x133:
      return "ij";
    case 0x149:
      return "'n";
    case 0x152:
      return "OE";
    case 0x153:
      return "oe";
    default:
      return "?";
  }
}

std::string_view punctuation(char32_t c) {
  if (c >= 0x2002 && c <= 0x200A) return " ";
  if (c >= 0x2010 && c <= 0x2015) return "-";
  switch (c) {
    case 0x02BC:
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x2032:
      return "'";
    case 0x201C:
    case 0x201D:
    case 0x201E:
    case 0x2033:
      return "\"";
    case 0x2026:
      return "...";
    case 0x2039:
      return "<";
    case 0x203A:
      return ">";
    case 0x202F:
      return " ";
    case 0x2212:
      return "-";
    default:
      return "?";
  }
}

void appendAscii(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c >= 0x300 && c <= 0x36F) {
    // combining marks: the letter before already stands for them
  } else if (c < 0xC0) {
    out += latin1Symbol(c);
  } else if (c < 0x100) {
    const char letter = latin1Letters[c - 0xC0];
    letter == '*' ? out += spelledOut(c) : out += letter;
  } else if (c < 0x180) {
    const char letter = latinExtendedA[c - 0x100];
    letter == '*' ? out += spelledOut(c) : out += letter;
  } else {
    out += punctuation(c);
  }
}

}  // namespace

std::string asciiTransliteration(std::string_view text) {
  std::string out;
  for (char32_t c : Utf8::decode(text)) appendAscii(c, out);
  return out;
}

std::optional<std::pair<uint32_t, uint32_t>> unsignedRational(double value) {
  constexpr double limit = 4294967295.0;
  if (!(value >= 0) || value > limit) return std::nullopt;
  if (value == 0) return std::pair<uint32_t, uint32_t>{0, 1};
  // Continued fraction convergents h/k, stopping at the first that reproduces the value or
  // when the next would overflow; then the best semiconvergent within the limit.
  double p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  double x = value;
  for (int step = 0; step < 64; ++step) {
    const double a = std::floor(x);
    const double p2 = a * p1 + p0;
    const double q2 = a * q1 + q0;
    if (p2 > limit || q2 > limit) {
      const double k = std::floor(
          std::min(p1 > 0 ? (limit - p0) / p1 : limit, q1 > 0 ? (limit - q0) / q1 : limit));
      const double ps = k * p1 + p0;
      const double qs = k * q1 + q0;
      if (q1 == 0 || (qs > 0 && std::fabs(ps / qs - value) < std::fabs(p1 / q1 - value))) {
        p1 = ps;
        q1 = qs;
      }
      break;
    }
    p0 = p1, q0 = q1, p1 = p2, q1 = q2;
    if (p1 / q1 == value || x == a) break;
    x = 1 / (x - a);
  }
  if (p1 < 1 || q1 < 1) return std::nullopt;
  return std::pair<uint32_t, uint32_t>{static_cast<uint32_t>(p1), static_cast<uint32_t>(q1)};
}

FilmInfo withFallbacks(FilmInfo filmInfo, const ExportOptions& options) {
  if (filmInfo.film.empty()) filmInfo.film = options.filmStock;
  if (filmInfo.camera.empty()) filmInfo.camera = options.camera;
  if (filmInfo.iso.empty()) filmInfo.iso = options.iso;
  if (filmInfo.notes.empty()) filmInfo.notes = options.notes;
  return filmInfo;
}

Metadata metadata(const FilmInfo& info) {
  Metadata m;
  m.tiff.software = softwareName;

  const std::string_view camera = trimmed(info.camera);
  if (!camera.empty()) {
    m.tiff.model = std::string(camera);
    m.tiff.make = FilmInfoParsing::cameraMake(info);
  }
  const std::string_view lens = trimmed(info.lens);
  m.exif.lensModel = nonEmpty(lens);

  if (const auto iso = FilmInfoParsing::isoSpeed(info); iso && *iso <= 65535) {
    m.exif.isoSpeedRatings = static_cast<uint16_t>(*iso);
  }
  m.exif.exposureTime = asRational(FilmInfoParsing::exposureTime(info));
  m.exif.fNumber = asRational(FilmInfoParsing::fNumber(info));
  m.exif.focalLength = asRational(FilmInfoParsing::focalLengthValue(info));
  addDate(info, m);

  const std::string_view photographer = trimmed(info.photographer);
  m.tiff.artist = nonEmpty(photographer);
  m.iptc.byline = nonEmpty(photographer);
  const std::string_view copyright = trimmed(info.copyright);
  m.tiff.copyright = nonEmpty(copyright);
  m.iptc.copyrightNotice = nonEmpty(copyright);

  const std::string_view film = trimmed(info.film);
  addDescription(film, camera, lens, trimmed(info.notes), m);
  if (!film.empty() || !camera.empty()) {
    m.iptc.keywords = {"film", "analog"};
    if (!film.empty()) m.iptc.keywords.emplace_back(film);
    if (!camera.empty()) m.iptc.keywords.emplace_back(camera);
  }
  return m;
}

uint16_t exifColorSpace(ExportColorSpace space) {
  return space == ExportColorSpace::sRGB ? 1 : 0xFFFF;
}

}  // namespace Exporter
