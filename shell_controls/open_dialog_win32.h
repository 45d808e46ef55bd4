#pragma once
// The explorer-style open and save dialogs: components (TQsOpenDlg, TQsSaveDlg) that run
// a dialog form made for each Execute from the form resource TQsFrmOpenDlg.
//
// The form shows the path combo, a tree that F12 or its button shows and hides (in pane 1
// of a splitter), the file list, the file-name edit and the file types. Closing with Open
// first validates the edit's text (file_dialog_rules.h): a wildcard filters the list, a
// typed folder is entered, every refusal is one message box captioned with the form's
// caption, and only an accepted text closes the form with its full paths. Between runs
// the component keeps the chosen files, the filter index, the form's size and state, the
// splitter position and whether the tree was shown; SaveState and LoadState write and
// read that state as 14 bytes.
#include <memory>
#include <string>

#include "framework/controls/buttons.h"
#include "framework/controls/extctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/core/strings.h"
#include "framework/win/forms.h"
#include "framework/win/menus.h"
#include "shell_controls/file_dialog_rules.h"
#include "shell_controls/shell_tree_win32.h"
#include "shell_controls/splitter_win32.h"

class TQsFrmOpenDlg;

class TQsDialog : public TComponent {
  FW_CLASS(TQsDialog, TComponent)

 public:
  explicit TQsDialog(TComponent* owner) : TComponent(owner) {}
  // True when the user confirmed. Entered again while it runs: "<class> already executing".
  bool Execute();
  int FormWidth() const { return formWidth_; }
  void SetFormWidth(int v) { formWidth_ = v; }
  int FormHeight() const { return formHeight_; }
  void SetFormHeight(int v) { formHeight_ = v; }
  TWindowState FormWindowState() const { return formState_; }
  void SetFormWindowState(TWindowState s) { formState_ = s; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& t) { title_ = t; }
  virtual void LoadState(TStream& stream);
  virtual void SaveState(TStream& stream);

  TNotifyEvent OnInitialized;

 protected:
  virtual void DoInitialized();
  virtual bool DoExecute() = 0;
  shell::TQsDialogState State() const;
  void TakeState(const shell::TQsDialogState& s);

 private:
  int formWidth_ = -1, formHeight_ = -1;
  TWindowState formState_ = TWindowState::wsNormal;
  std::string title_;
  bool executing_ = false;
};

class TQsFileDlg : public TQsDialog {
  FW_CLASS(TQsFileDlg, TQsDialog)

 public:
  explicit TQsFileDlg(TComponent* owner);
  TQsOpenOptions Options() const { return options_; }
  void SetOptions(TQsOpenOptions o) { options_ = o; }
  const std::string& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const std::string& e) { defaultExt_ = e; }
  // The first chosen file, else what was set.
  std::string FileName() const { return GetFileName(); }
  std::string GetFileName() const;
  void SetFileName(const std::string& n) { fileName_ = n; }
  TStringList& Files() { return *files_; }
  TStringList& HistoryList() { return *history_; }
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& f) { filter_ = f; }
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int i) { filterIndex_ = i; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int c) { helpContext_ = c; }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& d) { initialDir_ = d; }
  int FormSplitterPos() const { return splitterPos_; }
  void SetFormSplitterPos(int p) { splitterPos_ = p; }
  // The form of the run in progress; null between runs.
  TQsFrmOpenDlg* Form() const { return form_; }
  virtual bool IsSaveDialog() const { return false; }
  void LoadState(TStream& stream) override;
  void SaveState(TStream& stream) override;

  TQsShAddItemEvent OnAddListItem;
  TQsShAddItemEvent OnAddTreeItem;
  TQsShAddItemEvent OnAddComboItem;
  TQsShLvCustomDrawEvent OnLvCustomDrawSh;
  TQsShLvCustomDrawEvent OnLvCustomDrawShEx;
  TQsShTvCustomDrawEvent OnTvCustomDrawSh;
  TQsShTvCustomDrawEvent OnTvCustomDrawShEx;

 protected:
  ~TQsFileDlg() override;
  virtual TQsFrmOpenDlg* CreateForm();
  bool DoExecute() override;

 private:
  friend class TQsFrmOpenDlg;
  std::unique_ptr<TStringList> history_, files_;
  TQsOpenOptions options_ = kDefaultOpenOptions;
  std::string defaultExt_, fileName_, filter_, initialDir_;
  int filterIndex_ = 1;
  int helpContext_ = 0;
  int splitterPos_ = -1;
  TQsFrmOpenDlg* form_ = nullptr;
};

class TQsOpenDlg : public TQsFileDlg {
  FW_CLASS(TQsOpenDlg, TQsFileDlg)

