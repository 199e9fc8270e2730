#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "Conversion/Decoder.h"
#include "Conversion/HeifReader.h"
#include "Conversion/JpegReader.h"
#include "Conversion/PngReader.h"
#include "Conversion/TiffReader.h"

namespace {

struct SizeChecked {};

// Runs the reader of the file's kind up to its size check, which stops it: the header reading
// and the checks of the stored size before any allocation, for files too large to decode here.
void readUpToSizeCheck(const std::filesystem::path& path) {
  const SizeCheck stop = [](int64_t, int64_t) { throw SizeChecked(); };
  const std::string extension = path.extension().string();
  try {
    if (extension == ".jpg") {
      JpegReader::read(path, stop);
    } else if (extension == ".png") {
      PngReader::read(path, stop);
    } else if (extension == ".heic") {
      HeifReader::read(path, stop);
    } else {
      TiffReader::read(path, stop);
    }
  } catch (const DecodeError&) {
  } catch (const SizeChecked&) {
  }
}

}  // namespace

namespace FuzzSupport {

const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path folder = [] {
    const std::filesystem::path made = std::filesystem::temp_directory_path() /
                                       ("kelvadorium-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(made);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchFolder(), ignored);
    });
    return made;
  }();
  return folder;
}

std::filesystem::path writeInput(const uint8_t* data, size_t size, const std::string& name) {
  const std::filesystem::path path = scratchFolder() / name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!file) fail("cannot write " + path.string());
  return path;
}

void decodeImage(const uint8_t* data, size_t size, const std::string& name) {
  const std::filesystem::path path = writeInput(data, size, name);
  const auto stored = Decoder::pixelSize(path);
  if (stored && stored->first * stored->second > double(1 << 24)) return readUpToSizeCheck(path);
  // The input's length picks the scale, so the corpus reaches both decode roads.
  const double scale = size % 2 == 0 ? 1.0 : 0.3;
  try {
    Decoder::decode(path, static_cast<int64_t>(size % 4) - 1, size % 3 == 0, scale);
  } catch (const DecodeError&) {
  }
  if (Decoder::rawExtensions().contains(path.extension().string().substr(1))) return;
  try {
    Decoder::readPicture(path);
  } catch (const DecodeError&) {
  }
}

void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
  std::abort();
}

}  // namespace FuzzSupport
