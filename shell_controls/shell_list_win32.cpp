#include "shell_controls/shell_list_win32.h"

#include <algorithm>

#include "framework/core/registry.h"
#include "framework/core/sysutils.h"
#include "framework/win/registry_win32.h"
#include "shell_controls/shell_list_rules.h"
#include "shell_controls/shell_seam_win32.h"
#include "shell_controls/shell_startup_win32.h"
#include "shell_controls/shell_tree_win32.h"
#include "shell_controls/shell_view_helpers_win32.h"

namespace {

const TTypeInfo kListOptions{{"qssloAutoFill", "qssloNonFilesystemAncestors", "qssloDesignInteractive",
                              "qssloDefaultKeyHandling", "qssloContextMenus", "qssloDontChangeFolder",
                              "qssloDontGoBelowBase", "qssloDynamicRefresh", "qssloHideFoldersWhenLinkedToTree",
                              "qssloOleDrag", "qssloOleDrop", "qssloFolderContextMenu"},
                             {}};

// Critical-error boxes (no disk in the drive) stay away for a scope.
class TNoCriticalErrors {
 public:
  TNoCriticalErrors() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) { SetErrorMode(old_ | SEM_FAILCRITICALERRORS); }
  ~TNoCriticalErrors() { SetErrorMode(old_); }

 private:
  UINT old_;
};

std::string SystemErrorText(DWORD code) { return ShellErrorText(HRESULT_FROM_WIN32(code)); }

// The system's short date and short time of a file time, in local time.
std::string FileTimeText(FILETIME t) {
  FILETIME local{};
  SYSTEMTIME st{};
  if (!FileTimeToLocalFileTime(&t, &local) || !FileTimeToSystemTime(&local, &st)) return {};
  char date[64] = {}, time[64] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
  GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, time, sizeof time);
  return std::string(date) + " " + time;
}

}  // namespace

// ---- TQsShListData

TQsShListData::TQsShListData(TQsCustomShellList* owner, LPITEMIDLIST relative) : owner_(owner), relative_(relative) {}

TQsShListData::~TQsShListData() {
  PidlFree(absolute_);
  PidlFree(relative_);
}

void TQsShListData::SetRelativeIdList(LPITEMIDLIST relative) {
  PidlFree(relative_);
  relative_ = relative;
  PidlFree(absolute_);
  absolute_ = nullptr;
  hasDisplayName_ = false;
  displayName_.clear();
  image_ = -1;
  detailsDone_ = false;
  size_.clear();
  type_.clear();
  modified_.clear();
}

LPCITEMIDLIST TQsShListData::GetAbsIdList() {
  if (!absolute_) absolute_ = ConcatPidls(nullptr, owner_->FolderIdList(), relative_);
  return absolute_;
}

ULONG TQsShListData::GetAttributes(ULONG mask) {
  // Whether an item on a removable disk is read-only is not asked: asking would reach for
  // the disk in its drive.
  bool removable = false;
  if (mask & SFGAO_READONLY) {
    std::string root = shell::DriveRootOf(GetPath());
    removable = !root.empty() && QsShell().DriveType(root) == DRIVE_REMOVABLE;
  }
  if (removable) mask &= ~ULONG(SFGAO_READONLY);
  ULONG a = AttributesOf(owner_->ShellFolder(), relative_, mask);
  return removable ? a & ~ULONG(SFGAO_READONLY) : a;
}

bool TQsShListData::IsFolder() { return GetAttributes(SFGAO_FOLDER) & SFGAO_FOLDER; }

bool TQsShListData::IsShortcut() { return SameText(ExtractFileExt(GetPath()), ".lnk"); }

