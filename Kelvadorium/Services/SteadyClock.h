// The real clock: std::chrono::steady_clock for the time, a precise QTimer on the GUI thread for
// the waits.
#pragma once

#include "Services/Clock.h"

class SteadyClock final : public Clock {
 public:
  Duration now() const override;
  QCoro::Task<> sleep(Duration duration, std::stop_token stop) override;
};
