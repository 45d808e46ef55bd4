// The install driver: its properties, construction, the command line, the steps once its
// form has loaded, and the hand-over to the main form.
#include "setup_engine/install_driver.h"

#include <cctype>
#include <cstring>

#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/install_services.h"
#include "setup_engine/setup_routines.h"

namespace {

// The switches by their bit: b (build), f (floppies), d (debug), e (self-extractor),
// r (after the restart), s (source folder), c (cleanup).
const char kSwitchLetters[] = "bfdersc";

int SwitchIndex(char letter) {
  char lower = char(std::tolower(static_cast<unsigned char>(letter)));
  const char* at = lower ? std::strchr(kSwitchLetters, lower) : nullptr;
  return at ? int(at - kSwitchLetters) : -1;
}

}  // namespace

// ---- TInstallInformation, TBuildInfo

const TClassInfo& TInstallInformation::StaticClass() {
  using P = TProps<TInstallInformation>;
  static const TClassInfo info{
      "TInstallInformation", &TPersistent::StaticClass(), nullptr,
      {P::Str("CompanyName", [](const TInstallInformation& i) { return i.CompanyName; },
              [](TInstallInformation& i, std::string v) { i.CompanyName = std::move(v); })
           .WithDefault(std::string("Default Company Name")),
       P::Str("ProductName", [](const TInstallInformation& i) { return i.ProductName; },
              [](TInstallInformation& i, std::string v) { i.ProductName = std::move(v); })
           .WithDefault(std::string("Default Product Name")),
       P::Str("Version", [](const TInstallInformation& i) { return i.Version; },
              [](TInstallInformation& i, std::string v) { i.Version = std::move(v); })
           .WithDefault(std::string("1.0"))}};
  return info;
}

void TInstallInformation::Assign(const TPersistent& src) {
  auto* s = dynamic_cast<const TInstallInformation*>(&src);
  if (!s) {
    TPersistent::Assign(src);
    return;
  }
  CompanyName = s->CompanyName;
  ProductName = s->ProductName;
  Version = s->Version;
}

const TClassInfo& TBuildInfo::StaticClass() {
  using P = TProps<TBuildInfo>;
  auto str = [](const char* name, std::string TBuildInfo::*member, const char* def) {
    return P::Str(name, [member](const TBuildInfo& b) { return b.*member; },
                  [member](TBuildInfo& b, std::string v) { b.*member = std::move(v); })
        .WithDefault(std::string(def));
  };
  static const TClassInfo info{
      "TBuildInfo", &TPersistent::StaticClass(), nullptr,
      {str("AppName", &TBuildInfo::AppName, ""), str("AppURL", &TBuildInfo::AppURL, ""),
       str("BuildDirectory", &TBuildInfo::BuildDirectory, "c:\\build"),
       str("CredentialsFile", &TBuildInfo::CredentialsFile, ""), str("OCXName", &TBuildInfo::OCXName, "MySetup"),
       str("PrivateKeyFile", &TBuildInfo::PrivateKeyFile, ""),
       P::Bool("SignCode", [](const TBuildInfo& b) { return b.SignCode; },
               [](TBuildInfo& b, bool v) { b.SignCode = v; })
           .WithDefault(false),
       str("URLPath", &TBuildInfo::URLPath, "http://www.example.com/setup")}};
  return info;
}

void TBuildInfo::Assign(const TPersistent& src) {
  auto* s = dynamic_cast<const TBuildInfo*>(&src);
  if (!s) {
    TPersistent::Assign(src);
    return;
  }
  AppName = s->AppName;
  AppURL = s->AppURL;
  BuildDirectory = s->BuildDirectory;
  CredentialsFile = s->CredentialsFile;
  OCXName = s->OCXName;
  PrivateKeyFile = s->PrivateKeyFile;
  SignCode = s->SignCode;
  URLPath = s->URLPath;
}

// ---- TCustomInstall

const TClassInfo& TCustomInstall::StaticClass() {
  static const TClassInfo info{"TCustomInstall", &TFileContainer::StaticClass(), nullptr, {}};
  return info;
}

TComponent* TCustomInstall::CheckedOwner(TComponent* owner) {
  if (setup::Driver())
    throw IEInstall("The TInstall component does not currently support the use of 2 TInstall components in the same project");
  if (!setup::IsFormOrDataModule(owner)) throw IEInstall("The TInstall component must be placed on a form or a data module");
  return owner;
}

TCustomInstall::TCustomInstall(TComponent* owner) : TFileContainer(CheckedOwner(owner)) {
  setup::SetInstallDriver(this);
  SetDestDir("\\MyApplication");
  SetDestDirType(setup::FindStandard(TpsProgramFiles::StaticClass()));
  SetArchiveFileType(setup::FindStandard(TpsMainArchiveFile::StaticClass()));
  SetAllowChoice(false);
  SetGroupName("Main");
  setup::InstallServices().Application->SetExceptionHandler(
      [this](TObject* sender, std::exception_ptr e) { HandleInstallException(sender, e); });
}

