#include "shell_controls/shell_combo_win32.h"

#include <algorithm>

#include "framework/win/application.h"
#include "shell_controls/locator_codec.h"
#include "shell_controls/shell_list_win32.h"
#include "shell_controls/open_dialog_win32.h"
#include "shell_controls/shell_tree_win32.h"
#include "shell_controls/splitter_win32.h"

namespace {

const TTypeInfo kComboOptions{{"qsscoAutofill", "qsscoNonFilesystemAncestors"}, {}};

// One display name with the given flags; a failure is shown and gives an empty caption.
std::string DisplayName(IShellFolder* folder, LPCITEMIDLIST relative, DWORD flags) {
  STRRET str{};
  HRESULT hr = folder->GetDisplayNameOf(relative, flags, &str);
  if (FAILED(hr)) {
    ShowMessage(ShellErrorText(hr));
    return {};
  }
  std::string s = StrRetToString(relative, str);
  StrRetFree(str);
  return s;
}

ULONG Attributes(IShellFolder* folder, LPCITEMIDLIST relative, ULONG mask) {
  ULONG a = mask;
  LPCITEMIDLIST items[1] = {relative};
  return SUCCEEDED(folder->GetAttributesOf(1, items, &a)) ? a : 0;
}

bool SameItem(IShellFolder* folder, LPCITEMIDLIST a, LPCITEMIDLIST b) {
  HRESULT hr = folder->CompareIDs(0, a, b);
  return SUCCEEDED(hr) && int16_t(HRESULT_CODE(hr)) == 0;
}

bool sorting = false;

}  // namespace

// ---- TQsShellLocator

const TClassInfo& TQsShellLocator::StaticClass() {
  using P = TProps<TQsShellLocator>;
  static const TClassInfo info{
      "TQsShellLocator", &TPersistent::StaticClass(), nullptr,
      {P::Binary("Pidl", &TQsShellLocator::PidlBytes, &TQsShellLocator::SetPidlBytes)
           .WithStored([](const TPersistent& o) { return static_cast<const TQsShellLocator&>(o).PidlStored(); })}};
  return info;
}

TQsShellLocator::~TQsShellLocator() { PidlFree(list_); }

LPCITEMIDLIST TQsShellLocator::GetIdList() {
  if (kind_ == 0) return list_;
  if (kind_ != 1) return nullptr;
  if (!list_) {
    LPITEMIDLIST l = nullptr;
    if (SUCCEEDED(SpecialFolderPidl(Application ? Application->Handle() : nullptr, id_, l))) list_ = l;
  }
  return list_;
}

void TQsShellLocator::SetIdList(LPCITEMIDLIST list) {
  bool wasList = kind_ == 0;
  LPITEMIDLIST old = list_;
  list_ = shell::IsEmptyList(Bytes(list)) ? nullptr : CopyPidl(nullptr, list);
  kind_ = 0;
  id_ = 28;
  bool changed = !wasList || (!old && list_);
  if (!changed) {
    int c = ComparePidls(old, list_);
    changed = c != 0 && c != 0x7FFFFFFF;
  }
  PidlFree(old);
  if (changed) Changed();
}

std::string TQsShellLocator::GetPath() { return PidlToPath(GetIdList()); }

void TQsShellLocator::SetPath(const std::string& path) {
  TPidl parsed;
  if (FAILED(PathToPidl(path, parsed.Out())))
    SetIdList(nullptr);
  else
    SetIdList(parsed.Get());
}

bool TQsShellLocator::Equals(const TQsShellLocator& other) const {
  if (&other == this) return true;
  if (kind_ != other.kind_) return false;
  if (kind_ == 1) return id_ == other.id_;
  return ComparePidls(list_, other.list_) == 0;
}

void TQsShellLocator::Assign(const TPersistent& src) {
  if (auto* l = dynamic_cast<const TQsShellLocator*>(&src)) {
    Assign(l);
    return;
  }
  TPersistent::Assign(src);
}

