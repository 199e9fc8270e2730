// Decoding UTF-8 text into code points without the process locale. Malformed, overlong or
// out-of-range sequences each become U+FFFD, so they can never pass for another character.
#pragma once

#include <string>
#include <string_view>

namespace Utf8 {

std::u32string decode(std::string_view text);

}  // namespace Utf8
