#include "Support/Utf8.h"

namespace Utf8 {

std::u32string decode(std::string_view text) {
  static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  std::u32string result;
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const int length = byte < 0x80           ? 1
                       : (byte >> 5) == 0x6  ? 2
                       : (byte >> 4) == 0xE  ? 3
                       : (byte >> 3) == 0x1E ? 4
                                             : 0;
    char32_t c = length == 1 ? byte : byte & (0x7F >> length);
    bool valid = length > 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    valid = valid && c >= smallest[length] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    result.push_back(valid ? c : U'\uFFFD');
    i += valid ? length : 1;
  }
  return result;
}

}  // namespace Utf8
