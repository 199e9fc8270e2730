// The model's services for tests: virtual time, scripted panels, a recording desktop and
// telemetry, and a settings file of its own in a temporary folder, removed afterwards.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include "Services/ModelServices.h"
#include "Testing/RecordingTelemetry.h"
#include "Testing/RecordingWorkspace.h"
#include "Testing/ScriptedDialogs.h"
#include "Testing/VirtualClock.h"

class TestServices {
 public:
  TestServices();

  // The settings file's text before the model reads it (INI lines such as "healTool=ai").
  void writeSettingsFile(const QString& text) const;
  QString settingsPath() const { return folder.filePath("Kelvadorium.conf"); }

  ModelServices services();

  VirtualClock clock;
  ScriptedDialogs dialogs;
  RecordingWorkspace workspace;
  RecordingTelemetry telemetry;
  QTemporaryDir folder;
  RenderCache::Backend renderBackend = RenderCache::libraryBackend();
};
