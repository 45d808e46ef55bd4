#include "shell_controls/shell_tree_win32.h"

#include <algorithm>
#include <functional>

#include "framework/core/sysutils.h"
#include "shell_controls/shell_list_rules.h"
#include "shell_controls/shell_view_helpers_win32.h"

namespace {

const TTypeInfo kTreeOptions{{"qsstoAutoFill", "qsstoVirtualFolders", "qsstoDesignInteractive",
                              "qsstoDefaultKeyHandling", "qsstoContextMenus", "qsstoDynamicRefresh",
                              "qsstoIncludeNonFolders", "qsstoOleDrag", "qsstoOleDrop"},
                             {}};

constexpr ULONG kAddMask = 0xF20B0000u;
constexpr ULONG kRefreshMask = 0xF3000000u;

struct TRaise {
  int& n;
  explicit TRaise(int& counter) : n(counter) { ++n; }
  ~TRaise() { --n; }
};

int CompareResult(HRESULT hr) { return FAILED(hr) ? 1 : int(int16_t(uint16_t(HRESULT_CODE(hr)))); }

}  // namespace

// ---- TQsShTreeData

TQsShTreeData::~TQsShTreeData() {
  ClearCache();
  PidlFree(relative_);
}

void TQsShTreeData::Init(TQsCustomShellTree* owner, TQsShTreeData* parent, LPITEMIDLIST relative) {
  owner_ = owner;
  parent_ = parent;
  PidlFree(relative_);
  relative_ = relative;
  initialised_ = true;
}

void TQsShTreeData::SetIdList(LPITEMIDLIST relative) {
  ClearCache();
  PidlFree(relative_);
  relative_ = relative;
  GetAbsIdList();
}

void TQsShTreeData::ClearCache() {
  PidlFree(absolute_);
  absolute_ = nullptr;
  if (folder_) folder_->Release();
  folder_ = nullptr;
}

void TQsShTreeData::SetFolder(IShellFolder* folder) {
  if (folder) folder->AddRef();
  if (folder_) folder_->Release();
  folder_ = folder;
}

LPCITEMIDLIST TQsShTreeData::GetAbsIdList() {
  if (!absolute_) {
    LPCITEMIDLIST up = parent_ ? parent_->GetAbsIdList() : nullptr;
    absolute_ = ConcatPidls(nullptr, up, relative_);
  }
  return absolute_;
}

IShellFolder* TQsShTreeData::GetFolder() {
  if (folder_) return folder_;
  if (!parent_) {
    IShellFolder* f = nullptr;
    if (SUCCEEDED(QsShell().BindFolder(GetAbsIdList(), f))) folder_ = f;
    return folder_;
  }
  IShellFolder* up = parent_->GetFolder();
  if (!up || !relative_) return nullptr;
  void* out = nullptr;
  if (SUCCEEDED(up->BindToObject(relative_, nullptr, IID_IShellFolder, &out))) folder_ = static_cast<IShellFolder*>(out);
  return folder_;
}

IShellFolder* TQsShTreeData::GetParentFolder() { return parent_ ? parent_->GetFolder() : nullptr; }

std::string TQsShTreeData::GetPath() {
  if (!initialised_) throw EInvalidOperation("TQsShTreeData not initialised");
  return PidlToPath(GetAbsIdList());
}

bool TQsShTreeData::CanRename() {
  if (!parent_ || !relative_ || shell::IsEmptyList(Bytes(relative_))) return false;
  ULONG a = AttributesOf(GetParentFolder(), relative_, 0x40000177u);
  return (a & SFGAO_FILESYSTEM) && (a & SFGAO_CANRENAME);
}

// ---- TQsCustomShellTree

const TClassInfo& TQsCustomShellTree::StaticClass() {
  static const TClassInfo info{"TQsCustomShellTree", &TQsCustomTreeView::StaticClass(), nullptr, {}};
  return info;
}

const TClassInfo& TQsShellTree::StaticClass() {
  using P = TProps<TQsShellTree>;
  static const TClassInfo info{
      "TQsShellTree", &TQsCustomShellTree::StaticClass(), Factory<TQsShellTree>(),
      {P::Set("Options", &kTreeOptions, &TQsShellTree::Options, &TQsShellTree::SetOptions)
           .WithDefault(int64_t(kDefaultShellTreeOptions)),
       P::Nested("BaseFolder", [](TQsShellTree& t) -> TPersistent& { return t.BaseFolder(); }),
       P::Component<TQsCustomShellList>(
           "ShellList", [](const TQsShellTree& t) { return t.ShellList(); },
           [](TQsShellTree& t, TQsCustomShellList* l) { t.SetShellList(l); }),
       // A shell tree starts without lines at its root and with begin-drag reports.
       P::Bool("ShowRoot", &TQsShellTree::ShowRoot, &TQsShellTree::SetShowRoot).WithDefault(false),
       P::Enum<TDragMode>("DragMode", &DragModeTypeInfo(), &TQsShellTree::DragMode, &TQsShellTree::SetDragMode)
           .WithDefault(int64_t(TDragMode::dmAutomatic)),
       P::Event("OnAddItem", &TQsShellTree::OnAddItem),
       P::Event("OnDeleteItem", &TQsShellTree::OnDeleteItem),
       P::Event("OnPopupHint", &TQsShellTree::OnPopupHint),
       P::Event("OnCustomDrawSh", &TQsShellTree::OnCustomDrawSh),
       P::Event("OnCustomDrawShEx", &TQsShellTree::OnCustomDrawShEx),
       P::Event("OnFillComplete", &TQsShellTree::OnFillComplete),
       // The tree's own image list shows the system's images and is made by the tree.
       P::Component<TImageList>("Images", &TQsShellTree::Images, &TQsShellTree::SetImages).AsHidden()}};
  return info;
}

