// The refresh of a view from the model, run at most once per turn of the event loop however many
// model signals arrive in that turn (a slider drag sends several per move). A view connects its
// model signals to request() and reads the model in its refresh, writing its controls under
// QSignalBlocker so that showing a value never writes it back.
#pragma once

#include <QObject>
#include <functional>

class RefreshGate final : public QObject {
  Q_OBJECT

 public:
  RefreshGate(std::function<void()> refresh, QObject* parent);

  // Schedules the refresh for the next turn unless it is scheduled already.
  void request();
  // Runs a scheduled refresh now.
  void flush();
  bool pending() const { return pending_; }

 private:
  void run();

  std::function<void()> refresh_;
  bool pending_ = false;
};
