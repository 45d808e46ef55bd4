// Win32 side of starting programs (Windows build).
#include <windows.h>

#include "platform/process.h"

namespace platform {

bool RunProcess(const std::string& commandLine, bool show, uint32_t& exitCode) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = WORD(show ? SW_SHOWNORMAL : SW_HIDE);
  PROCESS_INFORMATION pi = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  DWORD code = 0;
  bool ok = WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  exitCode = code;
  return ok;
}

}  // namespace platform
