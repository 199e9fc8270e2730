// Medians of hand-measured iterations for the benchmarks that time a request to its answer.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

// Each iteration's seconds; the median goes to the counter "<name>_ms" (the machine is shared,
// so the mean is easily pulled by one slow iteration). The main figure is also the iteration's
// time.
class Times {
 public:
  explicit Times(benchmark::State& state, std::string name = "median", bool iterationTime = true)
      : state_(state), name_(std::move(name)), iterationTime_(iterationTime) {}
  ~Times() {
    if (seconds_.empty()) return;
    std::sort(seconds_.begin(), seconds_.end());
    state_.counters[name_ + "_ms"] = 1000 * seconds_[seconds_.size() / 2];
  }
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
