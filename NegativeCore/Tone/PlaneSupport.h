// Internal helpers of the plane and print operations of this folder: the size precondition
// (a mismatch is a programming error and stops the process, as for PrintImage), the rule that
// keeps small planes on the calling thread, and the box passes over whole planes. Large planes
// come from the process-wide PlanePool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// `passes` full-size box passes of `source` into `out` (rows into a scratch plane, columns into
// `out`); source may be out. With no passes, out receives a copy.
void boxBlurPasses(const float* source, float* out, int64_t width, int64_t height, int64_t radius,
                   int64_t passes);

// The same passes with the plane given row by row (see BlurredPlane::RowSource): the first row
// pass reads the source's rows, so the plane itself is never stored.
void boxBlurPassesFromRows(const std::function<const float*(int64_t, float*)>& source, float* out,
                           int64_t width, int64_t height, int64_t radius, int64_t passes);

}  // namespace Adjustments
