// Our own record of a fatal signal: a raw report in the data folder that the next launch's crash
// collection reads. The handler uses only async-signal-safe calls and allocates nothing; it then
// restores the default action and raises the signal again, so the exit status and any core dump
// stay what they would have been.
#pragma once

#include <filesystem>

namespace CrashHandler {

// Handles SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT on an alternate stack, writing
// "Kelvadorium-<UTC date-time>-<pid>.crash" into `rawFolder` (made when the first report is
// written). Call once, early, before any thread starts.
void install(const std::filesystem::path& rawFolder);

}  // namespace CrashHandler
