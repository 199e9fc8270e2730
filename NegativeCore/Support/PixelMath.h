// Small arithmetic shared by the pixel loops: the smoothstep ramp and the ways a position becomes
// a pixel index. Everything is inline so the loops that use it still vectorise; each function
// evaluates in the type it is given, so float callers keep float results and double callers
// double ones.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace PixelMath {

// 3t² − 2t³ for t already in 0…1; outside that range the cubic runs on unchanged.
template <class T>
inline T smoothstep(T t) {
  return t * t * (T(3) - T(2) * t);
}

// The same ramp with t limited to 0…1 first (not a number stays not a number).
template <class T>
inline T smoothstepClamped(T t) {
  return smoothstep(std::clamp(t, T(0), T(1)));
}

// An integer index limited to 0…last.
inline int64_t clampIndex(int64_t i, int64_t last) { return i < 0 ? 0 : (i > last ? last : i); }

// The pixel holding a position already in pixels: truncated toward zero and limited to
// 0…count − 1, decided in floating point so that no value (negative, huge, not a number)
// reaches an integer conversion out of range. Not a number gives 0.
inline int64_t clampedIndex(double position, int64_t count) {
  if (!(position >= 1)) return 0;
  if (position >= static_cast<double>(count - 1)) return count - 1;
  return static_cast<int64_t>(position);
}

// A bound in pixels: the position limited to lowest…highest in floating point, then truncated;
// not a number takes the lower limit. Callers pick limits a little outside the image and clamp
// the result to their own range.
inline int64_t limitedIndex(double position, double lowest, double highest) {
  return static_cast<int64_t>(std::fmin(std::fmax(position, lowest), highest));
}

}  // namespace PixelMath
