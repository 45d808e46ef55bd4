// POSIX side of starting programs (native build).
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/process.h"

extern char** environ;

namespace platform {

bool RunProcess(const std::string& commandLine, bool, uint32_t& exitCode) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty()) return false;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  if (WIFEXITED(status))
    exitCode = uint32_t(WEXITSTATUS(status));
  else
    exitCode = 128u + uint32_t(WTERMSIG(status));
  return true;
}

}  // namespace platform
