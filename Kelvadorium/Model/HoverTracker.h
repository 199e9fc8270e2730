// The enter and leave rule of a look picker's rows, kept on the model's side so that every picker
// follows it: entering a row remembers it and shows its look; leaving clears the look only when
// that row is still the remembered one, since the next row's enter may be reported first.
#pragma once

#include <functional>
#include <optional>
#include <utility>

template <class Look>
class HoverTracker {
 public:
  // `show` writes the model's hovered look (its setter, so its observer runs).
  explicit HoverTracker(std::function<void(std::optional<Look>)> show) : show_(std::move(show)) {}

  // Rows are told apart by their looks: each row of a picker shows one look.
  void enter(const Look& row) {
    remembered_ = row;
    show_(row);
  }
  void leave(const Look& row) {
    if (remembered_ != row) return;
    remembered_.reset();
    show_(std::nullopt);
  }
  // Before a row's choice is applied as an edit: the look under the pointer is no longer shown.
  void choose() { show_(std::nullopt); }
  // The picker's rows went away.
  void rowsGone() {
    remembered_.reset();
    show_(std::nullopt);
  }

 private:
  std::function<void(std::optional<Look>)> show_;
  std::optional<Look> remembered_;
};