TQsCustomShellTree::TQsCustomShellTree(TComponent* owner)
    : TQsCustomTreeView(owner), timer_(new TTimer(this)), images_(new TImageList(this)) {
  timer_->SetEnabled(false);
  timer_->OnTimer = TNotifyEvent([this](TObject*) { TimerFired(); });
  base_.OnChange = TNotifyEvent([this](TObject*) { BaseChanged(); });
  current_.OnChange = TNotifyEvent([this](TObject*) { CurrentChanged(); });
  SetShowRoot(false);
  images_->SetShareImages(true);
  images_->SetHandle(SystemImageList(0));
  SetImages(images_);
  SetDragMode(TDragMode::dmAutomatic);
}

TQsCustomShellTree::~TQsCustomShellTree() = default;

void TQsCustomShellTree::BeforeDestruction() {
  base_.OnChange = {};
  current_.OnChange = {};
  if (dropTarget_) {
    dropTarget_->Detach();
    dropTarget_->Release();
    dropTarget_ = nullptr;
  }
  TQsCustomTreeView::BeforeDestruction();
  changes_.reset();
  if (over_) over_->Release();
  over_ = nullptr;
}

void TQsCustomShellTree::SetBaseFolder(const TQsShellLocator& base) {
  if (IsLoading()) return;
  base_.Assign(&base);
}

void TQsCustomShellTree::SetOptions(TQsShellTreeOptions o) {
  TQsShellTreeOptions old = options_;
  options_ = o;
  if (IsLoading() || !HandleAllocated() || ((old ^ o) & qsstoOleDrop) == 0) return;
  if (o & qsstoOleDrop) {
    if (!dropTarget_) dropTarget_ = new TDropTarget_shlv(this);
    RegisterDropTarget(dropTarget_);
  } else {
    RevokeDropTarget();
    if (dropTarget_) {
      dropTarget_->Detach();
      dropTarget_->Release();
      dropTarget_ = nullptr;
    }
  }
}

void TQsCustomShellTree::SetShellList(TQsCustomShellList* list) {
  TQsCustomShellList* old = list_.Get();
  if (old == list) return;
  list_ = list;
  if (old && old->ShellTree() == this) old->SetShellTree(nullptr);
  if (list) {
    if (list->ShellTree() != this) list->SetShellTree(this);
    if (!IsLoading()) list->Folder().Assign(&current_);
  }
}

void TQsCustomShellTree::SetShellCombo(TQsCustomShellCombo* combo) {
  TQsCustomShellCombo* old = combo_.Get();
  if (old == combo) return;
  combo_ = combo;
  if (old && old->ShellTree() == this) old->SetShellTree(nullptr);
  if (combo && combo->ShellTree() != this) combo->SetShellTree(this);
}

void TQsCustomShellTree::SetFolderFrom(TQsShellLocator& locator) {
  if (IsLoading() || changing_ > 0) {
    if (TQsCustomShellList* l = list_.Get()) l->Folder().Assign(&current_);
    return;
  }
  current_.Assign(&locator);
}

TQsShTreeData* TQsCustomShellTree::NodeData(TTreeNode* node) const {
  return node ? dynamic_cast<TQsShTreeData*>(static_cast<TObject*>(node->Data())) : nullptr;
}

TTreeNode* TQsCustomShellTree::RootNode() {
  for (TTreeNode* n = Items().GetFirstNode(); n; n = n->GetNextSibling())
    if (NodeData(n)) return n;
  return nullptr;
}

// ---- building

void TQsCustomShellTree::CreateWindowHandle() {
  TQsCustomTreeView::CreateWindowHandle();
  if (options_ & qsstoOleDrop) {
    if (!dropTarget_) dropTarget_ = new TDropTarget_shlv(this);
    RegisterDropTarget(dropTarget_);
  }
  if ((options_ & qsstoAutoFill) && Items().Count() == 0 && !IsLoading()) Rebuild();
}

void TQsCustomShellTree::Loaded() {
  if ((options_ & qsstoAutoFill) && !combo_.Get() && HandleAllocated()) {
    Rebuild();
    if (TQsCustomShellList* l = list_.Get()) l->Folder().Assign(&current_);
  }
  refuseExpand_ = true;
  struct Allow {
    bool& f;
    ~Allow() { f = false; }
  } allow{refuseExpand_};
  TQsCustomTreeView::Loaded();
}

void TQsCustomShellTree::BaseChanged() {
  if (IsLoading()) return;
  {
    TRaise nested(changing_);
    current_.SetIdList(nullptr);
  }
  if (options_ & qsstoAutoFill) {
    pathFlag_ = true;
    Rebuild();
  }
}

