#include "setup_ui/dialogs_win32.h"

#include <algorithm>

#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/translate_controls_win32.h"

namespace {

std::vector<TBaseKestrinForm*>& FormList() {
  static std::vector<TBaseKestrinForm*> forms;
  return forms;
}

std::vector<setup_ui::TBIFEntry>& PageList() {
  static std::vector<setup_ui::TBIFEntry> list;
  return list;
}

TDialogManager* currentManager = nullptr;

// The driver's answer to a cancel; yes without a driver.
bool Confirmed() {
  TCustomInstall* driver = setup::Driver();
  return !driver || driver->ConfirmUserAbort();
}

// Makes a form of cls owned by owner; EInvalidCast when it is not a T.
template <class T>
T* MakeForm(const TClassInfo& cls, TComponent* owner) {
  TComponent* c = cls.Create(owner);
  auto* f = dynamic_cast<T*>(c);
  if (!f) {
    c->Free();
    throw EInvalidCast(std::string(cls.Name()) + " is not a " + std::string(T::StaticClass().Name()));
  }
  return f;
}

// Frees a component when the scope ends, unless it went meanwhile.
class TFreeGuard : public TComponent {
 public:
  TFreeGuard() : TComponent(nullptr) {}
  TLink<TComponent> target{this};
};
struct TScopedFree {
  explicit TScopedFree(TComponent* c) : guard(new TFreeGuard) { guard->target = c; }
  ~TScopedFree() {
    if (guard->target) guard->target->Free();
  }
  TOwned<TFreeGuard> guard;
};

// Applies the font and texts of the language a form or dialog is set to.
TKstnLanguage ApplyTo(TWinControl& form, bool autoSetFont, bool autoTranslate, bool override,
                      TKstnLanguage into, TKstnLanguage from) {
  if (autoSetFont) {
    if (override)
      setup::SetFormFontFor(into, form, false);
    else
      setup::SetFormFont(form, false);
  }
  if (autoTranslate)
    from = override ? setup::TranslateFormInto(from, into, &form) : setup::TranslateForm(from, &form);
  return from;
}

}  // namespace

// ---- TBaseKestrinForm

const TClassInfo& TBaseKestrinForm::StaticClass() {
  static const TClassInfo info{"TBaseKestrinForm", &TForm::StaticClass(), nullptr, {}};
  return info;
}

TBaseKestrinForm::TBaseKestrinForm(TComponent* owner) : TForm(owner) { FormList().push_back(this); }

TBaseKestrinForm::~TBaseKestrinForm() { std::erase(FormList(), this); }

const std::vector<TBaseKestrinForm*>& KestrinForms() { return FormList(); }

void TBaseKestrinForm::ApplyLanguage() {
  Language = ApplyTo(*this, AutoSetFont, AutoTranslate, OverrideMainTranslator, TranslateIntoLanguage, Language);
  Application->ProcessMessages();
}

// ---- TBaseInstallForm

const TClassInfo& TBaseInstallForm::StaticClass() {
  static const TClassInfo info{"TBaseInstallForm", &TBaseKestrinForm::StaticClass(), nullptr, {}};
  return info;
}

const TMethodTable* TBaseInstallForm::Methods() const {
  using F = TBaseInstallForm;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("BackBtn", &F::BackBtn)
                                    .Field("ProceedBtn", &F::ProceedBtn)
                                    .Field("ThemeBitmap", &F::ThemeBitmap)
                                    .Handler<TNotifyEvent>("FormCreate", &F::FormCreate)
                                    .Handler<TNotifyEvent>("BackBtnClick", &F::BackBtnClick)
                                    .Handler<TNotifyEvent>("ProceedBtnClick", &F::ProceedBtnClick)
                                    .Handler<TNotifyEvent>("CancelBtnClick", &F::CancelBtnClick);
  return &t;
}

void TBaseInstallForm::FormCreate(TObject*) { ThemeBitmap->LoadFromResourceName("INSTALLTHEME1"); }

TBaseFormContainer* TBaseInstallForm::HostContainer() const {
  return Hosted() ? dynamic_cast<TBaseFormContainer*>(Owner()) : nullptr;
}

