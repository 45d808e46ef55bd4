#pragma once
// The installer's dialogs on the framework of dialogs_win32.h: the welcome page, the
// closing pages (reboot, success, failure), the status window, the copy progress window
// and the request for the next disk, each a form with its dialog object.
//
// How it works: a page dialog registers its form with itself and takes the manager of its
// type; without a manager it runs its form when its own code arrives. The status and copy
// dialogs keep one modeless window each, shown by their codes; the change-disk request is
// shown by its manager, and its Browse button asks the shell's folder browser.
#include <string>

#include "setup_engine/translate_controls_win32.h"
#include "setup_ui/dialogs_win32.h"


// The shell's folder browser (only file-system folders).
class TOpenFolderDialog {
 public:
  // Owned by the active window; false when cancelled or when the chosen item has no path.
  bool Execute();
  const std::string& GetDirectory() const { return directory_; }

 private:
  std::string directory_;
};

namespace setup_ui {

// The published properties of the dialog objects; withManager adds DialogManager, Order and
// the two execute events.
TPropTable DialogProperties(bool withManager);

}  // namespace setup_ui

// ---- pages

class TWelcomeForm : public TBaseInstallForm {
  FW_CLASS(TWelcomeForm, TBaseInstallForm)

 public:
  explicit TWelcomeForm(TComponent* owner);
  TButton* CancelBtn = nullptr;
  void InitializeForm() override { InitializeButtons(nullptr); }
  const TMethodTable* Methods() const override;
};

// A page with Finish in place of Cancel: the reboot, success and failure pages.
class TFinishPageForm : public TBaseInstallForm {
  FW_CLASS(TFinishPageForm, TBaseInstallForm)

 public:
  explicit TFinishPageForm(TComponent* owner) : TBaseInstallForm(owner) {}
  TButton* FinishBtn = nullptr;
  // Buttons as every page, then the focus: Proceed when visible, else Finish.
  void InitializeForm() override;
  const TMethodTable* Methods() const override;
};

class TRebootForm : public TFinishPageForm {
  FW_CLASS(TRebootForm, TFinishPageForm)

 public:
  explicit TRebootForm(TComponent* owner);
  TRadioGroup* RG = nullptr;
  // The buttons, then "Yes" when the reboot flag is set, else "No".
  void InitializeForm() override;
  void RGClick(TObject* Sender);
  const TMethodTable* Methods() const override;

 private:
  bool updating_ = false;
};

class TGoodInstallForm : public TFinishPageForm {
  FW_CLASS(TGoodInstallForm, TFinishPageForm)

 public:
  explicit TGoodInstallForm(TComponent* owner);
};

class TBadInstallForm : public TFinishPageForm {
  FW_CLASS(TBadInstallForm, TFinishPageForm)

 public:
  explicit TBadInstallForm(TComponent* owner);
};

// The page dialogs: each answers one code by itself when it has no manager.
class TBaseInstallDlg : public TCustomBaseInstallDlg {
  FW_CLASS(TBaseInstallDlg, TCustomBaseInstallDlg)

 public:
  // Sets Order and the manager of type, and registers the form.
  TBaseInstallDlg(TComponent* owner, int order, TManagerType type);
  void DoInformationEvent(TObject* sender, int code, TObject* parameter) override;
  // Back hidden, Proceed (and Finish) closing with OK, the theme picture.
  void AssignDialogProperties() override;

 protected:
  virtual int OwnCode() const = 0;
};

class TWelcomeDlg : public TBaseInstallDlg {
  FW_CLASS(TWelcomeDlg, TBaseInstallDlg)

 public:
  explicit TWelcomeDlg(TComponent* owner);
  const TClassInfo& FormClass() const override { return TWelcomeForm::StaticClass(); }

 protected:
  int OwnCode() const override { return setup::icShowWelcome; }
};

class TRebootDlg : public TBaseInstallDlg {
  FW_CLASS(TRebootDlg, TBaseInstallDlg)

 public:
  explicit TRebootDlg(TComponent* owner);
  const TClassInfo& FormClass() const override { return TRebootForm::StaticClass(); }
  // Then InitializeForm, and Back hidden again.
  void AssignDialogProperties() override;

 protected:
  int OwnCode() const override { return setup::icRebootNeeded; }
};

class TGoodInstallationDlg : public TBaseInstallDlg {
  FW_CLASS(TGoodInstallationDlg, TBaseInstallDlg)

 public:
  explicit TGoodInstallationDlg(TComponent* owner);
  const TClassInfo& FormClass() const override { return TGoodInstallForm::StaticClass(); }

 protected:
  int OwnCode() const override { return setup::icGoodInstall; }
};

class TBadInstallationDlg : public TBaseInstallDlg {
  FW_CLASS(TBadInstallationDlg, TBaseInstallDlg)

