// The one monotonic clock behind every wait and every elapsed-time test of the model, so that a
// change of the wall clock can never merge undo steps or choose render passes, and tests can
// drive time themselves. Waits resume on the GUI thread; call them from there.
#pragma once

#include <QCoro/QCoroTask>
#include <chrono>
#include <optional>
#include <stop_token>

class Clock {
 public:
  using Duration = std::chrono::nanoseconds;
  // A moment on this clock. Empty is "no time": longer ago than any window, never subtracted.
  using Moment = std::optional<Duration>;

  virtual ~Clock() = default;

  // Time since an arbitrary fixed origin; never goes back.
  virtual Duration now() const = 0;

  // Finishes after `duration`. A stop request ends the wait at once, inside the request, as if
  // it had run out; a wait whose token is already stopped does not suspend.
  virtual QCoro::Task<> sleep(Duration duration, std::stop_token stop) = 0;

  // Time since `moment`; nothing for "no time".
  std::optional<Duration> elapsedSince(Moment moment) const;
  // Whether less than `window` has passed since `moment`; false for "no time".
  bool isWithin(Moment moment, Duration window) const;
};

// Seconds as the clock's duration: 0.09 s and the like, as the model's delays are written.
constexpr Clock::Duration seconds(double value) {
  return std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(value));
}
