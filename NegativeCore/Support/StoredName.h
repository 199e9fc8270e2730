// File names and paths as stored in JSON files, which hold only valid UTF-8. A name that is
// valid UTF-8 is stored byte for byte; any other (a Latin-1 "café.tif" from an old archive) is
// stored as a NUL character, which no file name contains, followed by the name with each byte
// that is not part of a valid UTF-8 sequence, and each "%", written as "%XX". Reading it back
// gives the same bytes.
#pragma once

#include <string>
#include <string_view>

namespace StoredName {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view text);

std::string encode(std::string_view name);

// The name's bytes. Text without the leading NUL is returned as it is; a "%" that is not
// followed by two hexadecimal digits is kept as it stands.
std::string decode(std::string_view stored);

}  // namespace StoredName
