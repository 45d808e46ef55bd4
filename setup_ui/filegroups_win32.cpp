#include "setup_ui/filegroups_win32.h"

#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "setup_engine/install_driver.h"

namespace {

int64_t FreeSpace(char letter) {
  const std::string root = std::string(1, letter) + ":\\";
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) return 0;
  return int64_t(available.QuadPart);
}

// The drive list's two pictures: a drive, and the warning mark of a drive short of space.
void AddDrivePictures(TImageList& list) {
  TBitmap drive;
  drive.SetSize(16, 16);
  TCanvas& c = drive.Canvas();
  c.Brush().SetColor(clFuchsia);
  c.FillRect({0, 0, 16, 16});
  c.Brush().SetColor(clGray);
  c.FillRect({1, 5, 15, 12});
  c.Brush().SetColor(clLime);
  c.FillRect({11, 9, 13, 11});
  list.AddMasked(drive, clFuchsia);
  TBitmap mark;
  mark.SetSize(16, 16);
  TCanvas& m = mark.Canvas();
  m.Brush().SetColor(clFuchsia);
  m.FillRect({0, 0, 16, 16});
  m.Brush().SetColor(clYellow);
  m.Pen().SetColor(clRed);
  m.Polygon({{8, 1}, {15, 14}, {1, 14}});
  m.Brush().SetColor(clRed);
  m.FillRect({7, 5, 9, 10});
  m.FillRect({7, 11, 9, 13});
  list.AddMasked(mark, clFuchsia);
}

}  // namespace

// ---- the tree, the boxes

const TClassInfo& TGroupTreeView::StaticClass() {
  static const TClassInfo info{"TGroupTreeView", &TTreeView::StaticClass(), nullptr, {}};
  return info;
}

void TGroupTreeView::WndProc(TMessage& m) {
  TTreeView::WndProc(m);
  if (!HandleAllocated() || IsDestroying() || m.Msg == WM_NCDESTROY || m.Msg == WM_DESTROY) return;
  // Whatever moved the rows (keys, wheel, scroll bar, type-ahead, expansion), the side
  // columns follow them.
  auto top = reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
  const bool expansion = m.Msg == CN_NOTIFY && (NotifyOf(m).code == UINT(TVN_ITEMEXPANDEDA));
  if (top != top_ || expansion) {
    top_ = top;
    form_->LayoutColumns();
    if (expansion) form_->AdjustSpacers();
  }
}

const TClassInfo& TDriveSpaceListView::StaticClass() {
  static const TClassInfo info{"TDriveSpaceListView", &TListView::StaticClass(), nullptr, {}};
  return info;
}

const TClassInfo& TIncludeCheckBox::StaticClass() {
  static const TClassInfo info{"TIncludeCheckBox", &TCheckBox::StaticClass(), nullptr, {}};
  return info;
}

void TIncludeCheckBox::Click() {
  TCheckBox::Click();
  if (!Updating) form_->IncludeClicked(*this);
}

const TClassInfo& TSizeLabel::StaticClass() {
  static const TClassInfo info{"TSizeLabel", &TLabel::StaticClass(), nullptr, {}};
  return info;
}

// ---- the form

const TClassInfo& TFileGroupSelectForm::StaticClass() {
  static const TClassInfo info{"TFileGroupSelectForm", &TBaseInstallForm::StaticClass(),
                               Factory<TFileGroupSelectForm>(), {}, "TFILEGROUPSELECTFORM"};
  return info;
}

TFileGroupSelectForm::TFileGroupSelectForm(TComponent* owner) : TBaseInstallForm(owner) {
  SetDM(setup_ui::FindDialogManager(TManagerType::dmBeforeInstall));
  Order = 50;
}