bool TBaseInstallForm::IsFirstPage() {
  TBaseFormContainer* host = HostContainer();
  return host && host->Pager().IsFirstPage();
}

bool TBaseInstallForm::IsLastPage() {
  TBaseFormContainer* host = HostContainer();
  return host && host->Pager().IsLastPage();
}

void TBaseInstallForm::CancelInstall() {
  if (TBaseFormContainer* host = HostContainer())
    host->SetModalResult(mrAbort);
  else
    SetModalResult(mrAbort);
}

void TBaseInstallForm::ConfirmCancel() {
  if (Confirmed()) CancelInstall();
}

void TBaseInstallForm::GoNext() {
  if (TBaseFormContainer* host = HostContainer()) host->NextPage();
}

void TBaseInstallForm::GoPrevious() {
  if (TBaseFormContainer* host = HostContainer()) host->PreviousPage();
}

void TBaseInstallForm::ShowPage() {
  SetVisible(true);
  InitializeForm();
  BringToFront();
}

void TBaseInstallForm::InitializeButtons(TButton* finish) {
  BackBtn->SetVisible(!IsFirstPage());
  if (finish) {
    ProceedBtn->SetVisible(!IsLastPage());
    finish->SetVisible(!ProceedBtn->Visible());
  }
  if (!Visible()) return;
  TButton* focus = ProceedBtn->Visible() ? ProceedBtn : finish;
  if (focus && focus->Visible() && focus->CanFocus()) focus->SetFocus();
}

// ---- TBaseDuringCopyForm, TBaseChangeDiskForm

const TClassInfo& TBaseDuringCopyForm::StaticClass() {
  static const TClassInfo info{"TBaseDuringCopyForm", &TBaseKestrinForm::StaticClass(), nullptr, {}};
  return info;
}

void TBaseDuringCopyForm::CancelCopy() {
  if (Confirmed()) setup::RequestCopyCancel();
  SetModalResult(mrCancel);
}

const TClassInfo& TBaseChangeDiskForm::StaticClass() {
  static const TClassInfo info{"TBaseChangeDiskForm", &TBaseKestrinForm::StaticClass(), nullptr, {}};
  return info;
}

void TBaseChangeDiskForm::CancelChangeDisk() {
  if (Confirmed()) SetModalResult(mrAbort);
}

// ---- TCustomBaseInstallDlg

const TClassInfo& TCustomBaseInstallDlg::StaticClass() {
  static const TClassInfo info{"TCustomBaseInstallDlg", &TInstallObject::StaticClass(), nullptr, {}};
  return info;
}

TCustomBaseInstallDlg::TCustomBaseInstallDlg(TComponent* owner) : TInstallObject(owner) {}

TCustomBaseInstallDlg::~TCustomBaseInstallDlg() = default;

void TCustomBaseInstallDlg::BeforeDestruction() {
  if (registered_) setup_ui::UnregisterPageForm(*registeredClass_, this);
  registered_ = false;
  SetDialogManager(nullptr);
  TInstallObject::BeforeDestruction();
}

void TCustomBaseInstallDlg::RegisterPage() {
  registeredClass_ = &FormClass();
  setup_ui::RegisterPageForm(*registeredClass_, this);
  registered_ = true;
}

void TCustomBaseInstallDlg::SetDialogManager(TDialogManager* manager) {
  TDialogManager* old = manager_.Get();
  if (manager == old) return;
  if (manager) manager->AddDialog(this);
  if (old) old->RemoveDialog(this);
  manager_ = manager;
}

void TCustomBaseInstallDlg::ContainerRemoved(TInstallContainer* c) {
  TInstallObject::ContainerRemoved(c);
  if (c == manager_.Get()) manager_ = nullptr;
}

void TCustomBaseInstallDlg::Translate() {
  TForm* f = RunningForm();
  if (!f) return;
  Language = ApplyTo(*f, AutoSetFont, AutoTranslate, OverrideMainTranslator, TranslateIntoLanguage, Language);
  if (auto* k = dynamic_cast<TBaseKestrinForm*>(f)) k->Language = Language;
}

