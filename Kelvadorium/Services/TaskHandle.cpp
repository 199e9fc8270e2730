#include "Services/TaskHandle.h"

#include <utility>

namespace {

uint64_t nextTaskId() {
  static uint64_t next = 0;
  return ++next;
}

}  // namespace

TaskHandle TaskHandle::start(Body body) {
  TaskHandle handle;
  handle.state_ = std::make_shared<State>();
  handle.state_->id = nextTaskId();
  // The runner's frame keeps the body (and so a lambda's captures) alive until it ends; the
  // returned QCoro task may go: an unfinished coroutine then frees itself when it ends.
  auto runner = run(handle.state_, std::move(body));
  return handle;
}

QCoro::Task<> TaskHandle::run(std::shared_ptr<State> state, Body body) {
  try {
    const std::stop_token stop = state->stop.get_token();
    QCoro::Task<> task = body(stop);
    co_await task;
  } catch (...) {
  }
  state->finished = true;
  auto waiters = std::exchange(state->waiters, {});
  for (auto waiter : waiters) waiter.resume();
}

uint64_t TaskHandle::id() const { return state_ ? state_->id : 0; }

bool TaskHandle::isFinished() const { return !state_ || state_->finished; }

bool TaskHandle::isCancelled() const { return state_ && state_->stop.stop_requested(); }

std::stop_token TaskHandle::stopToken() const {
  return state_ ? state_->stop.get_token() : std::stop_token{};
}

void TaskHandle::cancel() const {
  if (state_) state_->stop.request_stop();
}

QCoro::Task<> TaskHandle::finished() const {
  struct Awaiter {
    std::shared_ptr<State> state;
    bool await_ready() const { return !state || state->finished; }
    void await_suspend(std::coroutine_handle<> waiter) { state->waiters.push_back(waiter); }
    void await_resume() const {}
  };
  // Named: GCC 12 destroys a braced temporary in a co_await twice.
  Awaiter awaiter{state_};
  co_await awaiter;
}
