#include "setup_ui/pages_win32.h"

#include <shlobj.h>

#include <algorithm>
#include <cmath>

#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/translate_controls_win32.h"
#include "setup_ui/decor_win32.h"
#include "setup_ui/filegroups_win32.h"
#include "setup_ui/select_folder_win32.h"

namespace setup_ui {

TPropTable DialogProperties(bool withManager) {
  using T = TCustomBaseInstallDlg;
  using P = TProps<T>;
  TPropTable t{
      TInstallObject::ContainerProp(),
      P::Bool("AutoSetFont", [](const T& d) { return d.AutoSetFont; }, [](T& d, bool v) { d.AutoSetFont = v; })
          .WithDefault(true),
      P::Bool("AutoTranslate", [](const T& d) { return d.AutoTranslate; }, [](T& d, bool v) { d.AutoTranslate = v; })
          .WithDefault(true),
      P::Bool("OverrideMainTranslator", [](const T& d) { return d.OverrideMainTranslator; },
              [](T& d, bool v) { d.OverrideMainTranslator = v; })
          .WithDefault(false),
      P::Enum<TKstnLanguage>("TranslateIntoLanguage", &KstnLanguageTypeInfo(),
                             [](const T& d) { return d.TranslateIntoLanguage; },
                             [](T& d, TKstnLanguage v) { d.TranslateIntoLanguage = v; })
          .WithDefault(int64_t(TKstnLanguage::klUser))};
  if (withManager) {
    t.push_back(P::Component<TDialogManager>("DialogManager", [](const T& d) { return d.DialogManager(); },
                                             [](T& d, TDialogManager* m) { d.SetDialogManager(m); }));
    t.push_back(P::Int("Order", [](const T& d) { return d.DialogOrder(); }, [](T& d, int v) { d.SetDialogOrder(v); }));
    t.push_back(P::Event("OnBeforeExecute", &T::OnBeforeExecute));
    t.push_back(P::Event("OnAfterExecute", &T::OnAfterExecute));
  }
  return t;
}

}  // namespace setup_ui

namespace {

template <class T>
const TClassInfo& DialogClass(const char* name, const TClassInfo& parent, TPropTable extra = {}) {
  static const TClassInfo info{name, &parent, Factory<T>(), std::move(extra)};
  return info;
}

template <class T>
const TClassInfo& FormClassInfo(const char* name, const TClassInfo& parent, const char* resource) {
  static const TClassInfo info{name, &parent, Factory<T>(), {}, resource};
  return info;
}

void Require(bool ok, const char* format, const std::string& name) {
  if (!ok) throw IException(format, {name});
}

}  // namespace

// ---- TOpenFolderDialog

bool TOpenFolderDialog::Execute() {
  char buffer[MAX_PATH + 4] = {};
  BROWSEINFOA info{};
  info.hwndOwner = GetActiveWindow();
  info.pszDisplayName = buffer;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST list = SHBrowseForFolderA(&info);
  if (!list) return false;
  const bool ok = SHGetPathFromIDListA(list, buffer) != FALSE;
  CoTaskMemFree(list);
  // An item without a file-system path is no folder to take.
  if (!ok) return false;
  directory_ = buffer;
  return true;
}

// ---- page forms

const TClassInfo& TWelcomeForm::StaticClass() {
  return FormClassInfo<TWelcomeForm>("TWelcomeForm", TBaseInstallForm::StaticClass(), "TWELCOMEFORM");
}

TWelcomeForm::TWelcomeForm(TComponent* owner) : TBaseInstallForm(owner) {
  SetDM(setup_ui::FindDialogManager(TManagerType::dmBeforeInstall));
  Order = 5;
}

const TMethodTable* TWelcomeForm::Methods() const {
  static const TMethodTable t = TMethodTable::Of<TWelcomeForm>(TBaseInstallForm::Methods())
                                    .Field("CancelBtn", &TWelcomeForm::CancelBtn);
  return &t;
}

