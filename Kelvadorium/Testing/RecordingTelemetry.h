// Usage counting that keeps the events in the order recorded.
#pragma once

#include <QStringList>

#include "Services/Telemetry.h"

class RecordingTelemetry final : public Telemetry {
 public:
  QStringList events;
  void record(const QString& event) override { events.append(event); }
};
