// The date and time of day, for what is stored or shown by date (usage days, the About window's
// years). Waits and elapsed times never use it; they use the monotonic Clock. Tests set it.
#pragma once

#include <QDateTime>
#include <optional>

class WallClock {
 public:
  // The set moment while one is set, else the system's current time.
  QDateTime now() const;
  // Fixes the clock at `moment`; nothing returns it to the system's time.
  void set(std::optional<QDateTime> moment) { fixed_ = std::move(moment); }

 private:
  std::optional<QDateTime> fixed_;
};