const TClassInfo& TFinishPageForm::StaticClass() {
  static const TClassInfo info{"TFinishPageForm", &TBaseInstallForm::StaticClass(), nullptr, {}};
  return info;
}

const TMethodTable* TFinishPageForm::Methods() const {
  static const TMethodTable t = TMethodTable::Of<TFinishPageForm>(TBaseInstallForm::Methods())
                                    .Field("FinishBtn", &TFinishPageForm::FinishBtn);
  return &t;
}

void TFinishPageForm::InitializeForm() {
  InitializeButtons(FinishBtn);
  if (!Visible()) return;
  for (TButton* b : {ProceedBtn, FinishBtn})
    if (b->Visible() && b->CanFocus()) b->SetFocus();
}

const TClassInfo& TRebootForm::StaticClass() {
  return FormClassInfo<TRebootForm>("TRebootForm", TFinishPageForm::StaticClass(), "TREBOOTFORM");
}

TRebootForm::TRebootForm(TComponent* owner) : TFinishPageForm(owner) {
  SetDM(setup_ui::FindDialogManager(TManagerType::dmReboot));
  Order = 10;
}

const TMethodTable* TRebootForm::Methods() const {
  static const TMethodTable t = TMethodTable::Of<TRebootForm>(TFinishPageForm::Methods())
                                    .Field("RG", &TRebootForm::RG)
                                    .Handler<TNotifyEvent>("RGClick", &TRebootForm::RGClick);
  return &t;
}

void TRebootForm::InitializeForm() {
  TFinishPageForm::InitializeForm();
  updating_ = true;
  RG->SetItemIndex(setup::RebootNeeded() ? 0 : 1);
  updating_ = false;
}

void TRebootForm::RGClick(TObject*) {
  if (!updating_) setup::SetRebootNeeded(RG->ItemIndex() == 0);
}

const TClassInfo& TGoodInstallForm::StaticClass() {
  return FormClassInfo<TGoodInstallForm>("TGoodInstallForm", TFinishPageForm::StaticClass(), "TGOODINSTALLFORM");
}

TGoodInstallForm::TGoodInstallForm(TComponent* owner) : TFinishPageForm(owner) {
  SetDM(setup_ui::FindDialogManager(TManagerType::dmAfterGoodInstall));
  Order = 10;
}

const TClassInfo& TBadInstallForm::StaticClass() {
  return FormClassInfo<TBadInstallForm>("TBadInstallForm", TFinishPageForm::StaticClass(), "TBADINSTALLFORM");
}

TBadInstallForm::TBadInstallForm(TComponent* owner) : TFinishPageForm(owner) {
  SetDM(setup_ui::FindDialogManager(TManagerType::dmAfterBadInstall));
  Order = 10;
}

// ---- page dialogs

const TClassInfo& TBaseInstallDlg::StaticClass() {
  static const TClassInfo info{"TBaseInstallDlg", &TCustomBaseInstallDlg::StaticClass(), nullptr,
                               setup_ui::DialogProperties(true)};
  return info;
}

TBaseInstallDlg::TBaseInstallDlg(TComponent* owner, int order, TManagerType type)
    : TCustomBaseInstallDlg(owner) {
  SetDialogOrder(order);
  SetDialogManager(setup_ui::FindDialogManager(type));
}

void TBaseInstallDlg::DoInformationEvent(TObject* sender, int code, TObject* parameter) {
  TCustomBaseInstallDlg::DoInformationEvent(sender, code, parameter);
  if (!DialogManager() && code == OwnCode()) ExecuteWithEvents();
}

void TBaseInstallDlg::AssignDialogProperties() {
  TCustomBaseInstallDlg::AssignDialogProperties();
  auto* page = dynamic_cast<TBaseInstallForm*>(RunningForm());
  if (!page) return;
  page->BackBtn->SetVisible(false);
  page->ProceedBtn->SetModalResult(mrOk);
  if (auto* f = dynamic_cast<TFinishPageForm*>(page)) f->FinishBtn->SetModalResult(mrOk);
  AssignTheme(page->ThemeBitmap);
}