void TCustomBaseInstallDlg::AssignDialogProperties() {
  TForm* f = RunningForm();
  if (!f)
    throw Exception(Format(setup::TranslateText("Cannot AssignDialogProperties for %s because the Dialog is Nil"),
                           {Name()}));
  if (auto* k = dynamic_cast<TBaseKestrinForm*>(f)) {
    k->AutoSetFont = AutoSetFont;
    k->AutoTranslate = AutoTranslate;
    k->SetContainer(Container());
    k->OverrideMainTranslator = OverrideMainTranslator;
    k->TranslateIntoLanguage = TranslateIntoLanguage;
  }
  if (auto* page = dynamic_cast<TBaseInstallForm*>(f)) page->SetDC(this);
  Translate();
}

void TCustomBaseInstallDlg::AssignTheme(TImage* image) {
  if (theme_.Empty()) LoadBitmapResource(theme_, "INSTALLTHEME1");
  image->SetPicture(theme_);
}

bool TCustomBaseInstallDlg::Execute() {
  if (!ShouldExecute()) return true;
  auto* f = MakeForm<TForm>(FormClass(), Application);
  TScopedFree free(f);
  running_ = f;
  AssignDialogProperties();
  if (f->ShowModal() == mrOk) return true;
  throw EAIUserAbort();
}

bool TCustomBaseInstallDlg::ExecuteWithEvents() {
  OnBeforeExecute(this);
  bool result;
  try {
    result = Execute();
  } catch (const EAbort&) {
    return false;
  }
  Application->ProcessMessages();
  OnAfterExecute(this);
  return result;
}

// ---- TDialogManager

const TClassInfo& TDialogManager::StaticClass() {
  using P = TProps<TDialogManager>;
  static const TClassInfo info{
      "TDialogManager", &TInstallObject::StaticClass(), Factory<TDialogManager>(),
      {TInstallObject::ContainerProp(),
       P::Int("Height", [](const TDialogManager& m) { return m.Height; }, [](TDialogManager& m, int v) { m.Height = v; })
           .WithDefault(int64_t(395)),
       P::Enum<TManagerType>("ManagerType", &ManagerTypeTypeInfo(), [](const TDialogManager& m) { return m.ManagerType; },
                             [](TDialogManager& m, TManagerType v) { m.ManagerType = v; })
           .WithDefault(int64_t(TManagerType::dmBeforeInstall)),
       P::Enum<TKestrinDialogPosition>("Position", &DialogPositionTypeInfo(),
                                       [](const TDialogManager& m) { return m.Position; },
                                       [](TDialogManager& m, TKestrinDialogPosition v) { m.Position = v; })
           .WithDefault(int64_t(TKestrinDialogPosition::kdpCenter)),
       P::Int("RelativeLeftOffset", [](const TDialogManager& m) { return m.RelativeLeftOffset; },
              [](TDialogManager& m, int v) { m.RelativeLeftOffset = v; })
           .WithDefault(int64_t(0)),
       P::Int("RelativeTopOffset", [](const TDialogManager& m) { return m.RelativeTopOffset; },
              [](TDialogManager& m, int v) { m.RelativeTopOffset = v; })
           .WithDefault(int64_t(0)),
       P::Int("Width", [](const TDialogManager& m) { return m.Width; }, [](TDialogManager& m, int v) { m.Width = v; })
           .WithDefault(int64_t(478))}};
  return info;
}

TDialogManager::TDialogManager(TComponent* owner) : TInstallObject(owner) {}

TDialogManager::~TDialogManager() = default;

void TDialogManager::BeforeDestruction() {
  CloseDuringCopy();
  for (TCustomBaseInstallDlg* d : std::vector<TCustomBaseInstallDlg*>(dialogs_)) d->SetDialogManager(nullptr);
  if (currentManager == this) currentManager = nullptr;
  TInstallObject::BeforeDestruction();
}

std::vector<TBaseDuringCopyForm*> TDialogManager::DuringCopyForms() const {
  std::vector<TBaseDuringCopyForm*> out;
  for (const auto& link : duringCopy_)
    if (*link) out.push_back(link->Get());
  return out;
}

void TDialogManager::ContainerRemoved(TInstallContainer* c) {
  TInstallObject::ContainerRemoved(c);
  std::erase(dialogs_, static_cast<TCustomBaseInstallDlg*>(dynamic_cast<TCustomBaseInstallDlg*>(c)));
}

