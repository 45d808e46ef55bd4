#pragma once
// The install driver: the one TInstall of a setup program. It is the root of the install
// object tree (a file container whose archive is the main one), reads its command line
// once its form has loaded, and runs an installation from start to end.
//
// How it works: a run reads the records of earlier runs (HKEY_LOCAL_MACHINE
// \SOFTWARE\Kestrin\Install\Install<n>, found by the size and date of the program file),
// reads the file information of the archives, broadcasts the start of the run to the
// dialogs, processes the whole tree, registers the servers that had to wait, and then
// either asks for a restart (files that were in use are replaced when Windows starts
// again, and the program runs once more with -r through RunOnce to finish what waited) or
// ends with the good-install dialogs and cleans up: its temporary folder and its run
// records. Every exception of a run ends in HandleInstallException, which ends the run as
// a bad one and cleans up in the same way. What it needs of the program (the command line,
// the main form, ending the program) and of the system goes through install_services.h.
#include <exception>
#include <string>

#include "framework/core/strings.h"
#include "setup_engine/install_file.h"
#include "setup_engine/translator.h"

class TInstallInformation : public TPersistent {
  FW_CLASS(TInstallInformation, TPersistent)

 public:
  std::string CompanyName = "Default Company Name";
  std::string ProductName = "Default Product Name";
  std::string Version = "1.0";
  void Assign(const TPersistent& src) override;
};

// What the build of the installation is told; none of it is used by the install run.
class TBuildInfo : public TPersistent {
  FW_CLASS(TBuildInfo, TPersistent)

 public:
  std::string AppName;
  std::string AppURL;
  std::string BuildDirectory = "c:\\build";
  std::string CredentialsFile;
  std::string OCXName = "MySetup";
  std::string PrivateKeyFile;
  bool SignCode = false;
  std::string URLPath = "http://www.example.com/setup";
  void Assign(const TPersistent& src) override;
};

// (Sender, var flag): a handler may clear the flag.
using TUserAbortEvent = TEvent<void(TObject* Sender, bool& Flag)>;
using TCleanupEvent = TEvent<void(TObject* Sender, bool& DoCleanup)>;
using TRebootWindowsEvent = TEvent<void(TObject* Sender, bool& Reboot)>;

class TCustomInstall : public TFileContainer {
  FW_CLASS(TCustomInstall, TFileContainer)

 public:
  // IEInstall when a driver exists already or owner is neither a form nor a data module.
  explicit TCustomInstall(TComponent* owner);

  // How a run ended: the program's exit code is 0, 1 and 2 for these (1 with none).
  enum class TOutcome { None, Good, Bad, Restart };
  TOutcome Outcome() const { return outcome_; }
  static int ExitCodeOf(TOutcome outcome);

  bool AutoMaximizeWindow() const { return autoMaximize_; }
  void SetAutoMaximizeWindow(bool v) { autoMaximize_ = v; }
  TBuildInfo& BuildInfo() { return buildInfo_; }
  TDistributeType DistributeType() const { return distributeType_; }
  // Only while loading: IEInstall "DistributeType can only be set at design-time".
  void SetDistributeType(TDistributeType type);
  TInstallInformation& Information() { return information_; }
  const TInstallInformation& Information() const { return information_; }
  TLoginInformation& LoginInformation() { return login_; }
  // Also copies the login into the global net location.
  void SetLoginInformation(const TLoginInformation& login);
  TStringList& PresetupFiles() { return presetupFiles_; }
  // Takes the lines that are not blank.
  void SetPresetupFiles(const TStrings& files);
  bool RunAutomatic() const { return runAutomatic_; }
  void SetRunAutomatic(bool v) { runAutomatic_ = v; }
  bool UseLoadingProgram() const { return useLoadingProgram_; }
  // Switched on outside loading, the archive becomes the main one again.
  void SetUseLoadingProgram(bool v);

  TNotifyEvent OnStartInstall;
  TNotifyEvent OnShowGoodInstall;
  TNotifyEvent OnShowBadInstall;
  TNotifyEvent OnBeforeReadArchiveInfo;
  TNotifyEvent OnAfterReadArchiveInfo;
  TRebootWindowsEvent OnRebootWindows;
  TUserAbortEvent OnUserAbort;
  TUserAbortEvent OnBeforeTerminateApp;
  TCleanupEvent OnCleanup;

  // The switches of the command line: the letter's bit and its value (the parameter from
  // its third character on).
  bool HasSwitch(char letter) const;
  const std::string& SwitchValue(char letter) const;
  const std::string& SourceDir() const { return sourceDir_; }
  // True while a run is in progress; HandleInstallException acts only then.
  bool Installing() const { return installing_; }
  const std::string& CleanupBatch() const { return cleanupBatch_; }