TCustomInstall::~TCustomInstall() = default;

void TCustomInstall::BeforeDestruction() {
  setup::TInstallServices& services = setup::InstallServices();
  if (hooked_) services.Application->RestoreShow();
  services.Application->SetExceptionHandler(nullptr);
  if (pendingCleanup_)
    services.Processes->Start((cleanupNt_ ? "cmd.exe /c \"" : "command.com /c \"") + cleanupBatch_ + "\"");
  TFileContainer::BeforeDestruction();
}

int TCustomInstall::ExitCodeOf(TOutcome outcome) {
  switch (outcome) {
    case TOutcome::Good: return 0;
    case TOutcome::Restart: return 2;
    default: return 1;
  }
}

void TCustomInstall::SetDistributeType(TDistributeType type) {
  if (!IsLoading()) throw IEInstall("DistributeType can only be set at design-time");
  distributeType_ = type;
}

void TCustomInstall::SetLoginInformation(const TLoginInformation& login) {
  login_.Assign(login);
  setup::GlobalNetLocation().SetLoginInformation(login);
}

void TCustomInstall::SetPresetupFiles(const TStrings& files) {
  presetupFiles_.Clear();
  for (int i = 0; i < files.Count(); ++i)
    if (!Trim(files[i]).empty()) presetupFiles_.Add(files[i]);
}

void TCustomInstall::SetUseLoadingProgram(bool v) {
  useLoadingProgram_ = v;
  if (v && !IsLoading()) {
    SetArchiveFileType(setup::FindStandard(TpsMainArchiveFile::StaticClass()));
    SetArchiveFile("");
  }
}

bool TCustomInstall::HasSwitch(char letter) const {
  int i = SwitchIndex(letter);
  return i >= 0 && (switches_ & (1u << i));
}

const std::string& TCustomInstall::SwitchValue(char letter) const {
  static const std::string none;
  int i = SwitchIndex(letter);
  return i >= 0 ? values_[i] : none;
}

void TCustomInstall::ParseCommandLine() {
  switches_ = 0;
  for (std::string& v : values_) v.clear();
  for (const std::string& p : setup::InstallServices().Application->Parameters()) {
    int i = p.size() >= 2 && p[0] == '-' ? SwitchIndex(p[1]) : -1;
    if (i < 0)
      throw IException(
          "Invalid parameter <%s>. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to "
          "floppies), -e (Called by self-extractor), -r (After reboot)",
          {p});
    switches_ |= 1u << i;
    std::string value = p.substr(2);
    // A source folder in quotes may end in a backslash: the folder is the same without it.
    if (kSwitchLetters[i] == 's' && !value.empty() &&
        (value.back() == '\\' || value.back() == platform::PathSeparator()))
      value.pop_back();
    values_[i] = value;
  }
}

std::string TCustomInstall::GetSourceDir() {
  return setup::ExtractFileDir(setup::InstallServices().Application->ProgramPath());
}

void TCustomInstall::Loaded() {
  TFileContainer::Loaded();
  for (int i = presetupFiles_.Count(); i-- > 0;)
    if (Trim(presetupFiles_[i]).empty()) presetupFiles_.Delete(i);
}

void TCustomInstall::FormLoaded() {
  TFileContainer::FormLoaded();
  setup::IInstallApplication& app = *setup::InstallServices().Application;
  ParseCommandLine();
  if (HasSwitch('d') && Trim(SwitchValue('s')).empty())
    throw IEInstall(
        "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d \"-sC:\\My "
        "Build\"");
  sourceDir_ = HasSwitch('s') ? SwitchValue('s') : GetSourceDir();
  setup::GlobalNetLocation().SetLoginInformation(login_);
  setup::SetInstallKey(ReadInstallKey(false));
  if (HasLocalArchive()) {
    std::string local = LocalArchive();
    SetArchiveFileType(nullptr);
    SetArchiveFile(local);
  }
  bool mainForm = app.FindMainForm(Owner());
  if (!mainForm && runAutomatic_)
    throw IEInstall(
        "Application.MainForm is undefined and the TInstall is not on a form. Therefore, therefore the TInstall "
        "can't run the installation automatically");
  SetCurrentInstallType(TInstallType::itAlways);
  for (TInstallType t : {TInstallType::itDefault, TInstallType::itCompact, TInstallType::itFull, TInstallType::itCustom})
    if (InstallTypes() & InstallTypeBit(t)) {
      SetCurrentInstallType(t);
      break;
    }
  if (HasSwitch('b')) {
    RunBuildMode();
    return;
  }
  if (HasSwitch('f')) {
    RunFloppyMode();
    return;
  }
  if (HasSwitch('r')) {
    FinishUnfinished();
    return;
  }
  if (mainForm) {
    app.HookMainFormShow([this] { RunWhenShown(); });
    hooked_ = true;
  }
}

