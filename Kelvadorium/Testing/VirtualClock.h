// A clock that moves only when a test advances it. Due waits fire one at a time in time order
// (ties in the order they began); between them the renderers' work and the queued GUI events run
// to their end, so each woken coroutine gets as far as it would have in real time.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "Services/Clock.h"

class WaitAwaiter;

class VirtualClock final : public Clock {
 public:
  Duration now() const override { return now_; }
  QCoro::Task<> sleep(Duration duration, std::stop_token stop) override;

  // Moves time forward by `step`, firing every wait that falls due on the way, at its own time.
  void advance(Duration step);
  // Runs the renderers' work and the queued GUI events until nothing is left (no time passes).
  static void settle();

  // Waits that have neither run out nor been cancelled.
  size_t pendingWaits() const { return waits_.size(); }

 private:
  Duration now_{std::chrono::seconds(1000)};
  uint64_t nextOrder_ = 0;
  std::map<std::pair<Duration, uint64_t>, WaitAwaiter*> waits_;
};
