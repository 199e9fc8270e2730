// Writes small 8-bit RGBA PNG files (straight alpha) for tests of code that reads overlays.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// rgba holds width × height × 4 bytes, rows top to bottom. Throws std::runtime_error on failure.
void writeRgbaPng(const std::filesystem::path& path, int width, int height,
                  const std::vector<uint8_t>& rgba);
