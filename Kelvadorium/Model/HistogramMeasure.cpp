#include "Model/HistogramMeasure.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Support/ParallelFor.h"

namespace {

constexpr double kLongSide = 640;

// The 16-bit samples rounded to 8 bits, four channels a pixel, which Qt scales on its fast path.
QImage narrowCopy(const DisplayP3Image& image) {
  const int width = static_cast<int>(image.width);
  const int height = static_cast<int>(image.height);
  QImage narrow(width, height, QImage::Format_RGBX8888);
  if (narrow.isNull()) return {};
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      const uint16_t* in = image.samples.data() + y * width * 3;
      uint8_t* out = narrow.scanLine(static_cast<int>(y));
      for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c)
          out[4 * x + c] = static_cast<uint8_t>((in[3 * x + c] * 255u + 32767u) / 65535u);
        out[4 * x + 3] = 255;
      }
    }
  });
  return narrow;
}

// The image at its measured size in 8 bits; null when it cannot be made.
QImage eightBit(const DisplayP3Image& image, QSize size) {
  if (image.width < 1 || image.height < 1 ||
      image.samples.size() < static_cast<size_t>(image.width * image.height * 3))
    return {};
  QImage narrow = narrowCopy(image);
  if (narrow.isNull()) return {};
  if (narrow.size() != size)
    narrow = narrow.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return narrow.convertToFormat(QImage::Format_RGBA8888);
}

}  // namespace

namespace HistogramMeasure {

QSize measuredSize(int64_t width, int64_t height) {
  const double larger = static_cast<double>(std::max(width, height));
  const double s = std::min(kLongSide / larger, 1.0);
  const auto side = [&](int64_t value) {
    return std::max(1, static_cast<int>(std::trunc(s * static_cast<double>(value))));
  };
  return {side(width), side(height)};
}

Histogram count(const uint8_t* rgba, int width, int height) {
  std::array<std::array<int64_t, 256>, 3> bins{};
  int64_t shadows = 0;
  int64_t highlights = 0;
  Histogram result;
  result.clipMask = QImage(width, height, QImage::Format_RGBA8888);
  uint8_t* mask = result.clipMask.isNull() ? nullptr : result.clipMask.bits();
  if (mask) std::fill_n(mask, static_cast<size_t>(width) * height * 4, uint8_t{0});
  const int64_t pixels = static_cast<int64_t>(width) * height;
  for (int64_t i = 0; i < pixels; ++i) {
    const uint8_t r = rgba[4 * i], g = rgba[4 * i + 1], b = rgba[4 * i + 2];
    ++bins[0][r];
    ++bins[1][g];
    ++bins[2][b];
    static constexpr uint8_t highlight[4] = {255, 0, 0, 200};
    static constexpr uint8_t shadow[4] = {0, 90, 255, 200};
    const uint8_t* mark = nullptr;
    if (r > 253 || g > 253 || b > 253) {
      ++highlights;
      mark = highlight;
    } else if (r < 2 && g < 2 && b < 2) {
      ++shadows;
      mark = shadow;
    }
    if (mark && mask) std::copy_n(mark, 4, mask + 4 * i);
  }
  int64_t peak = 1;
  for (const auto& channel : bins)
    peak = std::max(peak, *std::max_element(channel.begin() + 1, channel.end() - 1));
  std::array<std::array<float, 256>*, 3> out{&result.r, &result.g, &result.b};
  for (size_t c = 0; c < 3; ++c) {
    for (size_t k = 0; k < 256; ++k) {
      (*out[c])[k] = std::min(static_cast<float>(bins[c][k]) / static_cast<float>(peak), 1.0f);
    }
  }
  result.clipShadows = static_cast<double>(shadows) / static_cast<double>(pixels);
  result.clipHighlights = static_cast<double>(highlights) / static_cast<double>(pixels);
  return result;
}

Histogram measure(const DisplayP3Image& image) {
  const QSize size = measuredSize(image.width, image.height);
  const QImage picture = eightBit(image, size);
  if (!picture.isNull() && picture.size() == size)
    return count(picture.constBits(), size.width(), size.height());
  // Nothing could be drawn: the zeroed buffer is measured as it is.
  const std::vector<uint8_t> zeros(static_cast<size_t>(size.width()) * size.height() * 4, 0);
  return count(zeros.data(), size.width(), size.height());
}

}  // namespace HistogramMeasure