bool TQsShListData::IsValid() {
  bool ok = false;
  AttributesOf(owner_->ShellFolder(), relative_, SFGAO_VALIDATE, &ok);
  if (!ok) return false;
  std::string path = GetPath();
  return path.empty() || GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool TQsShListData::CanRename() {
  ULONG a = GetAttributes(SFGAO_FILESYSTEM | SFGAO_CANRENAME);
  return (a & SFGAO_FILESYSTEM) && (a & SFGAO_CANRENAME);
}

int TQsShListData::GetImageIndex() {
  if (image_ < 0) image_ = PidlIconIndex(GetAbsIdList(), SHGFI_SMALLICON);
  return image_;
}

std::string TQsShListData::GetPath() { return PidlToPath(GetAbsIdList()); }

std::string TQsShListData::GetFileName() { return ExtractFileName(GetPath()); }

std::string TQsShListData::GetDisplayName() {
  if (!hasDisplayName_) {
    SHFILEINFOA fi{};
    if (SHGetFileInfoA(reinterpret_cast<LPCSTR>(GetAbsIdList()), 0, &fi, sizeof fi, SHGFI_DISPLAYNAME | SHGFI_PIDL))
      displayName_ = fi.szDisplayName;
    hasDisplayName_ = true;
  }
  return displayName_;
}

void TQsShListData::ComputeDetails() {
  if (detailsDone_) return;
  detailsDone_ = true;
  std::string path = GetPath();
  if (path.size() > 3) {
    WIN32_FIND_DATAA fd{};
    HANDLE h = FindFirstFileA(path.c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      FindClose(h);
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        size_ = shell::KiloBytesText(uint64_t(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow, LoadShString(52533));
      FILETIME t = fd.ftLastWriteTime;
      if (t.dwLowDateTime == 0 && t.dwHighDateTime == 0) t = fd.ftCreationTime;
      modified_ = FileTimeText(t);
    }
  }
  if (!(GetAttributes(SFGAO_FILESYSTEM) & SFGAO_FILESYSTEM)) {
    type_ = LoadShString(52562);
  } else {
    SHFILEINFOA fi{};
    if (SHGetFileInfoA(reinterpret_cast<LPCSTR>(GetAbsIdList()), 0, &fi, sizeof fi, SHGFI_TYPENAME | SHGFI_PIDL))
      type_ = fi.szTypeName;
  }
}

std::string TQsShListData::GetDetailText(int column) {
  ComputeDetails();
  switch (column) {
    case 1:
      return size_;
    case 2:
      return type_;
    case 3:
      return modified_;
    default:
      return {};
  }
}

// ---- TQsCustomShellList

const TClassInfo& TQsCustomShellList::StaticClass() {
  static const TClassInfo info{"TQsCustomShellList", &TQsCustomListView::StaticClass(), nullptr, {}};
  return info;
}

const TClassInfo& TQsShellList::StaticClass() {
  using P = TProps<TQsShellList>;
  static const TClassInfo info{
      "TQsShellList", &TQsCustomShellList::StaticClass(), Factory<TQsShellList>(),
      {P::Set("Options", &kListOptions, &TQsShellList::Options, &TQsShellList::SetOptions)
           .WithDefault(int64_t(kDefaultShellListOptions)),
       P::Nested("Folder", [](TQsShellList& l) -> TPersistent& { return l.Folder(); })
           .WithStored([](const TPersistent& o) { return !static_cast<const TQsShellList&>(o).IsLinked(); }),
       P::Str("FileFilter", &TQsShellList::FileFilter, &TQsShellList::SetFileFilter).WithDefault(std::string()),
       P::Event("OnAddItem", &TQsShellList::OnAddItem),
       P::Event("OnDeleteItem", &TQsShellList::OnDeleteItem),
       P::Event("OnPopupHint", &TQsShellList::OnPopupHint),
       P::Event("OnDblClickOpen", &TQsShellList::OnDblClickOpen),
       P::Event("OnCustomDrawSh", &TQsShellList::OnCustomDrawSh),
       P::Event("OnCustomDrawShEx", &TQsShellList::OnCustomDrawShEx),
       P::Event("OnFillComplete", &TQsShellList::OnFillComplete),
       // The list's own image lists show the system's images and are made by the list.
       P::Component<TImageList>("LargeImages", &TQsShellList::LargeImages, &TQsShellList::SetLargeImages).AsHidden(),
       P::Component<TImageList>("SmallImages", &TQsShellList::SmallImages, &TQsShellList::SetSmallImages).AsHidden()}};
  return info;
}

TQsCustomShellList::TQsCustomShellList(TComponent* owner)
    : TQsCustomListView(owner), timer_(new TTimer(this)), smallImages_(new TImageList(this)),
      largeImages_(new TImageList(this)) {
  folder_.OnChange = TNotifyEvent([this](TObject*) { FolderChanged(); });
  timer_->SetEnabled(false);
  timer_->OnTimer = TNotifyEvent([this](TObject*) { TimerFired(); });
  IconOptions().SetInitialAutoArrange(true);
  largeImages_->SetWidth(32);
  largeImages_->SetHeight(32);
  smallImages_->SetShareImages(true);
  largeImages_->SetShareImages(true);
  smallImages_->SetHandle(SystemImageList(0));
  largeImages_->SetHandle(SystemImageList(1));
  SetSmallImages(smallImages_);
  SetLargeImages(largeImages_);
  SetItemCount(256);
}

TQsCustomShellList::~TQsCustomShellList() = default;

void TQsCustomShellList::BeforeDestruction() {
  folder_.OnChange = {};
  if (dropTarget_) {
    dropTarget_->Detach();
    dropTarget_->Release();
    dropTarget_ = nullptr;
  }
  TQsCustomListView::BeforeDestruction();
  changes_.reset();
  if (over_) over_->Release();
  over_ = nullptr;
  if (shellFolder_) shellFolder_->Release();
  shellFolder_ = nullptr;
  PidlFree(folderList_);
  folderList_ = nullptr;
  if (details_) details_->Release();
  details_ = nullptr;
  ClearFileFilter();
}

void TQsCustomShellList::CreateWindowHandle() {
  TQsCustomListView::CreateWindowHandle();
  if (options_ & qssloOleDrop) {
    if (!dropTarget_) dropTarget_ = new TDropTarget_shlv(this);
    RegisterDropTarget(dropTarget_);
  }
  if ((options_ & qssloAutoFill) && Items().Count() == 0 && !IsLoading()) Refresh();
}

void TQsCustomShellList::SetFileFilter(const std::string& filter) {
  fileFilter_ = filter;
  masks_ = shell::SplitMasks(filter);
  if (!IsLoading() && (options_ & qssloAutoFill)) Refresh();
}

void TQsCustomShellList::SetSortColumn(int column) {
  sortColumn_ = column;
  Sort();
}

void TQsCustomShellList::SetShellCombo(TQsCustomShellCombo* combo) {
  TQsCustomShellCombo* old = combo_.Get();
  if (old == combo) return;
  combo_ = combo;
  if (old && old->ShellList() == this) old->SetShellList(nullptr);
  if (combo && combo->ShellList() != this) combo->SetShellList(this);
}

TQsCustomShellTree* TQsCustomShellList::ShellTree() const { return tree_.Get(); }

bool TQsCustomShellList::IsLinked() const { return combo_.Get() != nullptr || tree_.Get() != nullptr; }

void TQsCustomShellList::SetShellTree(TQsCustomShellTree* tree) {
  TQsCustomShellTree* old = tree_.Get();
  if (old == tree) return;
  tree_ = tree;
  if (old && old->ShellList() == this) old->SetShellList(nullptr);
  if (tree && tree->ShellList() != this) tree->SetShellList(this);
}

void TQsCustomShellList::FolderChanged() {
  if (changing_ > 0) return;
  ++changing_;
  struct Lower {
    int& n;
    ~Lower() { --n; }
  } lower{changing_};
  if (TQsCustomShellTree* t = tree_.Get())
    t->SelectPidl(folder_.GetIdList());
  else if (TQsCustomShellCombo* c = combo_.Get())
    c->GetFolder().Assign(&folder_);
  Refresh();
}

// ---- filling

void TQsCustomShellList::Refresh() {
  if (!HandleAllocated()) return;
  if (dragOut_ || IsEditing()) {
    refreshPending_ = true;
    return;
  }
  refreshPending_ = false;
  THourglass hourglass;
  Items().BeginUpdate();
  Items().Clear();
  Items().EndUpdate();
  TComRef<IShellFolder> folder;
  HRESULT hr = QsShell().BindFolder(folder_.GetIdList(), *folder.Out());
  if (FAILED(hr)) RaiseShellError(hr);
  PrepareFileFilter();
  struct Clear {
    TQsCustomShellList& l;
    ~Clear() { l.ClearFileFilter(); }
  } clear{*this};
  FillFromFolder(folder.Get(), folder_.GetIdList());
  if (options_ & qssloDynamicRefresh) StartChangeNotify();
}

void TQsCustomShellList::FillFromFolder(IShellFolder* folder, LPCITEMIDLIST folderList) {
  Items().BeginUpdate();
  struct End {
    TListItems& items;
    ~End() { items.EndUpdate(); }
  } end{Items()};
  TNoCriticalErrors quiet;

  // The new folder goes in whole; a failure puts the old one back whole.
  IShellFolder* oldFolder = shellFolder_;
  LPITEMIDLIST oldList = folderList_;
  IShellDetails* oldDetails = details_;
  folderList_ = CopyPidl(nullptr, folderList);
  shellFolder_ = folder;
  shellFolder_->AddRef();
  details_ = nullptr;
  void* out = nullptr;
  if (SUCCEEDED(folder->CreateViewObject(HandleAllocated() ? Handle() : nullptr, IID_IShellDetails, &out)))
    details_ = static_cast<IShellDetails*>(out);

  std::vector<std::unique_ptr<TQsShListData>> collected;
  std::vector<ULONG> attributes;
  collected.reserve(500);
  try {
    BuildColumns();
    TComRef<IEnumIDList> items;
    HRESULT hr = folder->EnumObjects(HandleAllocated() ? Handle() : nullptr,
                                     SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, items.Out());
    if (FAILED(hr)) RaiseShellError(hr);
    if (items) {
      for (;;) {
        LPITEMIDLIST next = nullptr;
        ULONG fetched = 0;
        hr = items->Next(1, &next, &fetched);
        if (hr != S_OK || fetched != 1) {
          PidlFree(next);
          break;
        }
        TPidl taken(next);
        ULONG a = 0;
        if (!IncludeItem(folder, folderList, taken.Get(), a)) continue;
        if (collected.size() == collected.capacity()) collected.reserve(collected.size() + 500);
        collected.push_back(std::make_unique<TQsShListData>(this, taken.Release()));
        attributes.push_back(a);
      }
      if (hr != S_FALSE) RaiseShellError(FAILED(hr) ? hr : E_UNEXPECTED);
    }
  } catch (...) {
    shellFolder_->Release();
    shellFolder_ = oldFolder;
    PidlFree(folderList_);
    folderList_ = oldList;
    if (details_) details_->Release();
    details_ = oldDetails;
    throw;
  }
  if (oldFolder) oldFolder->Release();
  PidlFree(oldList);
  if (oldDetails) oldDetails->Release();

  SetItemCount(int(collected.size()));
  for (size_t i = 0; i < collected.size(); ++i) AddItemFor(collected[i].release(), attributes[i]);
  Sort();
  if (Items().Count() > 0) Items()[0]->SetFocused(true);
  DoFillComplete();
}

TListItem* TQsCustomShellList::AddItemFor(TQsShListData* data, ULONG attributes) {
  TListItem* item;
  try {
    item = Items().Add();
  } catch (...) {
    delete data;
    throw;
  }
  item->SetData(data);
  if (attributes & SFGAO_SHARE)
    item->SetOverlayIndex(0);
  else if (attributes & SFGAO_LINK)
    item->SetOverlayIndex(1);
  if (attributes & SFGAO_GHOSTED) item->SetCut(true);
  int subItems = details_ ? Columns().Count() - 1 : 3;
  item->SubItems().BeginUpdate();
  for (int i = 0; i < subItems; ++i) item->SubItems().Add("");
  item->SubItems().EndUpdate();
  return item;
}

bool TQsCustomShellList::IncludeItem(IShellFolder* folder, LPCITEMIDLIST folderList, LPCITEMIDLIST item,
                                     ULONG& attributes) {
  attributes = AttributesOf(folder, item, shell::kIncludeMask);
  bool hideFolders = (options_ & qssloHideFoldersWhenLinkedToTree) && tree_.Get();
  if (!shell::IncludeItem(attributes, options_ & qssloNonFilesystemAncestors, hideFolders)) return false;
  return DoAddItem(folder, folderList, item, attributes);
}

bool TQsCustomShellList::DoAddItem(IShellFolder* folder, LPCITEMIDLIST folderList, LPCITEMIDLIST item,
                                   ULONG attributes) {
  if (matching_ && !(attributes & SFGAO_FOLDER)) {
    std::string name = ExtractFileName(PidlDisplayName(folder, item, 2));
    if (!MatchesFileFilter(name, attributes)) return false;
  }
  int32_t allow = 1;
  if (EventsAllowed()) OnAddItem(this, folder, folderList, item, attributes, allow);
  return allow != 0;
}

void TQsCustomShellList::DoDblClickOpen(bool& handled) {
  if (EventsAllowed()) OnDblClickOpen(this, handled);
}

void TQsCustomShellList::DoFillComplete() {
  if (EventsAllowed()) OnFillComplete(this);
}

void TQsCustomShellList::PrepareFileFilter() {
  ClearFileFilter();
  std::string path = folder_.GetPath();
  if (path.empty() || !shell::FilterActive(fileFilter_)) return;
  TNoCriticalErrors quiet;
  matching_ = std::make_unique<std::set<std::string>>();
  for (const std::string& mask : masks_) {
    WIN32_FIND_DATAA fd{};
    HANDLE h = FindFirstFileA((shell::AppendCharIfMissing(path, '\\') + mask).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) continue;
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) matching_->insert(AnsiUpperCase(fd.cFileName));
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
}

bool TQsCustomShellList::MatchesFileFilter(const std::string& name, ULONG attributes) {
  if (attributes & SFGAO_FOLDER) return true;
  return matching_ && matching_->count(AnsiUpperCase(name));
}

void TQsCustomShellList::ClearFileFilter() { matching_.reset(); }

// ---- columns

void TQsCustomShellList::SaveColumnLayout() {
  if (!columnsBuilt_ || Columns().Count() == 0) return;
  std::vector<int> widths;
  for (int i = 0; i < Columns().Count(); ++i) widths.push_back(Columns().Item(i)->Width());
  shell::WriteColumnLayout(QsColumnLayout().Stream, widths);
}

void TQsCustomShellList::BuildColumns() {
  SaveColumnLayout();
  Columns().Clear();
  TQsColumnLayout& layout = QsColumnLayout();
  std::vector<int> widths;
  if (!details_) {
    shell::TDirectoryCols cols = shell::ReadDirectoryCols(nullptr, 0);
    try {
      TRegistry reg(SystemRegistry());
      if (reg.OpenKeyReadOnly("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer") &&
          reg.ValueExists("DirectoryCols")) {
        uint8_t buf[shell::kDirectoryColsMax] = {};
        int n = reg.ReadBinaryData("DirectoryCols", buf, int(sizeof buf));
        cols = shell::ReadDirectoryCols(buf, size_t(n));
      }
    } catch (const Exception&) {
      // a missing, mistyped or longer value keeps the defaults
    }
    const UINT captions[4] = {52549, 52551, 52552, 52553};
    for (int i = 0; i < 4; ++i) {
      TListColumn* c = Columns().Add();
      c->SetCaption(LoadShString(captions[i]));
      if (i == 1) c->SetAlignment(TAlignment::taRightJustify);
    }
    shell::TDirectoryCols last;
    std::copy(layout.ExplorerCols, layout.ExplorerCols + shell::kDirectoryColsMax, last.Bytes);
    last.Size = layout.ExplorerColsSize;
    if (shell::SameDirectoryCols(last, cols) && layout.Stream.Size() > 0)
      widths = shell::ReadColumnLayout(layout.Stream, Columns().Count());
    else
      for (int i = 0; i < 4; ++i) widths.push_back(cols.Width(i));
    std::copy(cols.Bytes, cols.Bytes + shell::kDirectoryColsMax, layout.ExplorerCols);
    layout.ExplorerColsSize = cols.Size;
  } else {
    for (UINT i = 0;; ++i) {
      SHELLDETAILS sd{};
      if (FAILED(details_->GetDetailsOf(nullptr, i, &sd))) break;
      std::string caption = StrRetToString(nullptr, sd.str);
      StrRetFree(sd.str);
      TListColumn* c = Columns().Add();
      c->SetCaption(caption);
      c->SetWidth(7 * int(caption.size()));
      c->SetAlignment(sd.fmt == 1 ? TAlignment::taRightJustify
                      : sd.fmt == 2 ? TAlignment::taCenter
                                    : TAlignment::taLeftJustify);
    }
    if (!PidlToPath(folderList_).empty() && layout.Stream.Size() > 0)
      widths = shell::ReadColumnLayout(layout.Stream, Columns().Count());
  }
  for (size_t i = 0; i < widths.size() && int(i) < Columns().Count(); ++i) Columns().Item(int(i))->SetWidth(widths[i]);
  columnsBuilt_ = true;
}

// ---- texts

std::string TQsCustomShellList::DetailsOf(TQsShListData* data, int column) {
  SHELLDETAILS sd{};
  if (FAILED(details_->GetDetailsOf(data->RelativeIdList(), UINT(column), &sd))) return {};
  std::string s = StrRetToString(data->RelativeIdList(), sd.str);
  StrRetFree(sd.str);
  return s;
}

void TQsCustomShellList::GetDisplayInfo(TListItem* item, int subItem, std::string* text, int* image) {
  TQsShListData* data = GetItemDataOf(item);
  if (!data) {
    TQsCustomListView::GetDisplayInfo(item, subItem, text, image);
    return;
  }
  if (text) {
    if (subItem == 0) {
      *text = item->Caption().empty() ? data->GetDisplayName() : item->Caption();
    } else if (subItem > item->SubItems().Count()) {
      text->clear();
    } else if (!item->SubItems()[subItem - 1].empty()) {
      *text = item->SubItems()[subItem - 1];
    } else if (details_) {
      *text = DetailsOf(data, subItem);
    } else {
      *text = data->GetDetailText(subItem);
    }
  }
  if (image) *image = item->ImageIndex() >= 1 ? item->ImageIndex() : data->GetImageIndex();
}

// ---- sorting

void TQsCustomShellList::Sort() {
  if (!shellFolder_) return;
  int column = sortColumn_;
  IShellFolder* folder = shellFolder_;
  CustomSort([this, folder, column](TListItem* a, TListItem* b) {
    TQsShListData* da = GetItemDataOf(a);
    TQsShListData* db = GetItemDataOf(b);
    if (!da || !db) return 0;
    HRESULT hr = folder->CompareIDs(LPARAM(std::abs(column) - 1), da->RelativeIdList(), db->RelativeIdList());
    return FAILED(hr) ? 0 : shell::SortOrder(uint32_t(hr), column);
  });
}

void TQsCustomShellList::ColClick(TListColumn* column) {
  sortColumn_ = shell::NextSortColumn(sortColumn_, column->Index());
  Sort();
  TQsCustomListView::ColClick(column);
}

// ---- data

TQsShListData* TQsCustomShellList::GetItemDataOf(TListItem* item) {
  return item ? dynamic_cast<TQsShListData*>(static_cast<TObject*>(item->Data())) : nullptr;
}

TQsShListData* TQsCustomShellList::GetItemData(int index) { return GetItemDataOf(Items().Item(index)); }

TQsShListData* TQsCustomShellList::GetSelectedData() { return GetItemDataOf(Selected()); }

std::vector<TQsShListData*> TQsCustomShellList::SelectedData() {
  std::vector<TQsShListData*> r;
  for (int i = 0; i < Items().Count(); ++i) {
    TListItem* item = Items()[i];
    if (item->Selected())
      if (TQsShListData* d = GetItemDataOf(item)) r.push_back(d);
  }
  return r;
}

void TQsCustomShellList::Delete(TListItem* item) {
  TQsShListData* data = GetItemDataOf(item);
  if (data && EventsAllowed()) OnDeleteItem(this, item, data);
  TQsCustomListView::Delete(item);
  if (item == highlighted_) highlighted_ = nullptr;
  if (data) {
    item->SetData(nullptr);
    delete data;
  }
}

// ---- refreshing

void TQsCustomShellList::StartChangeNotify() {
  if (!HandleAllocated()) return;
  if (!changes_) changes_ = std::make_unique<TChangeHandlerThread>(Handle(), kShellChangedMessage);
  changes_->CloseAll();
  int slot = -1;
  std::string path = folder_.GetPath();
  if (!path.empty())
    changes_->AddWatch(shell::AppendCharIfMissing(path, '\\'), FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME,
                       slot, false);
}

void TQsCustomShellList::ChangeNotified() {
  if (ignoreNext_) {
    ignoreNext_ = false;
    return;
  }
  if (dragOut_) {
    refreshPending_ = true;
    return;
  }
  timer_->SetEnabled(false);
  timer_->SetInterval(Focused() ? 400 : 2000);
  timer_->SetEnabled(true);
}

void TQsCustomShellList::TimerFired() {
  timer_->SetEnabled(false);
  // The shown folder itself went: the linked tree hands its selection to the parent and
  // this list follows it there (the tree's own drive watch may not hear of it, so the
  // list's watch of the folder tells it).
  if (TQsCustomShellTree* t = tree_.Get()) {
    std::string path = folder_.GetPath();
    if (!path.empty() && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      t->RefreshInPlace();
      return;
    }
  }
  ++changing_;
  struct Lower {
    int& n;
    ~Lower() { --n; }
  } lower{changing_};
  RefreshInPlace();
}

void TQsCustomShellList::FlushPendingRefresh(bool syncLinked) {
  if (syncLinked)
    if (TQsCustomShellTree* t = tree_.Get()) t->FlushPendingRefresh(false);
  if (timer_->Enabled()) TimerFired();
}

void TQsCustomShellList::RefreshInPlace() {
  if (dragOut_ || IsEditing()) {
    refreshPending_ = true;
    return;
  }
  if (!shellFolder_) return;
  PrepareFileFilter();
  struct Clear {
    TQsCustomShellList& l;
    ~Clear() { l.ClearFileFilter(); }
  } clear{*this};
  TNoCriticalErrors quiet;
  Items().BeginUpdate();
  struct End {
    TListItems& items;
    ~End() { items.EndUpdate(); }
  } end{Items()};
  for (int i = Items().Count() - 1; i >= 0; --i)
    if (TQsShListData* d = GetItemData(i))
      if (!d->IsValid()) Items().Delete(i);
  TComRef<IEnumIDList> items;
  if (FAILED(shellFolder_->EnumObjects(Handle(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
                                       items.Out())) ||
      !items)
    return;
  for (;;) {
    LPITEMIDLIST next = nullptr;
    ULONG fetched = 0;
    if (items->Next(1, &next, &fetched) != S_OK || fetched != 1) {
      PidlFree(next);
      break;
    }
    TPidl taken(next);
    bool known = false;
    for (int i = 0; i < Items().Count() && !known; ++i)
      if (TQsShListData* d = GetItemData(i)) {
        HRESULT hr = shellFolder_->CompareIDs(0, taken.Get(), d->RelativeIdList());
        known = SUCCEEDED(hr) && int16_t(HRESULT_CODE(hr)) == 0;
      }
    ULONG a = 0;
    if (known || !IncludeItem(shellFolder_, folderList_, taken.Get(), a)) continue;
    AddItemFor(new TQsShListData(this, taken.Release()), a);
  }
}

// ---- opening and moving

void TQsCustomShellList::Navigate(LPCITEMIDLIST absolute) {
  if (options_ & qssloDontChangeFolder) return;
  if (TQsCustomShellTree* t = tree_.Get())
    t->CurrentFolder().SetIdList(absolute);
  else if (TQsCustomShellCombo* c = combo_.Get())
    c->GetFolder().SetIdList(absolute);
  else
    folder_.SetIdList(absolute);
}

void TQsCustomShellList::OpenItem(TListItem* item) {
  TQsShListData* data = GetItemDataOf(item);
  if (!data) return;
  FlushPendingRefresh(true);
  THourglass hourglass;
  TPidl absolute(CopyPidl(nullptr, data->GetAbsIdList()));
  if (data->GetAttributes(SFGAO_FOLDER) & SFGAO_FOLDER) {
    Navigate(absolute.Get());
    return;
  }
  if (data->IsShortcut()) {
    TQsShortcut link;
    if (SUCCEEDED(ReadShortcut(data->GetPath(), link, false))) {
      DWORD a = GetFileAttributesA(link.Path.c_str());
      TPidl target;
      if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) &&
          SUCCEEDED(PathToPidl(link.Path, target.Out()))) {
        Navigate(target.Get());
        return;
      }
    }
  }
  bool handled = false;
  DoDblClickOpen(handled);
  if (handled) return;
  LPCITEMIDLIST items[1] = {data->RelativeIdList()};
  IContextMenu* menu = nullptr;
  HMENU popup = nullptr;
  OleCheck(BuildContextMenu(Handle(), shellFolder_, 1, items, menu, popup, CMF_DEFAULTONLY));
  TQsShellMenu shown(menu, popup, nullptr, nullptr);
  RunDefaultCommand(Handle(), menu, popup);
}

void TQsCustomShellList::OpenSelected() {
  if (SelCount() > 1) {
    std::vector<TQsShListData*> selected = SelectedData();
    std::vector<LPCITEMIDLIST> items;
    for (TQsShListData* d : selected) items.push_back(d->RelativeIdList());
    IContextMenu* menu = nullptr;
    HMENU popup = nullptr;
    OleCheck(BuildContextMenu(Handle(), shellFolder_, UINT(items.size()), items.data(), menu, popup, CMF_DEFAULTONLY));
    TQsShellMenu shown(menu, popup, nullptr, nullptr);
    RunDefaultCommand(Handle(), menu, popup);
  } else if (TListItem* item = Selected()) {
    OpenItem(item);
  }
}

void TQsCustomShellList::DblClick() {
  TQsCustomListView::DblClick();
  OpenSelected();
}

void TQsCustomShellList::GoUp(int levels) {
  if (options_ & qssloDontChangeFolder) return;
  if (TQsCustomShellTree* t = tree_.Get()) {
    t->GoUp(levels);
    return;
  }
  if (TQsCustomShellCombo* c = combo_.Get()) {
    c->GoUpLevels(levels);
    return;
  }
  int n = shell::ListCount(Bytes(folder_.GetIdList()));
  if (n == 0) return;
  TPidl up(AsPidl(shell::LeadingItems(ShellAllocator(), Bytes(folder_.GetIdList()), std::max(0, n - levels))));
  folder_.SetIdList(up.Get());
}

void TQsCustomShellList::SelectAll() {
  for (int i = 0; i < Items().Count(); ++i) Items()[i]->SetSelected(true);
}

// ---- verbs and menus

HRESULT TQsCustomShellList::GetSelectionUIObject(REFIID iid, void** out) {
  *out = nullptr;
  std::vector<TQsShListData*> selected = SelectedData();
  if (selected.empty() || !shellFolder_) return E_FAIL;
  std::vector<LPCITEMIDLIST> items;
  for (TQsShListData* d : selected) items.push_back(d->RelativeIdList());
  return QsShell().GetUIObjectOf(shellFolder_, Handle(), UINT(items.size()), items.data(), iid, out);
}

void TQsCustomShellList::InvokeSelectionVerb(const std::string& verb) {
  std::vector<TQsShListData*> selected = SelectedData();
  if (selected.empty()) return;
  std::vector<LPCITEMIDLIST> items;
  for (TQsShListData* d : selected) items.push_back(d->RelativeIdList());
  IContextMenu* menu = nullptr;
  HMENU popup = nullptr;
  OleCheck(BuildContextMenu(Handle(), shellFolder_, UINT(items.size()), items.data(), menu, popup));
  TQsShellMenu shown(menu, popup, nullptr, nullptr);
  RunMenuCommand(Handle(), menu, verb);
}

void TQsCustomShellList::InvokeFolderVerb(const std::string& verb) {
  TComRef<IShellFolder> parent;
  TPidl item;
  OleCheck(SplitFolder(folder_.GetIdList(), parent, item));
  LPCITEMIDLIST items[1] = {item.Get()};
  IContextMenu* menu = nullptr;
  HMENU popup = nullptr;
  OleCheck(BuildContextMenu(Handle(), parent.Get(), 1, items, menu, popup));
  TQsShellMenu shown(menu, popup, nullptr, nullptr);
  RunMenuCommand(Handle(), menu, verb);
}

void TQsCustomShellList::ContextMenuRequest(TListItem* item, TPoint point, TPopupMenu*& menu) {
  if (!(options_ & qssloContextMenus) || dragOut_) {
    TQsCustomListView::ContextMenuRequest(item, point, menu);
    return;
  }
  menu = nullptr;
  if (SelCount() > 0) ShowShellMenu(point);
}

void TQsCustomShellList::ShowShellMenu(TPoint client) {
  std::vector<TQsShListData*> selected = SelectedData();
  if (selected.empty() || !shellFolder_) return;
  std::vector<LPCITEMIDLIST> items;
  for (TQsShListData* d : selected) items.push_back(d->RelativeIdList());
  IContextMenu* menu = nullptr;
  HMENU popup = nullptr;
  OleCheck(BuildContextMenu(Handle(), shellFolder_, UINT(items.size()), items.data(), menu, popup));
  menu_ = std::make_unique<TQsShellMenu>(menu, popup, smallImages_, [this](const std::string& hint) {
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
    TComPtr<IDataObject> data = SelectionDataObject();
    SendTo(int(choice.Value), data.Get());
  }
}

// ---- keys

void TQsCustomShellList::KeyDown(uint16_t& key, TShiftState shift) {
  if ((options_ & qssloDefaultKeyHandling) && !IsEditing() && key) {
    TShortCut sc = TShortCut(key);
    if (shift & ssShift) sc |= scShift;
    if (shift & ssCtrl) sc |= scCtrl;
    if (shift & ssAlt) sc |= scAlt;
    const TQsMenuShortcuts& s = QsMenuShortcuts();
    bool handled = true;
    if (sc == s.SelectAll)
      SelectAll();
    else if (sc == s.Refresh)
      Refresh();
    else if (sc == s.Delete)
      InvokeSelectionVerb("delete");
    else if (sc == s.Copy)
      InvokeSelectionVerb("copy");
    else if (sc == s.Cut)
      InvokeSelectionVerb("cut");
    else if (sc == s.Paste)
      InvokeFolderVerb("paste");
    else if (sc == s.Rename) {
      if (TListItem* item = ItemFocused()) item->EditCaption();
    } else
      handled = false;
    if (handled) {
      key = 0;
      return;
    }
  }
  TQsCustomListView::KeyDown(key, shift);
}

void TQsCustomShellList::KeyPress(char& key) {
  if ((options_ & qssloDefaultKeyHandling) && !IsEditing()) {
    if (key == '\b') {
      key = 0;
      GoUp(1);
      return;
    }
    if (key == '\r') {
      key = 0;
      OpenSelected();
      return;
    }
  }
  TQsCustomListView::KeyPress(key);
}

void TQsCustomShellList::WMGetDlgCode(TMessage& m) {
  TQsCustomListView::WMGetDlgCode(m);
  TQsShListData* d = GetSelectedData();
  if (IsEditing() || (d && d->IsFolder())) m.Result |= DLGC_WANTALLKEYS;
}

// ---- renaming and new folders

bool TQsCustomShellList::CanEdit(TListItem* item) {
  TQsShListData* d = GetItemDataOf(item);
  return d && d->CanRename() && TQsCustomListView::CanEdit(item);
}

void TQsCustomShellList::Edit(TListItem* item, std::string& S) {
  TQsShListData* data = GetItemDataOf(item);
  if (!data || !shellFolder_) {
    TQsCustomListView::Edit(item, S);
    return;
  }
  bool renamed = false;
  {
    THourglass hourglass;
    ignoreNext_ = true;
    std::wstring name = Wide(S.substr(0, 260));
    LPITEMIDLIST renamedList = nullptr;
    HRESULT hr = shellFolder_->SetNameOf(Handle(), data->RelativeIdList(), name.c_str(), 0x20, &renamedList);
    if (SUCCEEDED(hr) && renamedList) {
      data->SetRelativeIdList(renamedList);
      renamed = true;
    } else {
      PidlFree(renamedList);
      ignoreNext_ = false;
    }
  }
  if (!renamed) return;
  if (refreshPending_) {
    refreshPending_ = false;
    RefreshInPlace();
  }
  TQsCustomListView::Edit(item, S);
}

bool TQsCustomShellList::CreateNewFolder(bool edit) {
  std::string base = LoadShString(52540);
  std::string path = folder_.GetPath();
  auto warn = [&](DWORD code, const std::string& name) {
    Application->MessageBox(FormatStrPos(LoadShString(52547), {SystemErrorText(code), name}), Application->Title(),
                            MB_OK | MB_ICONWARNING);
  };
  if (path.empty()) {
    warn(ERROR_PATH_NOT_FOUND, base);
    return false;
  }
  std::string dir = shell::AppendCharIfMissing(path, '\\');
  shell::TNewFolderResult r = shell::MakeNewFolder(base, ERROR_ALREADY_EXISTS, [&](const std::string& name) {
    return CreateDirectoryA((dir + name).c_str(), nullptr) ? uint32_t(0) : uint32_t(GetLastError());
  });
  if (!r.Ok) {
    warn(r.Error, r.Name);
    return false;
  }
  ignoreNext_ = true;
  RefreshInPlace();
  if (edit) {
    newFolder_ = r.Name;
    PostMessageA(Handle(), kEditNewFolderMessage, 0, 0);
  }
  return true;
}

void TQsCustomShellList::EditNewFolder() {
  for (int i = 0; i < Items().Count(); ++i)
    if (TQsShListData* d = GetItemData(i))
      if (d->GetDisplayName() == newFolder_) {
        SetFocus();
        Items()[i]->EditCaption();
        return;
      }
}

// ---- custom draw

TQsCustomDraw* TQsCustomShellList::CustomDraw(NMCUSTOMDRAW* nm, LRESULT* result) {
  if (!OnCustomDrawSh && !OnCustomDrawShEx) return TQsCustomListView::CustomDraw(nm, result);
  shell::TCustomDrawRun run(shell::TCustomDrawView::List, nm->dwDrawStage, bool(OnCustomDrawSh), bool(OnCustomDrawShEx));
  std::unique_ptr<TQsCustomDraw> context(CreateCustomDraw(nm, result));
  TListItem* item = nullptr;
  if (run.LooksUpItem() && nm->dwItemSpec < DWORD_PTR(Items().Count())) item = Items()[int(nm->dwItemSpec)];
  DoCustomDrawSh(context.get(), item, run.CallItem());
  context->Apply();
  uint32_t r = uint32_t(*result);
  run.AddNotifyBits(context->Skipped(), r);
  *result = LRESULT(r);
  return context.release();
}

void TQsCustomShellList::DoCustomDrawSh(TQsCustomDraw* context, TListItem* item, bool itemStage) {
  if (!EventsAllowed()) return;
  TQsShListData* data = GetItemDataOf(item);
  OnCustomDrawShEx(this, context, item, data);
  if (itemStage) OnCustomDrawSh(this, context, item, data);
}

// ---- dragging out

TComPtr<IDataObject> TQsCustomShellList::SelectionDataObject() {
  std::vector<TQsShListData*> selected = SelectedData();
  if (selected.empty()) throw EOleError(ShellErrorText(E_INVALIDARG), E_INVALIDARG);
  std::vector<LPCITEMIDLIST> items;
  std::vector<std::string> names;
  for (TQsShListData* d : selected) {
    items.push_back(d->RelativeIdList());
    names.push_back(PidlDisplayName(shellFolder_, d->RelativeIdList(), 2));
  }
  return ComNew<IDataObject, TDataObject_shlv>(folderList_, items, names);
}

DWORD TQsCustomShellList::SelectionEffects() {
  std::vector<TQsShListData*> selected = SelectedData();
  std::vector<LPCITEMIDLIST> items;
  for (TQsShListData* d : selected) items.push_back(d->RelativeIdList());
  ULONG a = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  bool ok = shellFolder_ && !items.empty() &&
            SUCCEEDED(shellFolder_->GetAttributesOf(UINT(items.size()), items.data(), &a));
  return shell::AllowedEffects(ok, a);
}

void TQsCustomShellList::DragOut(int button) {
  if (SelectedData().empty()) return;
  TComPtr<IDataObject> data = SelectionDataObject();
  DWORD allowed = SelectionEffects();
  TComPtr<IDropSource> source = ComNew<IDropSource, TDropSource_shlvtv>(button);
  dragOut_ = true;
  struct End {
    TQsCustomShellList& l;
    ~End() { l.dragOut_ = false; }
  } end{*this};
  DWORD effect = DROPEFFECT_NONE;
  DoDragDrop(data.Get(), source.Get(), allowed, &effect);
  dragOut_ = false;
  if (refreshPending_) Refresh();
}

void TQsCustomShellList::CNNotify(TMessage& m) {
  int code = int(NotifyOf(m).code);
  TQsCustomListView::CNNotify(m);
  if ((code == int(LVN_BEGINDRAG) || code == int(LVN_BEGINRDRAG)) && (options_ & qssloOleDrag))
    DragOut(code == int(LVN_BEGINDRAG) ? 0 : 1);
}

// ---- dropping in

TComPtr<IDropTarget> TQsCustomShellList::FolderDropTarget() {
  TComPtr<IDropTarget> target;
  TComRef<IShellFolder> parent;
  TPidl item;
  if (FAILED(SplitFolder(folder_.GetIdList(), parent, item))) return target;
  LPCITEMIDLIST items[1] = {item.Get()};
  void* out = nullptr;
  if (SUCCEEDED(QsShell().GetUIObjectOf(parent.Get(), Handle(), 1, items, IID_IDropTarget, &out)))
    target.Reset(static_cast<IDropTarget*>(out));
  return target;
}

TComPtr<IDropTarget> TQsCustomShellList::ChooseTarget(TListItem* item, DWORD keys, DWORD& effect, bool& decided,
                                                      bool forDrop) {
  decided = false;
  TComPtr<IDropTarget> target;
  if (TQsShListData* d = GetItemDataOf(item)) {
    LPCITEMIDLIST items[1] = {d->RelativeIdList()};
    void* out = nullptr;
    if (shellFolder_ && SUCCEEDED(QsShell().GetUIObjectOf(shellFolder_, Handle(), 1, items, IID_IDropTarget, &out)))
      target.Reset(static_cast<IDropTarget*>(out));
    return target;
  }
  if (dragOut_) {
    if (keys & MK_RBUTTON) {
      if (forDrop) {
        effect &= ~DWORD(DROPEFFECT_MOVE);
        return FolderDropTarget();
      }
      effect = DROPEFFECT_COPY;
    } else {
      effect = DROPEFFECT_NONE;
    }
    decided = true;
    return target;
  }
  return FolderDropTarget();
}

void TQsCustomShellList::Highlight(TListItem* item) {
  if (highlighted_ == item) return;
  if (highlighted_) highlighted_->SetDropTarget(false);
  highlighted_ = item;
  if (item) item->SetDropTarget(true);
  Update();
}

void TQsCustomShellList::AutoScroll(POINTL screen, DWORD& effect) {
  TPoint p = ScreenToClient({int(screen.x), int(screen.y)});
  int dx = p.X < 26 ? -1 : p.X > ClientWidth() - 26 ? 1 : 0;
  int dy = p.Y < 20 ? -1 : p.Y > ClientHeight() - 20 ? 1 : 0;
  auto room = [&](int bar, int dir) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(Handle(), bar, &si) || si.nMax <= si.nMin) return false;
    return dir < 0 ? si.nPos > si.nMin : si.nPos + int(si.nPage) <= si.nMax;
  };
  if (dx && !room(SB_HORZ, dx)) dx = 0;
  if (dy && !room(SB_VERT, dy)) dy = 0;
  if (!dx && !dy) return;
  effect |= DROPEFFECT_SCROLL;
  if (GetTickCount() - scrollTick_ < 200) return;
  scrollTick_ = GetTickCount();
  if (dx) SendMessageA(Handle(), WM_HSCROLL, dx < 0 ? SB_LINELEFT : SB_LINERIGHT, 0);
  if (dy) SendMessageA(Handle(), WM_VSCROLL, dy < 0 ? SB_LINEUP : SB_LINEDOWN, 0);
}

