#pragma once
// The installer's dialogs: pairs of a dialog object (an install object of kind 9000 on the
// main form) and the form class it runs, and the dialog managers that show several dialogs
// as the pages of one wizard window.
//
// How it works: each dialog object registers its form class with itself in a process-wide
// list of page forms (the copy and change-disk forms have lists of their own). A dialog
// without a manager answers its own information code by running its form modally
// (Execute). A manager answers the codes of its type (dialog_models.h, ManagerActionFor):
// for a wizard it makes a TBaseFormContainer, which builds one hosted page form for every
// registered entry that belongs to the manager, orders them by Order and pages through
// them (TPager) until Next on the last page finishes it (modal result 1) or Cancel aborts
// (3). The before-install wizard and the change-disk form treat any result but 1 as an
// abort, so closing the window never lets the install run on. During copying the manager
// keeps its progress forms open from the first status to the end of the copy. Forms take
// the translator's font and texts when they are shown (ApplyLanguage).
#include <memory>
#include <string>
#include <vector>

#include "framework/controls/buttons.h"
#include "framework/controls/comctrls.h"
#include "framework/controls/extctrls.h"
#include "framework/controls/graphctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/controls/tabctrl.h"
#include "framework/win/forms.h"
#include "setup_engine/install_object.h"
#include "setup_engine/translator.h"
#include "setup_ui/dialog_models.h"

class TCustomBaseInstallDlg;
class TDialogManager;
class TBaseFormContainer;

// The base of every setup form: it takes the translator's font and texts.
class TBaseKestrinForm : public TForm {
  FW_CLASS(TBaseKestrinForm, TForm)

 public:
  explicit TBaseKestrinForm(TComponent* owner);
  bool AutoSetFont = true;
  bool AutoTranslate = true;
  bool OverrideMainTranslator = false;
  TKstnLanguage TranslateIntoLanguage = TKstnLanguage::klUser;
  // The language the form's texts are in now.
  TKstnLanguage Language = TKstnLanguage::klEnglish;
  TInstallContainer* Container() const { return container_.Get(); }
  void SetContainer(TInstallContainer* c) { container_ = c; }

  virtual void DoApplyLanguage() { ApplyLanguage(); }
  // Per-form set-up before showing; nothing here.
  virtual void InitializeForm() {}
  // The language's font (AutoSetFont) and texts (AutoTranslate), then pending messages.
  virtual void ApplyLanguage();

 protected:
  ~TBaseKestrinForm() override;

 private:
  TLink<TInstallContainer> container_{this};
};

// Every setup form alive, in the order they were made.
const std::vector<TBaseKestrinForm*>& KestrinForms();

// The base of the page forms.
class TBaseInstallForm : public TBaseKestrinForm {
  FW_CLASS(TBaseInstallForm, TBaseKestrinForm)

 public:
  explicit TBaseInstallForm(TComponent* owner) : TBaseKestrinForm(owner) {}
  TCustomBaseInstallDlg* DC() const { return dc_.Get(); }
  void SetDC(TCustomBaseInstallDlg* dc) { dc_ = dc; }
  // The manager the form belongs to when it has no dialog object.
  TDialogManager* DM() const { return dm_.Get(); }
  void SetDM(TDialogManager* dm) { dm_ = dm; }
  int Order = 0;

  // The wizard hosting this page; null when the form runs on its own.
  TBaseFormContainer* HostContainer() const;
  virtual bool IsFirstPage();
  virtual bool IsLastPage();
  virtual void PageLeaving() {}
  // Modal result 3 on the wizard, or on the form itself when it runs alone.
  virtual void CancelInstall();
  virtual void GoNext();
  virtual void GoPrevious();
  // InitializeForm, then the page comes to the front.
  virtual void ShowPage();
  virtual bool SkipPage() { return false; }
  // CancelInstall when the driver confirms (yes without a driver).
  virtual void ConfirmCancel();

  // The controls and handlers every page has.
  TButton* BackBtn = nullptr;
  TButton* ProceedBtn = nullptr;
  TImage* ThemeBitmap = nullptr;
  void FormCreate(TObject* Sender);
  void BackBtnClick(TObject*) { GoPrevious(); }
  void ProceedBtnClick(TObject*) { GoNext(); }
  void CancelBtnClick(TObject*) { ConfirmCancel(); }
  const TMethodTable* Methods() const override;

