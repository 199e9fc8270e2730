#include "Testing/TestServices.h"

#include <QFile>

TestServices::TestServices() = default;

void TestServices::writeSettingsFile(const QString& text) const {
  QFile file(settingsPath());
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(text.toUtf8());
}

ModelServices TestServices::services() {
  return {clock, dialogs, workspace, telemetry, settingsPath(), renderBackend};
}
