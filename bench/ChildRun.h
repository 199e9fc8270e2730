// Runs a program as a child process for the benchmarks that compare whole programs, and reports
// what the run cost as the kernel counted it.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace ChildRun {

// Wall, user and system seconds, minor page faults and peak resident megabytes of a run.
struct Cost {
  double wall = 0;
  double user = 0;
  double system = 0;
  double faults = 0;
  double peakMB = 0;
};

inline double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

inline double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs a program to its end with standard output discarded and `extraEnv` added to this
// process's environment; its cost, or nothing when it failed.
inline std::optional<Cost> run(const std::vector<std::string>& arguments,
                               const std::vector<std::string>& extraEnv) {
  std::vector<char*> argv;
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env(extraEnv);
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const double start = now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double wall = now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return Cost{wall, seconds(usage.ru_utime), seconds(usage.ru_stime),
              static_cast<double>(usage.ru_minflt), static_cast<double>(usage.ru_maxrss) / 1024};
}

// The XDG folders of a child's own desktop under `home`, made and private, as environment
// entries.
inline std::vector<std::string> desktopFolders(const std::filesystem::path& home) {
  std::vector<std::string> env;
  for (const char* name :
       {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
    std::filesystem::create_directories(home / name);
    std::filesystem::permissions(home / name, std::filesystem::perms::owner_all);
    env.push_back(std::string(name) + "=" + (home / name).string());
  }
  return env;
}

// This process's resident megabytes now.
inline double residentMB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  }
  return -1;
}

// The main of a benchmark whose executable is also its own child: the child mode runs the
// program from here, after static initialisation, as the program's own main does (file-scope
// objects of the program, key sequences among them, do not exist yet while statics are made).
// `child` returns when the process is not a child.
inline int benchmarkMain(int argc, char** argv, void (*child)()) {
  child();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace ChildRun
