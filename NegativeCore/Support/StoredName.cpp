#include "Support/StoredName.h"

#include <cstdint>

namespace StoredName {

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0.
size_t sequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = sequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string encode(std::string_view name) {
  if (isValidUtf8(name)) return std::string(name);
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string stored(1, '\0');
  for (size_t at = 0; at < name.size();) {
    const size_t length = sequenceLength(name, at);
    if (length == 0 || name[at] == '%') {
      const auto byte = static_cast<uint8_t>(name[at]);
      stored += '%';
      stored += digits[byte >> 4];
      stored += digits[byte & 15];
      ++at;
    } else {
      stored.append(name.substr(at, length));
      at += length;
    }
  }
  return stored;
}

std::string decode(std::string_view stored) {
  if (stored.empty() || stored[0] != '\0') return std::string(stored);
  std::string name;
  for (size_t at = 1; at < stored.size(); ++at) {
    if (stored[at] == '%' && at + 2 < stored.size() && hexValue(stored[at + 1]) >= 0 &&
        hexValue(stored[at + 2]) >= 0) {
      name += static_cast<char>(hexValue(stored[at + 1]) * 16 + hexValue(stored[at + 2]));
      at += 2;
    } else {
      name += stored[at];
    }
  }
  return name;
}

}  // namespace StoredName
