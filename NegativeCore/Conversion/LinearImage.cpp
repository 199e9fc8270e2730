#include "Conversion/LinearImage.h"

#include <algorithm>
#include <stdexcept>

#include "Support/LargePages.h"
#include "Support/ParallelFor.h"

namespace {

std::shared_ptr<float[]> allocatePixels(int64_t width, int64_t height) {
  if (width < 1 || height < 1) throw std::invalid_argument("LinearImage: empty size");
  const size_t count = static_cast<size_t>(width * height * 4);
  auto pixels = std::make_shared_for_overwrite<float[]>(count);
  LargePages::advise(pixels.get(), count * sizeof(float));
  return pixels;
}

}  // namespace

LinearImage::LinearImage(int64_t width, int64_t height)
    : width_(width), height_(height), pixels_(allocatePixels(width, height)) {}

float* LinearImage::mutablePixels() {
  if (pixels_.use_count() > 1) {
    auto copy = allocatePixels(width_, height_);
    const float* source = pixels_.get();
    float* target = copy.get();
    const int64_t rowValues = width_ * 4;
    parallelForRows(height_, [&](int64_t begin, int64_t end) {
      std::copy(source + begin * rowValues, source + end * rowValues, target + begin * rowValues);
    });
    pixels_ = std::move(copy);
  }
  return pixels_.get();
}
