#include "Tone/PlaneSupport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace Adjustments {

void requirePlaneSize(const char* what, size_t count, int64_t width, int64_t height,
                      int64_t channels) {
  if (width < 0 || height < 0 || count != static_cast<size_t>(width * height * channels)) {
    std::fprintf(stderr, "%s: %zu values for %lld x %lld x %lld\n", what, count,
                 static_cast<long long>(width), static_cast<long long>(height),
                 static_cast<long long>(channels));
    std::abort();
  }
}

}  // namespace Adjustments
