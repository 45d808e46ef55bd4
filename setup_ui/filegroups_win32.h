#pragma once
// The file group page: the groups of a file container as a tree with an include box and a
// size beside every visible row, the chosen group's description and folder, and the space
// each drive needs and has.
//
// How it works: the tree fills from the container; after every change of the tree's top
// row or of an expansion (keys, wheel, scroll bar, clicks alike) the boxes and sizes are
// laid out again beside the rows now visible, so a box always stands for the group on its
// row. A tick changes the group's Include and refreshes the sizes, the details and the
// drive table (dialog_models.h, BuildDriveTable).
#include <vector>

#include "framework/controls/dialogs.h"
#include "framework/controls/imglist.h"
#include "framework/controls/listview.h"
#include "framework/controls/treeview.h"
#include "setup_engine/install_file.h"
#include "setup_ui/pages_win32.h"

class TFileGroupSelectForm;

class TGroupTreeView : public TTreeView {
  FW_CLASS(TGroupTreeView, TTreeView)

 public:
  TGroupTreeView(TComponent* owner, TFileGroupSelectForm* form) : TTreeView(owner), form_(form) {}

 protected:
  void WndProc(TMessage& m) override;

 private:
  TFileGroupSelectForm* form_;
  HTREEITEM top_ = nullptr;
};

class TDriveSpaceListView : public TListView {
  FW_CLASS(TDriveSpaceListView, TListView)

 public:
  explicit TDriveSpaceListView(TComponent* owner) : TListView(owner) {}
};

class TIncludeCheckBox : public TCheckBox {
  FW_CLASS(TIncludeCheckBox, TCheckBox)

 public:
  TIncludeCheckBox(TComponent* owner, TFileGroupSelectForm* form) : TCheckBox(owner), form_(form) {}
  TFileContainer* Group = nullptr;
  bool Updating = false;

 protected:
  void Click() override;

 private:
  TFileGroupSelectForm* form_;
};

class TSizeLabel : public TLabel {
  FW_CLASS(TSizeLabel, TLabel)

 public:
  explicit TSizeLabel(TComponent* owner) : TLabel(owner) {}
  TFileContainer* Group = nullptr;
};

// The controls of a side column, made on demand and reused while the form lives.
template <class T>
class TFGSFList {
 public:
  std::vector<T*> Items;
};
class TIncludeList : public TFGSFList<TIncludeCheckBox> {};
class TSizeList : public TFGSFList<TSizeLabel> {};

class TFileGroupSelectForm : public TBaseInstallForm {
  FW_CLASS(TFileGroupSelectForm, TBaseInstallForm)

 public:
  explicit TFileGroupSelectForm(TComponent* owner);
  TButton* CancelBtn = nullptr;
  TPanel* pnlGroups = nullptr;
  TPanel* pnlIncludeBack = nullptr;
  TPanel* pnlInclude = nullptr;
  TPanel* pnIncludeRightDivider = nullptr;
  TPanel* pnlIncludeSpacer = nullptr;
  TPanel* pnlSizeBack = nullptr;
  TPanel* pnlSize = nullptr;
  TPanel* pnlSizeRightDivider = nullptr;
  TPanel* pnlSizeSpacer = nullptr;
  TLabel* GroupDescLabel = nullptr;
  TPanel* pnlDescriptionMemo = nullptr;
  TMemo* DescriptionMemo = nullptr;
  TEdit* DirectoryLabel = nullptr;
  TButton* BrowseBtn = nullptr;
  TPanel* pnlDriveSpace = nullptr;
  TImageList* ilDriveSpace = nullptr;
  TOpenDialog* OpenDialog = nullptr;
  TGroupTreeView* Tree = nullptr;
  TDriveSpaceListView* Drives = nullptr;
  const TIncludeList& IncludeList() const { return includes_; }
  const TSizeList& SizeList() const { return sizes_; }

  void InitializeForm() override;
  bool SkipPage() override;
  // The container whose groups the page shows: the dialog's, else the driver.
  TFileContainer* Groups();
  void FillTree();
  // Boxes and sizes beside the rows now visible.
  void LayoutColumns();
  void AdjustSpacers();
  void FillDrives();
  void ShowDetails();
  void IncludeClicked(TIncludeCheckBox& box);

  void FormCreate(TObject* Sender);
  void BrowseBtnClick(TObject* Sender);
  const TMethodTable* Methods() const override;

 private:
  TFileContainer* SelectedGroup() const;
  TIncludeList includes_;
  TSizeList sizes_;
  bool layingOut_ = false;
  bool filling_ = false;
};

class TInstallFileGroupsDlg : public TBaseInstallDlg {
  FW_CLASS(TInstallFileGroupsDlg, TBaseInstallDlg)

 public:
  explicit TInstallFileGroupsDlg(TComponent* owner);
  const TClassInfo& FormClass() const override { return TFileGroupSelectForm::StaticClass(); }
  bool Execute() override;
  // Then InitializeForm, and Back hidden again.
  void AssignDialogProperties() override;

 protected:
  int OwnCode() const override { return setup::icSelectFileGroups; }
};

namespace setup_ui {

void RegisterFileGroupClasses();

}  // namespace setup_ui
