// Internal helpers of the plane and print operations of this folder: the size precondition
// (a mismatch is a programming error and stops the process, as for PrintImage), the rule that
// keeps small planes on the calling thread, and the allocation of large planes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Adjustments {

void requirePlaneSize(const char* what, size_t count, int64_t width, int64_t height,
                      int64_t channels);

// Below this many values a loop is not worth handing to the worker pool.
constexpr int64_t kSmallPlane = 16384;

// The minRowsForThreads argument of parallelForRows for a plane of this size.
inline int64_t smallPlaneRows(int64_t width, int64_t height) {
  return width * height < kSmallPlane ? height + 1 : 2;
}

// A plane of `count` zeros. Fresh memory costs one page fault per 4 KiB on first touch, which
// for a preview-sized plane outweighs a whole box pass; large planes therefore ask the kernel
// for transparent huge pages (one fault per 2 MiB) before they are filled.
std::vector<float> newPlane(std::size_t count);
// A new plane holding a copy of `count` values (no zero fill first).
std::vector<float> copyPlane(const float* values, std::size_t count);

// `passes` full-size box passes inside `plane` (rows into a scratch plane, columns back).
void boxBlurPassesInPlace(float* plane, int64_t width, int64_t height, int64_t radius,
                          int64_t passes);

}  // namespace Adjustments