void TCustomInstall::RunWhenShown() {
  if (shown_) return;
  shown_ = true;
  setup::IInstallApplication& app = *setup::InstallServices().Application;
  app.CallSavedShow();
  if (autoMaximize_) app.MaximizeMainForm();
  if (runAutomatic_) {
    app.RestoreShow();
    hooked_ = false;
    Process();
  }
}

void TCustomInstall::TerminateApp() {
  bool terminate = true;
  OnBeforeTerminateApp(this, terminate);
  if (terminate) setup::InstallServices().Application->Terminate(ExitCodeOf(outcome_));
}

bool TCustomInstall::ConfirmUserAbort() {
  bool abort = true;
  OnUserAbort(this, abort);
  return abort;
}

const TClassInfo& TInstall::StaticClass() {
  using P = TProps<TCustomInstall>;
  static const TTypeInfo* distribute = &DistributeTypeTypeInfo();
  static const TClassInfo info{
      "TInstall", &TCustomInstall::StaticClass(), Factory<TInstall>(),
      {P::Bool("AllowChangeDir", &TCustomInstall::AllowChangeDir, &TCustomInstall::SetAllowChangeDir).WithDefault(true),
       P::Bool("AutoMaximizeWindow", &TCustomInstall::AutoMaximizeWindow, &TCustomInstall::SetAutoMaximizeWindow)
           .WithDefault(true),
       P::Nested("BuildInfo", [](TCustomInstall& d) -> TPersistent& { return d.BuildInfo(); }),
       P::Strings("Description", [](TCustomInstall& d) -> TPersistent& { return d.Description(); }),
       TInstallContainer::DestDirProp().WithDefault(std::string("\\MyApplication")),
       TInstallContainer::DestDirTypeProp(),
       P::Enum<TDistributeType>("DistributeType", distribute, &TCustomInstall::DistributeType,
                                &TCustomInstall::SetDistributeType)
           .WithDefault(int64_t(0)),
       P::Str("GroupName", [](const TCustomInstall& d) { return d.GroupName(); },
              [](TCustomInstall& d, std::string v) { d.SetGroupName(v); })
           .WithDefault(std::string("Main")),
       P::Nested("Information", [](TCustomInstall& d) -> TPersistent& { return d.Information(); }),
       TInstallContainer::InstallTypesProp(),
       P::Nested("LoginInformation", [](TCustomInstall& d) -> TPersistent& { return d.LoginInformation(); }),
       P::Strings("PresetupFiles", [](TCustomInstall& d) -> TPersistent& { return d.PresetupFiles(); }),
       P::Bool("RunAutomatic", &TCustomInstall::RunAutomatic, &TCustomInstall::SetRunAutomatic).WithDefault(true),
       P::Enum<TFileContainerState>("State", &FileContainerStateTypeInfo(), &TCustomInstall::State,
                                    &TCustomInstall::SetState)
           .WithDefault(int64_t(0)),
       P::Bool("UseLoadingProgram", &TCustomInstall::UseLoadingProgram, &TCustomInstall::SetUseLoadingProgram)
           .WithDefault(true),
       P::Event("OnStartInstall", &TCustomInstall::OnStartInstall),
       P::Event("OnShowGoodInstall", &TCustomInstall::OnShowGoodInstall),
       P::Event("OnShowBadInstall", &TCustomInstall::OnShowBadInstall),
       P::Event("OnBeforeReadArchiveInfo", &TCustomInstall::OnBeforeReadArchiveInfo),
       P::Event("OnAfterReadArchiveInfo", &TCustomInstall::OnAfterReadArchiveInfo),
       P::Event("OnRebootWindows", &TCustomInstall::OnRebootWindows),
       P::Event("OnUserAbort", &TCustomInstall::OnUserAbort),
       P::Event("OnBeforeTerminateApp", &TCustomInstall::OnBeforeTerminateApp),
       P::Event("OnCleanup", &TCustomInstall::OnCleanup), P::Event("OnNewDisk", &TFileContainer::OnNewDisk),
       P::Event("OnStatus", &TFileContainer::OnStatus), P::Event("OnReplacing", &TFileContainer::OnReplacing),
       P::Event("OnShowCopyFileDlg", &TFileContainer::OnShowCopyFileDlg),
       P::Event("OnCloseCopyFileDlg", &TFileContainer::OnCloseCopyFileDlg)}};
  return info;
}

namespace setup {

TCustomInstall* Driver() { return dynamic_cast<TCustomInstall*>(InstallDriver()); }

}  // namespace setup