void TQsCustomShellTree::CurrentChanged() {
  if (changing_ > 0 || Items().Count() == 0) return;
  SelectPidl(current_.GetIdList());
}

void TQsCustomShellTree::Rebuild() {
  if (dragOut_ || IsEditing()) {
    refreshPending_ = true;
    return;
  }
  if (!HandleAllocated()) return;
  refreshPending_ = false;
  {
    THourglass hourglass;
    TRaise nested(changing_);
    SetSelected(nullptr);
    Items().Clear();
    TComRef<IShellFolder> folder;
    HRESULT hr = QsShell().BindFolder(base_.GetIdList(), *folder.Out());
    if (FAILED(hr)) RaiseShellError(hr);
    FillLevel(folder.Get(), nullptr);
  }
  LPCITEMIDLIST current = current_.GetIdList();
  if (current && !shell::IsEmptyList(Bytes(current)))
    SelectPidl(current);
  else if (TTreeNode* first = Items().GetFirstNode())
    SetSelected(first);
  if (options_ & qsstoDynamicRefresh) StartWatching();
}

void TQsCustomShellTree::FillLevel(IShellFolder* folder, TTreeNode* node) {
  TQsShTreeData* parentData = nullptr;
  bool root = node == nullptr;
  if (root) {
    auto* data = new TQsShTreeData;
    LPCITEMIDLIST base = base_.GetIdList();
    data->Init(this, nullptr, CopyPidl(nullptr, base));
    data->SetFolder(folder);
    TPidl desktop;
    LPCITEMIDLIST absolute = data->GetAbsIdList();
    SHFILEINFOA fi{};
    SHGetFileInfoA(reinterpret_cast<LPCSTR>(absolute), 0, &fi, sizeof fi, SHGFI_DISPLAYNAME | SHGFI_PIDL);
    try {
      node = Items().AddObject(nullptr, fi.szDisplayName, data);
    } catch (...) {
      delete data;
      throw;
    }
    node->SetImageIndex(PidlIconIndex(absolute, SHGFI_SMALLICON));
    node->SetSelectedIndex(PidlIconIndex(absolute, SHGFI_SMALLICON | SHGFI_OPENICON));
    node->SetHasChildren(true);
    parentData = data;
  } else {
    parentData = NodeData(node);
  }
  TComRef<IEnumIDList> items;
  SHCONTF flags = SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN | ((options_ & qsstoIncludeNonFolders) ? SHCONTF_NONFOLDERS : 0);
  HRESULT hr = folder ? folder->EnumObjects(HandleAllocated() ? Handle() : nullptr, flags, items.Out()) : E_FAIL;
  if (FAILED(hr)) {
    node->SetHasChildren(false);
    RaiseShellError(hr);
  }
  if (items) {
    Items().BeginUpdate();
    struct End {
      TTreeNodes& n;
      ~End() { n.EndUpdate(); }
    } end{Items()};
    for (;;) {
      LPITEMIDLIST next = nullptr;
      ULONG fetched = 0;
      hr = items->Next(1, &next, &fetched);
      if (hr != S_OK || fetched != 1) {
        PidlFree(next);
        break;
      }
      AddNode(folder, parentData, node, next);
    }
    if (hr != S_FALSE) RaiseShellError(FAILED(hr) ? hr : E_UNEXPECTED);
  }
  if (node->Count() == 0) node->SetHasChildren(false);
  SortChildren(node);
  if (root) node->Expand();
  DoFillComplete();
}

TTreeNode* TQsCustomShellTree::AddNode(IShellFolder* folder, TQsShTreeData* parentData, TTreeNode* parent,
                                       LPITEMIDLIST item) {
  TPidl taken(item);
  ULONG a = AttributesOf(folder, item, kAddMask);
  bool keep = (options_ & qsstoVirtualFolders) || (a & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR));
  if (!keep || !DoAddItem(folder, parentData ? parentData->GetAbsIdList() : nullptr, item, a)) return nullptr;
  std::string caption = PidlDisplayName(folder, item, 1);
  bool button = (options_ & qsstoIncludeNonFolders) ? (a & (SFGAO_HASSUBFOLDER | SFGAO_FOLDER)) != 0
                                                     : (a & SFGAO_HASSUBFOLDER) && (a & SFGAO_FOLDER);
  auto* data = new TQsShTreeData;
  data->Init(this, parentData, taken.Release());
  TTreeNode* node;
  try {
    node = Items().AddChildObject(parent, caption, data);
  } catch (...) {
    delete data;
    throw;
  }
  node->SetImageIndex(0);
  node->SetSelectedIndex(0);
  node->SetHasChildren(button);
  if (a & SFGAO_SHARE)
    node->SetOverlayIndex(0);
  else if (a & SFGAO_LINK)
    node->SetOverlayIndex(1);
  if (a & SFGAO_GHOSTED) node->SetCut(true);
  return node;
}

void TQsCustomShellTree::SortChildren(TTreeNode* node) {
  TQsShTreeData* d = NodeData(node);
  IShellFolder* folder = d ? d->GetFolder() : nullptr;
  if (!folder || node->Count() < 2) return;
  node->CustomSort([this, folder](TTreeNode* a, TTreeNode* b) {
    TQsShTreeData* da = NodeData(a);
    TQsShTreeData* db = NodeData(b);
    if (!da || !db) return 0;
    HRESULT hr = folder->CompareIDs(0, da->RelativeIdList(), db->RelativeIdList());
    return FAILED(hr) ? 0 : int(int16_t(uint16_t(HRESULT_CODE(hr))));
  });
}

