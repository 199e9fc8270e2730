#include "TestSupport/ChildProcess.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string_view>

extern char** environ;

namespace ChildProcess {

std::filesystem::path currentExecutable() {
  return std::filesystem::read_symlink("/proc/self/exe");
}

int run(const std::filesystem::path& program, const std::vector<std::string>& extraEnvironment) {
  // A variable given in extraEnvironment replaces this process's own of the same name.
  auto overridden = [&](std::string_view entry) {
    const auto name = entry.substr(0, entry.find('=') + 1);
    for (const auto& extra : extraEnvironment)
      if (std::string_view(extra).substr(0, extra.find('=') + 1) == name) return true;
    return false;
  };
  std::vector<std::string> entries;
  for (char** e = environ; *e; ++e)
    if (!overridden(*e)) entries.emplace_back(*e);
  entries.insert(entries.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<char*> envp;
  for (auto& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string path = program.string();
  char* argv[] = {path.data(), nullptr};

  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace ChildProcess
