// The program's entry: the developer launch hooks run first, before any application object
// exists (they need no display and end the process when their variable is set); then the
// application with its window.
#include "App/KelvadoriumApp.h"
#include "SelfTestExportHook.h"

int main(int argc, char** argv) {
  selfTestExportHook();
  return KelvadoriumApp::run(argc, argv);
}
