#include "Conversion/Decoder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <new>

#include "Conversion/ColorProfile.h"
#include "Conversion/DecodeSize.h"
#include "Conversion/HeifReader.h"
#include "Conversion/ImageOrientation.h"
#include "Conversion/JpegReader.h"
#include "Conversion/LanczosResampler.h"
#include "Conversion/PngReader.h"
#include "Conversion/RawReader.h"
#include "Conversion/SourceImage.h"
#include "Conversion/TiffReader.h"

namespace {

std::string lowerCaseExtension(const std::filesystem::path& url) {
  std::string extension = url.extension().string();
  if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

enum class FileFormat { tiff, jpeg, png, heif, unknown };

// The reader is chosen by the file's first bytes, not by its name.
FileFormat sniff(const std::filesystem::path& url) {
  std::ifstream file(url, std::ios::binary);
  char head[16] = {};
  file.read(head, sizeof head);
  const auto count = file.gcount();
  const auto starts = [&](std::string_view magic) {
    return count >= static_cast<std::streamsize>(magic.size()) &&
           std::string_view(head, magic.size()) == magic;
  };
  if (starts(std::string_view("II*\0", 4)) || starts(std::string_view("MM\0*", 4)) ||
      starts(std::string_view("II+\0", 4)) || starts(std::string_view("MM\0+", 4)))
    return FileFormat::tiff;
  if (starts("\xFF\xD8\xFF")) return FileFormat::jpeg;
  if (starts("\x89PNG\r\n\x1A\n")) return FileFormat::png;
  if (count >= 12 && std::string_view(head + 4, 4) == "ftyp") return FileFormat::heif;
  return FileFormat::unknown;
}

SourceImage readSource(const std::filesystem::path& url, const SizeCheck& check) {
  switch (sniff(url)) {
    case FileFormat::tiff:
      return TiffReader::read(url, check);
    case FileFormat::jpeg:
      return JpegReader::read(url, check);
    case FileFormat::png:
      return PngReader::read(url, check);
    case FileFormat::heif:
      return HeifReader::read(url, check);
    case FileFormat::unknown:
      break;
  }
  throw DecodeError::unreadable(url);
}

LinearImage decodeImage(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored,
                        double scale) {
  // Never enlarged; a scale that is not a number keeps full size. Limited before the float
  // conversion, which a huge double would overflow.
  const float s = static_cast<float>(std::isnan(scale) ? 1.0 : std::clamp(scale, -1.0, 1.0));
  const bool shrink = s < 1.0f;
  const auto outputSide = [&](int64_t side) { return shrink ? DecodeSize::scaled(side, s) : side; };
  const SizeCheck check = [&](int64_t width, int64_t height) {
    if (!DecodeSize::isRenderable(outputSide(width), outputSide(height)))
      throw DecodeError::renderFailed(url);
  };
  const SourceImage source = readSource(url, check);
  const ColorProfile profile = ColorProfile::of(source);
  const auto shrunk = [&] {
    // Rows are converted as the resampler asks for them; no full-size float image is made.
    const ColorProfile::RowConverter convert = profile.rowConverter(source);
    return LanczosResampler::resample(
        source.width, source.height,
        [&](int64_t y, float* scratch) {
          convert(y, scratch);
          return scratch;
        },
        outputSide(source.width), outputSide(source.height));
  };
  const LinearImage image = shrink ? shrunk() : profile.convert(source);
  return oriented(image, source.orientation.followedBy(mirrored, quarterTurns));
}

LinearImage decodeFile(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored,
                       double scale) {
  if (Decoder::rawExtensions().contains(lowerCaseExtension(url))) {
    const float rawScale =
        static_cast<float>(std::isnan(scale) ? 1.0 : std::clamp(scale, 0.01, 1.0));
    if (auto image = RawReader::decode(url, rawScale, mirrored, quarterTurns)) return *image;
  }
  return decodeImage(url, quarterTurns, mirrored, scale);
}

}  // namespace

namespace Decoder {

LinearImage decode(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored,
                   double scale) {
  try {
    return decodeFile(url, quarterTurns, mirrored, scale);
  } catch (const std::bad_alloc&) {
    // A scan too large for the memory left is a failed render, not a crash.
    throw DecodeError::renderFailed(url);
  }
}

SourceImage readPicture(const std::filesystem::path& url) {
  const SizeCheck check = [&](int64_t width, int64_t height) {
    if (!DecodeSize::isRenderable(width, height)) throw DecodeError::renderFailed(url);
  };
  try {
    return readSource(url, check);
  } catch (const std::bad_alloc&) {
    throw DecodeError::renderFailed(url);
  }
}

// The header's size, stored or upright; a file that does not open gives nothing.
static std::optional<std::pair<double, double>> headerSize(const std::filesystem::path& url,
                                                           bool upright) {
  std::optional<std::pair<int64_t, int64_t>> size;
  try {
    if (rawExtensions().contains(lowerCaseExtension(url)))
      size = RawReader::pixelSize(url, upright);
    if (!size) {
      switch (sniff(url)) {
        case FileFormat::tiff:
          size = TiffReader::pixelSize(url, upright);
          break;
        case FileFormat::jpeg:
          size = JpegReader::pixelSize(url, upright);
          break;
        case FileFormat::png:
          size = PngReader::pixelSize(url, upright);
          break;
        case FileFormat::heif:
          size = HeifReader::pixelSize(url, upright);
          break;
        case FileFormat::unknown:
          break;
      }
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (!size || size->first < 1 || size->second < 1) return std::nullopt;
  return std::pair<double, double>{static_cast<double>(size->first),
                                   static_cast<double>(size->second)};
}

std::optional<std::pair<double, double>> pixelSize(const std::filesystem::path& url) {
  return headerSize(url, false);
}

std::optional<std::pair<double, double>> uprightPixelSize(const std::filesystem::path& url) {
  return headerSize(url, true);
}

const std::set<std::string>& rawExtensions() {
  static const std::set<std::string> extensions{"nef", "nrw", "raf", "dng", "arw", "cr2", "cr3",
                                                "orf", "rw2", "pef", "srw", "3fr", "iiq"};
  return extensions;
}

const std::set<std::string>& imageExtensions() {
  static const std::set<std::string> extensions{"tif", "tiff", "jpg", "jpeg", "png", "heic"};
  return extensions;
}

const std::set<std::string>& supportedExtensions() {
  static const std::set<std::string> extensions = [] {
    std::set<std::string> all = rawExtensions();
    all.insert(imageExtensions().begin(), imageExtensions().end());
    return all;
  }();
  return extensions;
}

}  // namespace Decoder
