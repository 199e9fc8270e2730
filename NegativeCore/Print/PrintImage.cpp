#include "Print/PrintImage.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "Support/PlanePool.h"

PrintImage::PrintImage(int64_t width, int64_t height)
    : width(width),
      height(height),
      rgb(PlanePool::takeZeroed(static_cast<size_t>(width * height * 3))) {}

PrintImage::PrintImage(int64_t width, int64_t height, std::vector<float> values)
    : width(width), height(height), rgb(std::move(values)) {
  if (width < 0 || height < 0 || rgb.size() != static_cast<size_t>(width * height * 3)) {
    std::fprintf(stderr, "PrintImage: %zu values for %lld x %lld pixels\n", rgb.size(),
                 static_cast<long long>(width), static_cast<long long>(height));
    std::abort();
  }
}

PrintImage PrintImage::forOverwrite(int64_t width, int64_t height) {
  return {width, height, PlanePool::take(static_cast<size_t>(width * height * 3))};
}

PrintImage& PrintImage::operator=(PrintImage&& other) noexcept {
  if (this != &other) {
    PlanePool::give(std::move(rgb));
    width = other.width;
    height = other.height;
    rgb = std::move(other.rgb);
  }
  return *this;
}

PrintImage::~PrintImage() { PlanePool::give(std::move(rgb)); }
