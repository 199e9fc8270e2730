#include "Support/ParallelFor.h"

#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>

namespace ParallelFor {

int activeProcessorCount() {
  return std::max(1, oneapi::tbb::this_task_arena::max_concurrency());
}

int64_t rowsPerChunk(int64_t rows) {
  return std::max<int64_t>(1, rows / (4 * static_cast<int64_t>(activeProcessorCount())));
}

}  // namespace ParallelFor

void parallelFor(int64_t count, const std::function<void(int64_t)>& body) {
  if (count <= 0) return;
  if (count == 1) {
    body(0);
    return;
  }
  // Each index is one task: the callers already give coarse items (chunks, channels, columns).
  oneapi::tbb::parallel_for(
      oneapi::tbb::blocked_range<int64_t>(0, count, 1),
      [&](const oneapi::tbb::blocked_range<int64_t>& range) {
        for (int64_t i = range.begin(); i < range.end(); ++i) body(i);
      },
      oneapi::tbb::simple_partitioner());
}

void parallelForRows(int64_t rows, const std::function<void(int64_t, int64_t)>& body,
                     int64_t minRowsForThreads) {
  if (rows <= 0) return;
  if (rows < minRowsForThreads) {
    body(0, rows);
    return;
  }
  const int64_t chunk = ParallelFor::rowsPerChunk(rows);
  const int64_t chunks = (rows + chunk - 1) / chunk;
  parallelFor(chunks, [&](int64_t c) {
    const int64_t begin = c * chunk;
    body(begin, std::min(rows, begin + chunk));
  });
}