void TQsShellLocator::Assign(const TQsShellLocator* src) {
  if (!src) {
    // The Desktop, also from a special folder (whose list may not have been looked up).
    if (kind_ == 0 && !list_) return;
    PidlFree(list_);
    list_ = nullptr;
    kind_ = 0;
    id_ = 28;
    Changed();
    return;
  }
  if (Equals(*src)) return;
  PidlFree(list_);
  list_ = nullptr;
  kind_ = src->kind_;
  if (kind_ == 1) {
    id_ = src->id_;
  } else {
    list_ = CopyPidl(nullptr, src->list_);
    id_ = 28;
  }
  Changed();
}

void TQsShellLocator::Changed() { OnChange(this); }

std::vector<uint8_t> TQsShellLocator::PidlBytes() const {
  return shell::EncodeLocatorPidl(kind_, id_, kind_ == 0 ? Bytes(list_) : nullptr);
}

void TQsShellLocator::SetPidlBytes(const std::vector<uint8_t>& bytes) {
  shell::TLocatorValue v = shell::DecodeLocatorPidl(bytes.data(), bytes.size());
  LPITEMIDLIST list = nullptr;
  if (v.Kind == 0) {
    list = PidlAlloc(UINT(v.List.size()));
    if (!list) throw EOutOfResources("Out of memory for the folder value");
    std::copy(v.List.begin(), v.List.end(), reinterpret_cast<uint8_t*>(list));
  }
  PidlFree(list_);
  list_ = list;
  kind_ = v.Kind;
  id_ = v.Kind ? v.Id : 28;
}

bool TQsShellLocator::PidlStored() const { return shell::LocatorPidlStored(kind_, kind_ == 0 && list_); }

// ---- TQsShComboData

TQsShComboData::TQsShComboData(TQsCustomShellCombo* owner, IShellFolder* parent, LPCITEMIDLIST parentList,
                               LPCITEMIDLIST relative)
    : Owner(owner),
      parent_(parent),
      parentList_(CopyPidl(nullptr, parentList)),
      relative_(CopyPidl(nullptr, relative)),
      absolute_(ConcatPidls(nullptr, parentList, relative)) {
  if (parent_) parent_->AddRef();
}

TQsShComboData::~TQsShComboData() {
  if (parent_) parent_->Release();
  if (Extra) Extra->Release();
  PidlFree(parentList_);
  PidlFree(relative_);
  PidlFree(absolute_);
}

// ---- SortPidls

void SortPidls(IShellFolder* folder, std::vector<LPITEMIDLIST>& lists) {
  if (sorting) throw Exception("Recursive call to SortPidls");
  sorting = true;
  struct Reset {
    ~Reset() { sorting = false; }
  } reset;
  // A comparison that throws leaves the lists as they were: the copy takes the damage.
  std::vector<LPITEMIDLIST> sorted = lists;
  std::stable_sort(sorted.begin(), sorted.end(), [folder](LPITEMIDLIST a, LPITEMIDLIST b) {
    HRESULT hr = folder->CompareIDs(0, a, b);
    return SUCCEEDED(hr) && int16_t(HRESULT_CODE(hr)) < 0;
  });
  lists.swap(sorted);
}

// ---- TQsCustomShellCombo

const TClassInfo& TQsCustomShellCombo::StaticClass() {
  static const TClassInfo info{"TQsCustomShellCombo", &TQsCustomImageCombo::StaticClass(), nullptr, {}};
  return info;
}

