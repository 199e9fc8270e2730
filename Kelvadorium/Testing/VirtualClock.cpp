#include "Testing/VirtualClock.h"

#include <QCoreApplication>
#include <algorithm>

#include "Rendering/Renderer.h"
#include "Services/WaitAwaiter.h"

QCoro::Task<> VirtualClock::sleep(Duration duration, std::stop_token stop) {
  if (stop.stop_requested()) co_return;
  WaitAwaiter wait(stop);
  const auto key = std::pair{now_ + std::max(duration, Duration::zero()), nextOrder_++};
  waits_.emplace(key, &wait);
  wait.onFinish = [this, key] { waits_.erase(key); };
  co_await wait.suspend();
}

void VirtualClock::advance(Duration step) {
  const Duration target = now_ + std::max(step, Duration::zero());
  settle();
  while (!waits_.empty() && waits_.begin()->first.first <= target) {
    now_ = std::max(now_, waits_.begin()->first.first);
    waits_.begin()->second->finish();
    settle();
  }
  now_ = target;
  settle();
}

void VirtualClock::settle() {
  do {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  } while (Renderer::waitForAllIdle());
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}
