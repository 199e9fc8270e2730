// Runs a program as a child process and waits for it. Tests of state that the library sets up
// once per process (the resource bundle, the frame list) run a copy or a link of their own
// executable this way, so each case starts from a fresh process.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ChildProcess {

// The running test executable.
std::filesystem::path currentExecutable();

// Starts program (argv[0] is the path as given) with this process's environment plus the
// "NAME=value" entries given (replacing inherited entries of those names), in workingFolder when
// one is given (a relative program path is then found from there), with `arguments` after the
// program's path; returns its exit status, or -1 when it did not exit normally.
int run(const std::filesystem::path& program, const std::vector<std::string>& extraEnvironment,
        const std::filesystem::path& workingFolder = {}, std::vector<std::string> arguments = {});

}  // namespace ChildProcess
