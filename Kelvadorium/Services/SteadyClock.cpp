#include "Services/SteadyClock.h"

#include <QTimer>

#include "Services/WaitAwaiter.h"

Clock::Duration SteadyClock::now() const {
  return std::chrono::steady_clock::now().time_since_epoch();
}

QCoro::Task<> SteadyClock::sleep(Duration duration, std::stop_token stop) {
  if (stop.stop_requested()) co_return;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  WaitAwaiter wait(stop);
  // Queued: the coroutine may end and destroy the timer, which must not happen inside the
  // timer's own signal.
  QObject::connect(&timer, &QTimer::timeout, &timer, [&wait] { wait.finish(); },
                   Qt::QueuedConnection);
  wait.onFinish = [&timer] { timer.stop(); };
  // Rounded up: a wait never ends early.
  const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
  timer.start(static_cast<int>(std::clamp<int64_t>(milliseconds, 0, INT32_MAX)));
  co_await wait.suspend();
}
