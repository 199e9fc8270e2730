#include "TestSupport/ChildProcess.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

extern char** environ;

namespace ChildProcess {

std::filesystem::path currentExecutable() {
  return std::filesystem::read_symlink("/proc/self/exe");
}

int run(const std::filesystem::path& program, const std::vector<std::string>& extraEnvironment,
        const std::filesystem::path& workingFolder, std::vector<std::string> arguments) {
  // Entries given replace inherited ones of the same name.
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=') + 1); };
  std::vector<std::string> entries;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const bool replaced =
        std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
                    [&](const std::string& x) { return nameOf(x) == nameOf(entry); });
    if (!replaced) entries.push_back(entry);
  }
  entries.insert(entries.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<char*> envp;
  for (auto& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string path = program.string();
  std::vector<char*> argv{path.data()};
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace ChildProcess