bool TQsCustomShellTree::DoAddItem(IShellFolder* folder, LPCITEMIDLIST folderList, LPCITEMIDLIST item,
                                   ULONG attributes) {
  int32_t allow = 1;
  if (EventsAllowed()) OnAddItem(this, folder, folderList, item, attributes, allow);
  return allow != 0;
}

void TQsCustomShellTree::DoDeleteItem(TTreeNode* node) {
  TQsShTreeData* data = NodeData(node);
  if (data && EventsAllowed()) OnDeleteItem(this, node, data);
  if (data) {
    node->SetData(nullptr);
    delete data;
  }
}

void TQsCustomShellTree::Delete(TTreeNode* node) {
  if (node == highlighted_) highlighted_ = nullptr;
  TQsCustomTreeView::Delete(node);
  DoDeleteItem(node);
}

void TQsCustomShellTree::DoFillComplete() {
  if (EventsAllowed()) OnFillComplete(this);
}

bool TQsCustomShellTree::CanExpand(TTreeNode* node) {
  if (refuseExpand_) return false;
  if (!TQsCustomTreeView::CanExpand(node)) return false;
  FillChildren(node);
  return true;
}

void TQsCustomShellTree::FillChildren(TTreeNode* node) {
  if (node->Count() > 0 || !node->HasChildren()) return;
  TQsShTreeData* d = NodeData(node);
  IShellFolder* folder = d ? d->GetFolder() : nullptr;
  if (!folder) {
    node->SetHasChildren(false);
    return;
  }
  THourglass hourglass;
  FillLevel(folder, node);
}

void TQsCustomShellTree::GetImageIndex(TTreeNode* node) {
  if (node->ImageIndex() == 0)
    if (TQsShTreeData* d = NodeData(node)) node->SetImageIndex(PidlIconIndex(d->GetAbsIdList(), SHGFI_SMALLICON));
  TQsCustomTreeView::GetImageIndex(node);
}

void TQsCustomShellTree::GetSelectedIndex(TTreeNode* node) {
  if (node->SelectedIndex() == 0)
    if (TQsShTreeData* d = NodeData(node))
      node->SetSelectedIndex(PidlIconIndex(d->GetAbsIdList(), SHGFI_SMALLICON | SHGFI_OPENICON));
  TQsCustomTreeView::GetSelectedIndex(node);
}

// ---- selection

void TQsCustomShellTree::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  pathFlag_ = true;
  TQsCustomTreeView::MouseDown(button, shift, x, y);
}

void TQsCustomShellTree::Change(TTreeNode* node) {
  TQsShTreeData* d = NodeData(node);
  if (changing_ > 0 || IsLoading()) {
    if (d) {
      TRaise nested(changing_);
      current_.SetIdList(d->GetAbsIdList());
    }
    return;
  }
  TQsCustomTreeView::Change(node);
  if (!d) return;
  if (pathFlag_ || !list_.Get()) {
    SyncLinked(node);
  } else {
    timerMode_ = 1;
    timer_->SetEnabled(false);
    timer_->SetInterval(500);
    timer_->SetEnabled(true);
  }
}

void TQsCustomShellTree::SyncLinked(TTreeNode* node) {
  TQsShTreeData* d = NodeData(node);
  pathFlag_ = false;
  if (!d) return;
  TRaise nested(changing_);
  LPCITEMIDLIST absolute = d->GetAbsIdList();
  current_.SetIdList(absolute);
  if (TQsCustomShellList* l = list_.Get())
    if (!l->IsLoading()) l->Folder().SetIdList(absolute);
  if (TQsCustomShellCombo* c = combo_.Get()) c->TreeNodeChanged(absolute);
}

void TQsCustomShellTree::TimerFired() {
  timer_->SetEnabled(false);
  int mode = timerMode_;
  timerMode_ = 0;
  if (mode == 1)
    SyncLinked(Selected());
  else if (mode == 2)
    RefreshInPlace();
}

void TQsCustomShellTree::FlushPendingRefresh(bool syncLinked) {
  if (syncLinked) {
    if (TQsCustomShellList* l = list_.Get()) l->FlushPendingRefresh(false);
  }
  if (timer_->Enabled()) TimerFired();
}

