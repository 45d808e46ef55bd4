#pragma once
// Recording fakes of the installer's services and a fixture that gives each test a fresh
// installer: its own registry, the fakes in place (a temporary folder and the Windows
// folders under a scratch folder, a Windows platform of the test's choice), and the
// process-wide flags of a run cleared; everything is put back afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

// A dialog that writes down the codes it hears: "CODE", and for a file status also the
// file's name, the running total and the overall percent. At throwAt it cancels the run.
class TRecorder : public TInstallObject {
  FW_CLASS(TRecorder, TInstallObject)

 public:
  explicit TRecorder(TComponent* owner) : TInstallObject(owner) {}
  std::vector<std::string> log;
  int throwAt = 0;
  int ComponentType() const override { return setup::kKindDialog; }
  void DoInformationEvent(TObject*, int code, TObject* parameter) override {
    std::string line = std::to_string(code);
    if (auto* status = dynamic_cast<TFileStatusParameter*>(parameter))
      line += " " + status->FileName + " " + std::to_string(status->TotalBytes) + " " +
              std::to_string(status->TotalPercent);
    log.push_back(line);
    if (code == throwAt) throw EAIUserAbort();
  }

 protected:
  ~TRecorder() override = default;
};
inline const TClassInfo& TRecorder::StaticClass() {
  static const TClassInfo info{"TRecorder", &TInstallObject::StaticClass(), nullptr, {}};
  return info;
}

// A server behind the eleven calls: files by their path on the server, the HTTP status
// and Content-Length it answers, and a log of the calls that matter.
struct FakeServer {
  std::map<std::string, std::string> files;
  int status = 200;
  int64_t contentLength = -1;  // -1: the file's own size; -2: no header
  bool response = true;
  std::set<std::string> missing;  // entry points the library lacks
  std::vector<std::string> log;
  uint32_t lastError = 0;
  std::string cwd = "/";
  std::string open;  // the file being read
  size_t pos = 0;

  setup::TInternetLibrary Library() {
    return [this](setup::TInternetCalls& c) {
      auto bind = [this](const char* name, auto& slot, auto fn) {
        if (!missing.count(name)) slot = fn;
      };
      bind("InternetGetLastResponseInfo", c.InternetGetLastResponseInfo, [this](uint32_t& e, std::string& text) {
        e = 0;
        text = "550 nothing here";
        return response;
      });
      bind("InternetOpen", c.InternetOpen, [this](const std::string& agent) {
        log.push_back("open " + agent);
        return setup::TInetHandle(1);
      });
      bind("InternetConnect", c.InternetConnect,
           [this](setup::TInetHandle, const std::string& host, int port, const char* user, const char* password, int service) {
             log.push_back("connect " + host + ":" + std::to_string(port) + " " + (user ? "'" + std::string(user) + "'" : "null") +
                           "/" + (password ? "'" + std::string(password) + "'" : "null") + " service " +
                           std::to_string(service));
             return setup::TInetHandle(2);
           });
      bind("FtpSetCurrentDirectory", c.FtpSetCurrentDirectory, [this](setup::TInetHandle, const std::string& dir) {
        log.push_back("cd " + dir);
        cwd = dir;
        return true;
      });
      bind("InternetCloseHandle", c.InternetCloseHandle, [this](setup::TInetHandle h) {
        log.push_back("close " + std::to_string(h));
        return true;
      });
      bind("InternetQueryDataAvailable", c.InternetQueryDataAvailable, [this](setup::TInetHandle, uint32_t& n) {
        n = uint32_t(files[open].size() - pos);
        return true;
      });
      bind("InternetReadFile", c.InternetReadFile, [this](setup::TInetHandle, void* buffer, uint32_t size, uint32_t& read) {
        const std::string& data = files[open];
        read = uint32_t(std::min<size_t>(size, data.size() - pos));
        std::copy_n(data.data() + pos, read, static_cast<char*>(buffer));
        pos += read;
        return true;
      });
      bind("FtpOpenFile", c.FtpOpenFile, [this](setup::TInetHandle, const std::string& name) {
        std::string path = (cwd == "/" ? "" : cwd) + "/" + name;
        log.push_back("get " + path);
        if (!files.count(path)) {
          lastError = 12003;
          return setup::TInetHandle(0);
        }
        open = path;
        pos = 0;
        return setup::TInetHandle(3);
      });
      bind("HttpOpenRequest", c.HttpOpenRequest,
           [this](setup::TInetHandle, const std::string& verb, const std::string& object, uint32_t flags) {
             char hex[16];
             std::snprintf(hex, sizeof hex, "%08X", flags);
             log.push_back(verb + " " + object + " " + hex);
             open = object[0] == '/' ? object : "/" + object;
             pos = 0;
             return setup::TInetHandle(3);
           });
      bind("HttpSendRequest", c.HttpSendRequest, [this](setup::TInetHandle, const std::string& headers) {
        log.push_back("headers " + std::to_string(headers.size()));
        return true;
      });
      bind("HttpQueryInfo", c.HttpQueryInfo, [this](setup::TInetHandle, uint32_t query, char* buffer, uint32_t& size) {
        std::string text;
        if (query == 19) text = std::to_string(status);
        if (query == 5) {
          if (contentLength == -2) {
            lastError = 12150;
            return false;
          }
          text = std::to_string(contentLength >= 0 ? contentLength : int64_t(files[open].size()));
        }
        std::copy(text.begin(), text.end(), buffer);
        size = uint32_t(text.size());
        return true;
      });
      c.LastError = [this] { return lastError; };
      return true;
    };
  }
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
  // The path of name in folder, with the system's separator.
  static std::string In(const std::string& folder, const std::string& name) { return platform::JoinPath(folder, name); }
  // Builds the archive dir/archive from files below dir (stored under their full paths).
  void BuildArchive(const std::string& archive, const std::vector<std::string>& sources) {
    TKstnCompress k;
    k.SetCompressedFile(dir.Path(archive));
    std::vector<std::string> lines;
    for (const std::string& f : sources) lines.push_back(dir.Path(f));
    k.SetFilesToProcess(lines);
    k.Compress(false);
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
    TRegistry reg(setup::SetupRegistry(), TRootKey::hkLocalMachine);
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