const TMethodTable* TFileGroupSelectForm::Methods() const {
  using F = TFileGroupSelectForm;
  static const TMethodTable t = TMethodTable::Of<F>(TBaseInstallForm::Methods())
                                    .Field("CancelBtn", &F::CancelBtn)
                                    .Field("pnlGroups", &F::pnlGroups)
                                    .Field("pnlIncludeBack", &F::pnlIncludeBack)
                                    .Field("pnlInclude", &F::pnlInclude)
                                    .Field("pnIncludeRightDivider", &F::pnIncludeRightDivider)
                                    .Field("pnlIncludeSpacer", &F::pnlIncludeSpacer)
                                    .Field("pnlSizeBack", &F::pnlSizeBack)
                                    .Field("pnlSize", &F::pnlSize)
                                    .Field("pnlSizeRightDivider", &F::pnlSizeRightDivider)
                                    .Field("pnlSizeSpacer", &F::pnlSizeSpacer)
                                    .Field("GroupDescLabel", &F::GroupDescLabel)
                                    .Field("pnlDescriptionMemo", &F::pnlDescriptionMemo)
                                    .Field("DescriptionMemo", &F::DescriptionMemo)
                                    .Field("DirectoryLabel", &F::DirectoryLabel)
                                    .Field("BrowseBtn", &F::BrowseBtn)
                                    .Field("pnlDriveSpace", &F::pnlDriveSpace)
                                    .Field("ilDriveSpace", &F::ilDriveSpace)
                                    .Field("OpenDialog", &F::OpenDialog)
                                    .Handler<TNotifyEvent>("FormCreate", &F::FormCreate)
                                    .Handler<TNotifyEvent>("BrowseBtnClick", &F::BrowseBtnClick);
  return &t;
}

void TFileGroupSelectForm::FormCreate(TObject* sender) {
  TBaseInstallForm::FormCreate(sender);
  Tree = new TGroupTreeView(this, this);
  Tree->SetParent(pnlGroups);
  Tree->SetAlign(TAlign::alClient);
  Tree->SetHideSelection(false);
  Tree->SetReadOnly(true);
  Tree->OnChange = TTVChangedEvent([this](TObject*, TTreeNode*) {
    if (!filling_) ShowDetails();
  });
  Tree->OnClick = TNotifyEvent([this](TObject*) {
    if (Tree->Selected()) ShowDetails();
  });
  AddDrivePictures(*ilDriveSpace);
  Drives = new TDriveSpaceListView(this);
  Drives->SetParent(pnlDriveSpace);
  Drives->SetAlign(TAlign::alClient);
  Drives->SetViewStyle(TViewStyle::vsReport);
  Drives->SetSmallImages(ilDriveSpace);
  Drives->SetStateImages(ilDriveSpace);
  Drives->SetReadOnly(true);
  Drives->SetColumnClick(false);
  Drives->Columns().Add()->SetWidth(50);
  for (const char* caption : {"Space Required:", "Space Available:"}) {
    TListColumn* column = Drives->Columns().Add();
    column->SetCaption(setup::TranslateText(caption));
    column->SetWidth(120);
  }
}

TFileContainer* TFileGroupSelectForm::Groups() {
  TInstallContainer* c = Container() ? Container() : setup::Driver();
  if (!c) throw IEFileGroupSelectForm("Cannot show the install file groups dialog for blank container property");
  auto* groups = dynamic_cast<TFileContainer*>(c);
  if (!groups) throw IEFileGroupSelectForm("Container is not a TFileContainer for %s", {Name()});
  return groups;
}

bool TFileGroupSelectForm::SkipPage() {
  TInstallContainer* c = Container() ? Container() : setup::Driver();
  if (!c) return true;
  const TInstallType t = c->CurrentInstallType();
  return t != TInstallType::itAlways && t != TInstallType::itCustom;
}

void TFileGroupSelectForm::InitializeForm() {
  InitializeButtons(nullptr);
  FillTree();
  LayoutColumns();
  FillDrives();
  ShowDetails();
  if (Visible() && ProceedBtn->CanFocus()) ProceedBtn->SetFocus();
}

