// The process-wide supply of large float planes: decoded images, prints and the scratch planes
// of the tone controls take their memory here and give it back when done. Fresh memory costs a
// render twice before it is used (the kernel clears every new page on its first write, often on
// one thread), and the program renders previews, thumbnails and exports all day; a plane given
// back is handed to the next render that needs one of about its size.
//
// The pool is bounded: it holds at most limits().bytes, keeping the largest planes when it must
// choose; when it has no plane for a request it frees the smaller ones it holds before new memory
// is allocated; and once no plane has been taken or given for limits().idle it frees them all
// (and hands the freed heap back to the system), so the resident size falls back after a burst
// of work. Any thread may call.
#pragma once

#include <chrono>
#include <cstddef>
#include <utility>
#include <vector>

namespace PlanePool {

// Planes below this many values are cheap to allocate and are never held.
constexpr std::size_t kPooledMinimum = std::size_t{1} << 18;

struct Limits {
  std::size_t bytes = std::size_t{512} << 20;
  std::chrono::milliseconds idle{5000};
};
Limits limits();
// Planes beyond the new bound are freed at once.
void setLimits(const Limits& limits);

// A plane of `count` values whose contents are unspecified: the caller writes every value. A
// plane the pool cannot supply is new memory, its pages first written by all cores at once.
std::vector<float> take(std::size_t count);
// A plane of `count` zeros.
std::vector<float> takeZeroed(std::size_t count);
// Gives a plane back for reuse; small planes, and planes the pool has no room for, are freed.
void give(std::vector<float>&& plane);

// Frees every plane held now and hands the freed heap back to the system.
void trim();
// Bytes held for reuse at this moment.
std::size_t heldBytes();

// A plane that goes back to the pool when it goes out of scope.
class Plane {
 public:
  explicit Plane(std::size_t count) : values_(take(count)) {}
  explicit Plane(std::vector<float>&& values) : values_(std::move(values)) {}
  Plane(Plane&&) = default;
  Plane& operator=(Plane&&) = delete;
  ~Plane() { give(std::move(values_)); }

  float* data() { return values_.data(); }
  const float* data() const { return values_.data(); }
  std::size_t size() const { return values_.size(); }
  float& operator[](std::size_t i) { return values_[i]; }
  const float& operator[](std::size_t i) const { return values_[i]; }
  const std::vector<float>& values() const { return values_; }
  // Hands the values on (to an owner that gives them back itself).
  std::vector<float> release() { return std::move(values_); }

 private:
  std::vector<float> values_;
};

}  // namespace PlanePool