void TQsCustomShellList::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) {
  scrollTick_ = GetTickCount();
  if (over_) over_->Release();
  over_ = data;
  if (over_) over_->AddRef();
  dragKeys_ = keys;
  TPoint p = ScreenToClient({int(point.x), int(point.y)});
  TListItem* item = GetItemAt(p.X, p.Y);
  bool decided = false;
  TComPtr<IDropTarget> target = ChooseTarget(item, keys, effect, decided, false);
  if (decided) {
    Highlight(nullptr);
    return;
  }
  if (!target) {
    effect = DROPEFFECT_NONE;
    Highlight(nullptr);
    return;
  }
  if (FAILED(target->DragEnter(data, keys, point, &effect))) effect = DROPEFFECT_NONE;
  target->DragLeave();
  Highlight(effect != DROPEFFECT_NONE ? item : nullptr);
}

void TQsCustomShellList::DragOver(DWORD keys, POINTL point, DWORD& effect) {
  TPoint p = ScreenToClient({int(point.x), int(point.y)});
  TListItem* item = GetItemAt(p.X, p.Y);
  bool decided = false;
  DWORD asked = effect;
  TComPtr<IDropTarget> target = ChooseTarget(item, keys, effect, decided, false);
  if (!decided) {
    if (!target) {
      effect = DROPEFFECT_NONE;
    } else {
      DWORD first = asked;
      if (FAILED(target->DragEnter(over_, keys, point, &first)) || FAILED(target->DragOver(keys, point, &effect)))
        effect = DROPEFFECT_NONE;
      target->DragLeave();
    }
  }
  Highlight(effect != DROPEFFECT_NONE && !decided ? item : nullptr);
  AutoScroll(point, effect);
}

