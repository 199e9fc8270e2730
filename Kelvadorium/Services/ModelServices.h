// Everything the model reaches outside itself, handed over in one piece: the clock, the panels
// and alerts, the desktop, usage counting, the settings file and how renderers decode. The
// services outlive the model.
#pragma once

#include <QString>

#include "Rendering/RenderCache.h"
#include "Services/Clock.h"
#include "Services/DialogService.h"
#include "Services/Telemetry.h"
#include "Services/Workspace.h"

struct ModelServices {
  Clock& clock;
  DialogService& dialogs;
  Workspace& workspace;
  Telemetry& telemetry;
  QString settingsPath;  // Preferences::standardPath() in the program
  RenderCache::Backend renderBackend = RenderCache::libraryBackend();
};