const TClassInfo& TQsShellCombo::StaticClass() {
  using P = TProps<TQsShellCombo>;
  static const TClassInfo info{
      "TQsShellCombo", &TQsCustomShellCombo::StaticClass(), Factory<TQsShellCombo>(),
      {// The combo draws its entries itself.
       P::Enum<TComboBoxStyle>("Style", &ComboBoxStyleTypeInfo(), &TQsShellCombo::Style, &TQsShellCombo::SetStyle)
           .WithDefault(int64_t(TComboBoxStyle::csOwnerDrawFixed)),
       P::Int("IndentPixels", &TQsShellCombo::IndentPixels, &TQsShellCombo::SetIndentPixels).WithDefault(int64_t(12)),
       P::Set("Options", &kComboOptions, &TQsShellCombo::Options, &TQsShellCombo::SetOptions)
           .WithDefault(int64_t(qsscoAutofill | qsscoNonFilesystemAncestors)),
       P::Component<TQsCustomShellList>(
           "ShellList", [](const TQsShellCombo& c) { return c.ShellList(); },
           [](TQsShellCombo& c, TQsCustomShellList* l) { c.SetShellList(l); }),
       P::Component<TQsCustomShellTree>(
           "ShellTree", [](const TQsShellCombo& c) { return c.ShellTree(); },
           [](TQsShellCombo& c, TQsCustomShellTree* t) { c.SetShellTree(t); }),
       P::Event("OnDeleteItem", &TQsShellCombo::OnDeleteItem),
       P::Event("OnCloseUp", &TQsShellCombo::OnCloseUp),
       P::Event("OnSelEndCancel", &TQsShellCombo::OnSelEndCancel),
       P::Event("OnSelEndOk", &TQsShellCombo::OnSelEndOk)}};
  return info;
}

TQsCustomShellCombo::TQsCustomShellCombo(TComponent* owner)
    : TQsCustomImageCombo(owner), images_(new TImageList(this)) {
  images_->SetShareImages(true);
  images_->SetHandle(SystemImageList(0));
  SetImages(images_);
  locator_.OnChange = TNotifyEvent([this](TObject*) { LocatorChanged(); });
}

void TQsCustomShellCombo::BeforeDestruction() {
  locator_.OnChange = {};
  TQsCustomImageCombo::BeforeDestruction();
}

TQsShComboData* TQsCustomShellCombo::EntryData(int index) const {
  TQsImageComboItem* item = GetItem(index);
  return item ? dynamic_cast<TQsShComboData*>(item->Data) : nullptr;
}

bool TQsCustomShellCombo::CanAddItem(IShellFolder* folder, LPCITEMIDLIST parentList, LPCITEMIDLIST relative,
                                     ULONG attributes) {
  int32_t allow = 1;
  if (EventsAllowed()) OnAddItem(this, folder, parentList, relative, attributes, allow);
  return allow != 0;
}

void TQsCustomShellCombo::LocatorChanged() {
  if (changeCount_ > 0) return;
  ++changeCount_;
  struct Lower {
    int& n;
    ~Lower() { --n; }
  } lower{changeCount_};
  if (TQsCustomShellTree* t = tree_.Get())
    t->SetFolderFrom(locator_);
  else if (TQsCustomShellList* l = list_.Get())
    l->Folder().Assign(&locator_);
  Rebuild();
}

TQsCustomShellList* TQsCustomShellCombo::ShellList() const { return list_.Get(); }

TQsCustomShellTree* TQsCustomShellCombo::ShellTree() const { return tree_.Get(); }

void TQsCustomShellCombo::SetShellTree(TQsCustomShellTree* tree) {
  TQsCustomShellTree* old = tree_.Get();
  if (old == tree || (tree && list_.Get())) return;
  tree_ = tree;
  if (old && old->ShellCombo() == this) old->SetShellCombo(nullptr);
  if (tree && tree->ShellCombo() != this) tree->SetShellCombo(this);
}

void TQsCustomShellCombo::TreeNodeChanged(LPCITEMIDLIST absolute) { locator_.SetIdList(absolute); }

void TQsCustomShellCombo::SetShellList(TQsCustomShellList* list) {
  TQsCustomShellList* old = list_.Get();
  if (old == list || (list && tree_.Get())) return;
  list_ = list;
  if (old && old->ShellCombo() == this) old->SetShellCombo(nullptr);
  if (list && list->ShellCombo() != this) list->SetShellCombo(this);
}

HWND TQsCustomShellCombo::FormWindow() {
  TCustomForm* f = ParentForm();
  return f && f->HandleAllocated() ? f->Handle() : nullptr;
}