void TQsCustomShellList::DragLeave() {
  if (over_) over_->Release();
  over_ = nullptr;
  Highlight(nullptr);
}

void TQsCustomShellList::Drop(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) {
  struct Done {
    TQsCustomShellList& l;
    ~Done() { l.DragLeave(); }
  } done{*this};
  TPoint p = ScreenToClient({int(point.x), int(point.y)});
  TListItem* item = GetItemAt(p.X, p.Y);
  // The button that carried the drag is up by now: the key state it had at the start says
  // which it was.
  keys |= dragKeys_ & (MK_LBUTTON | MK_RBUTTON);
  bool decided = false;
  TComPtr<IDropTarget> target = ChooseTarget(item, keys, effect, decided, true);
  if (decided || !target) {
    if (!decided) effect = DROPEFFECT_NONE;
    return;
  }
  DWORD asked = effect;
  if (FAILED(target->DragEnter(data, keys, point, &effect)) || effect == DROPEFFECT_NONE) {
    target->DragLeave();
    effect = DROPEFFECT_NONE;
    return;
  }
  effect = asked;
  if (FAILED(target->DragOver(keys, point, &effect)) || effect == DROPEFFECT_NONE) {
    target->DragLeave();
    effect = DROPEFFECT_NONE;
    return;
  }
  effect &= DroppedItemsEffects(data);
  if (effect == DROPEFFECT_NONE) {
    target->DragLeave();
    return;
  }
  target->Drop(data, keys, point, &effect);
}