void TQsCustomShellTree::SelectPidl(LPCITEMIDLIST list) {
  if (changing_ > 0) return;
  pathFlag_ = true;
  TTreeNode* root = RootNode();
  if (!root) return;
  Items().BeginUpdate();
  struct End {
    TTreeNodes& n;
    ~End() { n.EndUpdate(); }
  } end{Items()};
  const uint8_t* base = Bytes(base_.GetIdList());
  const uint8_t* target = Bytes(list);
  int b = base ? shell::ListCount(base) : 0;
  int t = target ? shell::ListCount(target) : 0;
  if (t == 0) {
    SetSelected(Items().GetFirstNode());
    return;
  }
  if (b == t && ComparePidls(list, base_.GetIdList()) == 0) {  // the base itself
    SetSelected(root);
    return;
  }
  bool inside = b < t;
  if (inside && b > 0) {
    TPidl lead(AsPidl(shell::LeadingItems(ShellAllocator(), target, b)));
    inside = ComparePidls(lead.Get(), base_.GetIdList()) == 0;
  }
  if (!inside) {
    SetSelected(root);
    root->Collapse();
    return;
  }
  TQsCustomShellList* l = list_.Get();
  bool hideFolders = l && (l->Options() & qssloHideFoldersWhenLinkedToTree);
  TTreeNode* node = root;
  root->Expand();
  for (int i = b; i < t; ++i) {
    TQsShTreeData* d = NodeData(node);
    IShellFolder* folder = d ? d->GetFolder() : nullptr;
    if (!folder) break;
    FillChildren(node);
    TPidl item(AsPidl(shell::ItemList(ShellAllocator(), target, i)));
    TTreeNode* found = nullptr;
    for (int k = 0; k < node->Count() && !found; ++k)
      if (TQsShTreeData* cd = NodeData(node->Item(k)))
        if (CompareResult(folder->CompareIDs(0, cd->RelativeIdList(), item.Get())) == 0) found = node->Item(k);
    if (!found) break;
    node = found;
    if (i < t - 1 || hideFolders) node->Expand();
  }
  SetSelected(node);
  node->MakeVisible();
}

void TQsCustomShellTree::GoUp(int levels) {
  TTreeNode* node = Selected();
  if (!node || !node->Parent()) return;
  for (int i = 0; i < levels && node->Parent(); ++i) node = node->Parent();
  pathFlag_ = true;
  SetSelected(node);
}

std::string TQsCustomShellTree::GetSelectedPath() {
  TQsShTreeData* d = NodeData(Selected());
  return d ? d->GetPath() : std::string();
}

// ---- refreshing

void TQsCustomShellTree::RefreshInPlace() {
  if (dragOut_ || IsEditing()) {
    refreshPending_ = true;
    return;
  }
  refreshPending_ = false;
  TTreeNode* root = RootNode();
  if (!root) {
    Rebuild();
    return;
  }
  THourglass hourglass;
  TTreeNode* remembered = Selected();
  {
    Items().BeginUpdate();
    struct End {
      TTreeNodes& n;
      ~End() { n.EndUpdate(); }
    } end{Items()};
    TRaise nested(changing_);
    SetSelected(nullptr);
    RefreshNode(root, remembered);
  }
  pathFlag_ = true;
  SetSelected(remembered);
  if (!remembered) pathFlag_ = false;
}

void TQsCustomShellTree::RefreshNode(TTreeNode* node, TTreeNode*& remembered) {
  TQsShTreeData* d = NodeData(node);
  IShellFolder* folder = d ? d->GetFolder() : nullptr;
  if (!folder) return;
  bool removed = false;
  for (int i = node->Count() - 1; i >= 0; --i) {
    TTreeNode* child = node->Item(i);
    TQsShTreeData* cd = NodeData(child);
    if (!cd) continue;
    bool ok = false;
    ULONG a = AttributesOf(folder, cd->RelativeIdList(), kRefreshMask, &ok);
    if (ok) {
      std::string path = cd->GetPath();
      ok = path.empty() || GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    if (ok) {
      if (child->Count() == 0 && (a & SFGAO_HASSUBFOLDER) && (a & SFGAO_FOLDER)) child->SetHasChildren(true);
      continue;
    }
    for (TTreeNode* r = remembered; r; r = r->Parent())
      if (r == child) {
        remembered = node;
        break;
      }
    child->Delete();
    removed = true;
  }
  if (removed && node->Count() == 0) node->SetHasChildren(false);
  // New folders of an expanded node (or the root).
  if (node->Count() > 0 || node == RootNode() || node->Expanded()) {
    TComRef<IEnumIDList> items;
    SHCONTF flags = SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN | ((options_ & qsstoIncludeNonFolders) ? SHCONTF_NONFOLDERS : 0);
    bool added = false;
    if (SUCCEEDED(folder->EnumObjects(Handle(), flags, items.Out())) && items) {
      for (;;) {
        LPITEMIDLIST next = nullptr;
        ULONG fetched = 0;
        if (items->Next(1, &next, &fetched) != S_OK || fetched != 1) {
          PidlFree(next);
          break;
        }
        bool known = false;
        for (int i = 0; i < node->Count() && !known; ++i)
          if (TQsShTreeData* cd = NodeData(node->Item(i)))
            known = CompareResult(folder->CompareIDs(0, next, cd->RelativeIdList())) == 0;
        if (known) {
          PidlFree(next);
          continue;
        }
        if (AddNode(folder, d, node, next)) added = true;
      }
    }
    if (added) {
      node->SetHasChildren(true);
      SortChildren(node);
    }
  }
  for (int i = 0; i < node->Count(); ++i)
    if (node->Item(i)->Expanded()) RefreshNode(node->Item(i), remembered);
}

void TQsCustomShellTree::StartWatching() {
  if (!HandleAllocated()) return;
  if (!changes_) changes_ = std::make_unique<TChangeHandlerThread>(Handle(), kShellChangedMessage);
  changes_->CloseAll();
  DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    std::string root = std::string(1, char('A' + i)) + ":\\";
    UINT type = GetDriveTypeA(root.c_str());
    if (type == DRIVE_FIXED || type == DRIVE_REMOTE || type == DRIVE_RAMDISK) AddWatchPath(root);
  }
}

