// The library's one parallel helper. Every pixel loop goes through here; nothing else calls
// oneTBB. All calls share one process-wide worker pool, so several renderers calling the
// library at once never oversubscribe the cores.
#pragma once

#include <cstdint>
#include <functional>

namespace ParallelFor {

// Number of processors the pool uses.
int activeProcessorCount();

// Rows per chunk for chunked loops: max(1, rows / (4 × processors)), integer division.
int64_t rowsPerChunk(int64_t rows);

}  // namespace ParallelFor

// Runs body(i) for i in [0, count), in parallel when count > 1. Iterations must write only
// their own part of the output. Returns when every iteration has finished.
void parallelFor(int64_t count, const std::function<void(int64_t)>& body);

// Runs body(begin, end) over [0, rows) in chunks of ParallelFor::rowsPerChunk(rows) rows.
// Work of fewer than minRowsForThreads rows runs on the calling thread as one chunk.
void parallelForRows(int64_t rows, const std::function<void(int64_t begin, int64_t end)>& body,
                     int64_t minRowsForThreads = 2);