void TFileGroupSelectForm::FillTree() {
  TFileContainer* groups = Groups();
  TTreeNodes& nodes = Tree->Items();
  // The selection changes while the tree fills; the details come once it is full (they
  // handle pending messages, which must not meet a tree that does not draw).
  filling_ = true;
  nodes.BeginUpdate();
  struct TEnd {
    TTreeNodes& n;
    bool& filling;
    ~TEnd() {
      n.EndUpdate();
      filling = false;
    }
  } end{nodes, filling_};
  nodes.Clear();
  TTreeNode* root = nodes.AddObject(nullptr, setup::TranslateText(groups->GroupName()), groups);
  std::function<void(TTreeNode*, TInstallContainer*)> add = [&](TTreeNode* node, TInstallContainer* c) {
    for (TInstallObject* child : c->Children())
      if (auto* group = dynamic_cast<TFileContainer*>(child))
        add(nodes.AddChildObject(node, setup::TranslateText(group->GroupName()), group), group);
  };
  add(root, groups);
  root->SetSelected(true);
  root->Expand(false);
  AdjustSpacers();
  root->SetSelected(true);
}

void TFileGroupSelectForm::AdjustSpacers() {
  if (!Tree->HandleAllocated()) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE;
  const bool bar = (GetWindowLongPtrA(Tree->Handle(), GWL_STYLE) & WS_HSCROLL) &&
                   GetScrollInfo(Tree->Handle(), SB_HORZ, &si) && si.nMax >= int(si.nPage) && si.nPage > 0;
  for (TPanel* spacer : {pnlIncludeSpacer, pnlSizeSpacer}) {
    spacer->SetHeight(GetSystemMetrics(SM_CYHSCROLL));
    spacer->SetVisible(bar);
  }
}

void TFileGroupSelectForm::LayoutColumns() {
  // The walk asks the tree for its rows, which comes back here through the tree's messages.
  if (!Tree || !Tree->HandleAllocated() || layingOut_) return;
  layingOut_ = true;
  struct TDone {
    bool& flag;
    ~TDone() { flag = false; }
  } done{layingOut_};
  const int height = Tree->ClientHeight();
  size_t row = 0;
  for (TTreeNode* node = Tree->Items().GetFirstNode(); node; node = node->GetNext()) {
    if (!node->IsVisible()) continue;
    const TRect r = node->DisplayRect(false);
    if (r.Bottom <= 0) continue;
    if (r.Top >= height) break;
    auto* group = static_cast<TFileContainer*>(node->Data());
    if (row == includes_.Items.size()) {
      auto* box = new TIncludeCheckBox(this, this);
      box->SetParent(pnlInclude);
      includes_.Items.push_back(box);
      auto* size = new TSizeLabel(this);
      size->SetParent(pnlSize);
      size->SetAutoSize(false);
      size->SetAlignment(TAlignment::taRightJustify);
      sizes_.Items.push_back(size);
    }
    TIncludeCheckBox& box = *includes_.Items[row];
    box.SetCaption("");
    box.SetBounds(3, r.Top, pnlIncludeBack->Width() - pnIncludeRightDivider->Width() - 3, r.Height());
    box.Group = group;
    box.Updating = true;
    try {
      box.SetChecked(group->IsIncluded());
    } catch (...) {
      box.Updating = false;
      throw;
    }
    box.Updating = false;
    box.SetEnabled(group->AllowChoice());
    box.SetVisible(true);
    TSizeLabel& size = *sizes_.Items[row];
    size.Group = group;
    size.SetBounds(1, r.Top, pnlSizeBack->Width() - pnlSizeRightDivider->Width() - 3, r.Height());
    size.SetCaption(setup_ui::FormatBytes(group->SumSizesDeep(false), setup::TranslateText("Bytes")));
    size.SetVisible(true);
    ++row;
  }
  for (size_t i = row; i < includes_.Items.size(); ++i) {
    includes_.Items[i]->SetVisible(false);
    sizes_.Items[i]->SetVisible(false);
  }
}