#define SETUP_PAGE_DIALOG(T, order, type)                                                         \
  const TClassInfo& T::StaticClass() {                                                            \
    static const TClassInfo& info = DialogClass<T>(#T, TBaseInstallDlg::StaticClass());                \
    return info;                                                                                  \
  }                                                                                               \
  T::T(TComponent* owner) : TBaseInstallDlg(owner, order, TManagerType::type) { RegisterPage(); }

SETUP_PAGE_DIALOG(TWelcomeDlg, 10, dmBeforeInstall)
SETUP_PAGE_DIALOG(TRebootDlg, 10, dmReboot)
SETUP_PAGE_DIALOG(TGoodInstallationDlg, 10, dmAfterGoodInstall)
SETUP_PAGE_DIALOG(TBadInstallationDlg, 10, dmAfterBadInstall)
#undef SETUP_PAGE_DIALOG

void TRebootDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  auto* page = dynamic_cast<TRebootForm*>(RunningForm());
  if (!page) return;
  page->InitializeForm();
  page->BackBtn->SetVisible(false);
}

// ---- status window

const TClassInfo& TInstallStatusForm::StaticClass() {
  return FormClassInfo<TInstallStatusForm>("TInstallStatusForm", TForm::StaticClass(), "TINSTALLSTATUSFORM");
}

const TMethodTable* TInstallStatusForm::Methods() const {
  using F = TInstallStatusForm;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("pnlBack", &F::pnlBack)
                                    .Field("pnlMessage", &F::pnlMessage)
                                    .Field("Image1", &F::Image1)
                                    .Field("lblMessage", &F::lblMessage);
  return &t;
}

void TInstallStatusForm::Loaded() {
  TForm::Loaded();
  if (Image1) Image1->LoadFromResourceName("STATUSPICTURE");
}

const TClassInfo& TInstallStatusDlg::StaticClass() {
  static const TClassInfo& info = DialogClass<TInstallStatusDlg>(
      "TInstallStatusDlg", TCustomBaseInstallDlg::StaticClass(), setup_ui::DialogProperties(false));
  return info;
}

void TInstallStatusDlg::BeforeDestruction() {
  if (form_) form_->Free();
  TCustomBaseInstallDlg::BeforeDestruction();
}

void TInstallStatusDlg::DoInformationEvent(TObject* sender, int code, TObject* parameter) {
  TCustomBaseInstallDlg::DoInformationEvent(sender, code, parameter);
  if (DialogManager()) return;
  if (code == setup::icStatusMessage) {
    Require(parameter != nullptr, "%s got a nil PO parameter", Name());
    auto* message = dynamic_cast<TMessageParameter*>(parameter);
    Require(message != nullptr, "The PO object passed to %s is not a TMessageParameter object", Name());
    current_ = message->Text;
    stack_.Push(current_);
    ShowText();
  } else if (code == setup::icStatusClear) {
    if (std::optional<std::string> top = stack_.Pop()) {
      current_ = *top;
      ShowText();
    } else {
      if (form_) form_->Hide();
      Application->ProcessMessages();
    }
  }
}

void TInstallStatusDlg::ShowText() {
  if (!form_) {
    auto* f = static_cast<TInstallStatusForm*>(TInstallStatusForm::StaticClass().Create(Application));
    form_ = f;
    SetRunningForm(f);
    AssignDialogProperties();
  }
  TInstallStatusForm& f = *form_.Get();
  TLabel& label = *f.lblMessage;
  label.SetAlign(TAlign::alNone);
  label.SetWordWrap(false);
  label.SetCaption(current_);
  label.SetAutoSize(true);
  label.SetBounds(label.Left(), int(std::nearbyint(f.ClientHeight() / 2.0 - label.Height() / 2.0)), label.Width(),
                  label.Height());
  // The text on one line with a margin of 25 pixels, never wider than the screen.
  TBitmap measure;
  measure.SetSize(1, 1);
  measure.Canvas().Font().Assign(label.Font());
  const int fixed = f.Width() - f.pnlMessage->ClientWidth();
  const int width = std::min(measure.Canvas().TextWidth(current_) + fixed + label.Left() + 25, Screen->Width());
  f.SetBounds((Screen->Width() - width) / 2, f.Top(), width, f.Height());
  Translate();
  f.Show();
  f.Repaint();
  Application->ProcessMessages();
}

