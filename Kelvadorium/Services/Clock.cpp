#include "Services/Clock.h"

std::optional<Clock::Duration> Clock::elapsedSince(Moment moment) const {
  if (!moment) return std::nullopt;
  return now() - *moment;
}

bool Clock::isWithin(Moment moment, Duration window) const {
  const auto elapsed = elapsedSince(moment);
  return elapsed && *elapsed < window;
}