// ---- messages

LRESULT TQsCustomShellList::ShellBrowser() {
  IUnknown* explorer = nullptr;
  if (FAILED(SHGetInstanceExplorer(&explorer)) || !explorer) return 0;
  void* browser = nullptr;
  HRESULT hr = explorer->QueryInterface(IID_IShellBrowser, &browser);
  explorer->Release();
  if (FAILED(hr) || !browser) return 0;
  // The explorer keeps it; the asker gets no reference of its own.
  static_cast<IUnknown*>(browser)->Release();
  return reinterpret_cast<LRESULT>(browser);
}

void TQsCustomShellList::WndProc(TMessage& m) {
  if (menu_ && menu_->HandleMessage(m.Msg, m.WParam, m.LParam, m.Result)) return;
  switch (m.Msg) {
    case kShellChangedMessage:
      ChangeNotified();
      return;
    case kEditNewFolderMessage:
      EditNewFolder();
      return;
    case kGetShellBrowserMessage:
      m.Result = ShellBrowser();
      return;
    case WM_RBUTTONUP:
      if (dragOut_) {
        DefaultHandler(m);
        return;
      }
      break;
    case WM_DESTROY:
      SaveColumnLayout();
      break;
    case WM_NCDESTROY:
      changes_.reset();
      break;
    default:
      break;
  }
  TQsCustomListView::WndProc(m);
}
