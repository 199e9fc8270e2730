// The median as the library takes it everywhere: the element at n/2 of the ascending values (for
// an even count the upper of the middle two), with values that are not numbers sorted after all
// others so that a damaged sample can neither break the ordering nor pull the median down.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>

namespace Median {

// Ascending, numbers before everything that is not one.
template <class T>
bool ascendingNumbersFirst(T a, T b) {
  return a < b || (std::isnan(b) && !std::isnan(a));
}

// The median of `values`, which it reorders; 0 for none.
template <class T>
T ofValues(std::span<T> values) {
  if (values.empty()) return T(0);
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end(), ascendingNumbersFirst<T>);
  return *middle;
}

}  // namespace Median
