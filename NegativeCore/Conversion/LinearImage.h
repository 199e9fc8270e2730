// A decoded scan: linear floating-point RGBA (four floats a pixel, rows top to bottom) in extended
// linear Display P3. Pixels live in a shared buffer with copy-on-write, so images pass by value
// for free; the first write through mutablePixels() to a shared buffer copies it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class LinearImage {
 public:
  // Uninitialised pixels of the given size; both sides at least 1.
  LinearImage(int64_t width, int64_t height);

  int64_t width() const { return width_; }
  int64_t height() const { return height_; }
  size_t valueCount() const { return static_cast<size_t>(width_ * height_ * 4); }

  const float* pixels() const { return pixels_.get(); }
  const float* row(int64_t y) const { return pixels_.get() + y * width_ * 4; }
  // Unshares the buffer first when another image holds it too.
  float* mutablePixels();
  float* mutableRow(int64_t y) { return mutablePixels() + y * width_ * 4; }

  bool sharesPixelsWith(const LinearImage& other) const { return pixels_ == other.pixels_; }

  // The pixels' memory as a plane of valueCount() values, for a stage that turns the image into
  // something else in place; nothing, and the image unchanged, when another image shares it. On
  // success the image is left without pixels: it may only be assigned to or destroyed.
  std::optional<std::vector<float>> releasePlane() &&;

 private:
  int64_t width_;
  int64_t height_;
  std::shared_ptr<float[]> pixels_;
};
