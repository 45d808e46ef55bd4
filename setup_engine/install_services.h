#pragma once
// What the installer asks of the system and of the program it runs in, behind seams: the
// system's folders, replacing files, moves at the next restart, processes and server
// registration, restarting Windows, questions to the user and the application.
//
// How it works: InstallServices() holds one implementation of each interface; the Windows
// build's defaults call the system (install_services_win32.cpp), the native ones
// (install_services_posix.cpp) keep to what a POSIX system has and report the rest as not
// possible. Tests and drivers put their own in place of any member and put the old one
// back afterwards; the Windows platform (95 or NT) has its own seam in setup_routines.h.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class TComponent;
class TObject;

namespace setup {

class ISystemFolders {
 public:
  virtual ~ISystemFolders() = default;
  // Without a trailing separator; EAPIRoutines when the system cannot tell them.
  virtual std::string WindowsDir() = 0;
  virtual std::string SystemDir() = 0;
  // The system's temporary folder, without a trailing separator.
  virtual std::string TempDir() = 0;
  virtual std::string CurrentDir() = 0;
  // The 8.3 form of an existing path; the path itself when it has none.
  virtual std::string ShortPath(const std::string& path) = 0;
};

// What stands at a destination before a file is installed there.
enum class TReplaceState {
  Missing,      // nothing
  Replaceable,  // a file another file may take the place of
  ReadOnly,     // a read-only file, replaceable once it is made writable
  Locked,       // a file in use: it can only be replaced at the next restart
};

class IFileReplacement {
 public:
  virtual ~IFileReplacement() = default;
  virtual TReplaceState Probe(const std::string& path) = 0;
  virtual bool MakeWritable(const std::string& path) = 0;
};

class IDelayedMoves {
 public:
  virtual ~IDelayedMoves() = default;
  // Windows NT: moves from onto to, replacing it, when Windows starts next.
  virtual bool MoveAtRestart(const std::string& from, const std::string& to) = 0;
  // The Windows 95 family: key = value in the [Rename] section of <Windows>\WININIT.INI.
  virtual bool WininitRename(const std::string& key, const std::string& value) = 0;
};

struct TRunResult {
  bool Started = false;
  bool Ended = false;     // within the time allowed
  uint32_t ExitCode = 0;
  uint32_t Error = 0;     // the system's error code when it did not start
};

struct TDllRegistration {
  enum Outcome { Registered, NoLibrary, NoEntryPoint, Failed } Result = NoLibrary;
  uint32_t Error = 0;     // the system's error code of NoLibrary and NoEntryPoint
  int32_t Code = 0;       // what DllRegisterServer returned (Failed)
};

class IProcesses {
 public:
  virtual ~IProcesses() = default;
  // Runs commandLine hidden in dir and waits at most timeoutMs for its end.
  virtual TRunResult Run(const std::string& commandLine, const std::string& dir, uint32_t timeoutMs) = 0;
  // Starts commandLine hidden and does not wait.
  virtual bool Start(const std::string& commandLine) = 0;
  // Loads the library with dir as the current folder, under OLE, and calls its
  // DllRegisterServer.
  virtual TDllRegistration RegisterDll(const std::string& path, const std::string& dir) = 0;
};

class IReboot {
 public:
  virtual ~IReboot() = default;
  // Asks Windows to restart (with the shutdown privilege on NT); false when it refuses.
  virtual bool Reboot() = 0;
};

enum class TPromptButtons { Ok, OkCancel };
enum class TPromptAnswer { Ok, Cancel };

class IPrompts {
 public:
  virtual ~IPrompts() = default;
  virtual TPromptAnswer Ask(const std::string& text, TPromptButtons buttons) = 0;
  // The application's standard display of an error.
  virtual void ShowError(const std::string& message) = 0;
};

using TInstallExceptionHandler = std::function<void(TObject* sender, std::exception_ptr e)>;

class IInstallApplication {
 public:
  virtual ~IInstallApplication() = default;
  // The program's command-line parameters (without the program itself).
  virtual std::vector<std::string> Parameters() = 0;
  virtual std::string ProgramPath() = 0;
  // Finds the main form (the application's, else owner when it is a form); false when
  // there is none.
  virtual bool FindMainForm(TComponent* owner) = 0;
  // Puts onShow in the main form's show handler, keeping the one there; CallSavedShow
  // calls that one and RestoreShow puts it back.
  virtual void HookMainFormShow(std::function<void()> onShow) = 0;
  virtual void CallSavedShow() = 0;
  virtual void RestoreShow() = 0;
  virtual void MaximizeMainForm() = 0;
  // Sees every exception that reaches the application; empty: the standard display.
  virtual void SetExceptionHandler(TInstallExceptionHandler handler) = 0;
  // Ends the program with exitCode once control returns to its loop.
  virtual void Terminate(int exitCode) = 0;
  virtual void ProcessMessages() = 0;
  virtual void SetWaitCursor(bool wait) = 0;
};

struct TInstallServices {
  ISystemFolders* Folders;
  IFileReplacement* Files;
  IDelayedMoves* Moves;
  IProcesses* Processes;
  IReboot* Reboot;
  IPrompts* Prompts;
  IInstallApplication* Application;
};

// The services in use; replace members to change them.
TInstallServices& InstallServices();
// The build's own.
TInstallServices DefaultInstallServices();

// Parameters of a command line as the installer splits them: blanks and tabs outside
// double quotes separate them, a double quote starts or ends a quoted part and is
// dropped, a backslash is a plain character.
std::vector<std::string> SplitParameters(const std::string& commandLine);

}  // namespace setup
