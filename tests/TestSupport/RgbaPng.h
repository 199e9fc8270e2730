// Writes small 8-bit RGBA PNG files with straight alpha, for tests of the code that reads
// film-frame overlays and of damaged or mis-sized overlay files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// rgba holds width × height × 4 bytes, rows top to bottom. Throws std::runtime_error on failure.
void writeRgbaPng(const std::filesystem::path& path, int width, int height,
                  const std::vector<uint8_t>& rgba);