 public:
  explicit TBadInstallationDlg(TComponent* owner);
  const TClassInfo& FormClass() const override { return TBadInstallForm::StaticClass(); }

 protected:
  int OwnCode() const override { return setup::icBadInstall; }
};

// ---- the status window

class TInstallStatusForm : public TForm {
  FW_CLASS(TInstallStatusForm, TForm)

 public:
  explicit TInstallStatusForm(TComponent* owner) : TForm(owner) {}
  TPanel* pnlBack = nullptr;
  TPanel* pnlMessage = nullptr;
  TImage* Image1 = nullptr;
  TLabel* lblMessage = nullptr;
  const TMethodTable* Methods() const override;

 protected:
  void Loaded() override;
};

class TInstallStatusDlg : public TCustomBaseInstallDlg {
  FW_CLASS(TInstallStatusDlg, TCustomBaseInstallDlg)

 public:
  explicit TInstallStatusDlg(TComponent* owner) : TCustomBaseInstallDlg(owner) {}
  const TClassInfo& FormClass() const override { return TInstallStatusForm::StaticClass(); }
  void DoInformationEvent(TObject* sender, int code, TObject* parameter) override;
  TInstallStatusForm* Form() const { return form_.Get(); }
  const std::string& CurrentText() const { return current_; }

 protected:
  void BeforeDestruction() override;

 private:
  void ShowText();
  TLink<TInstallStatusForm> form_{this};
  std::string current_;
  setup_ui::TStatusStack stack_;
};

// ---- copy progress

class TCopyFileForm : public TBaseDuringCopyForm {
  FW_CLASS(TCopyFileForm, TBaseDuringCopyForm)

 public:
  explicit TCopyFileForm(TComponent* owner);
  TImage* UnZipImage = nullptr;
  TImage* TransferBitmap = nullptr;
  TGauge* TransferProgress = nullptr;
  TButton* CancelBtn = nullptr;
  TLabel* lblCopyFileHeader = nullptr;
  TLabel* lblCopyingFile = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TProgressBar* ProgressBar2 = nullptr;
  void UpdateStatus(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) override;
  // Shows file or download progress: in download mode the transfer picture and gauge
  // (with filePercent), otherwise the total bar.
  void ShowProgress(bool download, int filePercent, int totalPercent, const std::string& text);
  void CancelBtnClick(TObject*) { CancelCopy(); }
  const TMethodTable* Methods() const override;

 protected:
  void Loaded() override;
};

class TCopyFileDlg : public TCustomBaseInstallDlg {
  FW_CLASS(TCopyFileDlg, TCustomBaseInstallDlg)

 public:
  explicit TCopyFileDlg(TComponent* owner);
  int Height = 146;
  int Width = 474;
  TKestrinDialogPosition Position = TKestrinDialogPosition::kdpCenter;
  int RelativeLeftOffset = 0;
  int RelativeTopOffset = 0;
  const TClassInfo& FormClass() const override { return TCopyFileForm::StaticClass(); }
  // With a manager, the manager shows the copy form (the form is registered only then).
  void SetDialogManager(TDialogManager* manager) override;
  void DoInformationEvent(TObject* sender, int code, TObject* parameter) override;
  TCopyFileForm* Form() const { return form_.Get(); }

 protected:
  void BeforeDestruction() override;

 private:
  void ShowStatus();
  TLink<TCopyFileForm> form_{this};
  bool placed_ = false;
  bool download_ = false;
  int filePercent_ = 0;
  std::string text_;
  int totalPercent_ = 0;
};

// ---- the next disk

class TChangeDiskForm : public TBaseChangeDiskForm {
  FW_CLASS(TChangeDiskForm, TBaseChangeDiskForm)

 public:
  explicit TChangeDiskForm(TComponent* owner);
  TTranslateLabel* PromptDiskLabel = nullptr;
  TEdit* PathEdit = nullptr;
  TButton* BrowseBtn = nullptr;
  TButton* InstallBtn = nullptr;
  TButton* CancelBtn = nullptr;
  TImage* ThemeBitmap = nullptr;
  void FormShow(TObject* Sender);
  void BrowseBtnClick(TObject* Sender);
  void CancelBtnClick(TObject*) { CancelChangeDisk(); }
  const TMethodTable* Methods() const override;

 protected:
  void Loaded() override;
};

class TChangeDiskDlg : public TCustomBaseInstallDlg {
  FW_CLASS(TChangeDiskDlg, TCustomBaseInstallDlg)

 public:
  explicit TChangeDiskDlg(TComponent* owner);
  const TClassInfo& FormClass() const override { return TChangeDiskForm::StaticClass(); }

 protected:
  void BeforeDestruction() override;
};