void TQsCustomShellTree::AddWatchPath(const std::string& path) {
  if (!changes_) return;
  if (path.empty()) {
    changes_->CloseAll();
    return;
  }
  int slot = -1;
  DWORD filter = FILE_NOTIFY_CHANGE_DIR_NAME | ((options_ & qsstoIncludeNonFolders) ? FILE_NOTIFY_CHANGE_FILE_NAME : 0);
  changes_->AddWatch(shell::AppendCharIfMissing(path, '\\'), filter, slot, true);
}

void TQsCustomShellTree::ChangeNotified() {
  if (ignoreNext_ || dragOut_) {
    if (dragOut_) refreshPending_ = true;
    ignoreNext_ = false;
    return;
  }
  // A refresh already waiting is not put off again: the drives may change without pause.
  if (timerMode_ == 2 && timer_->Enabled()) return;
  timerMode_ = 2;
  timer_->SetEnabled(false);
  timer_->SetInterval(Focused() ? 400 : 2000);
  timer_->SetEnabled(true);
}

// ---- keys, menus, renaming, new folders

void TQsCustomShellTree::InvokeNodeVerb(const std::string& verb) {
  TTreeNode* node = Selected();
  TQsShTreeData* d = NodeData(node);
  if (!d || !d->Parent() || !d->GetParentFolder()) return;
  LPCITEMIDLIST items[1] = {d->RelativeIdList()};
  IContextMenu* menu = nullptr;
  HMENU popup = nullptr;
  OleCheck(BuildContextMenu(Handle(), d->GetParentFolder(), 1, items, menu, popup));
  TQsShellMenu shown(menu, popup, nullptr, nullptr);
  RunMenuCommand(Handle(), menu, verb);
}

void TQsCustomShellTree::KeyDown(uint16_t& key, TShiftState shift) {
  if ((options_ & qsstoDefaultKeyHandling) && !IsEditing() && key) {
    bool ctrl = shift & ssCtrl;
    bool handled = true;
    if (key == VK_F2 && !shift) {
      if (TTreeNode* n = Selected()) n->EditText();
    } else if (key == VK_F5 && !shift) {
      RefreshInPlace();
    } else if (key == VK_DELETE && !shift) {
      InvokeNodeVerb("delete");
    } else if (ctrl && key == 'X') {
      InvokeNodeVerb("cut");
    } else if (ctrl && key == 'C') {
      InvokeNodeVerb("copy");
    } else if (ctrl && key == 'V') {
      InvokeNodeVerb("paste");
    } else {
      handled = false;
    }
    if (handled) {
      key = 0;
      return;
    }
  }
  TQsCustomTreeView::KeyDown(key, shift);
}

void TQsCustomShellTree::ContextMenuRequest(TTreeNode* node, TPoint point, TPopupMenu*& menu) {
  if (!(options_ & qsstoContextMenus) || dragOut_) {
    TQsCustomTreeView::ContextMenuRequest(node, point, menu);
    return;
  }
  menu = nullptr;
  ShowShellMenu(node, point);
}

void TQsCustomShellTree::ShowShellMenu(TTreeNode* node, TPoint client) {
  TQsShTreeData* d = NodeData(node);
  if (!d || !d->Parent() || !d->GetParentFolder() || !d->RelativeIdList() ||
      shell::IsEmptyList(Bytes(d->RelativeIdList())))
    return;
  LPCITEMIDLIST items[1] = {d->RelativeIdList()};
  IContextMenu* menu = nullptr;
  HMENU popup = nullptr;
  OleCheck(BuildContextMenu(Handle(), d->GetParentFolder(), 1, items, menu, popup));
  menu_ = std::make_unique<TQsShellMenu>(menu, popup, images_, [this](const std::string& hint) {
    if (EventsAllowed()) OnPopupHint(this, hint);
  });
  struct Done {
    std::unique_ptr<TQsShellMenu>& m;
    ~Done() { m.reset(); }
  } done{menu_};
  TPoint at = ClientToScreen(client);
  shell::TMenuChoice choice = menu_->Track(Handle(), at.X, at.Y);
  if (choice.Kind == shell::TMenuChoice::ShellCommand) {
    RunMenuCommand(Handle(), menu, choice.Value);
  } else if (choice.Kind == shell::TMenuChoice::SendTo) {
    TComPtr<IDataObject> data = NodeDataObject(node);
    SendTo(int(choice.Value), data.Get());
  }
}

bool TQsCustomShellTree::CanEdit(TTreeNode* node) {
  TQsShTreeData* d = NodeData(node);
  return d && d->CanRename() && TQsCustomTreeView::CanEdit(node);
}

