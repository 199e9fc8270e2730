#include "Export/Exporter.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "Export/ColorProfiles.h"
#include "Export/ExportMetadata.h"
#include "Export/JpegWriter.h"
#include "Export/TiffWriter.h"
#include "Support/AtomicFile.h"
#include "Support/LargePages.h"
#include "Support/ParallelFor.h"
#include "Support/PlanePool.h"
#include "Tone/BoxBlur.h"
#include "Tone/Luminance.h"

namespace Exporter {

namespace {

// NaN becomes 0, infinities the nearer end of 0…1; finite values pass unchanged.
float finiteSample(float v) {
  if (std::isfinite(v)) return v;
  return v > 0 ? 1.0f : 0.0f;
}

bool matches(int64_t width, int64_t height, const std::vector<float>& rgb) {
  return width >= 1 && height >= 1 && width <= INT64_MAX / 3 / height &&
         rgb.size() == static_cast<size_t>(width * height * 3);
}

void toSixteenBits(const float* in, uint16_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = sixteenBitSample(in[i]);
}

// --- Resize ------------------------------------------------------------------------------

// The source span of one output column or row and the overlap of each source pixel with it.
struct Span {
  int64_t first = 0;
  std::vector<double> weights;
};

std::vector<Span> spans(int64_t source, int64_t target) {
  const double step = static_cast<double>(source) / static_cast<double>(target);
  std::vector<Span> result(static_cast<size_t>(target));
  for (int64_t i = 0; i < target; ++i) {
    const double from = step * static_cast<double>(i);
    const double to = from + step;
    const auto first = static_cast<int64_t>(std::floor(from));
    const int64_t end = std::min(source, static_cast<int64_t>(std::ceil(to)));
    Span& span = result[i];
    span.first = first;
    for (int64_t k = first; k < end; ++k) {
      const auto position = static_cast<double>(k);
      span.weights.push_back(std::min(to, position + 1) - std::max(from, position));
    }
  }
  return result;
}

void resizeRow(const PrintImage& in, const std::vector<Span>& columns, const Span& rows,
               float* out) {
  for (size_t x = 0; x < columns.size(); ++x) {
    const Span& column = columns[x];
    double total = 0, r = 0, g = 0, b = 0;
    for (size_t j = 0; j < rows.weights.size(); ++j) {
      const float* source = in.row(rows.first + static_cast<int64_t>(j)) + column.first * 3;
      for (size_t k = 0; k < column.weights.size(); ++k) {
        const double w = rows.weights[j] * column.weights[k];
        total += w;
        r += w * finiteSample(source[3 * k]);
        g += w * finiteSample(source[3 * k + 1]);
        b += w * finiteSample(source[3 * k + 2]);
      }
    }
    out[3 * x] = static_cast<float>(r / total);
    out[3 * x + 1] = static_cast<float>(g / total);
    out[3 * x + 2] = static_cast<float>(b / total);
  }
}

// --- Sharpen -----------------------------------------------------------------------------

struct Sharpening {
  float amount;
  int64_t radius;
  int64_t passes;
};

Sharpening parameters(OutputSharpening sharpening) {
  switch (sharpening) {
    case OutputSharpening::screen:
      return {0.35f, 1, 2};
    case OutputSharpening::matte:
      return {0.60f, 2, 2};
    case OutputSharpening::glossy:
      return {0.45f, 1, 2};
    case OutputSharpening::none:
      break;
  }
  return {0, 0, 0};
}

// --- Writing -----------------------------------------------------------------------------

// Rows of the print as 16-bit Display P3 and then in the target space and depth, written
// straight into the encoder's buffer a run of pixels at a time.
template <class Sample>
void targetRows(const std::vector<float>& rgb, int64_t width, ExportColorSpace space,
                int64_t firstRow, int64_t rows, Sample* out) {
  constexpr size_t runPixels = 2048;
  const auto pixels = static_cast<size_t>(rows * width);
  const float* in = rgb.data() + firstRow * width * 3;
  for (size_t first = 0; first < pixels; first += runPixels) {
    const size_t run = std::min(runPixels, pixels - first);
    const float* from = in + 3 * first;
    Sample* to = out + 3 * first;
    if constexpr (sizeof(Sample) == 2) {
      toSixteenBits(from, to, 3 * run);
      if (space != ExportColorSpace::displayP3) ColorProfiles::convert(space, to, run, to);
    } else {
      uint16_t p3[3 * runPixels];
      toSixteenBits(from, p3, 3 * run);
      ColorProfiles::convert(space, p3, run, to);
    }
  }
}

void writeTiff(const std::filesystem::path& path, int64_t width, int64_t height,
               const std::vector<float>& rgb, int bits, ExportColorSpace space,
               const Metadata& metadata) {
  const TiffWriter::RowSource rows = [&](int64_t first, int64_t count, void* out) {
    if (bits == 16) {
      targetRows(rgb, width, space, first, count, static_cast<uint16_t*>(out));
    } else {
      targetRows(rgb, width, space, first, count, static_cast<uint8_t*>(out));
    }
  };
  TiffWriter::write(path, {width, height, bits, exifColorSpace(space)}, rows, ColorProfiles::iccProfile(space), metadata);
}

void writeJpeg(const std::filesystem::path& path, int64_t width, int64_t height,
               const std::vector<float>& rgb, double jpegQuality, ExportColorSpace space,
               const Metadata& metadata) {
  const int quality = jpegQualityPercent(jpegQuality);
  const JpegWriter::RowSource rows = [&](int64_t first, int64_t count, uint8_t* out) {
    targetRows(rgb, width, space, first, count, out);
  };
  JpegWriter::write(path, {width, height, quality, quality >= 90, exifColorSpace(space)}, rows,
                    ColorProfiles::iccProfile(space), metadata);
}

}  // namespace

uint16_t sixteenBitSample(float v) {
  if (!(v > 0)) return 0;
  return static_cast<uint16_t>(std::min(v, 1.0f) * 65535.0f + 0.5f);
}

std::optional<DisplayP3Image> makeCGImage(int64_t width, int64_t height,
                                          const std::vector<float>& rgb) {
  if (!matches(width, height, rgb)) return std::nullopt;
  DisplayP3Image image;
  try {
    // A 24-megapixel picture needs 144 MB: new pages, faulted on all cores.
    image.samples = LargePages::fresh<uint16_t>(rgb.size());
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  image.width = width;
  image.height = height;
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    const auto offset = static_cast<size_t>(begin * width * 3);
    toSixteenBits(rgb.data() + offset, image.samples.data() + offset,
                  static_cast<size_t>((end - begin) * width * 3));
  });
  return image;
}

