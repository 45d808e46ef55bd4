#include "setup_ui/select_folder_win32.h"

#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/install_folders.h"
#include "setup_engine/program_manager.h"
#include "setup_engine/register.h"
#include "setup_engine/setup_routines.h"

namespace {

TCustomPathSpecifier* ProgramMenu() { return setup::FindStandard(TpsProgramMenu::StaticClass()); }

// The group's folder below the programs folder, as the edit shows it: its DestDir without
// the leading and trailing "\".
std::string FolderOf(TCustomShellLinkGroup& group) {
  std::string dir = ExcludeTrailingBackslash(group.DestDir());
  while (!dir.empty() && dir.front() == '\\') dir.erase(0, 1);
  return dir;
}

}  // namespace

// ---- the form

const TClassInfo& TSelectFolderForm::StaticClass() {
  static const TClassInfo info{"TSelectFolderForm", &TBaseInstallForm::StaticClass(), Factory<TSelectFolderForm>(),
                               {}, "TSELECTFOLDERFORM"};
  return info;
}

TSelectFolderForm::TSelectFolderForm(TComponent* owner) : TBaseInstallForm(owner) {
  SetDM(setup_ui::FindDialogManager(TManagerType::dmBeforeInstall));
  Order = 60;
  group_ = setup::MainLinkGroup();
}

const TMethodTable* TSelectFolderForm::Methods() const {
  using F = TSelectFolderForm;
  static const TMethodTable t = TMethodTable::Of<F>(TBaseInstallForm::Methods())
                                    .Field("CancelBtn", &F::CancelBtn)
                                    .Field("TopDescriptionLabel", &F::TopDescriptionLabel)
                                    .Field("ProgramFolders", &F::ProgramFolders)
                                    .Field("Panel5", &F::Panel5)
                                    .Field("FolderEdit", &F::FolderEdit)
                                    .Field("ExistingFolders", &F::ExistingFolders)
                                    .Field("FolderListBox", &F::FolderListBox)
                                    .Field("Label1", &F::Label1)
                                    .Field("Label2", &F::Label2)
                                    .Field("Label3", &F::Label3)
                                    .Field("Label4", &F::Label4)
                                    .Handler<TNotifyEvent>("FolderEditChange", &F::FolderEditChange)
                                    .Handler<TNotifyEvent>("FolderListBoxClick", &F::FolderListBoxClick)
                                    .Handler<TNotifyEvent>("FormResize", &F::FormResize);
  return &t;
}

TCustomShellLinkGroup* TSelectFolderForm::Group() const {
  if (auto* g = dynamic_cast<TCustomShellLinkGroup*>(Container())) return g;
  return group_.Get();
}

void TSelectFolderForm::FillFolders() {
  TStrings& items = FolderListBox->Items();
  items.Clear();
  const int platform = setup::GetWindowsPlatform();
  if (platform == 1 || platform == 2) {
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(setup::ProgramsFolder(), entries);
    for (const platform::DirEntry& e : entries)
      if (e.isDirectory) items.Add(e.name);
  } else {
    TStringList groups;
    setup::ProgramManager().GetGroups(groups);
    for (int i = 0; i < groups.Count(); ++i)
      if (!Trim(groups[i]).empty()) items.Add(groups[i]);
  }
}

void TSelectFolderForm::InitializeForm() {
  InitializeButtons(nullptr);
  FillFolders();
  TCustomShellLinkGroup* group = Group();
  std::string folder;
  if (group && group->DestDirType() && Is<TpsProgramMenu>(group->DestDirType())) folder = FolderOf(*group);
  if (folder.empty() && FolderListBox->Items().Count() > 0) folder = FolderListBox->Items()[0];
  FolderEdit->SetText(folder);
  ProceedBtn->SetEnabled(setup_ui::ValidFolderName(FolderEdit->Text()));
  if (Visible() && ProceedBtn->Visible() && ProceedBtn->CanFocus()) ProceedBtn->SetFocus();
}

void TSelectFolderForm::FolderEditChange(TObject*) {
  const std::string text = FolderEdit->Text();
  ProceedBtn->SetEnabled(setup_ui::ValidFolderName(text));
  if (TCustomShellLinkGroup* group = Group()) {
    group->SetDestDirType(ProgramMenu());
    group->SetDestDir("\\" + Trim(text));
  }
}

void TSelectFolderForm::FolderListBoxClick(TObject*) {
  const int i = FolderListBox->ItemIndex();
  if (i >= 0 && i < FolderListBox->Items().Count()) FolderEdit->SetText(FolderListBox->Items()[i]);
}

void TSelectFolderForm::FormResize(TObject*) {
  if (!Label1 || !Label3 || !Label4) return;
  Label1->SetHeight(18);
  Label3->SetHeight(8);
  Label4->SetHeight(8);
}

// ---- the dialog

const TClassInfo& TSelectFolderDlg::StaticClass() {
  using P = TProps<TSelectFolderDlg>;
  static const TClassInfo info{
      "TSelectFolderDlg", &TBaseInstallDlg::StaticClass(), Factory<TSelectFolderDlg>(),
      {P::Component<TCustomShellLinkGroup>("Container", &TSelectFolderDlg::GetContainer,
                                           [](TSelectFolderDlg& d, TCustomShellLinkGroup* g) { d.SetContainer(g); })}};
  return info;
}

TSelectFolderDlg::TSelectFolderDlg(TComponent* owner) : TBaseInstallDlg(owner, 60, TManagerType::dmBeforeInstall) {
  RegisterPage();
  if (TMainLinkGroup* main = setup::MainLinkGroup()) SetContainer(main);
}

bool TSelectFolderDlg::Execute() {
  if (!Container())
    throw Exception(Format(setup::TranslateText("Cannot run this dialog %s with a blank Container property"), {Name()}));
  if (!GetContainer())
    throw Exception(Format(setup::TranslateText("The container for %s must be a TCustomShellLinkGroup"), {Name()}));
  return TBaseInstallDlg::Execute();
}

void TSelectFolderDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  auto* page = dynamic_cast<TSelectFolderForm*>(RunningForm());
  if (!page) return;
  page->InitializeForm();
  page->BackBtn->SetVisible(false);
}

namespace setup_ui {

void RegisterSelectFolderClasses() {
  // The page edits a link group: a definition with the page holds the groups and links.
  setup::RegisterShortcutAndRegistryClasses();
  RegisterClass(TSelectFolderDlg::StaticClass());
  // The form unit registers its form alone; the dialog unit withdraws it again.
  RegisterPageForm(TSelectFolderForm::StaticClass(), nullptr);
  UnregisterPageForm(TSelectFolderForm::StaticClass(), nullptr);
}

}  // namespace setup_ui