 protected:
  // Back unless the first page; with a Finish button, Proceed unless the last page and
  // Finish exactly when Proceed is hidden; the focus to the visible one.
  void InitializeButtons(TButton* finish);

 private:
  TLink<TCustomBaseInstallDlg> dc_{this};
  TLink<TDialogManager> dm_{this};
};

// The base of the copy-progress forms.
class TBaseDuringCopyForm : public TBaseKestrinForm {
  FW_CLASS(TBaseDuringCopyForm, TBaseKestrinForm)

 public:
  explicit TBaseDuringCopyForm(TComponent* owner) : TBaseKestrinForm(owner) {}
  TDialogManager* DM() const { return dm_.Get(); }
  void SetDM(TDialogManager* dm) { dm_ = dm; }
  // When the driver confirms: the copy stops; then in any case modal result 2.
  virtual void CancelCopy();
  // One of the two is null.
  virtual void UpdateStatus(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) = 0;

 private:
  TLink<TDialogManager> dm_{this};
};

class TBaseChangeDiskForm : public TBaseKestrinForm {
  FW_CLASS(TBaseChangeDiskForm, TBaseKestrinForm)

 public:
  explicit TBaseChangeDiskForm(TComponent* owner) : TBaseKestrinForm(owner) {}
  TDiskParameter* DiskParameter = nullptr;
  TDialogManager* DM() const { return dm_.Get(); }
  void SetDM(TDialogManager* dm) { dm_ = dm; }
  // Modal result 3 when the driver confirms.
  virtual void CancelChangeDisk();

 private:
  TLink<TDialogManager> dm_{this};
};

// The dialog object's side.
class TCustomBaseInstallDlg : public TInstallObject {
  FW_CLASS(TCustomBaseInstallDlg, TInstallObject)

 public:
  explicit TCustomBaseInstallDlg(TComponent* owner);
  bool AutoSetFont = true;
  bool AutoTranslate = true;
  bool OverrideMainTranslator = false;
  TKstnLanguage TranslateIntoLanguage = TKstnLanguage::klUser;
  // The language its form's texts are in.
  TKstnLanguage Language = TKstnLanguage::klEnglish;
  int DialogOrder() const { return order_; }
  void SetDialogOrder(int order) { order_ = order; }
  TDialogManager* DialogManager() const { return manager_.Get(); }
  // Joins the new manager and leaves the old one.
  virtual void SetDialogManager(TDialogManager* manager);
  TBitmap& ThemeBitmap() { return theme_; }
  virtual void SetThemeBitmap(const TBitmap& b) { theme_.Assign(b); }
  // The form that runs now (cleared when it goes).
  TForm* RunningForm() const { return running_.Get(); }
  void SetRunningForm(TForm* f) { running_ = f; }

  TNotifyEvent OnBeforeExecute;
  TNotifyEvent OnAfterExecute;

  int ComponentType() const override { return setup::kKindDialog; }
  void ContainerRemoved(TInstallContainer* c) override;
  // The running form's font and texts.
  virtual void Translate();
  // Links the running form to this dialog: its settings and Container, DC, Translate.
  virtual void AssignDialogProperties();
  // OnBeforeExecute, Execute, pending messages, OnAfterExecute; false on EAbort.
  virtual bool ExecuteWithEvents();
  // Runs the form modally: true for result 1, EAIUserAbort otherwise.
  virtual bool Execute();
  virtual const TClassInfo& FormClass() const = 0;
  virtual bool ShouldExecute() { return true; }

 protected:
  ~TCustomBaseInstallDlg() override;
  void BeforeDestruction() override;
  // Registers (FormClass, this) among the page forms; the constructor of each dialog
  // class calls it, after its own Order and manager are set.
  void RegisterPage();
  // Copies ThemeBitmap (or the "INSTALLTHEME1" resource when empty) into image.
  void AssignTheme(TImage* image);

 private:
  int order_ = 0;
  TLink<TDialogManager> manager_{this};
  TLink<TForm> running_{this};
  TBitmap theme_;
  bool registered_ = false;
  const TClassInfo* registeredClass_ = nullptr;
};

