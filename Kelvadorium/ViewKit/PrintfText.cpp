#include "ViewKit/PrintfText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace PrintfText {

namespace {

struct Spec {
  bool left = false;
  bool plus = false;
  bool space = false;
  bool zero = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;  // none given
  char conversion = 0;
};

// Reads one conversion after its '%'; answers the index past it, or 0 when it is not one.
size_t parseSpec(std::string_view pattern, size_t at, Spec& spec) {
  size_t i = at;
  for (; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '-')
      spec.left = true;
    else if (c == '+')
      spec.plus = true;
    else if (c == ' ')
      spec.space = true;
    else if (c == '0')
      spec.zero = true;
    else if (c == '#')
      spec.alternate = true;
    else
      break;
  }
  auto digits = [&](int& into) {
    long long value = 0;
    while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
      value = std::min<long long>(value * 10 + (pattern[i] - '0'), 4096);
      ++i;
    }
    into = static_cast<int>(value);
  };
  digits(spec.width);
  if (i < pattern.size() && pattern[i] == '.') {
    ++i;
    digits(spec.precision);
  }
  for (int length = 0; length < 2 && i < pattern.size() && pattern[i] == 'l'; ++length) ++i;
  if (i >= pattern.size()) return 0;
  const char c = pattern[i];
  static constexpr std::string_view conversions = "fFeEgGdi";
  if (conversions.find(c) == std::string_view::npos) return 0;
  spec.conversion = c;
  return i + 1;
}

double asDouble(const Argument& argument) {
  if (const double* value = std::get_if<double>(&argument)) return *value;
  return static_cast<double>(std::get<long long>(argument));
}

long long asWhole(const Argument& argument) {
  if (const long long* value = std::get_if<long long>(&argument)) return *value;
  const double value = std::trunc(std::get<double>(argument));
  if (std::isnan(value)) return 0;
  // 2^63 is the first double past the range; the lowest value is exactly -2^63.
  if (value >= 9223372036854775808.0) return std::numeric_limits<long long>::max();
  if (value < -9223372036854775808.0) return std::numeric_limits<long long>::min();
  return static_cast<long long>(value);
}

// The digits of |value| without sign, as printf writes them.
std::string floatDigits(double magnitude, const Spec& spec) {
  const bool upper = spec.conversion == 'F' || spec.conversion == 'E' || spec.conversion == 'G';
  std::string text;
  if (std::isnan(magnitude) || std::isinf(magnitude)) {
    text = std::isnan(magnitude) ? "nan" : "inf";
  } else {
    const int precision = spec.precision < 0 ? 6 : spec.precision;
    std::chars_format style = std::chars_format::fixed;
    if (spec.conversion == 'e' || spec.conversion == 'E') style = std::chars_format::scientific;
    if (spec.conversion == 'g' || spec.conversion == 'G') style = std::chars_format::general;
    // The longest fixed text of a double: 309 digits before the point, the precision after.
    std::string buffer(static_cast<size_t>(precision) + 330, '\0');
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude, style, precision);
    buffer.resize(static_cast<size_t>(result.ptr - buffer.data()));
    text = std::move(buffer);
    const bool pointless = text.find('.') == std::string::npos;
    if (spec.alternate && precision == 0 && pointless && style != std::chars_format::general) {
      const size_t exponent = text.find('e');
      text.insert(exponent == std::string::npos ? text.size() : exponent, ".");
    }
  }
  if (upper)
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
      return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
  return text;
}

std::string wholeDigits(long long value, const Spec& spec) {
  // The magnitude as unsigned, so the lowest value has one too.
  const unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
  std::array<char, 24> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude);
  std::string text(buffer.data(), result.ptr);
  if (spec.precision >= 0) {
    if (spec.precision == 0 && magnitude == 0) text.clear();
    if (text.size() < static_cast<size_t>(spec.precision)) {
      text.insert(0, static_cast<size_t>(spec.precision) - text.size(), '0');
    }
  }
  return text;
}

void appendConversion(std::string& out, const Spec& spec, const Argument& argument) {
  const bool whole = spec.conversion == 'd' || spec.conversion == 'i';
  bool negative = false;
  bool finite = true;
  std::string digits;
  if (whole) {
    const long long value = asWhole(argument);
    negative = value < 0;
    digits = wholeDigits(value, spec);
  } else {
    const double value = asDouble(argument);
    negative = std::signbit(value);
    finite = std::isfinite(value);
    digits = floatDigits(std::fabs(value), spec);
  }
  std::string sign;
  if (negative)
    sign = "-";
  else if (spec.plus)
    sign = "+";
  else if (spec.space)
    sign = " ";

  const size_t length = sign.size() + digits.size();
  const size_t width = static_cast<size_t>(spec.width);
  const size_t fill = width > length ? width - length : 0;
  // Zeros pad between sign and digits, never for infinities and NaN, nor for whole numbers
  // with a precision, nor when the field is left-aligned.
  const bool zeros = spec.zero && !spec.left && finite && !(whole && spec.precision >= 0);
  if (spec.left) {
    out += sign + digits;
    out.append(fill, ' ');
  } else if (zeros) {
    out += sign;
    out.append(fill, '0');
    out += digits;
  } else {
    out.append(fill, ' ');
    out += sign + digits;
  }
}

}  // namespace

std::string formatUtf8(std::string_view pattern, std::initializer_list<Argument> arguments) {
  return formatUtf8(pattern, std::span<const Argument>(arguments.begin(), arguments.size()));
}

std::string formatUtf8(std::string_view pattern, std::span<const Argument> arguments) {
  std::string out;
  out.reserve(pattern.size() + 16);
  auto next = arguments.begin();
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    Spec spec;
    const size_t end = parseSpec(pattern, i + 1, spec);
    if (end == 0) {
      out += c;
      ++i;
      continue;
    }
    if (next != arguments.end()) appendConversion(out, spec, *next++);
    i = end;
  }
  return out;
}

QString format(std::string_view pattern, std::initializer_list<Argument> arguments) {
  return QString::fromStdString(formatUtf8(pattern, arguments));
}

QString format(std::string_view pattern, double value) { return format(pattern, {value}); }

}  // namespace PrintfText
