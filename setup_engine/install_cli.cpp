#include "setup_engine/install_cli.h"

#include <optional>

#include "framework/core/data_module.h"
#include "framework/core/form_reader.h"
#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/formless_application.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_services.h"
#include "setup_engine/register.h"

namespace setup {
namespace {

class TUsage {};

// What the answers of one run are.
struct TAnswers {
  std::ostream* out = nullptr;
  std::vector<std::string> excluded;
  std::optional<std::string> dest;
  std::optional<std::string> disk;
  bool reboot = true;
  std::optional<int> cancelAt;
  std::optional<std::string> cancelIn;
};
TAnswers answers;

// The console in place of the program's windows.
class TConsoleApplication : public TFormlessApplication {
 public:
  explicit TConsoleApplication(std::vector<std::string> parameters, IInstallApplication& system)
      : parameters_(std::move(parameters)), system_(system) {}
  std::vector<std::string> Parameters() override { return parameters_; }
  std::string ProgramPath() override { return system_.ProgramPath(); }
  void ProcessMessages() override { system_.ProcessMessages(); }

 private:
  std::vector<std::string> parameters_;
  IInstallApplication& system_;
};

class TConsolePrompts : public IPrompts {
 public:
  TConsolePrompts(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
  TPromptAnswer Ask(const std::string& text, TPromptButtons buttons) override {
    out_ << "prompt " << text << '\n';
    return buttons == TPromptButtons::OkCancel ? TPromptAnswer::Cancel : TPromptAnswer::Ok;
  }
  void ShowError(const std::string& message) override { err_ << message << '\n'; }

 private:
  std::ostream& out_;
  std::ostream& err_;
};

class TConsoleReboot : public IReboot {
 public:
  explicit TConsoleReboot(std::ostream& out) : out_(out) {}
  bool Reboot() override {
    out_ << "reboot\n";
    return true;
  }

 private:
  std::ostream& out_;
};

std::string ReadText(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  std::string text(size_t(f.Size()), '\0');
  if (!text.empty()) f.ReadBuffer(text.data(), int32_t(text.size()));
  return text;
}

int ParseCode(const std::string& s) {
  try {
    return StrToInt(s);
  } catch (const EConvertError&) {
    throw TUsage();
  }
}

// Splits install_run's own options from the driver's switches.
std::string ParseArguments(const std::vector<std::string>& args, std::vector<std::string>& switches) {
  std::string definition;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      switches.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) throw TUsage();
    const std::string& v = args[++i];
    if (a == "--definition") definition = v;
    else if (a == "--exclude") answers.excluded.push_back(v);
    else if (a == "--dest") answers.dest = v;
    else if (a == "--disk") answers.disk = v;
    else if (a == "--reboot" && (v == "yes" || v == "no")) answers.reboot = v == "yes";
    else if (a == "--cancel-at") answers.cancelAt = ParseCode(v);
    else if (a == "--cancel-in") answers.cancelIn = v;
    else throw TUsage();
  }
  return definition;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  answers = TAnswers();
  answers.out = &out;
  std::vector<std::string> switches;
  std::string definition = ParseArguments(args, switches);
  TInstallServices saved = InstallServices();
  TConsoleApplication application(switches, *saved.Application);
  TConsolePrompts prompts(out, err);
  TConsoleReboot reboot(out);
  struct Restore {
    TInstallServices saved;
    ~Restore() { InstallServices() = saved; }
  } restore{saved};
  InstallServices().Application = &application;
  InstallServices().Prompts = &prompts;
  InstallServices().Reboot = &reboot;
  if (definition.empty())
    definition = platform::JoinPath(ExtractFileDir(application.ProgramPath()), "install.form");

  TOwned<TDataModule> root(new TDataModule(nullptr));
  try {
    ReadForm(*root, ReadText(definition), definition);
  } catch (...) {
    // An error of the run after the restart, which runs while the form loads, ends that
    // run; any other is an error of the definition or the command line.
    if (TCustomInstall* driver = Driver()) {
      driver->HandleInstallException(driver, std::current_exception());
      return TCustomInstall::ExitCodeOf(driver->Outcome());
    }
    throw;
  }
  TCustomInstall* driver = Driver();
  if (!driver) {
    err << definition << " holds no TInstall\n";
    return 1;
  }
  // The run after the restart, a build and a transfer ran while the form loaded.
  if (!driver->HasSwitch('r') && !driver->HasSwitch('b') && !driver->HasSwitch('f')) {
    try {
      driver->Process();
    } catch (...) {
      driver->HandleInstallException(driver, std::current_exception());
    }
  }
  return TCustomInstall::ExitCodeOf(driver->Outcome());
}

}  // namespace

void RegisterInstallCliClasses() {
  RegisterShortcutAndRegistryClasses();
  RegisterClass(TConsoleAnswers::StaticClass());
}

int RunInstallCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Run(args, out, err);
  } catch (const TUsage&) {
    err << "usage: install_run [--definition FILE] [--exclude NAME]... [--dest DIR] [--disk DIR]"
           " [--reboot yes|no] [--cancel-at CODE] [--cancel-in NAME] [SWITCH]...\n";
  } catch (const std::exception& e) {
    err << e.what() << '\n';
  }
  return 1;
}

}  // namespace setup

const TClassInfo& TConsoleAnswers::StaticClass() {
  static const TClassInfo info{"TConsoleAnswers", &TInstallObject::StaticClass(), Factory<TConsoleAnswers>(),
                               {TInstallObject::ContainerProp()}};
  return info;
}

void TConsoleAnswers::DoInformationEvent(TObject*, int code, TObject* parameter) {
  using namespace setup;
  std::ostream& out = *answers.out;
  if (code == icFileStatus) {
    if (auto* status = dynamic_cast<TFileStatusParameter*>(parameter)) {
      if (status->TotalPercent != lastPercent_) out << "progress " << status->TotalPercent << '\n';
      lastPercent_ = status->TotalPercent;
      if (answers.cancelIn && !cancelled_ && status->FileName == *answers.cancelIn) {
        cancelled_ = true;
        TCustomInstall* driver = Driver();
        if (!driver || driver->ConfirmUserAbort()) RequestCopyCancel();
      }
    }
  } else if (code == icStatusMessage) {
    if (auto* message = dynamic_cast<TMessageParameter*>(parameter)) out << "message " << message->Text << '\n';
  } else if (code != icDownloadStatus) {
    out << "info " << code << '\n';
  }
  if (code == icBeforeInstall) {
    for (const std::string& name : answers.excluded)
      if (auto* c = dynamic_cast<TInstallContainer*>(Owner() ? Owner()->FindComponent(name) : nullptr))
        c->SetInclude(false);
    if (answers.dest)
      if (TCustomInstall* driver = Driver()) {
        driver->SetDestDirType(nullptr);
        driver->SetDestDir(*answers.dest);
      }
  } else if (code == icNextDisk && answers.disk) {
    if (auto* list = dynamic_cast<TList*>(parameter); list && list->Count() >= 2) {
      if (auto* disk = dynamic_cast<TDiskParameter*>((*list)[1])) disk->Path = *answers.disk;
      if (auto* file = dynamic_cast<TComponent*>((*list)[0])) file->SetTag(1);
    }
  } else if (code == icRebootNeeded) {
    SetRebootNeeded(answers.reboot);
  }
  if (answers.cancelAt && code == *answers.cancelAt) throw EAIUserAbort();
}
