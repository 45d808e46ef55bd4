#pragma once
// For the tests that drive Quiltor32.exe from outside: its windows found by the component
// names the framework puts on them ("FwName"), by caption and by process; the program's
// settings key cleared; the program's path from the test's command line.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "framework/core/registry.h"
#include "framework/win/registry_win32.h"

namespace programtest {

inline std::string NameOf(HWND h) {
  HANDLE atom = GetPropA(h, "FwName");
  char name[128] = {};
  if (atom) GlobalGetAtomNameA(ATOM(uintptr_t(atom)), name, sizeof name);
  return name;
}

inline std::string TextOf(HWND h) {
  std::string text(size_t(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
  SendMessageA(h, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
  text.resize(text.size() - 1);
  return text;
}

struct TSearch {
  std::function<bool(HWND)> match;
  HWND found = nullptr;
};

inline BOOL CALLBACK Match(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<TSearch*>(p);
  if (!s->match(h)) return TRUE;
  s->found = h;
  return FALSE;
}

inline HWND TopLevel(DWORD pid, const std::function<bool(HWND)>& match) {
  TSearch s{[&](HWND h) {
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    return owner == pid && match(h);
  }};
  EnumWindows(Match, LPARAM(&s));
  return s.found;
}

inline HWND Child(HWND parent, const std::function<bool(HWND)>& match) {
  TSearch s{match};
  EnumChildWindows(parent, Match, LPARAM(&s));
  return s.found;
}

inline HWND Named(HWND parent, const std::string& name) {
  return Child(parent, [&](HWND h) { return NameOf(h) == name; });
}

inline HWND Captioned(HWND parent, const std::string& caption) {
  return Child(parent, [&](HWND h) { return TextOf(h) == caption; });
}

// The visible main window of the process ("Form1").
inline HWND MainWindow(DWORD pid) {
  return TopLevel(pid, [](HWND h) { return IsWindowVisible(h) && NameOf(h) == "Form1"; });
}

// Polls until pred holds or the time is up.
inline bool WaitFor(const std::function<bool()>& pred, int ms = 30000) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (pred()) return true;
    Sleep(50);
  }
  return pred();
}

// Starts the program; false when it cannot be started.
inline bool StartProgram(const std::string& path, PROCESS_INFORMATION& pi) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  std::string line = "\"" + path + "\"";
  return CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
}

// Ends the started program if it still runs, and closes its handles, when the test leaves,
// however it leaves.
struct TEndProgram {
  PROCESS_INFORMATION& pi;
  explicit TEndProgram(PROCESS_INFORMATION& started) : pi(started) {}
  TEndProgram(const TEndProgram&) = delete;
  TEndProgram& operator=(const TEndProgram&) = delete;
  ~TEndProgram() {
    if (!pi.hProcess) return;
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 3);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
};

// Waits up to 30 s for the program's end; false while it still runs, else true with its
// exit code.
inline bool Ended(const PROCESS_INFORMATION& pi, DWORD& code) {
  return WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code);
}

// The builder's keys, removed before and after a run.
inline void ClearSettings() {
  TRegistry reg(SystemRegistry());
  reg.DeleteKey("\\Software\\Norvale");
}

// The program named by the test's first argument, as a Windows path ("/x" is "Z:\x").
inline std::string ProgramFromArguments(int argc, char** argv) {
  if (argc < 2) return {};
  std::string program = argv[1];
  if (!program.empty() && program[0] == '/') program = "Z:" + program;
  for (char& c : program)
    if (c == '/') c = '\\';
  return program;
}

}  // namespace programtest
