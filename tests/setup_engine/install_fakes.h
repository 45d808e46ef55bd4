#pragma once
// Recording fakes of the installer's services and a fixture that gives each test a fresh
// installer: its own registry, the fakes in place (a temporary folder and the Windows
// folders under a scratch folder, a Windows platform of the test's choice), and the
// process-wide flags of a run cleared; everything is put back afterwards.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "framework/core/data_module.h"
#include "framework/core/form_reader.h"
#include "framework/core/registry.h"
#include "platform/file.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_services.h"
#include "setup_engine/net_location.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"
#include "tests/support/scratch_dir.h"

namespace installtest {

class TFakeFolders : public setup::ISystemFolders {
 public:
  std::string windows, system, temp, current;
  std::string WindowsDir() override { return windows; }
  std::string SystemDir() override { return system; }
  std::string TempDir() override { return temp; }
  std::string CurrentDir() override { return current; }
  // "SHORT~" before the name of the last part shows where a short path was asked for.
  std::string ShortPath(const std::string& path) override {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "SHORT~" + path : path.substr(0, slash + 1) + "SHORT~" + path.substr(slash + 1);
  }
};

// Paths in locked are in use; every other file is replaceable (read-only ones report so).
class TFakeFiles : public setup::IFileReplacement {
 public:
  std::set<std::string> locked;
  setup::TReplaceState Probe(const std::string& path) override {
    if (platform::KindOf(path) == platform::PathKind::None) return setup::TReplaceState::Missing;
    if (locked.count(path)) return setup::TReplaceState::Locked;
    return DefaultFiles().Probe(path);
  }
  bool MakeWritable(const std::string& path) override { return DefaultFiles().MakeWritable(path); }
  static setup::IFileReplacement& DefaultFiles() { return *setup::DefaultInstallServices().Files; }
};

class TFakeMoves : public setup::IDelayedMoves {
 public:
  bool moveWorks = true;
  std::vector<std::string> log;
  bool MoveAtRestart(const std::string& from, const std::string& to) override {
    log.push_back("move " + from + " > " + to);
    return moveWorks;
  }
  bool WininitRename(const std::string& key, const std::string& value) override {
    log.push_back("wininit " + key + " = " + value);
    return true;
  }
};

class TFakeProcesses : public setup::IProcesses {
 public:
  setup::TRunResult runResult{true, true, 0, 0};
  setup::TDllRegistration dllResult{setup::TDllRegistration::Registered, 0, 0};
  std::vector<std::string> log;
  setup::TRunResult Run(const std::string& commandLine, const std::string& dir, uint32_t) override {
    log.push_back("run " + commandLine + " in " + dir);
    return runResult;
  }
  bool Start(const std::string& commandLine) override {
    log.push_back("start " + commandLine);
    return true;
  }
  setup::TDllRegistration RegisterDll(const std::string& path, const std::string& dir) override {
    log.push_back("register " + path + " in " + dir);
    return dllResult;
  }
};

class TFakeReboot : public setup::IReboot {
 public:
  bool works = true;
  int calls = 0;
  bool Reboot() override {
    ++calls;
    return works;
  }
};

class TFakePrompts : public setup::IPrompts {
 public:
  std::vector<std::string> log;
  setup::TPromptAnswer answer = setup::TPromptAnswer::Cancel;
  setup::TPromptAnswer Ask(const std::string& text, setup::TPromptButtons) override {
    log.push_back("ask " + text);
    return answer;
  }
  void ShowError(const std::string& message) override { log.push_back("error " + message); }
};

class TFakeApplication : public setup::IInstallApplication {
 public:
  std::vector<std::string> parameters;
  std::string program;
  bool mainForm = false;
  std::vector<std::string> log;
  std::function<void()> onShow;
  std::vector<std::string> Parameters() override { return parameters; }
  std::string ProgramPath() override { return program; }
  bool FindMainForm(TComponent*) override { return mainForm; }
  void HookMainFormShow(std::function<void()> fn) override {
    log.push_back("hook");
    onShow = std::move(fn);
  }
  void CallSavedShow() override { log.push_back("saved show"); }
  void RestoreShow() override { log.push_back("restore"); }
  void MaximizeMainForm() override { log.push_back("maximize"); }
  void SetExceptionHandler(setup::TInstallExceptionHandler) override {}
  void Terminate(int code) override { log.push_back("terminate " + std::to_string(code)); }
  void ProcessMessages() override {}
  void SetWaitCursor(bool) override {}
};

// A fresh installer for each test (see the header's note). The program is "setup.exe" in
// dir/prog, the temporary folder dir/temp, Windows dir/windows; the platform NT unless a
// test says otherwise.
class InstallFixture : public ::testing::Test {
 protected:
  InstallFixture() {
    saved_ = setup::InstallServices();
    oldRegistry_ = setup::SetSetupRegistry(&registry);
    for (const char* d : {"prog", "temp", "windows", "windows/system"}) platform::MakeDirectory(dir.Path(d));
    folders.windows = dir.Path("windows");
    folders.system = dir.Path("windows/system");
    folders.temp = dir.Path("temp");
    folders.current = dir.Path("prog");
    application.program = dir.Path("prog/setup.exe");
    Write("prog/setup.exe", "the setup program");
    setup::InstallServices() = {&folders, &files, &moves, &processes, &reboot, &prompts, &application};
    oldVersion_ = setup::SetWindowsVersionQuery([this](setup::TWindowsVersion& v) {
      v.PlatformId = platformId;
      v.Major = 5;
      return true;
    });
    ResetRun();
  }
  ~InstallFixture() override {
    root.reset();
    ResetRun();
    setup::SetWindowsVersionQuery(oldVersion_);
    setup::SetSetupRegistry(oldRegistry_);
    setup::InstallServices() = saved_;
  }
  static void ResetRun() {
    setup::SetRebootNeeded(false);
    setup::SetUserAborted(false);
    setup::SetDownloadAborted(false);
    setup::SetInstallKey("");
    setup::PendingFiles().clear();
    GlobalArchive().Abort = false;
    GlobalArchive().Offset = 0;
    GlobalArchive().SetCompressedFile("");
  }
  void Write(const std::string& relative, const std::string& text) {
    platform::File f;
    ASSERT_TRUE(f.Open(dir.Path(relative), platform::OpenMode::Write));
    f.Write(text.data(), text.size());
    f.Close();
  }
  std::string Read(const std::string& relative) {
    platform::File f;
    if (!f.Open(dir.Path(relative), platform::OpenMode::Read)) return "<missing>";
    std::string text(size_t(f.Size()), '\0');
    f.Read(text.data(), text.size());
    return text;
  }
  // Loads a definition (the body of a TDataModule named Setup).
  void Load(const std::string& body) {
    root.reset(new TDataModule(nullptr));
    ReadForm(*root, "object Setup: TDataModule\n" + body + "end\n", "test.form");
  }
  template <class T>
  T* Get(const std::string& name) {
    return dynamic_cast<T*>(root->FindComponent(name));
  }
  // The values of an HKEY_LOCAL_MACHINE key as "name=data" lines; "<none>" without the key.
  std::string Values(const std::string& key) {
    TRegistry reg(registry, TRootKey::hkLocalMachine);
    if (!reg.OpenKeyReadOnly(key)) return "<none>";
    TStringList names;
    reg.GetValueNames(names);
    std::string out;
    for (int i = 0; i < names.Count(); ++i) {
      TRegValue v;
      std::optional<std::string> s = reg.TryReadString(names[i]);
      std::optional<int> n = reg.TryReadInteger(names[i]);
      out += names[i] + "=" + (s ? *s : n ? std::to_string(*n) : "?") + "\n";
    }
    return out;
  }

  testsupport::ScratchDir dir{"qtinst"};
  TMemRegistry registry;
  TFakeFolders folders;
  TFakeFiles files;
  TFakeMoves moves;
  TFakeProcesses processes;
  TFakeReboot reboot;
  TFakePrompts prompts;
  TFakeApplication application;
  uint32_t platformId = 2;
  TOwned<TDataModule> root;

 private:
  setup::TInstallServices saved_;
  IRegistryBackend* oldRegistry_;
  setup::TWindowsVersionQuery oldVersion_;
};

}  // namespace installtest
