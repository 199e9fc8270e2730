// Timing by hand for benchmarks that drive the session model: each iteration's seconds, with the
// median reported as the counter "<name>_ms" (the machine is shared, so the mean is easily
// pulled by one slow iteration). The main figure may also be the iteration's time.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

class MedianTimes {
 public:
  explicit MedianTimes(benchmark::State& state, std::string name = "median",
                       bool iterationTime = true)
      : state_(state), name_(std::move(name)), iterationTime_(iterationTime) {}
  ~MedianTimes() {
    if (seconds_.empty()) return;
    std::sort(seconds_.begin(), seconds_.end());
    state_.counters[name_ + "_ms"] = 1000 * seconds_[seconds_.size() / 2];
  }
  MedianTimes(const MedianTimes&) = delete;
  MedianTimes& operator=(const MedianTimes&) = delete;

  void add(double seconds) {
    seconds_.push_back(seconds);
    if (iterationTime_) state_.SetIterationTime(seconds);
  }

 private:
  benchmark::State& state_;
  std::string name_;
  bool iterationTime_;
  std::vector<double> seconds_;
};
