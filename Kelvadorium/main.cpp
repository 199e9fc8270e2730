// The program's entry: the developer launch hooks run first, the snapshot before the self-test
// (each needs no display and ends the process when its variable is set); then the application
// with its window, under our own fatal-signal handler.
#include "App/KelvadoriumApp.h"
#include "SelfTestExportHook.h"
#include "Services/CrashHandler.h"
#include "Services/Telemetry.h"
#include "ViewSnapshotHook.h"

int main(int argc, char** argv) {
  renderViewSnapshotHook(argc, argv);
  selfTestExportHook();
  CrashHandler::install(Telemetry::rawCrashFolder(Telemetry::standardDataFolder()));
  return KelvadoriumApp::run(argc, argv);
}
