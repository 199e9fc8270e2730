// Internal helpers of the plane and print operations of this folder: the size precondition
// (a mismatch is a programming error and stops the process, as for PrintImage), the rule that
// keeps small planes on the calling thread, and the supply of large planes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
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

// Planes the size of a print carry most of the memory traffic of a step, and fresh memory costs
// it twice over before it is used: the kernel clears every new page and the vector clears it
// again. Large planes are therefore taken from a small process-wide pool and given back when a
// step is done with them; the pool keeps at most kPlanePoolBytes. A plane the pool cannot
// supply is allocated with transparent huge pages asked for (one page fault per 2 MiB).
constexpr std::size_t kPlanePoolBytes = std::size_t{256} << 20;

// A plane of `count` values whose contents are unspecified: the caller writes every value.
std::vector<float> takePlane(std::size_t count);
// A plane of `count` zeros.
std::vector<float> newPlane(std::size_t count);
// Gives a plane back for reuse; small planes, and planes the pool has no room for, are freed.
void givePlane(std::vector<float>&& plane);

// A plane that goes back to the pool when it goes out of scope.
class PooledPlane {
 public:
  explicit PooledPlane(std::size_t count) : values_(takePlane(count)) {}
  explicit PooledPlane(std::vector<float>&& values) : values_(std::move(values)) {}
  PooledPlane(PooledPlane&&) = default;
  PooledPlane& operator=(PooledPlane&&) = delete;
  ~PooledPlane() { givePlane(std::move(values_)); }

  float* data() { return values_.data(); }
  const float* data() const { return values_.data(); }
  std::size_t size() const { return values_.size(); }
  float& operator[](std::size_t i) { return values_[i]; }
  const float& operator[](std::size_t i) const { return values_[i]; }
  const std::vector<float>& values() const { return values_; }
  // Hands the values on (to a BlurredPlane, which gives them back itself).
  std::vector<float> release() { return std::move(values_); }

 private:
  std::vector<float> values_;
};

// `passes` full-size box passes of `source` into `out` (rows into a scratch plane, columns into
// `out`); source may be out. With no passes, out receives a copy.
void boxBlurPasses(const float* source, float* out, int64_t width, int64_t height, int64_t radius,
                   int64_t passes);

// The same passes with the plane given row by row (see BlurredPlane::RowSource): the first row
// pass reads the source's rows, so the plane itself is never stored.
void boxBlurPassesFromRows(const std::function<const float*(int64_t, float*)>& source, float* out,
                           int64_t width, int64_t height, int64_t radius, int64_t passes);

}  // namespace Adjustments