void TDialogManager::AddDialog(TCustomBaseInstallDlg* dialog) {
  if (!dialog)
    throw Exception(Format(setup::TranslateText("Cannot add a NIL Dialog to the Dialog Manager %s"), {Name()}));
  if (std::find(dialogs_.begin(), dialogs_.end(), dialog) == dialogs_.end()) dialogs_.push_back(dialog);
}

void TDialogManager::RemoveDialog(TCustomBaseInstallDlg* dialog) { std::erase(dialogs_, dialog); }

void TDialogManager::DoInformationEvent(TObject* sender, int code, TObject* parameter) {
  TInstallObject::DoInformationEvent(sender, code, parameter);
  using A = setup_ui::TManagerAction;
  switch (setup_ui::ManagerActionFor(code, ManagerType)) {
    case A::None: return;
    case A::ShowDialogs: ShowDialogs(); return;
    case A::FileStatus:
    case A::DownloadStatus: {
      if (!parameter) throw IException("%s got a nil PO parameter", {Name()});
      if (code == setup::icFileStatus) {
        auto* p = dynamic_cast<TFileStatusParameter*>(parameter);
        if (!p) throw IException("The PO object passed to %s is not a TFileStatusParameter object", {Name()});
        UpdateDuringCopy(p, nullptr);
      } else {
        auto* p = dynamic_cast<TDownloadStatusParameter*>(parameter);
        if (!p) throw IException("The PO object passed to %s is not a TDownloadStatusParameter object", {Name()});
        UpdateDuringCopy(nullptr, p);
      }
      return;
    }
    case A::CloseDuringCopy: CloseDuringCopy(); return;
    case A::ChangeDisk: ShowChangeDisk(parameter); return;
  }
}

void TDialogManager::UpdateDuringCopy(TFileStatusParameter* fileStatus, TDownloadStatusParameter* downloadStatus) {
  if (DuringCopyForms().empty()) {
    duringCopy_.clear();
    for (const TClassInfo* cls : std::vector<const TClassInfo*>(setup_ui::DuringCopyFormClasses())) {
      auto* f = MakeForm<TBaseDuringCopyForm>(*cls, Application);
      if (f->DM() != this) {
        f->Free();
        continue;
      }
      duringCopy_.push_back(std::make_unique<TLink<TBaseDuringCopyForm>>(this));
      *duringCopy_.back() = f;
      f->InitializeForm();
      f->ApplyLanguage();
      f->Show();
    }
  }
  for (TBaseDuringCopyForm* f : DuringCopyForms()) f->UpdateStatus(fileStatus, downloadStatus);
}

void TDialogManager::CloseDuringCopy() {
  for (TBaseDuringCopyForm* f : DuringCopyForms()) f->Free();
  duringCopy_.clear();
}

void TDialogManager::ShowDialogs() {
  currentManager = this;
  struct TClear {
    ~TClear() { currentManager = nullptr; }
  } clear;
  auto* c = MakeForm<TBaseFormContainer>(TBaseFormContainer::StaticClass(), Application);
  TScopedFree free(c);
  c->SetBounds(c->Left(), c->Top(), Width, Height);
  if (c->BuildPages() == 0) return;
  // The frame keeps the manager's size unless it leaves the pages less room than they have.
  const TSize need = c->PageSize();
  if (c->DisplayPanel->ClientWidth() < need.Width)
    c->SetClientWidth(c->ClientWidth() + need.Width - c->DisplayPanel->ClientWidth());
  if (c->DisplayPanel->ClientHeight() < need.Height)
    c->SetClientHeight(c->ClientHeight() + need.Height - c->DisplayPanel->ClientHeight());
  setup_ui::PlaceForm(*c, Position, RelativeLeftOffset, RelativeTopOffset);
  const int result = c->ShowModal();
  // Before the install, closing the window is a cancel too; afterwards only Cancel is.
  if (ManagerType == TManagerType::dmBeforeInstall ? result != mrOk : result == mrAbort) throw EAIUserAbort();
  if (TCustomForm* main = Application->MainForm()) main->Repaint();
  Application->ProcessMessages();
}

