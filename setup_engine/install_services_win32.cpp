// The installer's services in the Windows build: the system's folders, file attributes and
// sharing, moves at the next restart, processes, OLE server registration and the restart
// of Windows. The application here is the plain process (its command line, messages
// drained, no main form); a program with forms puts its own in place.
#include <windows.h>
#include <ole2.h>

#include <cstring>
#include <vector>

#include "setup_engine/formless_application.h"
#include "setup_engine/install_services.h"
#include "setup_engine/setup_routines.h"
#include "setup_engine/setup_routines_win32.h"
#include "setup_engine/version_info.h"

namespace setup {
namespace {

class TWinFolders : public ISystemFolders {
 public:
  std::string WindowsDir() override { return GetWindowsDir(); }
  std::string SystemDir() override { return GetSystemDir(); }
  std::string TempDir() override {
    char buffer[MAX_PATH + 1];
    DWORD n = GetTempPathA(MAX_PATH, buffer);
    std::string dir(buffer, n <= MAX_PATH ? n : 0);
    if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    return dir;
  }
  std::string CurrentDir() override {
    char buffer[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, buffer);
    return std::string(buffer, n <= MAX_PATH ? n : 0);
  }
  std::string ShortPath(const std::string& path) override { return setup::ShortPath(path); }
};

class TWinFiles : public IFileReplacement {
 public:
  TReplaceState Probe(const std::string& path) override {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return TReplaceState::Missing;
    // Anything but a file is left to the replacement itself, which refuses it.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return TReplaceState::Replaceable;
    if (attributes & FILE_ATTRIBUTE_READONLY) return TReplaceState::ReadOnly;
    // A file that another process holds without sharing writes and deletion cannot be
    // replaced now: neither can a running program.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD e = GetLastError();
      return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION || e == ERROR_ACCESS_DENIED
                 ? TReplaceState::Locked
                 : TReplaceState::Replaceable;
    }
    CloseHandle(h);
    return TReplaceState::Replaceable;
  }
  bool MakeWritable(const std::string& path) override {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           SetFileAttributesA(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
  }
};

class TWinMoves : public IDelayedMoves {
 public:
  bool MoveAtRestart(const std::string& from, const std::string& to) override {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
  }
  bool WininitRename(const std::string& key, const std::string& value) override {
    std::string ini = GetWindowsDir() + "\\WININIT.INI";
    return WritePrivateProfileStringA("Rename", key.c_str(), value.c_str(), ini.c_str()) != 0;
  }
};

bool StartHidden(const std::string& commandLine, const std::string& dir, PROCESS_INFORMATION& pi) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &si, &pi) != 0;
}

class TWinProcesses : public IProcesses {
 public:
  TRunResult Run(const std::string& commandLine, const std::string& dir, uint32_t timeoutMs) override {
    TRunResult r;
    PROCESS_INFORMATION pi{};
    if (!StartHidden(commandLine, dir, pi)) {
      r.Error = GetLastError();
      return r;
    }
    r.Started = true;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
      DWORD code = 0;
      r.Ended = GetExitCodeProcess(pi.hProcess, &code) != 0;
      r.ExitCode = code;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return r;
  }
  bool Start(const std::string& commandLine) override {
    PROCESS_INFORMATION pi{};
    if (!StartHidden(commandLine, "", pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
  }
  TDllRegistration RegisterDll(const std::string& path, const std::string& dir) override {
    TDllRegistration r;
    HRESULT ole = OleInitialize(nullptr);
    char saved[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(dir.c_str());
    if (HMODULE lib = LoadLibraryA(path.c_str())) {
      using TRegister = HRESULT(STDAPICALLTYPE*)();
      FARPROC entry = GetProcAddress(lib, "DllRegisterServer");
      if (!entry) {
        r.Result = TDllRegistration::NoEntryPoint;
        r.Error = GetLastError();
      } else {
        TRegister reg;
        static_assert(sizeof reg == sizeof entry);
        memcpy(&reg, &entry, sizeof reg);
        r.Code = int32_t(reg());
        r.Result = r.Code == S_OK ? TDllRegistration::Registered : TDllRegistration::Failed;
      }
      FreeLibrary(lib);
    } else {
      r.Error = GetLastError();
    }
    if (n > 0 && n <= MAX_PATH) SetCurrentDirectoryA(saved);
    if (SUCCEEDED(ole)) OleUninitialize();
    return r;
  }
};

class TWinReboot : public IReboot {
 public:
  bool Reboot() override {
    int platform = GetWindowsPlatform();
    if (platform == 1) return ExitWindowsEx(EWX_REBOOT, 0) != 0;
    if (platform != 2) return false;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES tp{};
    bool ok = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid) != 0;
    if (ok) {
      tp.PrivilegeCount = 1;
      tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      ok = AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return ok && ExitWindowsEx(EWX_REBOOT, 0) != 0;
  }
};

std::string ProgramTitle() {
  std::string name = RunningProgramPath();
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

class TWinPrompts : public IPrompts {
 public:
  TPromptAnswer Ask(const std::string& text, TPromptButtons buttons) override {
    UINT flags = buttons == TPromptButtons::Ok ? MB_OK | MB_ICONINFORMATION : MB_OKCANCEL | MB_ICONQUESTION;
    return MessageBoxA(nullptr, text.c_str(), ProgramTitle().c_str(), flags) == IDOK ? TPromptAnswer::Ok
                                                                                     : TPromptAnswer::Cancel;
  }
  void ShowError(const std::string& message) override {
    MessageBoxA(nullptr, message.c_str(), ProgramTitle().c_str(), MB_OK | MB_ICONSTOP);
  }
};

class TWinApplication : public TFormlessApplication {
 public:
  std::vector<std::string> Parameters() override {
    std::vector<std::string> all = SplitParameters(GetCommandLineA());
    if (!all.empty()) all.erase(all.begin());
    return all;
  }
  std::string ProgramPath() override { return RunningProgramPath(); }
  void ProcessMessages() override {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
};

}  // namespace

TInstallServices DefaultInstallServices() {
  static TWinFolders folders;
  static TWinFiles files;
  static TWinMoves moves;
  static TWinProcesses processes;
  static TWinReboot reboot;
  static TWinPrompts prompts;
  static TWinApplication application;
  return {&folders, &files, &moves, &processes, &reboot, &prompts, &application};
}

}  // namespace setup
