#include "Tone/PlaneSupport.h"

#include <sys/mman.h>

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

namespace {

// Reserves room for `count` floats and advises the whole huge pages inside it. The advice is a
// hint: its failure changes nothing but speed.
std::vector<float> reserveAdvised(std::size_t count) {
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  std::vector<float> plane;
  plane.reserve(count);
  const auto begin = reinterpret_cast<uintptr_t>(plane.data());
  const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (begin + count * sizeof(float)) & ~(kHugePage - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
  return plane;
}

}  // namespace

std::vector<float> newPlane(std::size_t count) {
  std::vector<float> plane = reserveAdvised(count);
  plane.resize(count);
  return plane;
}

std::vector<float> copyPlane(const float* values, std::size_t count) {
  std::vector<float> plane = reserveAdvised(count);
  plane.assign(values, values + count);
  return plane;
}

}  // namespace Adjustments
