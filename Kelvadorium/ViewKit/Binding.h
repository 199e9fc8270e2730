// A two-way binding of a control to one value of the model: the read shows it, the write hands
// the user's new value to the model's edit operation. Controls call set only on the user's own
// action.
#pragma once

#include <functional>

template <class T>
struct Binding {
  std::function<T()> get;
  std::function<void(T)> set;
};
