#include "tests/support/test_process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>

#include <vector>
#endif

namespace testsupport {

#ifdef _WIN32

std::string BesideThisProgram(const std::string& name) {
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string self = path;
  return self.substr(0, self.find_last_of('\\') + 1) + name + ".exe";
}

void PrepareInterruption() {
  FreeConsole();
  AllocConsole();
  SetConsoleCtrlHandler(nullptr, FALSE);
}

void InterruptThisProcess(Interruption how) {
  // Wine generates no Ctrl+Break; Ctrl+C then stands in for it.
  if (how == Interruption::Interrupt || !GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0))
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
  Sleep(30000);
}

bool EndedByInterruption(uint32_t exitCode, Interruption) {
  return exitCode == STATUS_CONTROL_C_EXIT || exitCode == 0;
}

#else

std::string BesideThisProgram(const std::string& name) {
  std::vector<char> path(4096);
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
  const std::string self(path.data(), n > 0 ? size_t(n) : 0);
  return self.substr(0, self.find_last_of('/') + 1) + name;
}

void PrepareInterruption() {}

void InterruptThisProcess(Interruption how) {
  kill(getpid(), how == Interruption::Interrupt ? SIGINT : SIGTERM);
  for (int i = 0; i < 300; ++i) usleep(100000);
}

bool EndedByInterruption(uint32_t exitCode, Interruption how) {
  return exitCode == 128u + uint32_t(how == Interruption::Interrupt ? SIGINT : SIGTERM);
}

#endif

}  // namespace testsupport