void TQsCustomShellCombo::Rebuild() {
  ++changeCount_;
  struct Lower {
    int& n;
    ~Lower() { --n; }
  } lower{changeCount_};
  SetItemIndex(-1);
  Items().BeginUpdate();
  Items().Clear();
  Items().EndUpdate();
  shell::TQsIdListArray path(Bytes(locator_.GetIdList()), ShellAllocator());
  pathDone_ = false;
  Items().BeginUpdate();
  struct End {
    TStrings& s;
    ~End() { s.EndUpdate(); }
  } end{Items()};
  TComRef<IShellFolder> desktop;
  OleCheck(SHGetDesktopFolder(desktop.Out()));
  AddLevel(desktop.Get(), nullptr, path, -1);
  if (ItemIndex() < 0 && Items().Count() > 0) SetItemIndex(0);
}

TQsImageComboItem* TQsCustomShellCombo::AddEntry(const std::string& caption, int image, int indent, ULONG attributes,
                                                  TQsShComboData* data) {
  TQsImageComboItem* item;
  try {
    item = AddItem(caption, image, indent);
  } catch (...) {
    delete data;
    throw;
  }
  item->Data = data;
  if (attributes & SFGAO_SHARE)
    item->SetOverlayIndex(0);
  else if (attributes & SFGAO_LINK)
    item->SetOverlayIndex(1);
  return item;
}

void TQsCustomShellCombo::AddLevel(IShellFolder* folder, LPCITEMIDLIST parentList, shell::TQsIdListArray& path,
                                   int level) {
  TPidl myComputer;
  OleCheck(SpecialFolderPidl(FormWindow(), CSIDL_DRIVES, myComputer.Out()));
  if (level == -1) {
    static const uint8_t kDesktop[2] = {0, 0};
    auto desktopList = reinterpret_cast<LPCITEMIDLIST>(kDesktop);
    AddEntry(DisplayName(folder, desktopList, SHGDN_NORMAL), PidlIconIndex(desktopList, SHGFI_SMALLICON), 0, 0,
             new TQsShComboData(this, folder, nullptr, desktopList));
    level = 1;
  }
  TComRef<IEnumIDList> items;
  HRESULT hr = folder->EnumObjects(GetActiveWindow(), SHCONTF_FOLDERS, items.Out());
  OleCheck(hr);
  std::vector<LPITEMIDLIST> children;
  struct FreeAll {
    std::vector<LPITEMIDLIST>& v;
    ~FreeAll() {
      for (LPITEMIDLIST p : v) PidlFree(p);
    }
  } freeAll{children};
  if (items) {
    LPITEMIDLIST next = nullptr;
    ULONG fetched = 0;
    while (items->Next(1, &next, &fetched) == S_OK && fetched == 1) {
      children.push_back(next);
      next = nullptr;
    }
  }
  SortPidls(folder, children);

  for (LPITEMIDLIST child : children) {
    ULONG attrs = Attributes(folder, child, 0xF00B0000);
    bool take = (options_ & qsscoNonFilesystemAncestors) || (attrs & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR));
    if (!take || !CanAddItem(folder, parentList, child, attrs)) continue;
    TPidl absolute(ConcatPidls(nullptr, parentList, child));
    bool isMyComputer = level == 1 && ComparePidls(absolute.Get(), myComputer.Get()) == 0;
    bool onPath = !pathDone_ && level >= 1 && path.Count() >= level && SameItem(folder, AsPidl(path.Items(level - 1)), child);
    bool current = onPath && path.Count() == level;
    TQsImageComboItem* item =
        AddEntry(DisplayName(folder, child, SHGDN_INFOLDER),
                 PidlIconIndex(absolute.Get(), SHGFI_SMALLICON | (current ? SHGFI_OPENICON : 0)), level, attrs,
                 new TQsShComboData(this, folder, parentList, child));
    if (current) {
      SetItemIndex(item->Index);
      pathDone_ = true;
    } else if (onPath && !isMyComputer) {
      // The rest of the path below this entry.
      TComRef<IShellFolder> parent;
      OleCheck(folder->BindToObject(child, nullptr, IID_IShellFolder, reinterpret_cast<void**>(parent.Out())));
      TPidl parentAbs(CopyPidl(nullptr, absolute.Get()));
      TQsImageComboItem* last = item;
      for (int i = level; i < path.Count(); ++i) {
        TPidl rel(CopyPidl(nullptr, AsPidl(path.Items(i))));
        ULONG a = Attributes(parent.Get(), rel.Get(), 0xB00B0000);
        TPidl abs(ConcatPidls(nullptr, parentAbs.Get(), rel.Get()));
        bool lastOne = i == path.Count() - 1;
        last = AddEntry(DisplayName(parent.Get(), rel.Get(), SHGDN_INFOLDER | SHGDN_FORADDRESSBAR),
                        PidlIconIndex(abs.Get(), SHGFI_SMALLICON | (lastOne ? SHGFI_OPENICON : 0)), i + 1, a,
                        new TQsShComboData(this, parent.Get(), parentAbs.Get(), rel.Get()));
        if (lastOne) break;
        TComRef<IShellFolder> below;
        OleCheck(parent->BindToObject(rel.Get(), nullptr, IID_IShellFolder, reinterpret_cast<void**>(below.Out())));
        parent.Reset(below.Get());
        below.Get()->AddRef();
        parentAbs.Reset(abs.Release());
      }
      SetItemIndex(last->Index);
      pathDone_ = true;
    }
    if (isMyComputer) {
      TComRef<IShellFolder> drives;
      OleCheck(folder->BindToObject(child, nullptr, IID_IShellFolder, reinterpret_cast<void**>(drives.Out())));
      AddLevel(drives.Get(), absolute.Get(), path, 2);
    }
  }
}

