#include "TestSupport/RgbaPng.h"

#include <png.h>

#include <stdexcept>

void writeRgbaPng(const std::filesystem::path& path, int width, int height,
                  const std::vector<uint8_t>& rgba) {
  if (rgba.size() != size_t(width) * size_t(height) * 4)
    throw std::runtime_error("writeRgbaPng: wrong byte count");
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr))
    throw std::runtime_error("writeRgbaPng: " + std::string(image.message));
}