void TQsCustomShellTree::Edit(TTreeNode* node, std::string& S) {
  TQsShTreeData* d = NodeData(node);
  IShellFolder* parent = d ? d->GetParentFolder() : nullptr;
  if (!d || !parent) return;
  bool renamed = false;
  {
    THourglass hourglass;
    ignoreNext_ = true;
    TRaise nested(changing_);
    std::wstring name = Wide(S.substr(0, 260));
    LPITEMIDLIST renamedList = nullptr;
    HRESULT hr = parent->SetNameOf(Handle(), d->RelativeIdList(), name.c_str(), 0x20, &renamedList);
    if (SUCCEEDED(hr) && renamedList) {
      std::function<void(TTreeNode*)> clear = [&](TTreeNode* n) {
        for (int i = 0; i < n->Count(); ++i) {
          if (TQsShTreeData* nd = NodeData(n->Item(i))) nd->ClearCache();
          clear(n->Item(i));
        }
      };
      clear(node);
      d->SetIdList(renamedList);
      node->SetText(PidlDisplayName(parent, d->RelativeIdList(), 1));
      renamed = true;
    } else {
      PidlFree(renamedList);
      ignoreNext_ = false;
    }
    // The current folder moves when it was the renamed node or below it.
    if (renamed) {
      bool shown = false;
      for (TTreeNode* s = Selected(); s; s = s->Parent()) shown = shown || s == node;
      if (shown) {
        LPCITEMIDLIST absolute = NodeData(Selected())->GetAbsIdList();
        current_.SetIdList(absolute);
        if (TQsCustomShellList* l = list_.Get()) l->Folder().SetIdList(absolute);
        if (TQsCustomShellCombo* c = combo_.Get()) c->TreeNodeChanged(absolute);
      }
    }
  }
  if (!renamed) return;
  if (refreshPending_) RefreshInPlace();
  S = node->Text();
  if (EventsAllowed()) OnEdited(this, node, S);
}

bool TQsCustomShellTree::CreateNewFolder() {
  TTreeNode* node = Selected();
  TQsShTreeData* d = NodeData(node);
  std::string path = d ? d->GetPath() : std::string();
  if (path.empty()) return false;
  ignoreNext_ = true;
  std::string dir = shell::AppendCharIfMissing(path, '\\');
  shell::TNewFolderResult r = shell::MakeNewFolder(LoadShString(52540), ERROR_ALREADY_EXISTS, [&](const std::string& n) {
    return CreateDirectoryA((dir + n).c_str(), nullptr) ? uint32_t(0) : uint32_t(GetLastError());
  });
  if (!r.Ok) {
    ignoreNext_ = false;
    Application->MessageBox(FormatStrPos(LoadShString(52547), {ShellErrorText(HRESULT_FROM_WIN32(r.Error)), r.Name}),
                            Application->Title(), MB_OK | MB_ICONWARNING);
    return false;
  }
  RefreshInPlace();
  node = Selected();
  if (!node) return true;
  node->SetHasChildren(true);
  FillChildren(node);
  node->Expand();
  for (int i = 0; i < node->Count(); ++i)
    if (node->Item(i)->Text() == r.Name) {
      SetFocus();
      node->Item(i)->EditText();
      break;
    }
  return true;
}

// ---- custom draw

TQsCustomDraw* TQsCustomShellTree::CustomDraw(NMCUSTOMDRAW* nm, LRESULT* result) {
  if (!OnCustomDrawSh && !OnCustomDrawShEx) return TQsCustomTreeView::CustomDraw(nm, result);
  shell::TCustomDrawRun run(shell::TCustomDrawView::Tree, nm->dwDrawStage, bool(OnCustomDrawSh), bool(OnCustomDrawShEx));
  std::unique_ptr<TQsCustomDraw> context(CreateCustomDraw(nm, result));
  TTreeNode* node = run.LooksUpItem() ? Items().GetNode(reinterpret_cast<HTREEITEM>(nm->dwItemSpec)) : nullptr;
  if (EventsAllowed()) {
    OnCustomDrawShEx(this, context.get(), node, NodeData(node));
    if (run.CallItem()) OnCustomDrawSh(this, context.get(), node, NodeData(node));
  }
  context->Apply();
  uint32_t r = uint32_t(*result);
  run.AddNotifyBits(context->Skipped(), r);
  *result = LRESULT(r);
  return context.release();
}

// ---- drag and drop

TComPtr<IDataObject> TQsCustomShellTree::NodeDataObject(TTreeNode* node) {
  TQsShTreeData* d = NodeData(node);
  if (!d || !d->Parent()) throw EOleError(ShellErrorText(E_INVALIDARG), E_INVALIDARG);
  std::vector<LPCITEMIDLIST> items{d->RelativeIdList()};
  std::vector<std::string> names{PidlDisplayName(d->GetParentFolder(), d->RelativeIdList(), 2)};
  return ComNew<IDataObject, TDataObject_shlv>(d->Parent()->GetAbsIdList(), items, names);
}

void TQsCustomShellTree::DragOut(TTreeNode* node, int button) {
  TQsShTreeData* d = NodeData(node);
  if (!d || !d->Parent()) return;
  TComPtr<IDataObject> data = NodeDataObject(node);
  LPCITEMIDLIST items[1] = {d->RelativeIdList()};
  ULONG a = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  bool ok = d->GetParentFolder() && SUCCEEDED(d->GetParentFolder()->GetAttributesOf(1, items, &a));
  TComPtr<IDropSource> source = ComNew<IDropSource, TDropSource_shlvtv>(button);
  dragOut_ = true;
  node->SetDropTarget(true);
  struct End {
    TQsCustomShellTree& t;
    TTreeNode* node;
    ~End() {
      t.dragOut_ = false;
      if (t.NodeData(node)) node->SetDropTarget(false);
    }
  } end{*this, node};
  DWORD effect = DROPEFFECT_NONE;
  DoDragDrop(data.Get(), source.Get(), shell::AllowedEffects(ok, a), &effect);
  dragOut_ = false;
  if (refreshPending_) RefreshInPlace();
}