// ---- copy progress

const TClassInfo& TCopyFileForm::StaticClass() {
  return FormClassInfo<TCopyFileForm>("TCopyFileForm", TBaseDuringCopyForm::StaticClass(), "TCOPYFILEFORM");
}

TCopyFileForm::TCopyFileForm(TComponent* owner) : TBaseDuringCopyForm(owner) {
  SetDM(setup_ui::FindDialogManager(TManagerType::dmDuringCopyFiles));
}

const TMethodTable* TCopyFileForm::Methods() const {
  using F = TCopyFileForm;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("UnZipImage", &F::UnZipImage)
                                    .Field("TransferBitmap", &F::TransferBitmap)
                                    .Field("TransferProgress", &F::TransferProgress)
                                    .Field("CancelBtn", &F::CancelBtn)
                                    .Field("lblCopyFileHeader", &F::lblCopyFileHeader)
                                    .Field("lblCopyingFile", &F::lblCopyingFile)
                                    .Field("ProgressBar1", &F::ProgressBar1)
                                    .Field("ProgressBar2", &F::ProgressBar2)
                                    .Handler<TNotifyEvent>("CancelBtnClick", &F::CancelBtnClick);
  return &t;
}

void TCopyFileForm::Loaded() {
  TBaseDuringCopyForm::Loaded();
  UnZipImage->LoadFromResourceName("COPYPICTURE");
  TransferBitmap->LoadFromResourceName("TRANSFERPICTURE");
}

void TCopyFileForm::ShowProgress(bool download, int filePercent, int totalPercent, const std::string& text) {
  TransferBitmap->SetVisible(download);
  TransferProgress->SetVisible(download);
  if (download)
    TransferProgress->SetProgress(filePercent);
  else
    ProgressBar2->SetPosition(totalPercent);
  ProgressBar1->SetPosition(filePercent);
  lblCopyingFile->SetCaption(text);
  Repaint();
}

void TCopyFileForm::UpdateStatus(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) {
  if (fileStatus) {
    TransferBitmap->SetVisible(false);
    TransferProgress->SetVisible(false);
    ProgressBar2->SetPosition(fileStatus->TotalPercent);
    ProgressBar1->SetPosition(fileStatus->Percent);
    lblCopyingFile->SetCaption(fileStatus->FileName);
  } else if (downloadStatus) {
    TransferBitmap->SetVisible(true);
    TransferProgress->SetVisible(true);
    TransferProgress->SetProgress(downloadStatus->Percent);
    lblCopyingFile->SetCaption(downloadStatus->Text);
  }
  Repaint();
}

namespace {
TPropTable CopyDialogProps() {
  using P = TProps<TCopyFileDlg>;
  TPropTable props = setup_ui::DialogProperties(true);
  props.push_back(P::Int("Height", [](const TCopyFileDlg& d) { return d.Height; }, [](TCopyFileDlg& d, int v) { d.Height = v; })
                      .WithDefault(int64_t(146)));
  props.push_back(P::Int("Width", [](const TCopyFileDlg& d) { return d.Width; }, [](TCopyFileDlg& d, int v) { d.Width = v; })
                      .WithDefault(int64_t(474)));
  props.push_back(P::Enum<TKestrinDialogPosition>("Position", &DialogPositionTypeInfo(),
                                                  [](const TCopyFileDlg& d) { return d.Position; },
                                                  [](TCopyFileDlg& d, TKestrinDialogPosition v) { d.Position = v; })
                      .WithDefault(int64_t(TKestrinDialogPosition::kdpCenter)));
  props.push_back(P::Int("RelativeLeftOffset", [](const TCopyFileDlg& d) { return d.RelativeLeftOffset; },
                         [](TCopyFileDlg& d, int v) { d.RelativeLeftOffset = v; })
                      .WithDefault(int64_t(0)));
  props.push_back(P::Int("RelativeTopOffset", [](const TCopyFileDlg& d) { return d.RelativeTopOffset; },
                         [](TCopyFileDlg& d, int v) { d.RelativeTopOffset = v; })
                      .WithDefault(int64_t(0)));
  return props;
}
}  // namespace

