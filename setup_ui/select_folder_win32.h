#pragma once
// The select-folder page: the Start-menu folder the program's shortcuts go into.
//
// How it works: the page edits one shell link group (the main link group unless its dialog
// names another). It lists the existing program folders (the subfolders of the Start
// menu's programs folder, or Program Manager's groups where the system has no such
// folder), shows the group's folder in the edit, and every change of the edit puts the
// group under the programs folder with that name. Next is enabled only while the name is
// one a folder can have (dialog_models.h, ValidFolderName).
#include <string>

#include "setup_engine/shell_links.h"
#include "setup_ui/pages_win32.h"

class TSelectFolderForm : public TBaseInstallForm {
  FW_CLASS(TSelectFolderForm, TBaseInstallForm)

 public:
  explicit TSelectFolderForm(TComponent* owner);
  TButton* CancelBtn = nullptr;
  TTranslateLabel* TopDescriptionLabel = nullptr;
  TTranslateLabel* ProgramFolders = nullptr;
  TPanel* Panel5 = nullptr;
  TEdit* FolderEdit = nullptr;
  TTranslateLabel* ExistingFolders = nullptr;
  TListBox* FolderListBox = nullptr;
  TTranslateLabel* Label1 = nullptr;
  TTranslateLabel* Label2 = nullptr;
  TTranslateLabel* Label3 = nullptr;
  TTranslateLabel* Label4 = nullptr;

  // The group the page edits: the form's Container when it is a link group, else the
  // main link group.
  TCustomShellLinkGroup* Group() const;
  // The existing folders, the group's folder in the edit (or the first existing one),
  // Next enabled by the name, the focus to Next.
  void InitializeForm() override;
  // Without a group there is nothing to choose.
  bool SkipPage() override { return Group() == nullptr; }

  void FolderEditChange(TObject* Sender);
  void FolderListBoxClick(TObject* Sender);
  void FormResize(TObject* Sender);
  const TMethodTable* Methods() const override;

 private:
  void FillFolders();
  TLink<TCustomShellLinkGroup> group_{this};
};

class TSelectFolderDlg : public TBaseInstallDlg {
  FW_CLASS(TSelectFolderDlg, TBaseInstallDlg)

 public:
  // Its Container is the main link group.
  explicit TSelectFolderDlg(TComponent* owner);
  TCustomShellLinkGroup* GetContainer() const { return dynamic_cast<TCustomShellLinkGroup*>(Container()); }
  const TClassInfo& FormClass() const override { return TSelectFolderForm::StaticClass(); }
  // The container must be a link group: the texts of a blank or another container.
  bool Execute() override;
  // Then InitializeForm, and Back hidden again.
  void AssignDialogProperties() override;

 protected:
  int OwnCode() const override { return setup::icSelectFolder; }
};

namespace setup_ui {

void RegisterSelectFolderClasses();

}  // namespace setup_ui
