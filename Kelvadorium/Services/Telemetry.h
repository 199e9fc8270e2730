// Counting usage events. Until the application shell brings consent, storage and sending, the
// model's counter is NoTelemetry, which counts nothing.
#pragma once

#include <QString>

class Telemetry {
 public:
  virtual ~Telemetry() = default;
  // One use of `event` today, when the user agreed to usage counts; never fails.
  virtual void record(const QString& event) = 0;
};

class NoTelemetry final : public Telemetry {
 public:
  void record(const QString&) override {}
};
