#include "Conversion/LinearImage.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Support/ParallelFor.h"
#include "Support/PlanePool.h"

namespace {

// Owns the pixels' plane and gives it back to the pool with the last image that shares it.
struct GiveBack {
  std::vector<float> plane;
  void operator()(float*) { PlanePool::give(std::move(plane)); }
};

std::shared_ptr<float[]> allocatePixels(int64_t width, int64_t height) {
  if (width < 1 || height < 1) throw std::invalid_argument("LinearImage: empty size");
  std::vector<float> plane = PlanePool::take(static_cast<size_t>(width * height * 4));
  float* pixels = plane.data();
  return {pixels, GiveBack{std::move(plane)}};
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

std::optional<std::vector<float>> LinearImage::releasePlane() && {
  auto* owner = std::get_deleter<GiveBack>(pixels_);
  if (!owner || pixels_.use_count() != 1) return std::nullopt;
  std::vector<float> plane = std::move(owner->plane);
  pixels_.reset();  // its deleter now gives back nothing
  return plane;
}
