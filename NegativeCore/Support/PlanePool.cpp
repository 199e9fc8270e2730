#include "Support/PlanePool.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "Support/LargePages.h"
#include "Support/ParallelFor.h"

namespace PlanePool {

namespace {

using Clock = std::chrono::steady_clock;

struct Held {
  std::vector<float> plane;
};

struct Pool {
  std::mutex mutex;
  std::condition_variable wake;  // a plane arrived or the limits changed
  std::vector<Held> planes;
  std::size_t bytes = 0;
  Clock::time_point lastUse;  // of a take or give of a large plane
  Limits limits;
  bool trimmerRunning = false;
};

std::size_t bytesOf(const std::vector<float>& plane) { return plane.capacity() * sizeof(float); }

// Hands freed heap back to the system; large planes were unmapped when freed anyway.
void releaseHeap() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

// Keeps the largest planes that fit in the bound together and moves the others into `freed`.
void fitBound(Pool& p, std::vector<std::vector<float>>& freed) {
  if (p.bytes <= p.limits.bytes) return;
  std::sort(p.planes.begin(), p.planes.end(),
            [](const Held& a, const Held& b) { return a.plane.capacity() > b.plane.capacity(); });
  std::vector<Held> kept;
  std::size_t keptBytes = 0;
  for (Held& held : p.planes) {
    if (keptBytes + bytesOf(held.plane) <= p.limits.bytes) {
      keptBytes += bytesOf(held.plane);
      kept.push_back(std::move(held));
    } else {
      freed.push_back(std::move(held.plane));
    }
  }
  p.planes = std::move(kept);
  p.bytes = keptBytes;
}

// Frees every held plane once nothing has been taken or given for the idle period, for as long
// as the process runs. Planes are kept while renders follow one another, however long each takes.
[[noreturn]] void trimWhenIdle(Pool& p) {
  std::unique_lock lock(p.mutex);
  for (;;) {
    if (p.planes.empty()) {
      p.wake.wait(lock);
      continue;
    }
    const Clock::time_point deadline = p.lastUse + p.limits.idle;
    if (Clock::now() < deadline) {
      p.wake.wait_until(lock, deadline);
      continue;
    }
    std::vector<Held> freed;
    freed.swap(p.planes);
    p.bytes = 0;
    lock.unlock();
    freed.clear();
    releaseHeap();
    lock.lock();
  }
}

// Never destroyed: the trimming thread may still wait on it while the process exits.
Pool& pool() {
  static Pool* instance = new Pool;
  return *instance;
}

// The smallest held plane that holds `count` values without wasting more than half of it. When
// there is none, the held planes smaller than `count` are freed into `freed` before the caller
// allocates: a render asking for a larger plane than it gave back has moved on to larger work,
// and keeping them would only raise its peak.
std::optional<std::vector<float>> fromPool(std::size_t count,
                                           std::vector<std::vector<float>>& freed) {
  Pool& p = pool();
  const std::lock_guard lock(p.mutex);
  p.lastUse = Clock::now();
  auto best = p.planes.end();
  for (auto it = p.planes.begin(); it != p.planes.end(); ++it) {
    const std::size_t capacity = it->plane.capacity();
    if (capacity >= count && capacity / 2 <= count &&
        (best == p.planes.end() || capacity < best->plane.capacity()))
      best = it;
  }
  if (best == p.planes.end()) {
    std::erase_if(p.planes, [&](Held& held) {
      if (held.plane.capacity() >= count) return false;
      p.bytes -= bytesOf(held.plane);
      freed.push_back(std::move(held.plane));
      return true;
    });
    return std::nullopt;
  }
  std::vector<float> plane = std::move(best->plane);
  p.planes.erase(best);
  p.bytes -= bytesOf(plane);
  return plane;
}

// Writes zeros over [values, values + count) on all cores.
void fillZeros(float* values, std::size_t count) {
  constexpr std::size_t chunk = std::size_t{1} << 16;
  const auto chunks = static_cast<int64_t>((count + chunk - 1) / chunk);
  parallelForRows(chunks, [&](int64_t begin, int64_t end) {
    const std::size_t from = static_cast<std::size_t>(begin) * chunk;
    const std::size_t to = std::min(count, static_cast<std::size_t>(end) * chunk);
    std::fill(values + from, values + to, 0.0f);
  });
}

// New memory for `count` values, on huge pages where the system offers them, its pages first
// written by all cores.
std::vector<float> fresh(std::size_t count) { return LargePages::fresh<float>(count); }

}  // namespace

Limits limits() {
  Pool& p = pool();
  const std::lock_guard lock(p.mutex);
  return p.limits;
}

void setLimits(const Limits& limits) {
  Pool& p = pool();
  std::vector<std::vector<float>> freed;
  {
    const std::lock_guard lock(p.mutex);
    p.limits = limits;
    fitBound(p, freed);
  }
  p.wake.notify_all();
}

std::vector<float> take(std::size_t count) {
  if (count < kPooledMinimum) return std::vector<float>(count);
  std::vector<std::vector<float>> freed;
  if (auto plane = fromPool(count, freed)) {
    plane->resize(count);  // within the capacity: no new memory, old values stay
    return std::move(*plane);
  }
  freed.clear();
  return fresh(count);
}

std::vector<float> takeZeroed(std::size_t count) {
  if (count < kPooledMinimum) return std::vector<float>(count);
  std::vector<std::vector<float>> freed;
  if (auto plane = fromPool(count, freed)) {
    plane->resize(count);
    fillZeros(plane->data(), count);
    return std::move(*plane);
  }
  freed.clear();
  return fresh(count);
}

void give(std::vector<float>&& plane) {
  std::vector<float> kept = std::move(plane);
  if (kept.capacity() < kPooledMinimum) return;
  Pool& p = pool();
  std::vector<std::vector<float>> freed;  // freed outside the lock
  bool startTrimmer = false;
  {
    const std::lock_guard lock(p.mutex);
    if (bytesOf(kept) > p.limits.bytes) return;
    p.bytes += bytesOf(kept);
    p.lastUse = Clock::now();
    p.planes.push_back({std::move(kept)});
    fitBound(p, freed);
    startTrimmer = !std::exchange(p.trimmerRunning, true);
  }
  if (startTrimmer) std::thread([&p] { trimWhenIdle(p); }).detach();
  p.wake.notify_all();
}

void trim() {
  Pool& p = pool();
  std::vector<Held> freed;
  {
    const std::lock_guard lock(p.mutex);
    freed.swap(p.planes);
    p.bytes = 0;
  }
  freed.clear();
  releaseHeap();
}

std::size_t heldBytes() {
  Pool& p = pool();
  const std::lock_guard lock(p.mutex);
  return p.bytes;
}

}  // namespace PlanePool
