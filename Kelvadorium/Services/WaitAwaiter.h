// The shared shape of a cancellable wait: it ends once, either when its clock says so or when
// its stop token is requested, whichever comes first, resuming the waiting coroutine in place.
#pragma once

#include <coroutine>
#include <functional>
#include <optional>
#include <stop_token>

class WaitAwaiter {
 public:
  explicit WaitAwaiter(std::stop_token stop) : stop_(std::move(stop)) {}
  WaitAwaiter(const WaitAwaiter&) = delete;
  WaitAwaiter& operator=(const WaitAwaiter&) = delete;

  // What co_await takes: `co_await wait.suspend();`.
  struct Suspend {
    WaitAwaiter* wait;
    bool await_ready() const { return wait->stop_.stop_requested(); }
    // The stop callback is registered last: a stop already requested on another thread
    // finishes the wait inside the registration, after which the wait may be gone.
    void await_suspend(std::coroutine_handle<> waiter) {
      wait->waiter_ = waiter;
      wait->onStop_.emplace(wait->stop_, [w = wait] { w->finish(); });
    }
    void await_resume() const {}
  };
  Suspend suspend() { return {this}; }

  // Resumes the waiting coroutine unless it was already resumed.
  void finish() {
    if (finished_ || !waiter_) return;
    finished_ = true;
    if (onFinish) onFinish();
    waiter_.resume();
  }

  // Run once before the coroutine resumes (stops a timer, leaves a queue).
  std::function<void()> onFinish;

 private:
  std::stop_token stop_;
  std::coroutine_handle<> waiter_;
  bool finished_ = false;
  std::optional<std::stop_callback<std::function<void()>>> onStop_;
};
