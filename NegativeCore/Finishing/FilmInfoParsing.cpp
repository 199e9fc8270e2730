#include "Finishing/FilmInfoParsing.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "Support/NumberText.h"
#include "Support/Utf8.h"

namespace FilmInfoParsing {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }
bool isRegexSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

size_t digitRunEnd(std::string_view text, size_t at) {
  while (at < text.size() && isDigit(text[at])) ++at;
  return at;
}

// End of the longest "\d+(\.\d+)?" starting at `at`, or `at` itself when no digit starts there.
size_t numberEnd(std::string_view text, size_t at) {
  const size_t digits = digitRunEnd(text, at);
  if (digits == at) return at;
  if (digits + 1 < text.size() && text[digits] == '.' && isDigit(text[digits + 1])) {
    return digitRunEnd(text, digits + 1);
  }
  return digits;
}

std::string commasAsPoints(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c == ',') c = '.';
  return result;
}

// --- Camera maker -------------------------------------------------------------------------

constexpr std::array<std::string_view, 47> makerTable = {
    "Canon",    "Nikon",    "Pentax",  "Asahi",      "Olympus",     "Minolta",     "Konica",
    "Leica",    "Contax",   "Yashica", "Mamiya",     "Hasselblad",  "Rollei",      "Rolleiflex",
    "Bronica",  "Fujifilm", "Fuji",    "Ricoh",      "Voigtländer", "Voigtlander", "Zeiss",
    "Praktica", "Zenit",    "Kiev",    "Lomography", "Holga",       "Diana",       "Polaroid",
    "Kodak",    "Agfa",     "Chinon",  "Cosina",     "Topcon",      "Miranda",     "Petri",
    "Exakta",   "Linhof",   "Graflex", "Sinar",      "Horseman",    "Plaubel",     "Widelux",
    "Hanimex",  "Halina",   "Sony",    "Panasonic",  "Samsung"};

// Simple case folding of the letters a camera maker can be written with, after composing a
// vowel with a following combining diaeresis ("a" + U+0308 is "ä", as the table writes it).
std::u32string folded(std::string_view text) {
  std::u32string result;
  for (char32_t c : Utf8::decode(text)) {
    if (c >= U'A' && c <= U'Z') c += 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) c += 0x20;  // Latin-1 capitals
    if (c == 0x212A) c = U'k';                           // Kelvin sign
    if (c == 0x017F) c = U's';                           // long s
    if (c == 0x0308 && !result.empty()) {
      static constexpr std::u32string_view plain = U"aeiouy";
      static constexpr std::u32string_view withDiaeresis = U"\u00E4\u00EB\u00EF\u00F6\u00FC\u00FF";
      const size_t at = plain.find(result.back());
      if (at != std::u32string_view::npos) {
        result.back() = withDiaeresis[at];
        continue;
      }
    }
    result.push_back(c);
  }
  return result;
}

// --- Dates ----------------------------------------------------------------------------------

struct DateParts {
  int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

enum class Field { year, month, day, hour, minute, second, monthName };

struct Token {
  Field field;
  char literalAfter;  // '\0' at the end of the pattern
};

using Pattern = std::vector<Token>;

const std::array<Pattern, 14>& patterns() {
  using enum Field;
  static const std::array<Pattern, 14> all = {{
      {{year, '-'}, {month, '-'}, {day, ' '}, {hour, ':'}, {minute, ':'}, {second, 0}},
      {{year, '-'}, {month, '-'}, {day, ' '}, {hour, ':'}, {minute, 0}},
      {{year, '-'}, {month, '-'}, {day, 0}},
      {{year, ':'}, {month, ':'}, {day, ' '}, {hour, ':'}, {minute, ':'}, {second, 0}},
      {{year, ':'}, {month, ':'}, {day, 0}},
      {{day, '-'}, {month, '-'}, {year, ' '}, {hour, ':'}, {minute, 0}},
      {{day, '-'}, {month, '-'}, {year, 0}},
      {{day, '/'}, {month, '/'}, {year, ' '}, {hour, ':'}, {minute, 0}},
      {{day, '/'}, {month, '/'}, {year, 0}},
      {{day, ' '}, {monthName, ' '}, {year, 0}},  // d MMMM yyyy
      {{day, ' '}, {monthName, ' '}, {year, 0}},  // d MMM yyyy
      {{monthName, ' '}, {year, 0}},
      {{year, '-'}, {month, 0}},
      {{year, 0}},
  }};
  return all;
}

constexpr std::array<std::string_view, 12> monthNames = {
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};

bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerName) {
  if (text.size() != lowerName.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    if (c != lowerName[i]) return false;
  }
  return true;
}