void TFileGroupSelectForm::FillDrives() {
  TFileContainer* groups = Groups();
  const std::vector<setup_ui::TDriveEntry> table = setup_ui::BuildDriveTable(*groups, FreeSpace);
  const std::string bytes = setup::TranslateText("Bytes");
  TListItems& items = Drives->Items();
  items.BeginUpdate();
  items.Clear();
  for (const setup_ui::TDriveEntry& e : table) {
    TListItem* item = items.Add();
    item->SetCaption(std::string(1, e.Letter));
    item->SubItems().Add(setup_ui::FormatBytes(e.Required, bytes));
    item->SubItems().Add(setup_ui::FormatBytes(e.Available, bytes));
    item->SetImageIndex(0);
    item->SetStateIndex(setup_ui::DriveShort(e) ? 1 : -1);
  }
  items.EndUpdate();
  pnlDriveSpace->SetHeight(setup_ui::DrivePanelHeight(int(table.size())));
}

TFileContainer* TFileGroupSelectForm::SelectedGroup() const {
  TTreeNode* node = Tree ? Tree->Selected() : nullptr;
  return node ? static_cast<TFileContainer*>(node->Data()) : nullptr;
}

void TFileGroupSelectForm::ShowDetails() {
  TFileContainer* group = SelectedGroup();
  if (!group) return;
  DirectoryLabel->SetText(group->GetFullDestDir());
  BrowseBtn->SetEnabled(group->AllowChangeDir());
  const bool lines = group->Description().Count() > 0;
  pnlDescriptionMemo->SetVisible(lines);
  DescriptionMemo->SetVisible(lines);
  GroupDescLabel->SetVisible(lines);
  DescriptionMemo->Lines().SetText(setup::TranslateText(group->Description().Text()));
  Application->ProcessMessages();
  Tree->Repaint();
}

void TFileGroupSelectForm::IncludeClicked(TIncludeCheckBox& box) {
  if (!box.Group) return;
  box.Group->SetInclude(box.Checked());
  LayoutColumns();
  ShowDetails();
  FillDrives();
}

void TFileGroupSelectForm::BrowseBtnClick(TObject*) {
  TFileContainer* group = SelectedGroup();
  if (!group) return;
  if (OpenDialog->Execute()) {
    group->SetDestDirType(nullptr);
    group->SetDestDir(ExcludeTrailingBackslash(ExtractFilePath(OpenDialog->FileName)));
  }
  ShowDetails();
  FillDrives();
  LayoutColumns();
}

// ---- the dialog

const TClassInfo& TInstallFileGroupsDlg::StaticClass() {
  static const TClassInfo info{"TInstallFileGroupsDlg", &TBaseInstallDlg::StaticClass(),
                               Factory<TInstallFileGroupsDlg>(),
                               {TInstallContainer::InstallTypesProp()}};
  return info;
}

TInstallFileGroupsDlg::TInstallFileGroupsDlg(TComponent* owner)
    : TBaseInstallDlg(owner, 50, TManagerType::dmBeforeInstall) {
  RegisterPage();
}

bool TInstallFileGroupsDlg::Execute() {
  if (!Container())
    throw Exception(Format(setup::TranslateText("Cannot run this dialog %s with a blank Container property"), {Name()}));
  return TBaseInstallDlg::Execute();
}

void TInstallFileGroupsDlg::AssignDialogProperties() {
  TBaseInstallDlg::AssignDialogProperties();
  auto* page = dynamic_cast<TFileGroupSelectForm*>(RunningForm());
  if (!page) return;
  page->InitializeForm();
  page->BackBtn->SetVisible(false);
}

namespace setup_ui {

void RegisterFileGroupClasses() {
  RegisterClass(TInstallFileGroupsDlg::StaticClass());
  RegisterPageForm(TFileGroupSelectForm::StaticClass(), nullptr);
  UnregisterPageForm(TFileGroupSelectForm::StaticClass(), nullptr);
}

}  // namespace setup_ui
