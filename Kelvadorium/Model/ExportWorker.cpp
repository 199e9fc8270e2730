#include "Model/ExportWorker.h"

#include <QCoreApplication>
#include <QMetaObject>

ExportWorker::Call::Call(ExportWorker& worker, Job job)
    : worker_(&worker), state_(std::make_shared<CallState>()) {
  state_->job = std::move(job);
}

void ExportWorker::Call::await_suspend(std::coroutine_handle<> waiter) {
  state_->waiter = waiter;
  {
    std::lock_guard lock(worker_->mutex_);
    worker_->next_ = state_;
  }
  worker_->wake_.notify_one();
}

ExportWorker::ExportWorker() : thread_([this] { loop(); }) {}

ExportWorker::~ExportWorker() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void ExportWorker::loop() {
  for (;;) {
    std::shared_ptr<CallState> state;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return ending_ || next_; });
      if (!next_) return;
      state = std::exchange(next_, nullptr);
    }
    try {
      state->outcome.written = state->job();
    } catch (...) {
      state->outcome.error = std::current_exception();
    }
    state->job = nullptr;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [state] { state->waiter.resume(); }, Qt::QueuedConnection);
  }
}