const TClassInfo& TCopyFileDlg::StaticClass() {
  static const TClassInfo& info =
      DialogClass<TCopyFileDlg>("TCopyFileDlg", TCustomBaseInstallDlg::StaticClass(), CopyDialogProps());
  return info;
}

TCopyFileDlg::TCopyFileDlg(TComponent* owner) : TCustomBaseInstallDlg(owner) {
  SetDialogManager(setup_ui::FindDialogManager(TManagerType::dmDuringCopyFiles));
}

void TCopyFileDlg::SetDialogManager(TDialogManager* manager) {
  auto& classes = setup_ui::DuringCopyFormClasses();
  const bool had = DialogManager() != nullptr;
  TCustomBaseInstallDlg::SetDialogManager(manager);
  const bool has = DialogManager() != nullptr;
  if (has && !had) classes.push_back(&FormClass());
  if (had && !has) {
    auto it = std::find(classes.begin(), classes.end(), &FormClass());
    if (it != classes.end()) classes.erase(it);
  }
}

void TCopyFileDlg::BeforeDestruction() {
  SetDialogManager(nullptr);
  if (form_) form_->Free();
  TCustomBaseInstallDlg::BeforeDestruction();
}

void TCopyFileDlg::DoInformationEvent(TObject* sender, int code, TObject* parameter) {
  TCustomBaseInstallDlg::DoInformationEvent(sender, code, parameter);
  if (DialogManager()) return;
  if (code == setup::icFileStatus) {
    Require(parameter != nullptr, "%s got a nil PO parameter", Name());
    auto* p = dynamic_cast<TFileStatusParameter*>(parameter);
    Require(p != nullptr, "The PO object passed to %s is not a TFileStatusParameter object", Name());
    filePercent_ = p->Percent;
    text_ = p->FileName;
    totalPercent_ = p->TotalPercent;
    download_ = false;
    ShowStatus();
  } else if (code == setup::icDownloadStatus) {
    Require(parameter != nullptr, "%s got a nil PO parameter", Name());
    auto* p = dynamic_cast<TDownloadStatusParameter*>(parameter);
    Require(p != nullptr, "The PO object passed to %s is not a TDownloadStatusParameter object", Name());
    text_ = p->Text;
    filePercent_ = totalPercent_ = p->Percent;
    download_ = true;
    ShowStatus();
  } else if (code == setup::icEndOfCopy) {
    if (form_) form_->Hide();
  }
}

void TCopyFileDlg::ShowStatus() {
  if (!form_) {
    auto* f = static_cast<TCopyFileForm*>(TCopyFileForm::StaticClass().Create(Application));
    form_ = f;
    SetRunningForm(f);
    AssignDialogProperties();
    f->SetPosition(TPosition::poDesigned);
  }
  TCopyFileForm& f = *form_.Get();
  if (!placed_) {
    f.SetBounds(f.Left(), f.Top(), Width, Height);
    setup_ui::PlaceForm(f, Position, RelativeLeftOffset, RelativeTopOffset);
    placed_ = true;
  }
  if (!f.Visible()) f.Show();
  f.ShowProgress(download_, filePercent_, totalPercent_, text_);
}

// ---- change disk

const TClassInfo& TChangeDiskForm::StaticClass() {
  return FormClassInfo<TChangeDiskForm>("TChangeDiskForm", TBaseChangeDiskForm::StaticClass(), "TCHANGEDISKFORM");
}

TChangeDiskForm::TChangeDiskForm(TComponent* owner) : TBaseChangeDiskForm(owner) {
  SetDM(setup_ui::FindDialogManager(TManagerType::dmChangeDisk));
}

