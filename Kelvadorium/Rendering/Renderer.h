// A renderer: one serial worker thread that owns a RenderCache, fed by a queue of two priorities
// (low work never starts while normal work waits). The GUI thread awaits its jobs; results and
// errors come back on the GUI thread as values. A job is a caller's short sequence of cache
// operations and runs in one turn: nothing else runs on this renderer between its steps.
// Destroying a renderer drops the jobs not yet begun, waits for the one running, and resumes
// every waiting caller with a stopped result.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <coroutine>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "Record/Spot.h"
#include "Rendering/DustSearch.h"
#include "Rendering/RenderCache.h"
#include "Rendering/RenderError.h"
#include "Rendering/RenderKeys.h"
#include "Rendering/RenderResult.h"

enum class RenderPriority { normal, low };

class Renderer {
  struct PendingCall {
    virtual ~PendingCall() = default;
    virtual void stop() = 0;
  };

  template <class T>
  struct CallState final : PendingCall {
    std::optional<RenderResult<T>> result;
    std::coroutine_handle<> waiter;

    void deliver(RenderResult<T> value) {
      if (result) return;
      result = std::move(value);
      if (auto w = std::exchange(waiter, {})) w.resume();
    }
    void stop() override { deliver(RenderResult<T>{}); }
  };

 public:
  using ProxyKey = ::ProxyKey;
  using AnalysisKey = ::AnalysisKey;
  using RenderError = ::RenderError;

  // The awaitable of one job; the job is queued when the call is made, awaited or not.
  template <class T>
  class Call {
   public:
    explicit Call(std::shared_ptr<CallState<T>> state) : state_(std::move(state)) {}
    Call(Call&&) = default;
    Call& operator=(Call&&) = default;
    // A coroutine destroyed while it waits is never resumed.
    ~Call() {
      if (state_) state_->waiter = {};
    }

    bool await_ready() const { return state_->result.has_value(); }
    void await_suspend(std::coroutine_handle<> waiter) { state_->waiter = waiter; }
    RenderResult<T> await_resume() { return std::move(*state_->result); }

   private:
    std::shared_ptr<CallState<T>> state_;
  };

  template <class F>
  using JobValue = std::conditional_t<std::is_void_v<std::invoke_result_t<F, RenderCache&>>, Done,
                                      std::invoke_result_t<F, RenderCache&>>;

  // Created on the GUI thread, which receives every result.
  Renderer(int64_t longEdge, int64_t capacity,
           RenderCache::Backend backend = RenderCache::libraryBackend());
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  int64_t longEdge() const { return longEdge_; }
  int64_t capacity() const { return capacity_; }

  // Queues `job(cache)`. DecodeError and RenderError come back as the result's error; any other
  // exception (memory) as RenderError::encode.
  template <class F>
  Call<JobValue<F>> perform(F job, RenderPriority priority = RenderPriority::normal) {
    using T = JobValue<F>;
    auto state = std::make_shared<CallState<T>>();
    pending_.insert(state);
    enqueue(
        [this, state, job = std::move(job)]() mutable {
          auto result = std::make_shared<RenderResult<T>>(run<T>(job));
          deliverOnGui([this, state, result] {
            pending_.erase(state);
            state->deliver(std::move(*result));
          });
        },
        priority);
    return Call<T>(std::move(state));
  }

  Call<LinearImage> proxy(const std::filesystem::path& url, const ConversionSettings& settings,
                          RenderPriority priority = RenderPriority::normal);
  Call<FilmAnalysis> analysis(const std::filesystem::path& url, const ConversionSettings& settings,
                              RenderPriority priority = RenderPriority::normal);
  Call<PreviewImage> render(const std::filesystem::path& url, const ConversionSettings& settings,
                            bool crop, RenderPriority priority = RenderPriority::normal);
  // Dust finds of the scan, grouped, checked against neighbouring frames (each with its own
  // record; the first four are looked at) and a blank frame; the decoder's error for the scan
  // itself only. One job: the preview waits behind it.
  Call<std::vector<std::vector<Spot>>> findDust(const std::filesystem::path& url,
                                                const ConversionSettings& settings,
                                                std::vector<DustSearch::Sample> samples,
                                                double sensitivity);
  Call<Done> invalidate(const std::filesystem::path& url);
  Call<Done> clear();

  // Decodes, measurements, conversions and bytes held so far; any thread.
  RenderCache::Counts counts() const { return cache_.counts(); }

  // While held, queued jobs wait (tests use it to see a renderer's work in flight).
  void hold();
  void release();

  // Jobs queued, running or with results not yet handed to the GUI thread.
  bool isBusy() const { return outstanding_ > 0; }
  // Waits until every renderer that is not held has run its queue, then answers whether any had
  // work outstanding (whose results the GUI thread still has to take).
  static bool waitForAllIdle();

 private:
  template <class T, class F>
  RenderResult<T> run(F& job) {
    try {
      if constexpr (std::is_same_v<T, Done> &&
                    std::is_void_v<std::invoke_result_t<F, RenderCache&>>) {
        job(cache_);
        return Done{};
      } else {
        return job(cache_);
      }
    } catch (const DecodeError& error) {
      return error;
    } catch (const RenderError& error) {
      return error;
    } catch (...) {
      return RenderError::encode();
    }
  }

  void enqueue(std::function<void()> work, RenderPriority priority);
  void deliverOnGui(std::function<void()> delivery);
  void workLoop();
  void waitUntilIdle();

  const int64_t longEdge_;
  const int64_t capacity_;
  RenderCache cache_;  // the worker's alone
  std::unique_ptr<QObject> guiContext_;
  std::unordered_set<std::shared_ptr<PendingCall>> pending_;  // GUI thread
  std::atomic<int64_t> outstanding_{0};

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> normal_;
  std::deque<std::function<void()>> low_;
  bool running_ = false;
  bool held_ = false;
  bool stopping_ = false;
  std::thread worker_;
};
