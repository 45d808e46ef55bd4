// What the installer's services are natively: a POSIX system has a temporary folder, files
// and processes, but no Windows folders, no moves at a restart, no servers to register and
// no Windows to restart; those report that they cannot be had.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/file.h"
#include "platform/process.h"
#include "setup_engine/formless_application.h"
#include "setup_engine/install_services.h"
#include "setup_engine/setup_exceptions.h"
#include "setup_engine/version_info.h"

namespace setup {
namespace {

class TPosixFolders : public ISystemFolders {
 public:
  std::string WindowsDir() override {
    throw EAPIRoutines("Could not retrieve the windows directory from windows");
  }
  std::string SystemDir() override {
    throw EAPIRoutines("Could not retrieve the system directroy from windows");
  }
  std::string TempDir() override {
    std::string dir = platform::TempDirectory();
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
  }
  std::string CurrentDir() override { return platform::FullPath("."); }
  std::string ShortPath(const std::string& path) override { return path; }
};

class TPosixFiles : public IFileReplacement {
 public:
  TReplaceState Probe(const std::string& path) override {
    if (platform::KindOf(path) == platform::PathKind::None) return TReplaceState::Missing;
    // Anything but a file is left to the replacement itself, which refuses it.
    if (!platform::IsFile(path)) return TReplaceState::Replaceable;
    return ::access(path.c_str(), W_OK) == 0 ? TReplaceState::Replaceable : TReplaceState::ReadOnly;
  }
  bool MakeWritable(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && ::chmod(path.c_str(), st.st_mode | S_IWUSR) == 0;
  }
};

class TPosixMoves : public IDelayedMoves {
 public:
  bool MoveAtRestart(const std::string&, const std::string&) override { return false; }
  bool WininitRename(const std::string&, const std::string&) override { return false; }
};

class TPosixProcesses : public IProcesses {
 public:
  TRunResult Run(const std::string& commandLine, const std::string&, uint32_t) override {
    TRunResult r;
    r.Started = r.Ended = platform::RunProcess(commandLine, false, r.ExitCode);
    return r;
  }
  bool Start(const std::string&) override { return false; }
  TDllRegistration RegisterDll(const std::string&, const std::string&) override { return {}; }
};

class TPosixReboot : public IReboot {
 public:
  bool Reboot() override { return false; }
};

class TPosixPrompts : public IPrompts {
 public:
  TPromptAnswer Ask(const std::string& text, TPromptButtons buttons) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return buttons == TPromptButtons::Ok ? TPromptAnswer::Ok : TPromptAnswer::Cancel;
  }
  void ShowError(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
};

class TPosixApplication : public TFormlessApplication {
 public:
  std::vector<std::string> Parameters() override { return {}; }
  std::string ProgramPath() override { return RunningProgramPath(); }
  void ProcessMessages() override {}
};

}  // namespace

TInstallServices DefaultInstallServices() {
  static TPosixFolders folders;
  static TPosixFiles files;
  static TPosixMoves moves;
  static TPosixProcesses processes;
  static TPosixReboot reboot;
  static TPosixPrompts prompts;
  static TPosixApplication application;
  return {&folders, &files, &moves, &processes, &reboot, &prompts, &application};
}

}  // namespace setup
