// Internal helpers of the plane and print operations of this folder: the size precondition
// (a mismatch is a programming error and stops the process, as for PrintImage) and the rule
// that keeps small planes on the calling thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace Adjustments {

inline void requirePlaneSize(const char* what, size_t count, int64_t width, int64_t height,
                             int64_t channels) {
  if (width < 0 || height < 0 || count != static_cast<size_t>(width * height * channels)) {
    std::fprintf(stderr, "%s: %zu values for %lld x %lld x %lld\n", what, count,
                 static_cast<long long>(width), static_cast<long long>(height),
                 static_cast<long long>(channels));
    std::abort();
  }
}

// Below this many values a loop is not worth handing to the worker pool.
constexpr int64_t kSmallPlane = 16384;

// The minRowsForThreads argument of parallelForRows for a plane of this size.
inline int64_t smallPlaneRows(int64_t width, int64_t height) {
  return width * height < kSmallPlane ? height + 1 : 2;
}

}  // namespace Adjustments