void TQsCustomShellTree::CNNotify(TMessage& m) {
  int code = int(NotifyOf(m).code);
  TTreeNode* node = nullptr;
  if (code == int(TVN_BEGINDRAGA) || code == int(TVN_BEGINRDRAGA))
    node = reinterpret_cast<TTreeNode*>(reinterpret_cast<NMTREEVIEWA*>(m.LParam)->itemNew.lParam);
  if (code == int(NM_CLICK)) pathFlag_ = true;
  TQsCustomTreeView::CNNotify(m);
  if (node && (options_ & qsstoOleDrag) && NodeData(node) && node->Parent())
    DragOut(node, code == int(TVN_BEGINDRAGA) ? 0 : 1);
}

TComPtr<IDropTarget> TQsCustomShellTree::NodeDropTarget(TTreeNode* node) {
  TComPtr<IDropTarget> target;
  TQsShTreeData* d = NodeData(node);
  if (!d) return target;
  void* out = nullptr;
  if (d->Parent()) {
    LPCITEMIDLIST items[1] = {d->RelativeIdList()};
    if (d->GetParentFolder() &&
        SUCCEEDED(QsShell().GetUIObjectOf(d->GetParentFolder(), Handle(), 1, items, IID_IDropTarget, &out)))
      target.Reset(static_cast<IDropTarget*>(out));
    return target;
  }
  TComRef<IShellFolder> parent;
  TPidl item;
  if (FAILED(SplitFolder(d->GetAbsIdList(), parent, item))) return target;
  LPCITEMIDLIST items[1] = {item.Get()};
  if (SUCCEEDED(QsShell().GetUIObjectOf(parent.Get(), Handle(), 1, items, IID_IDropTarget, &out)))
    target.Reset(static_cast<IDropTarget*>(out));
  return target;
}

void TQsCustomShellTree::Highlight(TTreeNode* node) {
  if (highlighted_ == node) return;
  if (highlighted_) highlighted_->SetDropTarget(false);
  highlighted_ = node;
  if (node) node->SetDropTarget(true);
  Update();
}

void TQsCustomShellTree::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) {
  if (over_) over_->Release();
  over_ = data;
  if (over_) over_->AddRef();
  dragKeys_ = keys;
  DragOver(keys, point, effect);
}

void TQsCustomShellTree::DragOver(DWORD keys, POINTL point, DWORD& effect) {
  TPoint p = ScreenToClient({int(point.x), int(point.y)});
  TTreeNode* node = GetNodeAt(p.X, p.Y);
  TComPtr<IDropTarget> target = NodeDropTarget(node);
  if (!target || (dragOut_ && node && node->DropTarget() && node != highlighted_)) {
    effect = DROPEFFECT_NONE;
  } else {
    DWORD first = effect;
    if (FAILED(target->DragEnter(over_, keys, point, &first)) || FAILED(target->DragOver(keys, point, &effect)))
      effect = DROPEFFECT_NONE;
    target->DragLeave();
  }
  Highlight(effect != DROPEFFECT_NONE ? node : nullptr);
}

void TQsCustomShellTree::DragLeave() {
  if (over_) over_->Release();
  over_ = nullptr;
  Highlight(nullptr);
}

void TQsCustomShellTree::Drop(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) {
  struct Done {
    TQsCustomShellTree& t;
    ~Done() { t.DragLeave(); }
  } done{*this};
  TPoint p = ScreenToClient({int(point.x), int(point.y)});
  TComPtr<IDropTarget> target = NodeDropTarget(GetNodeAt(p.X, p.Y));
  if (!target) {
    effect = DROPEFFECT_NONE;
    return;
  }
  keys |= dragKeys_ & (MK_LBUTTON | MK_RBUTTON);
  DWORD asked = effect;
  if (FAILED(target->DragEnter(data, keys, point, &effect)) || effect == DROPEFFECT_NONE) {
    target->DragLeave();
    effect = DROPEFFECT_NONE;
    return;
  }
  effect = asked & DroppedItemsEffects(data);
  if (effect == DROPEFFECT_NONE) {
    target->DragLeave();
    return;
  }
  target->Drop(data, keys, point, &effect);
}

// ---- messages

void TQsCustomShellTree::WndProc(TMessage& m) {
  if (menu_ && menu_->HandleMessage(m.Msg, m.WParam, m.LParam, m.Result)) return;
  switch (m.Msg) {
    case kShellChangedMessage:
      ChangeNotified();
      return;
    case WM_GETDLGCODE:
      TQsCustomTreeView::WndProc(m);
      if (IsEditing()) m.Result |= DLGC_WANTALLKEYS;
      return;
    case WM_NCDESTROY:
      changes_.reset();
      break;
    default:
      break;
  }
  TQsCustomTreeView::WndProc(m);
}

void RegisterShellTreeClasses() {
  if (!FindClass("TQsShellTree")) RegisterClass(TQsShellTree::StaticClass());
}
