// The program's entry. The window comes with the application; until then the entry runs the
// developer launch hooks and otherwise says what there is to use.
#include <cstdio>

#include "SelfTestExportHook.h"

int main() {
  selfTestExportHook();
  std::printf(
      "Kelvadorium: the window comes in a later version. For a headless export set "
      "KV_SELFTEST_EXPORT=\"<scan>|<output folder>\".\n");
  return 0;
}