  std::string UninstallProductName() const override { return information_.ProductName; }
  // Drops the blank lines of PresetupFiles.
  void Loaded() override;
  // The steps of the driver once its form has loaded: the command line, the source
  // folder, the run records, the main form, the install type, and what the command line
  // asks for (a run after the restart with -r, else a run when the main form shows).
  void FormLoaded() override;
  // The whole run (see the header's note).
  void Process() override;
  // The run after the restart (-r): what waited for it is done, then the good end.
  void FinishUnfinished() override;

  virtual void CleanInstallKeys();
  virtual void ShowBadInstall();
  virtual void ShowGoodInstall();
  // The key of this program's run record ("\SOFTWARE\Kestrin\Install\Install<n>"); with
  // create, a new record when there is none; "" when none is found or made.
  virtual std::string ReadInstallKey(bool create);
  // IException for a parameter that is no switch.
  virtual void ParseCommandLine();
  virtual void RegisterRunOnce();
  // The application's exception handler (see the header's note).
  virtual void HandleInstallException(TObject* sender, std::exception_ptr e);
  virtual void DeleteTempDir();
  // "name;kind" for each unfinished entry.
  virtual void ReadUnfinished(TStrings& list);
  // OnUserAbort's answer, true unless it says otherwise.
  virtual bool ConfirmUserAbort();
  virtual void ClearUnfinished();
  // kind 0: a file component whose server registration waits for the restart; kind 1: a
  // file (by path) to delete after it.
  virtual void WriteUnfinished(const std::string& name, int kind);

  // The build of the distribution into dir (see build_mode.cpp): the loader, setup.1,
  // files.1 (and the net archives with filelist.lst), joined into one self-extracting
  // setup.exe when standAlone.
  virtual void Build(const std::string& exe, const std::string& dir, bool standAlone);
  virtual void CreateSetupFile(const std::string& dir, const std::string& exe);
  virtual void PrepareLoader(const std::string& dir, const std::string& exe);
  virtual void WriteFileList();
  // Copies the self-extracting program onto floppies in drive ("a:\"): the loader,
  // setup.1 and the archive spanned as files.1, files.2 ...
  virtual void TransferToFloppies(const std::string& drive);
  // -b and -f: each runs once, shows its error, and ends the program (0 when it finished).
  void RunBuildMode();
  void RunFloppyMode();

  void RunWhenShown();
  // The folder of the running program, without a trailing separator.
  std::string GetSourceDir();
  void TerminateApp();
  void SaveLanguage();
  TKstnLanguage ReadLanguage();
  void RebootWindows();
  void ReadSelfExtractorOffset();
  void ReadRemoteFileList();
  void ReadFileInformation();

 protected:
  ~TCustomInstall() override;
  void BeforeDestruction() override;

 private:
  static TComponent* CheckedOwner(TComponent* owner);
  std::string UnfinishedKey() const;
  // Whether path lies inside the system's temporary folder (not the folder itself).
  bool InTempFolder(const std::string& path);
  void EndRun(TOutcome outcome);

  bool autoMaximize_ = true;
  TBuildInfo buildInfo_;
  TDistributeType distributeType_ = TDistributeType::dtTraditional;
  TInstallInformation information_;
  TLoginInformation login_;
  TStringList presetupFiles_;
  bool runAutomatic_ = true;
  bool useLoadingProgram_ = true;

  uint32_t switches_ = 0;
  std::string values_[7];
  bool shown_ = false;
  bool hooked_ = false;
  bool fileInfoRead_ = false;
  bool installing_ = false;
  std::string sourceDir_;
  int unfinishedCount_ = 0;
  std::string cleanupBatch_;
  bool pendingCleanup_ = false;
  bool cleanupNt_ = true;
  TOutcome outcome_ = TOutcome::None;
};

class TInstall : public TCustomInstall {
  FW_CLASS(TInstall, TCustomInstall)

 public:
  explicit TInstall(TComponent* owner) : TCustomInstall(owner) {}

 protected:
  ~TInstall() override = default;
};

namespace setup {

// The driver, when there is one.
TCustomInstall* Driver();
// The key of this program's run record; "" when unknown.
const std::string& InstallKey();
void SetInstallKey(const std::string& key);
// When the run started, as a date-time.
double RunStartTime();
void SetRunStartTime(double t);
// The registry key that holds the run records.
extern const char* const kInstallRecordsKey;

}  // namespace setup