void TDialogManager::ShowChangeDisk(TObject* parameter) {
  auto& classes = setup_ui::ChangeDiskFormClasses();
  if (classes.empty()) return;
  auto* f = MakeForm<TBaseChangeDiskForm>(*classes.front().first, Application);
  TScopedFree free(f);
  currentManager = this;
  struct TClear {
    ~TClear() { currentManager = nullptr; }
  } clear;
  if (f->DM() != this) return;
  if (!parameter)
    throw Exception(
        setup::TranslateText("The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form"));
  auto* list = dynamic_cast<TList*>(parameter);
  if (!list) throw Exception(setup::TranslateText("TChangeDiskDlg--PO is not a TList object"));
  if (list->Count() < 2) throw Exception(setup::TranslateText("TChangeDiskDlg--Not engouh parameters for status event"));
  auto* file = dynamic_cast<TCustomInstallFile*>(list->Items(0));
  if (!file) throw Exception("TChangeDiskDlg says bad first parameter");
  auto* disk = dynamic_cast<TDiskParameter*>(list->Items(1));
  if (!disk) throw Exception("TChangeDiskDlg says bad second parameter");
  file->SetTag(1);
  f->DiskParameter = disk;
  f->InitializeForm();
  f->ApplyLanguage();
  // Closing the window is a cancel: the install never goes on without its disk.
  if (f->ShowModal() != mrOk) throw EAIUserAbort();
}

// ---- TBaseFormContainer

const TClassInfo& TBaseFormContainer::StaticClass() {
  static const TClassInfo info{"TBaseFormContainer", &TBaseKestrinForm::StaticClass(),
                               Factory<TBaseFormContainer>(), {}, "TBASEFORMCONTAINER"};
  return info;
}

const TMethodTable* TBaseFormContainer::Methods() const {
  using F = TBaseFormContainer;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("DisplayPanel", &F::DisplayPanel)
                                    .Field("Tabs", &F::Tabs)
                                    .Handler<TNotifyEvent>("FormCreate", &F::FormCreate)
                                    .Handler<TNotifyEvent>("FormDestroy", &F::FormDestroy)
                                    .Handler<TNotifyEvent>("FormResize", &F::FormResize)
                                    .Handler<TNotifyEvent>("FormShow", &F::FormShow)
                                    .Handler<TNotifyEvent>("TabsChange", &F::TabsChange)
                                    .Handler<TCloseQueryEvent>("TabsChanging", &F::TabsChanging);
  return &t;
}

TBaseFormContainer::TBaseFormContainer(TComponent* owner) : TBaseKestrinForm(owner) {}

void TBaseFormContainer::FormCreate(TObject*) {
  resizing_ = false;
  SetBounds(Left(), Top(), 478, 395);
  resizing_ = true;
}

TBaseInstallForm* TBaseFormContainer::CurrentPage() const {
  const int i = pager_.Index();
  return i >= 0 && i < int(pages_.size()) ? pages_[size_t(i)] : nullptr;
}

int TBaseFormContainer::BuildPages() {
  TDialogManager* manager = setup_ui::CurrentManager();
  if (!manager) throw Exception(setup::TranslateText("The current dialog manager is not defined"));
  const TRect area = DisplayPanel->ClientRect();
  for (int i = 0; i < setup_ui::PageFormCount(); ++i) {
    const setup_ui::TBIFEntry entry = setup_ui::PageFormEntry(i);
    TBaseInstallForm* page;
    if (entry.Dialog) {
      if (entry.Dialog->DialogManager() != manager || !entry.Dialog->ShouldExecute()) continue;
      page = MakeForm<TBaseInstallForm>(*entry.FormClass, this);
      page->SetDC(entry.Dialog);
      page->SetContainer(entry.Dialog->Container());
      page->Order = entry.Dialog->DialogOrder();
      entry.Dialog->SetRunningForm(page);
      entry.Dialog->AssignDialogProperties();
    } else {
      page = MakeForm<TBaseInstallForm>(*entry.FormClass, this);
      if (page->DM() != manager) {
        page->Free();
        continue;
      }
    }
    pageSize_.Width = std::max(pageSize_.Width, page->ClientWidth());
    pageSize_.Height = std::max(pageSize_.Height, page->ClientHeight());
    Tabs->Tabs().Add(page->Caption());
    page->SetVisible(false);
    page->SetParent(DisplayPanel);
    page->SetBounds(area.Left, area.Top, area.Width(), area.Height());
    page->ApplyLanguage();
    pages_.push_back(page);
  }
  setup_ui::ExchangeSort(pages_, [](const TBaseInstallForm* p) { return p->Order; });
  pager_ = setup_ui::TPager(int(pages_.size()), [this](int i) { return pages_[size_t(i)]->SkipPage(); });
  pager_.OnShown = [this](int i) { Shown(i); };
  return int(pages_.size());
}