 public:
  explicit TQsOpenDlg(TComponent* owner) : TQsFileDlg(owner) {}
};

class TQsSaveDlg : public TQsFileDlg {
  FW_CLASS(TQsSaveDlg, TQsFileDlg)

 public:
  explicit TQsSaveDlg(TComponent* owner) : TQsFileDlg(owner) {}
  bool IsSaveDialog() const override { return true; }
};

class TQsFrmOpenDlg : public TForm, private shell::TFileDialogHost {
  FW_CLASS(TQsFrmOpenDlg, TForm)

 public:
  explicit TQsFrmOpenDlg(TComponent* owner);
  const TMethodTable* Methods() const override;
  // Prepares the form for a run of dialog.
  void Setup(TQsFileDlg& dialog);
  virtual void ApplyTexts();
  void ShowTree(bool on);
  bool TreeShown() const;
  const std::vector<std::string>& Results() const { return results_; }
  bool FilledFromList() const { return filledFromList_; }

  TLabel* LookInTxt = nullptr;
  TQsShellCombo* QsShellCombo1 = nullptr;
  TSpeedButton *UpOneLevelBtn = nullptr, *CreateNewFolderBtn = nullptr, *ShowTreeBtn = nullptr, *ListBtn = nullptr,
               *DetailsBtn = nullptr;
  TQsSplitter* QsSplitter1 = nullptr;
  TQsPane *QsSplitter1_pane1 = nullptr, *QsSplitter1_pane2 = nullptr;
  TQsShellTree* QsShellTree1 = nullptr;
  TQsShellList* QsShellList1 = nullptr;
  TPanel* Panel1 = nullptr;
  TLabel *FileNameTxt = nullptr, *FilesOfTypeTxt = nullptr;
  TEdit* FileNameEdt = nullptr;
  TComboBox* FileNameCbx = nullptr;
  TQsCombobox* FileTypesCbx = nullptr;
  TButton *OpenBtn = nullptr, *CancelBtn = nullptr, *HelpBtn = nullptr;
  TCheckBox* ReadOnlyChk = nullptr;
  TPopupMenu* LvPopup = nullptr;
  TMenuItem *View1Mitm = nullptr, *LargeIcons1Mitm = nullptr, *Smallicons1MItm = nullptr, *List1Mitm = nullptr,
            *Details1Mitm = nullptr, *Paste1Mitm = nullptr, *New1Mitm = nullptr, *Folder1Mitm = nullptr,
            *Properties1Mitm = nullptr;

  void ViewBtnClick(TObject* sender);
  void FormResize(TObject* sender);
  void QsShellList1Change(TObject* sender, TListItem* item, TItemChange change);
  void UpOneLevelBtnClick(TObject* sender);
  void ShowTreeBtnClick(TObject* sender);
  void FormDestroy(TObject* sender);
  void FormKeyDown(TObject* sender, uint16_t& key, TShiftState shift);
  void FormCloseQuery(TObject* sender, bool& canClose);
  void QsShellTree1Change(TObject* sender, TTreeNode* node);
  void FileTypesCbxSelEndOk(TObject* sender);
  void CreateNewFolderBtnClick(TObject* sender);
  void FileNameEdtChange(TObject* sender);
  void Paste1MitmClick(TObject* sender);
  void Properties1MitmClick(TObject* sender);
  void HelpBtnClick(TObject* sender);

 private:
  // TFileDialogHost
  std::string ShownFolder() override;
  bool IsShellFolder(const std::string& full) override;
  void EnterFolder(const std::string& full) override;
  shell::TFileState StateOf(const std::string& full) override;
  std::string ShortcutTarget(const std::string& full) override;
  bool ExtensionRegistered(const std::string& ext) override;
  std::string SelectedItemPath(const std::string& text) override;
  void MoveToFolder(const std::string& folder) override;
  std::vector<std::string> ItemsNamed(const std::string& name) override;
  void SelectItemNamed(const std::string& name) override;
  bool Message(int id, const std::string& argument) override;

  void ApplyFilter(int index);
  void SetView(int tag);
  bool Validate(const std::string& text);
  void MakeGlyphs();

  TQsFileDlg* dialog_ = nullptr;
  TQsOpenOptions options_ = 0;
  std::string mask_;
  bool filledFromList_ = false;
  bool settingText_ = false;
  std::vector<std::string> results_;
  std::vector<std::string> masks_;  // of the type entries
};

void RegisterOpenDialogClasses();

// The dialog's "up one level" picture (16 x 16 on the button face), for other up-folder
// buttons.
void MakeUpFolderGlyph(TBitmap& bitmap);
