#include "Print/PrintImage.h"

#include <cstdio>
#include <cstdlib>

#include "Support/LargePages.h"

PrintImage::PrintImage(int64_t width, int64_t height) : width(width), height(height) {
  const size_t count = static_cast<size_t>(width * height * 3);
  // Reserved and advised before the zero-fill first writes it.
  rgb.reserve(count);
  LargePages::advise(rgb.data(), count * sizeof(float));
  rgb.resize(count);
}

PrintImage::PrintImage(int64_t width, int64_t height, std::vector<float> values)
    : width(width), height(height), rgb(std::move(values)) {
  if (width < 0 || height < 0 || rgb.size() != static_cast<size_t>(width * height * 3)) {
    std::fprintf(stderr, "PrintImage: %zu values for %lld x %lld pixels\n", rgb.size(),
                 static_cast<long long>(width), static_cast<long long>(height));
    std::abort();
  }
}
