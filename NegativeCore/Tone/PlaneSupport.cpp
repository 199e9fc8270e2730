#include "Tone/PlaneSupport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>

#include "Support/LargePages.h"

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

// Planes below this size are cheap to allocate and are not pooled.
constexpr std::size_t kPooledMinimum = std::size_t{1} << 18;

// Reserves room for `count` floats on huge pages where the system offers them.
std::vector<float> reserveAdvised(std::size_t count) {
  std::vector<float> plane;
  plane.reserve(count);
  LargePages::advise(plane.data(), count * sizeof(float));
  return plane;
}

struct Pool {
  std::mutex mutex;
  std::deque<std::vector<float>> planes;  // oldest first
  std::size_t bytes = 0;
};

Pool& pool() {
  static Pool instance;
  return instance;
}

std::size_t bytesOf(const std::vector<float>& plane) { return plane.capacity() * sizeof(float); }

// The smallest pooled plane that holds `count` values without wasting more than half of it.
std::optional<std::vector<float>> fromPool(std::size_t count) {
  Pool& p = pool();
  const std::lock_guard lock(p.mutex);
  auto best = p.planes.end();
  for (auto it = p.planes.begin(); it != p.planes.end(); ++it) {
    const std::size_t capacity = it->capacity();
    if (capacity >= count && capacity / 2 <= count &&
        (best == p.planes.end() || capacity < best->capacity()))
      best = it;
  }
  if (best == p.planes.end()) return std::nullopt;
  std::vector<float> plane = std::move(*best);
  p.planes.erase(best);
  p.bytes -= bytesOf(plane);
  return plane;
}

}  // namespace

std::vector<float> takePlane(std::size_t count) {
  if (count >= kPooledMinimum) {
    if (auto plane = fromPool(count)) {
      plane->resize(count);  // within the capacity: no new memory, old values stay
      return std::move(*plane);
    }
  }
  std::vector<float> plane = reserveAdvised(count);
  plane.resize(count);
  return plane;
}

std::vector<float> newPlane(std::size_t count) {
  if (count >= kPooledMinimum) {
    if (auto plane = fromPool(count)) {
      plane->assign(count, 0.0f);  // within the capacity
      return std::move(*plane);
    }
  }
  std::vector<float> plane = reserveAdvised(count);
  plane.resize(count);
  return plane;
}

void givePlane(std::vector<float>&& plane) {
  std::vector<float> kept = std::move(plane);
  if (kept.capacity() < kPooledMinimum || bytesOf(kept) > kPlanePoolBytes) return;
  Pool& p = pool();
  std::deque<std::vector<float>> evicted;  // freed outside the lock
  const std::lock_guard lock(p.mutex);
  while (p.bytes + bytesOf(kept) > kPlanePoolBytes) {
    p.bytes -= bytesOf(p.planes.front());
    evicted.push_back(std::move(p.planes.front()));
    p.planes.pop_front();
  }
  p.bytes += bytesOf(kept);
  p.planes.push_back(std::move(kept));
}

}  // namespace Adjustments