const TMethodTable* TChangeDiskForm::Methods() const {
  using F = TChangeDiskForm;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("PromptDiskLabel", &F::PromptDiskLabel)
                                    .Field("PathEdit", &F::PathEdit)
                                    .Field("BrowseBtn", &F::BrowseBtn)
                                    .Field("InstallBtn", &F::InstallBtn)
                                    .Field("CancelBtn", &F::CancelBtn)
                                    .Field("ThemeBitmap", &F::ThemeBitmap)
                                    .Handler<TNotifyEvent>("FormShow", &F::FormShow)
                                    .Handler<TNotifyEvent>("BrowseBtnClick", &F::BrowseBtnClick)
                                    .Handler<TNotifyEvent>("CancelBtnClick", &F::CancelBtnClick);
  return &t;
}

void TChangeDiskForm::Loaded() {
  TBaseChangeDiskForm::Loaded();
  ThemeBitmap->LoadFromResourceName("INSTALLTHEME1");
}

void TChangeDiskForm::FormShow(TObject*) {
  const int disk = DiskParameter ? DiskParameter->DiskNumber : 0;
  PromptDiskLabel->SetCaption(FormatTolerant(setup::TranslateText("Please insert disk number %d"), {int64_t(disk)}));
  PathEdit->SetText(DiskParameter ? DiskParameter->Path : std::string());
  if (InstallBtn->CanFocus()) InstallBtn->SetFocus();
}

void TChangeDiskForm::BrowseBtnClick(TObject*) {
  TOpenFolderDialog dialog;
  if (dialog.Execute() && DiskParameter) DiskParameter->Path = dialog.GetDirectory();
  PathEdit->SetText(DiskParameter ? DiskParameter->Path : std::string());
}

const TClassInfo& TChangeDiskDlg::StaticClass() {
  static const TClassInfo& info = DialogClass<TChangeDiskDlg>(
      "TChangeDiskDlg", TCustomBaseInstallDlg::StaticClass(), setup_ui::DialogProperties(true));
  return info;
}

TChangeDiskDlg::TChangeDiskDlg(TComponent* owner) : TCustomBaseInstallDlg(owner) {
  SetDialogManager(setup_ui::FindDialogManager(TManagerType::dmChangeDisk));
  setup_ui::ChangeDiskFormClasses().push_back({&FormClass(), this});
}

void TChangeDiskDlg::BeforeDestruction() {
  auto& classes = setup_ui::ChangeDiskFormClasses();
  std::erase_if(classes, [this](const auto& e) { return e.second == this; });
  TCustomBaseInstallDlg::BeforeDestruction();
}

// ---- start-up

namespace setup_ui {

void RegisterSetupDialogClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  setup::RegisterSetupControlClasses();
  RegisterDecorClasses();
  RegisterFileGroupClasses();
  RegisterSelectFolderClasses();
  for (const TClassInfo* c :
       {&TDialogManager::StaticClass(), &TWelcomeDlg::StaticClass(), &TRebootDlg::StaticClass(),
        &TGoodInstallationDlg::StaticClass(), &TBadInstallationDlg::StaticClass(),
        &TInstallStatusDlg::StaticClass(), &TCopyFileDlg::StaticClass(), &TChangeDiskDlg::StaticClass()})
    RegisterClass(*c);
  // Each form unit registers its form alone; the dialog unit started after it withdraws
  // the entry, so only the dialog objects register the forms of this program.
  for (const TClassInfo* c : {&TWelcomeForm::StaticClass(), &TRebootForm::StaticClass(),
                              &TGoodInstallForm::StaticClass(), &TBadInstallForm::StaticClass()}) {
    RegisterPageForm(*c, nullptr);
    UnregisterPageForm(*c, nullptr);
  }
  auto& copy = DuringCopyFormClasses();
  copy.push_back(&TCopyFileForm::StaticClass());
  copy.erase(std::find(copy.begin(), copy.end(), &TCopyFileForm::StaticClass()));
}

}  // namespace setup_ui
