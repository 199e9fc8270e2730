#include "Print/PrintImage.h"

#include <cstdio>
#include <cstdlib>

PrintImage::PrintImage(int64_t width, int64_t height)
    : width(width), height(height), rgb(static_cast<size_t>(width * height * 3), 0.0f) {}

PrintImage::PrintImage(int64_t width, int64_t height, std::vector<float> values)
    : width(width), height(height), rgb(std::move(values)) {
  if (width < 0 || height < 0 || rgb.size() != static_cast<size_t>(width * height * 3)) {
    std::fprintf(stderr, "PrintImage: %zu values for %lld x %lld pixels\n", rgb.size(),
                 static_cast<long long>(width), static_cast<long long>(height));
    std::abort();
  }
}