class TDialogManager : public TInstallObject {
  FW_CLASS(TDialogManager, TInstallObject)

 public:
  explicit TDialogManager(TComponent* owner);
  int Height = 395;
  int Width = 478;
  TManagerType ManagerType = TManagerType::dmBeforeInstall;
  TKestrinDialogPosition Position = TKestrinDialogPosition::kdpCenter;
  int RelativeLeftOffset = 0;
  int RelativeTopOffset = 0;

  const std::vector<TCustomBaseInstallDlg*>& Dialogs() const { return dialogs_; }
  // The progress forms open now.
  std::vector<TBaseDuringCopyForm*> DuringCopyForms() const;

  int ComponentType() const override { return setup::kKindDialog; }
  void ContainerRemoved(TInstallContainer* c) override;
  void DoInformationEvent(TObject* sender, int code, TObject* parameter) override;
  virtual void ShowDialogs();
  virtual void ShowChangeDisk(TObject* parameter);
  // "Cannot add a NIL Dialog to the Dialog Manager %s" for none.
  virtual void AddDialog(TCustomBaseInstallDlg* dialog);
  virtual void RemoveDialog(TCustomBaseInstallDlg* dialog);

 protected:
  ~TDialogManager() override;
  void BeforeDestruction() override;

 private:
  void UpdateDuringCopy(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus);
  void CloseDuringCopy();
  std::vector<TCustomBaseInstallDlg*> dialogs_;
  std::vector<std::unique_ptr<TLink<TBaseDuringCopyForm>>> duringCopy_;
};

// The wizard window: its pages are hosted page forms, its page number the hidden tabs'.
class TBaseFormContainer : public TBaseKestrinForm {
  FW_CLASS(TBaseFormContainer, TBaseKestrinForm)

 public:
  explicit TBaseFormContainer(TComponent* owner);
  TPanel* DisplayPanel = nullptr;
  TTabControl* Tabs = nullptr;
  const std::vector<TBaseInstallForm*>& Pages() const { return pages_; }
  TBaseInstallForm* CurrentPage() const;
  const setup_ui::TPager& Pager() const { return pager_; }
  // The largest client size of the pages as they were designed.
  TSize PageSize() const { return pageSize_; }

  // Makes the pages of the current manager; their number.
  int BuildPages();
  bool ShowPageAt(int index, bool backward);
  virtual void PreviousPage();
  virtual void NextPage();

  void FormCreate(TObject* Sender);
  void FormDestroy(TObject*) {}
  void FormResize(TObject* Sender);
  void FormShow(TObject* Sender);
  void TabsChange(TObject* Sender);
  void TabsChanging(TObject* Sender, bool& AllowChange);
  const TMethodTable* Methods() const override;

 private:
  void Shown(int index);
  std::vector<TBaseInstallForm*> pages_;
  setup_ui::TPager pager_;
  TSize pageSize_;
  bool resizing_ = true;
};

namespace setup_ui {

// The manager whose wizard is being built or shown; null otherwise.
TDialogManager* CurrentManager();
// The first manager of type whose Container is the driver; null when none.
TDialogManager* FindDialogManager(TManagerType type);

// The registries of form classes. Page forms: (class, dialog or null) in registration
// order; index errors raise the list's texts.
struct TBIFEntry {
  const TClassInfo* FormClass;
  TCustomBaseInstallDlg* Dialog;
  int Spare;
};
int PageFormCount();
const TBIFEntry& PageFormEntry(int index);
void RegisterPageForm(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog);
// Withdraws the entry of (formClass, dialog); nothing when there is none.
void UnregisterPageForm(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog);
std::vector<const TClassInfo*>& DuringCopyFormClasses();
std::vector<std::pair<const TClassInfo*, TCustomBaseInstallDlg*>>& ChangeDiskFormClasses();

// Places form on the screen by pos with the offsets (PlaceDialog on the screen's size and
// the caption height).
void PlaceForm(TCustomForm& form, TKestrinDialogPosition pos, int leftOffset, int topOffset);

// Registers the dialog classes and their forms for form text, and fills the registries
// as the program's start-up does.
void RegisterSetupDialogClasses();

}  // namespace setup_ui
