// dialogs_run: a test driver over the installer's dialogs (never shipped).
//
//   dialogs_run DEFINITION STEP...
//
// DEFINITION is a form text rooted at TForm with one TInstall (RunAutomatic = False), its
// install objects, dialog managers and dialogs; the driver sees no command-line parameters.
// The root form is shown first, then each step runs in order:
//   CODE                         the driver broadcasts the negative code without parameter
//   -974=TEXT                    a status message
//   -998=NAME,FILEPERCENT,TOTALPERCENT   a file's copy status
//   -988=TEXT,PERCENT            a download status
//   -993=DISK,PATH               the next disk: [the first install file, TDiskParameter]
//   sources                      every file reads size, date and version from its source
//   reboot=0|1                   sets the reboot-needed flag
//   wait=FILE                    handles messages until FILE exists (at most 120 s), deletes it
//   dump                         each install container in tree order: its name, include=0|1
//                                and dest=its full destination, tab-separated
// Each step prints the step, a tab and "ok", "aborted" (the user cancelled) or "error
// MESSAGE"; -987 adds " reboot=0|1", -993 " path=PATH". Exit code 0 once the definition
// loaded, else 1 with the reader's error on standard error.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/controls/register.h"
#include "framework/core/form_reader.h"
#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "framework/win/forms.h"
#include "framework/win/winapi.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_services.h"
#include "setup_engine/register.h"
#include "setup_ui/pages_win32.h"

namespace {

// The program's own application, without its command line.
class TNoParameters : public setup::IInstallApplication {
 public:
  explicit TNoParameters(setup::IInstallApplication& system) : system_(system) {}
  std::vector<std::string> Parameters() override { return {}; }
  std::string ProgramPath() override { return system_.ProgramPath(); }
  bool FindMainForm(TComponent* owner) override { return system_.FindMainForm(owner); }
  void HookMainFormShow(std::function<void()> onShow) override { system_.HookMainFormShow(std::move(onShow)); }
  void CallSavedShow() override { system_.CallSavedShow(); }
  void RestoreShow() override { system_.RestoreShow(); }
  void MaximizeMainForm() override {}
  void SetExceptionHandler(setup::TInstallExceptionHandler handler) override {
    system_.SetExceptionHandler(std::move(handler));
  }
  void Terminate(int) override {}
  void ProcessMessages() override { system_.ProcessMessages(); }
  void SetWaitCursor(bool wait) override { system_.SetWaitCursor(wait); }

 private:
  setup::IInstallApplication& system_;
};

std::string ReadText(const std::string& fileName) {
  TMemoryStream s;
  s.LoadFromFile(fileName);
  return std::string(reinterpret_cast<const char*>(s.Memory()), size_t(s.Size()));
}

std::vector<std::string> SplitCommas(const std::string& s, size_t parts) {
  std::vector<std::string> out;
  size_t start = 0;
  while (out.size() + 1 < parts) {
    size_t comma = s.find(',', start);
    if (comma == std::string::npos) break;
    out.push_back(s.substr(start, comma - start));
    start = comma + 1;
  }
  out.push_back(s.substr(start));
  if (out.size() != parts) throw Exception("expected " + std::to_string(parts) + " values in '" + s + "'");
  return out;
}

void Dump(TInstallContainer& c, std::string& out) {
  out += c.Name() + "\tinclude=" + (c.Include() ? "1" : "0") + "\tdest=" + c.GetFullDestDir() + "\n";
  for (TInstallObject* child : c.Children()) Dump(*child, out);
}

// Sets text when the scope ends, also by an exception.
struct TAfter {
  std::function<void()> fn;
  ~TAfter() { fn(); }
};

// Runs one step; extra gets the text after the outcome (" reboot=1", " path=..."), also
// when the step fails.
void RunStep(TCustomInstall& driver, const std::string& step, std::string& extra) {
  const size_t eq = step.find('=');
  const std::string head = step.substr(0, eq);
  const std::string value = eq == std::string::npos ? std::string() : step.substr(eq + 1);
  if (head == "reboot") {
    setup::SetRebootNeeded(value == "1");
    return;
  }
  if (head == "wait") {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (GetFileAttributesA(value.c_str()) == INVALID_FILE_ATTRIBUTES) {
      if (std::chrono::steady_clock::now() > end) throw Exception("timed out waiting for " + value);
      Application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    DeleteFileA(value.c_str());
    return;
  }
  if (step == "sources") {
    driver.ReadSourceInfo();
    return;
  }
  if (head == "dump") {
    extra = "\n";
    Dump(driver, extra);
    extra.pop_back();
    return;
  }
  const int code = StrToInt(head);
  if (code >= 0) throw Exception("not a negative code: " + head);
  if (eq == std::string::npos) {
    TAfter after{[&] {
      if (code == setup::icRebootNeeded) extra = std::string(" reboot=") + (setup::RebootNeeded() ? "1" : "0");
    }};
    driver.BroadcastInformation(&driver, code, nullptr);
    return;
  }
  switch (code) {
    case setup::icStatusMessage: {
      TMessageParameter p(value);
      driver.BroadcastInformation(&driver, code, &p);
      return;
    }
    case setup::icFileStatus: {
      auto v = SplitCommas(value, 3);
      TFileStatusParameter p(TlzhFileStats{});
      p.FileName = v[0];
      p.Percent = StrToInt(v[1]);
      p.TotalPercent = StrToInt(v[2]);
      driver.BroadcastInformation(&driver, code, &p);
      return;
    }
    case setup::icDownloadStatus: {
      auto v = SplitCommas(value, 2);
      TDownloadStatusParameter p(0, v[0], 100, StrToInt(v[1]));
      driver.BroadcastInformation(&driver, code, &p);
      return;
    }
    case setup::icNextDisk: {
      auto v = SplitCommas(value, 2);
      TDiskParameter disk(StrToInt(v[0]), v[1]);
      const auto& files = setup::AllInstallFiles();
      TParameterList list(files.empty() ? nullptr : files.front(), &disk);
      TAfter after{[&] { extra = " path=" + disk.Path; }};
      driver.BroadcastInformation(&driver, code, &list);
      return;
    }
    default: throw Exception("no parameter for code " + head);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialogs_run DEFINITION STEP...\n");
    return 1;
  }
  setup::TInstallServices& services = setup::InstallServices();
  TNoParameters application(*services.Application);
  setup::IInstallApplication* system = services.Application;
  services.Application = &application;
  auto* app = new TApplication(nullptr);
  RegisterFrameworkClasses();
  setup::RegisterSetupEngineClasses();
  setup_ui::RegisterSetupDialogClasses();
  Application->Initialize();
  auto* root = new TForm(Application);
  try {
    ReadForm(*root, ReadText(argv[1]), argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    app->Free();
    services.Application = system;
    return 1;
  }
  root->Show();
  Application->ProcessMessages();
  TCustomInstall* driver = setup::Driver();
  for (int i = 2; i < argc; ++i) {
    const std::string step = argv[i];
    std::string outcome, extra;
    try {
      if (!driver) throw Exception("the definition holds no install driver");
      RunStep(*driver, step, extra);
      outcome = "ok";
    } catch (const EAIUserAbort&) {
      outcome = "aborted";
    } catch (const std::exception& e) {
      outcome = std::string("error ") + e.what();
    }
    std::printf("%s\t%s%s\n", step.c_str(), outcome.c_str(), extra.c_str());
    std::fflush(stdout);
  }
  app->Free();
  services.Application = system;
  return 0;
}
