#include "Conversion/DecodeError.h"

#include <cstdint>

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence starting at text[i], or 0 when it is not valid there.
size_t validSequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return length;
}

std::string validUtf8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = validSequenceLength(text, i);
    if (length == 0) {
      result += replacementCharacter;
      ++i;
    } else {
      result.append(text.substr(i, length));
      i += length;
    }
  }
  return result;
}

}  // namespace

DecodeError::DecodeError(Kind kind, const std::filesystem::path& url, const std::string& text)
    : std::runtime_error(text), kind_(kind), url_(url) {}

std::string DecodeError::displayName(const std::filesystem::path& url) {
  return validUtf8(url.filename().native());
}

DecodeError DecodeError::unreadable(const std::filesystem::path& url) {
  return DecodeError(Kind::unreadable, url, "cannot read " + displayName(url));
}

DecodeError DecodeError::renderFailed(const std::filesystem::path& url) {
  return DecodeError(Kind::renderFailed, url, "decode failed for " + displayName(url));
}