void TQsCustomShellCombo::Loaded() {
  TQsCustomImageCombo::Loaded();
  if (!(options_ & qsscoAutofill)) return;
  ++changeCount_;
  struct Lower {
    int& n;
    ~Lower() { --n; }
  } lower{changeCount_};
  Rebuild();
  if (TQsCustomShellTree* t = tree_.Get()) {
    t->SetFolderFrom(locator_);
    t->RefreshInPlace();
  } else if (TQsCustomShellList* l = list_.Get()) {
    l->Folder().Assign(&locator_);
  }
}

void TQsCustomShellCombo::CreateWindowHandle() {
  TQsCustomImageCombo::CreateWindowHandle();
  if (!IsLoading() && (options_ & qsscoAutofill)) Rebuild();
}

void TQsCustomShellCombo::CNCommand(TMessage& m) {
  TQsCustomImageCombo::CNCommand(m);
  if (HIWORD(m.WParam) != CBN_SELCHANGE || !EventsAllowed()) return;
  int i = ItemIndex();
  if (i < 0) return;
  if (TQsShComboData* d = EntryData(i)) {
    TPidl chosen(CopyPidl(nullptr, d->AbsoluteIdList()));
    locator_.SetIdList(chosen.Get());
  }
}

void TQsCustomShellCombo::DeleteItem(void* data) {
  auto* item = dynamic_cast<TQsImageComboItem*>(static_cast<TObject*>(data));
  TObject* entry = item ? item->Data : nullptr;
  TQsCustomImageCombo::DeleteItem(data);
  delete entry;
}

void TQsCustomShellCombo::GoUpLevels(int n) {
  int i = ItemIndex();
  if (i < 0) return;
  int target = GetItem(i)->Indent - n + 1;
  int j = i;
  while (j > 0 && GetItem(j)->Indent >= target) --j;
  if (j == i) return;
  if (TQsShComboData* d = EntryData(j)) {
    TPidl up(CopyPidl(nullptr, d->AbsoluteIdList()));
    locator_.SetIdList(up.Get());
  }
}

void RegisterShellControlClasses() {
  for (const TClassInfo* c : {&TQsCombobox::StaticClass(), &TQsShellCombo::StaticClass(), &TQsShellList::StaticClass()})
    RegisterClass(*c);
  RegisterSplitterClasses();
  RegisterShellTreeClasses();
  RegisterOpenDialogClasses();
}
