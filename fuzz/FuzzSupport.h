// What the fuzz targets share: a scratch folder of their own process, inputs written there as
// files, the decode of one image file, and the report of a broken invariant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace FuzzSupport {

// A folder of this process under the temporary folder, made on first use, removed at exit.
const std::filesystem::path& scratchFolder();

// The bytes as the file `name` in the scratch folder, replacing it; returns its path.
std::filesystem::path writeInput(const uint8_t* data, size_t size, const std::string& name);

// Decodes the bytes as a scan file named `name` the ways the program does (its header size, a
// preview or full-size decode, the stored picture); only DecodeError may come out of them.
// Files whose header declares more than 2^24 pixels, whose decode may rightly take gigabytes,
// are read only up to the size check the readers make before they allocate.
void decodeImage(const uint8_t* data, size_t size, const std::string& name);

// Prints what broke and aborts, so the fuzzer keeps the input.
[[noreturn]] void fail(const std::string& what);

}  // namespace FuzzSupport