// Reads an English month name, full or three letters, in any letter case.
bool readMonthName(std::string_view text, size_t& at, int& month) {
  for (size_t m = 0; m < monthNames.size(); ++m) {
    for (size_t length : {monthNames[m].size(), size_t{3}}) {
      if (at + length <= text.size() &&
          equalsIgnoringAsciiCase(text.substr(at, length), monthNames[m].substr(0, length))) {
        at += length;
        month = static_cast<int>(m) + 1;
        return true;
      }
    }
  }
  return false;
}

// Reads between minDigits and maxDigits digits, as many as there are.
bool readDigits(std::string_view text, size_t& at, size_t minDigits, size_t maxDigits, int& value) {
  size_t end = at;
  while (end < text.size() && end - at < maxDigits && isDigit(text[end])) ++end;
  if (end - at < minDigits) return false;
  value = 0;
  for (size_t i = at; i < end; ++i) value = value * 10 + (text[i] - '0');
  at = end;
  return true;
}

bool readField(std::string_view text, size_t& at, Field field, DateParts& parts) {
  switch (field) {
    case Field::year:
      return readDigits(text, at, 4, 4, parts.year);
    case Field::month:
      return readDigits(text, at, 1, 2, parts.month);
    case Field::day:
      return readDigits(text, at, 1, 2, parts.day);
    case Field::hour:
      return readDigits(text, at, 1, 2, parts.hour);
    case Field::minute:
      return readDigits(text, at, 2, 2, parts.minute);
    case Field::second:
      return readDigits(text, at, 2, 2, parts.second);
    case Field::monthName:
      return readMonthName(text, at, parts.month);
  }
  return false;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool isValid(const DateParts& p) {
  static constexpr int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (p.year < 1 || p.month < 1 || p.month > 12 || p.day < 1) return false;
  const int days = monthDays[p.month - 1] + (p.month == 2 && isLeapYear(p.year) ? 1 : 0);
  return p.day <= days && p.hour <= 23 && p.minute <= 59 && p.second <= 59;
}

// The whole text must be read by the pattern.
std::optional<DateParts> readDate(std::string_view text, const Pattern& pattern) {
  DateParts parts;
  size_t at = 0;
  for (const Token& token : pattern) {
    if (!readField(text, at, token.field, parts)) return std::nullopt;
    if (token.literalAfter == 0) break;
    if (at >= text.size() || text[at] != token.literalAfter) return std::nullopt;
    ++at;
  }
  if (at != text.size() || !isValid(parts)) return std::nullopt;
  return parts;
}

void appendPadded(std::string& out, int value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

std::string exifForm(const DateParts& p) {
  std::string out;
  appendPadded(out, p.year, 4);
  out += ':';
  appendPadded(out, p.month, 2);
  out += ':';
  appendPadded(out, p.day, 2);
  out += ' ';
  appendPadded(out, p.hour, 2);
  out += ':';
  appendPadded(out, p.minute, 2);
  out += ':';
  appendPadded(out, p.second, 2);
  return out;
}

// "(\d+(\.\d+)?)\s*/\s*(\d+(\.\d+)?)": the leftmost match, as a regular expression finds it.
std::optional<std::string_view> firstFraction(std::string_view s) {
  for (size_t start = 0; start < s.size(); ++start) {
    if (!isDigit(s[start])) continue;
    const size_t longest = numberEnd(s, start);
    const size_t shortest = digitRunEnd(s, start);
    for (size_t numerator : {longest, shortest}) {
      size_t at = numerator;
      while (at < s.size() && isRegexSpace(s[at])) ++at;
      if (at >= s.size() || s[at] != '/') continue;
      ++at;
      while (at < s.size() && isRegexSpace(s[at])) ++at;
      const size_t end = numberEnd(s, at);
      if (end != at) return s.substr(start, end - start);
    }
  }
  return std::nullopt;
}

std::optional<double> fractionValue(std::string_view match) {
  std::vector<std::string_view> pieces;
  size_t begin = 0;
  while (begin <= match.size()) {
    size_t slash = match.find('/', begin);
    if (slash == std::string_view::npos) slash = match.size();
    if (slash > begin) pieces.push_back(match.substr(begin, slash - begin));
    begin = slash + 1;
  }
  if (pieces.size() != 2) return std::nullopt;
  const auto first = NumberText::parseDouble(trimmed(pieces[0]));
  const auto second = NumberText::parseDouble(trimmed(pieces[1]));
  if (!first || !second || !(*second > 0)) return std::nullopt;
  return *first / *second;
}

std::optional<double> positive(std::optional<double> value) {
  if (value && *value > 0 && std::isfinite(*value)) return value;
  return std::nullopt;
}

}  // namespace

std::string_view trimmed(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && isSpaceOrTab(text[begin])) ++begin;
  while (end > begin && isSpaceOrTab(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::optional<double> firstNumber(std::string_view text) {
  const std::string s = commasAsPoints(text);
  for (size_t start = 0; start < s.size(); ++start) {
    const size_t end = numberEnd(s, start);
    if (end != start)
      return NumberText::parseDouble(std::string_view(s).substr(start, end - start));
  }
  return std::nullopt;
}

std::optional<std::string> cameraMake(const FilmInfo& info) {
  std::string_view camera = info.camera;
  const size_t begin = camera.find_first_not_of(' ');
  const std::string_view word = begin == std::string_view::npos
                                    ? std::string_view()
                                    : camera.substr(begin, camera.find(' ', begin) - begin);
  const std::u32string key = folded(word);
  for (std::string_view maker : makerTable)
    if (folded(maker) == key) return std::string(maker);
  return std::nullopt;
}

std::optional<int64_t> isoSpeed(const FilmInfo& info) {
  const auto number = firstNumber(info.iso);
  if (!number) return std::nullopt;
  const double rounded = std::round(*number);
  // Above every 64-bit integer there is no ISO to give.
  if (!(rounded >= 1) || rounded >= 9223372036854775808.0) return std::nullopt;
  return static_cast<int64_t>(rounded);
}

std::optional<double> exposureTime(const FilmInfo& info) {
  std::string s(trimmed(info.shutter));
  if (s.empty()) return std::nullopt;
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  if (const auto fraction = firstFraction(s)) {
    if (const auto value = fractionValue(*fraction)) return value;
  }
  return positive(firstNumber(s));
}

std::optional<double> fNumber(const FilmInfo& info) { return positive(firstNumber(info.aperture)); }

std::optional<double> focalLengthValue(const FilmInfo& info) {
  return positive(firstNumber(info.focalLength));
}

std::optional<std::string> exifDate(const FilmInfo& info) {
  const std::string_view d = trimmed(info.dateTaken);
  if (d.empty()) return std::nullopt;
  for (const Pattern& pattern : patterns()) {
    if (const auto parts = readDate(d, pattern)) return exifForm(*parts);
  }
  return std::nullopt;
}

bool isEmpty(const FilmInfo& info) { return info == FilmInfo{}; }

}  // namespace FilmInfoParsing