bool TBaseFormContainer::ShowPageAt(int index, bool backward) { return pager_.ShowPageAt(index, backward); }

void TBaseFormContainer::Shown(int index) {
  TBaseInstallForm* page = pages_[size_t(index)];
  Tabs->SetTabIndex(index);
  SetCaption(page->Caption());
  // Only the current page is on the screen, so keys and a driver meet its controls only.
  for (TBaseInstallForm* other : pages_)
    if (other != page) other->SetVisible(false);
  page->ShowPage();
}

void TBaseFormContainer::PreviousPage() { pager_.Previous(); }

void TBaseFormContainer::NextPage() {
  if (pager_.Next()) SetModalResult(mrOk);
}

void TBaseFormContainer::FormShow(TObject*) {
  // With every page skipped there is nothing to show: the wizard finishes at once.
  if (!pager_.Start()) NextPage();
}

void TBaseFormContainer::TabsChange(TObject*) {
  if (!ShowPageAt(Tabs->TabIndex(), true)) ShowPageAt(Tabs->TabIndex(), false);
}

void TBaseFormContainer::TabsChanging(TObject*, bool&) {
  if (TBaseInstallForm* page = CurrentPage()) page->PageLeaving();
}

void TBaseFormContainer::FormResize(TObject*) {
  if (!resizing_ || !DisplayPanel) return;
  const TRect area = DisplayPanel->ClientRect();
  for (TBaseInstallForm* page : pages_) page->SetBounds(area.Left, area.Top, area.Width(), area.Height());
}

// ---- registries and helpers

namespace setup_ui {

TDialogManager* CurrentManager() { return currentManager; }

TDialogManager* FindDialogManager(TManagerType type) {
  for (TInstallContainer* c : setup::InstallContainers())
    if (auto* m = dynamic_cast<TDialogManager*>(c))
      if (m->ManagerType == type && m->Container() && m->Container() == setup::InstallDriver()) return m;
  return nullptr;
}

int PageFormCount() { return int(PageList().size()); }

const TBIFEntry& PageFormEntry(int index) {
  if (index < 0 || index >= PageFormCount()) throw Exception(Format("%d is an invalid index in the BIFList", {int64_t(index)}));
  const TBIFEntry& e = PageList()[size_t(index)];
  if (!e.FormClass) throw Exception(Format("The %d 'th entry in the BIFList is NIL", {int64_t(index)}));
  return e;
}

void RegisterPageForm(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog) {
  PageList().push_back({&formClass, dialog, 0});
}

void UnregisterPageForm(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog) {
  auto& list = PageList();
  auto it = std::find_if(list.begin(), list.end(),
                         [&](const TBIFEntry& e) { return e.FormClass == &formClass && e.Dialog == dialog; });
  if (it != list.end()) list.erase(it);
}

std::vector<const TClassInfo*>& DuringCopyFormClasses() {
  static std::vector<const TClassInfo*> list;
  return list;
}

std::vector<std::pair<const TClassInfo*, TCustomBaseInstallDlg*>>& ChangeDiskFormClasses() {
  static std::vector<std::pair<const TClassInfo*, TCustomBaseInstallDlg*>> list;
  return list;
}

void PlaceForm(TCustomForm& form, TKestrinDialogPosition pos, int leftOffset, int topOffset) {
  const TPoint at = PlaceDialog(pos, Screen->Width(), Screen->Height(), form.Width(), form.Height(),
                                GetSystemMetrics(SM_CYCAPTION), leftOffset, topOffset);
  form.SetBounds(at.X, at.Y, form.Width(), form.Height());
}

}  // namespace setup_ui
