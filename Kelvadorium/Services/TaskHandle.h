// The handle of a cancellable task of the model: a coroutine on the GUI thread that yields
// nothing, its stop source, an id that tells one run from the next, and whether it has finished.
// Handles are shared: copies name the same task. Cancelling only requests the stop; the field
// that keeps the handle keeps it until someone replaces it.
#pragma once

#include <QCoro/QCoroTask>
#include <coroutine>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

class TaskHandle {
 public:
  using Body = std::function<QCoro::Task<>(std::stop_token)>;

  // An empty handle: no task, nothing to cancel.
  TaskHandle() = default;

  // Starts `body` at once on the calling (GUI) thread; it runs up to its first wait before this
  // returns. An exception leaving the body ends the task as finished.
  static TaskHandle start(Body body);

  explicit operator bool() const { return state_ != nullptr; }
  uint64_t id() const;
  bool isFinished() const;
  bool isCancelled() const;
  std::stop_token stopToken() const;

  // Requests the stop; waits on the model's clock end at once. GUI thread only.
  void cancel() const;

  // Completes when the task has finished, at once when it already has (or the handle is empty).
  QCoro::Task<> finished() const;

  friend bool operator==(const TaskHandle& a, const TaskHandle& b) { return a.state_ == b.state_; }

 private:
  struct State {
    std::stop_source stop;
    uint64_t id = 0;
    bool finished = false;
    std::vector<std::coroutine_handle<>> waiters;
  };
  static QCoro::Task<> run(std::shared_ptr<State> state, Body body);

  std::shared_ptr<State> state_;
};
