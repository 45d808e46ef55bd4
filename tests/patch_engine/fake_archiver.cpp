// A stand-in for an external archiver in the Windows tests: appends the command line it
// was started with and the exit code it is about to return to the file named by
// FAKE_ARCHIVER_LOG, then ends with the code given in FAKE_ARCHIVER_EXIT (0 when unset).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
  char log[MAX_PATH + 1] = {}, code[32] = {};
  if (!GetEnvironmentVariableA("FAKE_ARCHIVER_LOG", log, sizeof log)) return 100;
  GetEnvironmentVariableA("FAKE_ARCHIVER_EXIT", code, sizeof code);
  const unsigned exitCode = unsigned(std::strtoul(code, nullptr, 10));
  FILE* f = std::fopen(log, "ab");
  if (!f) return 101;
  std::fprintf(f, "%s\n%u\n", GetCommandLineA(), exitCode);
  std::fclose(f);
  return int(exitCode);
}
