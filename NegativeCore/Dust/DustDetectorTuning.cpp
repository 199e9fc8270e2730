#include "Dust/DustDetectorTuning.h"

#include <mutex>

namespace DustDetector {

namespace {

std::mutex& tuningLock() {
  static std::mutex lock;
  return lock;
}

Tuning& currentTuning() {
  static Tuning value;
  return value;
}

}  // namespace

Tuning tuning() {
  std::lock_guard guard(tuningLock());
  return currentTuning();
}

void setTuning(const Tuning& value) {
  std::lock_guard guard(tuningLock());
  currentTuning() = value;
}

void updateTuning(const std::function<void(Tuning&)>& change) {
  std::lock_guard guard(tuningLock());
  change(currentTuning());
}

}  // namespace DustDetector
