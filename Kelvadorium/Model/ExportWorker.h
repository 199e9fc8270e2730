// The export's own worker thread: runs the render-and-write of one scan at a time off the GUI
// thread, and resumes the awaiting coroutine on the GUI thread with the files written or the
// error thrown. Destroying the worker lets the job in hand finish, then ends the thread.
#pragma once

#include <condition_variable>
#include <coroutine>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class ExportWorker {
 public:
  using Job = std::function<std::vector<std::filesystem::path>()>;
  // What a job gave: its files, or its exception.
  struct Outcome {
    std::vector<std::filesystem::path> written;
    std::exception_ptr error;
  };

 private:
  struct CallState {
    Job job;
    Outcome outcome;
    std::coroutine_handle<> waiter;
  };

 public:
  // The awaitable of one job, queued when awaited.
  class Call {
   public:
    Call(ExportWorker& worker, Job job);
    bool await_ready() const { return false; }
    void await_suspend(std::coroutine_handle<> waiter);
    Outcome await_resume() { return std::move(state_->outcome); }

   private:
    ExportWorker* worker_;
    std::shared_ptr<CallState> state_;
  };

  ExportWorker();
  ~ExportWorker();
  ExportWorker(const ExportWorker&) = delete;
  ExportWorker& operator=(const ExportWorker&) = delete;

  // Await on the GUI thread.
  Call run(Job job) { return Call(*this, std::move(job)); }

 private:
  void loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::shared_ptr<CallState> next_;
  bool ending_ = false;
  std::thread thread_;
};