PrintImage resize(PrintImage print, int64_t longEdge) {
  const double s =
      static_cast<double>(longEdge) / static_cast<double>(std::max(print.width, print.height));
  if (s >= 1 || print.width < 1 || print.height < 1) return print;
  const auto scaled = [s](int64_t side) {
    return std::max<int64_t>(1, static_cast<int64_t>(std::round(s * static_cast<double>(side))));
  };
  const int64_t width = scaled(print.width);
  const int64_t height = scaled(print.height);
  const std::vector<Span> columns = spans(print.width, width);
  const std::vector<Span> rows = spans(print.height, height);
  PrintImage out = PrintImage::forOverwrite(width, height);
  parallelFor(height, [&](int64_t y) { resizeRow(print, columns, rows[y], out.row(y)); });
  return out;
}

void sharpen(PrintImage& print, OutputSharpening sharpening) {
  if (sharpening == OutputSharpening::none || print.width < 1 || print.height < 1) return;
  const Sharpening p = parameters(sharpening);
  const int64_t width = print.width;
  parallelForRows(print.height, [&](int64_t begin, int64_t end) {
    for (float* v = print.row(begin); v < print.row(end); ++v) *v = finiteSample(*v);
  });
  const PlanePool::Plane luminance(Adjustments::luminance(width, print.height, print.rgb));
  const PlanePool::Plane blurred(
      Adjustments::boxBlur(luminance.values(), width, print.height, p.radius, p.passes));
  parallelForRows(print.height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      float* row = print.row(y);
      for (int64_t x = 0; x < width; ++x) {
        const size_t i = static_cast<size_t>(y * width + x);
        const float d = std::clamp(p.amount * (luminance[i] - blurred[i]), -0.15f, 0.15f);
        for (int c = 0; c < 3; ++c) row[3 * x + c] = std::clamp(row[3 * x + c] + d, 0.0f, 1.0f);
      }
    }
  });
}

int jpegQualityPercent(double jpegQuality) {
  const double q = !(jpegQuality > 0.3) ? 0.3 : std::min(jpegQuality, 1.0);
  return static_cast<int>(std::round(q * 100));
}

void write(int64_t width, int64_t height, const std::vector<float>& rgb,
           const std::filesystem::path& url, ExportFormat format, const ExportOptions& options,
           const FilmInfo& filmInfo, const AtomicFile::ReplaceCheck& beforeReplacing) {
  if (!matches(width, height, rgb)) throw ExportError::encodeFailed(url);
  const Metadata meta = metadata(withFallbacks(filmInfo, options));
  try {
    AtomicFile::writeThrough(url, [&](const std::filesystem::path& temporary) {
      switch (format) {
        case ExportFormat::tiff16:
          writeTiff(temporary, width, height, rgb, 16, options.colorSpace, meta);
          break;
        case ExportFormat::tiff8:
          writeTiff(temporary, width, height, rgb, 8, options.colorSpace, meta);
          break;
        case ExportFormat::jpeg:
          writeJpeg(temporary, width, height, rgb, options.jpegQuality, options.colorSpace, meta);
          break;
      }
    }, beforeReplacing);
  } catch (const ExportError&) {
    throw;
  } catch (const JpegWriter::WriteError& error) {
    const bool tooLong = std::string_view(error.what()) == JpegWriter::metadataTooLong;
    throw ExportError(url, tooLong ? error.what() : "");
  } catch (const std::exception&) {
    throw ExportError::encodeFailed(url);
  }
}

void write(int64_t width, int64_t height, const std::vector<float>& rgb,
           const std::filesystem::path& url, ExportFormat format, double jpegQuality) {
  ExportOptions options;
  options.jpegQuality = jpegQuality;
  write(width, height, rgb, url, format, options, FilmInfo{});
}

}  // namespace Exporter
