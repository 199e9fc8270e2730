#include "Export/Iso8601.h"

namespace Iso8601 {

namespace {

using namespace std::chrono;

void appendDigits(std::string& out, int64_t value, int width) {
  std::string digits(static_cast<size_t>(width), '0');
  for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10)
    digits[static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
  out += digits;
}

// Reads exactly `width` decimal digits at `pos` and moves past them.
std::optional<int> digitsAt(std::string_view text, size_t& pos, size_t width) {
  if (pos + width > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = 0; i < width; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  pos += width;
  return value;
}

bool literalAt(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// "Z", "+HH:MM", "-HH:MM", "+HHMM" or "-HHMM" to the end of the text: the offset east of UTC.
std::optional<seconds> offsetAt(std::string_view text, size_t pos) {
  if (text.substr(pos) == "Z") return seconds(0);
  if (pos >= text.size() || (text[pos] != '+' && text[pos] != '-')) return std::nullopt;
  const int sign = text[pos++] == '-' ? -1 : 1;
  const auto hours = digitsAt(text, pos, 2);
  literalAt(text, pos, ':');
  const auto minutes = digitsAt(text, pos, 2);
  if (!hours || !minutes || pos != text.size() || *hours > 23 || *minutes > 59) return std::nullopt;
  return seconds(sign * (*hours * 3600 + *minutes * 60));
}

}  // namespace

std::string format(sys_seconds date) {
  const sys_seconds whole = date;
  const sys_days day = floor<days>(whole);
  const year_month_day ymd(day);
  const hh_mm_ss time(whole - day);
  std::string out;
  appendDigits(out, static_cast<int>(ymd.year()), 4);
  out += '-';
  appendDigits(out, static_cast<unsigned>(ymd.month()), 2);
  out += '-';
  appendDigits(out, static_cast<unsigned>(ymd.day()), 2);
  out += 'T';
  appendDigits(out, time.hours().count(), 2);
  out += ':';
  appendDigits(out, time.minutes().count(), 2);
  out += ':';
  appendDigits(out, time.seconds().count(), 2);
  out += 'Z';
  return out;
}

std::optional<sys_seconds> parse(std::string_view text) {
  size_t pos = 0;
  const auto y = digitsAt(text, pos, 4);
  const bool dash1 = literalAt(text, pos, '-');
  const auto mo = digitsAt(text, pos, 2);
  const bool dash2 = literalAt(text, pos, '-');
  const auto d = digitsAt(text, pos, 2);
  const bool t = literalAt(text, pos, 'T');
  const auto h = digitsAt(text, pos, 2);
  const bool colon1 = literalAt(text, pos, ':');
  const auto mi = digitsAt(text, pos, 2);
  const bool colon2 = literalAt(text, pos, ':');
  const auto s = digitsAt(text, pos, 2);
  if (!y || !mo || !d || !h || !mi || !s || !dash1 || !dash2 || !t || !colon1 || !colon2)
    return std::nullopt;
  const year_month_day date{year(*y), month(static_cast<unsigned>(*mo)),
                            day(static_cast<unsigned>(*d))};
  if (!date.ok() || *h > 23 || *mi > 59 || *s > 59) return std::nullopt;
  const auto offset = offsetAt(text, pos);
  if (!offset) return std::nullopt;
  const sys_seconds utc = sys_days(date) + hours(*h) + minutes(*mi) + seconds(*s) - *offset;
  const year utcYear = year_month_day(floor<days>(utc)).year();
  if (utcYear < year(0) || utcYear > year(9999)) return std::nullopt;
  return utc;
}

}  // namespace Iso8601
