#include "Print/PrintImage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "Support/ParallelFor.h"

PrintImage::PrintImage(int64_t width, int64_t height) : width(width), height(height) {
  const int64_t rowValues = width * 3;
  const size_t count = static_cast<size_t>(rowValues * height);
  // The first write to each page of a fresh buffer costs a page fault, which for a preview print
  // takes longer than filling it. Taking those faults on every processor first leaves the
  // zero-fill of the resize below a plain memory write. Small prints are filled in one go.
  constexpr size_t largeCount = size_t{1} << 18;
  rgb.reserve(count);
  float* storage = rgb.data();
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        std::fill(storage + begin * rowValues, storage + end * rowValues, 0.0f);
      },
      count < largeCount ? height + 1 : 2);
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
