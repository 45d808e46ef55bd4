#include "framework/controls/listview.h"

#include <algorithm>
#include <cstring>

#include "framework/core/sysutils.h"
#include "framework/win/firewall.h"

namespace {

const TTypeInfo kViewStyles{{"vsIcon", "vsSmallIcon", "vsList", "vsReport"}, {}};

LRESULT Send(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageA(h, msg, wp, lp); }

DWORD ViewBits(TViewStyle v) {
  switch (v) {
    case TViewStyle::vsSmallIcon:
      return LVS_SMALLICON;
    case TViewStyle::vsList:
      return LVS_LIST;
    case TViewStyle::vsReport:
      return LVS_REPORT;
    default:
      return LVS_ICON;
  }
}

int ColumnFormat(TAlignment a) {
  return a == TAlignment::taRightJustify ? LVCFMT_RIGHT : a == TAlignment::taCenter ? LVCFMT_CENTER : LVCFMT_LEFT;
}

struct TSortContext {
  const std::function<int(TListItem*, TListItem*)>* Compare;
  TCallbackGuard Guard;
};

int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM context) noexcept {
  auto* c = reinterpret_cast<TSortContext*>(context);
  int r = 0;
  c->Guard.Run([&] {
    r = (*c->Compare)(reinterpret_cast<TListItem*>(a), reinterpret_cast<TListItem*>(b));
    return true;
  });
  return r;
}

}  // namespace

// ---- TListItem

TListItem::TListItem(TCustomListView* list) : list_(list) {
  subItems_.OnChange = TNotifyEvent([this](TObject*) { SubItemsChanged(); });
}

HWND TListItem::Window() const { return inWindow_ && list_->HandleAllocated() ? list_->Handle() : nullptr; }

int TListItem::Index() const { return list_->items_.IndexOf(this); }

void TListItem::Update() {
  if (HWND h = Window()) {
    int i = Index();
    Send(h, LVM_REDRAWITEMS, WPARAM(i), LPARAM(i));
  }
}

void TListItem::SetCaption(const std::string& caption) {
  caption_ = caption;
  Update();
}

void TListItem::SubItemsChanged() {
  if (HWND h = Window()) {
    int i = Index();
    for (int s = 1; s <= subItems_.Count(); ++s) {
      LVITEMA it{};
      it.iSubItem = s;
      it.pszText = LPSTR_TEXTCALLBACKA;
      Send(h, LVM_SETITEMTEXTA, WPARAM(i), reinterpret_cast<LPARAM>(&it));
    }
    Update();
  }
}

void TListItem::SetImageIndex(int i) {
  image_ = i;
  Update();
}

UINT TListItem::StateBits() const {
  UINT s = state_ & (LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED);
  if (overlay_ >= 0) s |= INDEXTOOVERLAYMASK(overlay_ + 1);
  if (stateIndex_ >= 0) s |= INDEXTOSTATEIMAGEMASK(stateIndex_ + 1);
  return s;
}

void TListItem::SetStateIndex(int i) {
  stateIndex_ = i;
  if (HWND h = Window()) {
    LVITEMA it{};
    it.stateMask = LVIS_STATEIMAGEMASK;
    it.state = i >= 0 ? INDEXTOSTATEIMAGEMASK(i + 1) : 0;
    Send(h, LVM_SETITEMSTATE, WPARAM(Index()), reinterpret_cast<LPARAM>(&it));
  }
}

void TListItem::SetOverlayIndex(int i) {
  overlay_ = i;
  if (HWND h = Window()) {
    LVITEMA it{};
    it.stateMask = LVIS_OVERLAYMASK;
    it.state = i >= 0 ? INDEXTOOVERLAYMASK(i + 1) : 0;
    Send(h, LVM_SETITEMSTATE, WPARAM(Index()), reinterpret_cast<LPARAM>(&it));
  }
}

bool TListItem::GetState(UINT bit) const {
  if (HWND h = Window()) return (Send(h, LVM_GETITEMSTATE, WPARAM(Index()), bit) & bit) != 0;
  return (state_ & bit) != 0;
}

void TListItem::SetState(UINT bit, bool v) {
  state_ = v ? (state_ | bit) : (state_ & ~bit);
  if (HWND h = Window()) {
    LVITEMA it{};
    it.stateMask = bit;
    it.state = v ? bit : 0;
    Send(h, LVM_SETITEMSTATE, WPARAM(Index()), reinterpret_cast<LPARAM>(&it));
  }
}

TRect TListItem::DisplayRect(TDisplayCode code) const {
  HWND h = Window();
  if (!h) return {};
  RECT r{};
  r.left = code == TDisplayCode::drIcon    ? LVIR_ICON
           : code == TDisplayCode::drLabel ? LVIR_LABEL
           : code == TDisplayCode::drSelectBounds ? LVIR_SELECTBOUNDS
                                                  : LVIR_BOUNDS;
  if (!Send(h, LVM_GETITEMRECT, WPARAM(Index()), reinterpret_cast<LPARAM>(&r))) return {};
  return FromRECT(r);
}

void TListItem::MakeVisible(bool partialOk) {
  if (HWND h = Window()) Send(h, LVM_ENSUREVISIBLE, WPARAM(Index()), partialOk);
}

bool TListItem::EditCaption() {
  HWND h = list_->Handle();
  return inWindow_ && Send(h, LVM_EDITLABELA, WPARAM(Index())) != 0;
}

void TListItem::Delete() { list_->items_.Delete(Index()); }

// ---- TListItems

TListItems::~TListItems() {
  for (TListItem* i : items_) delete i;
}

TListItem* TListItems::Item(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  return items_[size_t(index)];
}

int TListItems::IndexOf(const TListItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(int index) {
  if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  auto* item = new TListItem(&list_);
  items_.insert(items_.begin() + index, item);
  if (list_.HandleAllocated()) {
    try {
      InsertIntoWindow(item, index);
    } catch (...) {
      items_.erase(items_.begin() + index);
      delete item;
      throw;
    }
  }
  return item;
}

void TListItems::InsertIntoWindow(TListItem* item, int index) {
  LVITEMA it{};
  it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
  it.iItem = index;
  it.pszText = LPSTR_TEXTCALLBACKA;
  it.iImage = I_IMAGECALLBACK;
  it.lParam = reinterpret_cast<LPARAM>(item);
  it.stateMask = LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED | LVIS_OVERLAYMASK | LVIS_STATEIMAGEMASK;
  it.state = item->StateBits();
  item->inWindow_ = true;
  if (Send(list_.Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)) < 0) {
    item->inWindow_ = false;
    throw EOutOfResources("Cannot add an item to " + list_.Name());
  }
  item->deleted_ = false;
  if (item->subItems_.Count()) item->SubItemsChanged();
}

void TListItems::Release(TListItem* item, bool runDelete) {
  if (runDelete && !item->deleted_) {
    item->deleted_ = true;
    list_.Delete(item);
  }
  delete item;
}

void TListItems::Delete(int index) {
  TListItem* item = Item(index);
  if (HWND h = item->Window()) Send(h, LVM_DELETEITEM, WPARAM(index));
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  Release(item, true);
}

void TListItems::Clear() {
  if (list_.HandleAllocated()) Send(list_.Handle(), LVM_DELETEALLITEMS);
  std::vector<TListItem*> items;
  items.swap(items_);
  for (TListItem* i : items) Release(i, true);
}

void TListItems::BeginUpdate() {
  if (updates_++ == 0 && list_.HandleAllocated()) Send(list_.Handle(), WM_SETREDRAW, FALSE);
}

void TListItems::EndUpdate() {
  if (updates_ > 0 && --updates_ == 0 && list_.HandleAllocated()) {
    Send(list_.Handle(), WM_SETREDRAW, TRUE);
    list_.Invalidate();
  }
}

// ---- TListColumn, TListColumns

int TListColumn::Index() const {
  const auto& c = list_->columns_.columns_;
  for (size_t i = 0; i < c.size(); ++i)
    if (c[i].get() == this) return int(i);
  return -1;
}

void TListColumn::Apply(UINT mask) {
  if (!list_->HandleAllocated()) return;
  LVCOLUMNA c{};
  c.mask = mask;
  c.pszText = const_cast<char*>(caption_.c_str());
  c.cx = width_;
  c.fmt = ColumnFormat(alignment_);
  Send(list_->Handle(), LVM_SETCOLUMNA, WPARAM(Index()), reinterpret_cast<LPARAM>(&c));
}

void TListColumn::SetCaption(const std::string& c) {
  caption_ = c;
  Apply(LVCF_TEXT);
}

int TListColumn::Width() const {
  if (!list_->HandleAllocated()) return width_;
  return int(Send(list_->Handle(), LVM_GETCOLUMNWIDTH, WPARAM(Index())));
}

void TListColumn::SetWidth(int w) {
  width_ = w;
  Apply(LVCF_WIDTH);
}

void TListColumn::SetAlignment(TAlignment a) {
  alignment_ = a;
  Apply(LVCF_FMT);
}

TListColumn* TListColumns::Add() {
  columns_.push_back(std::unique_ptr<TListColumn>(new TListColumn(&list_)));
  if (list_.HandleAllocated()) InsertIntoWindow(Count() - 1);
  return columns_.back().get();
}

void TListColumns::InsertIntoWindow(int index) {
  TListColumn& col = *columns_[size_t(index)];
  LVCOLUMNA c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  c.pszText = const_cast<char*>(col.caption_.c_str());
  c.cx = col.width_;
  c.fmt = ColumnFormat(col.alignment_);
  c.iSubItem = index;
  Send(list_.Handle(), LVM_INSERTCOLUMNA, WPARAM(index), reinterpret_cast<LPARAM>(&c));
}

void TListColumns::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  if (list_.HandleAllocated()) Send(list_.Handle(), LVM_DELETECOLUMN, WPARAM(index));
  columns_.erase(columns_.begin() + index);
}

void TListColumns::Clear() {
  while (Count()) Delete(Count() - 1);
}

// ---- TIconOptions

const TClassInfo& TIconOptions::StaticClass() {
  using P = TProps<TIconOptions>;
  static const TClassInfo info{
      "TIconOptions", &TPersistent::StaticClass(), nullptr,
      {P::Bool("AutoArrange", &TIconOptions::AutoArrange, &TIconOptions::SetAutoArrange)
           .WithStored([](const TPersistent& o) {
             auto& options = static_cast<const TIconOptions&>(o);
             return options.AutoArrange() != options.InitialAutoArrange();
           })}};
  return info;
}

void TIconOptions::SetAutoArrange(bool v) {
  autoArrange_ = v;
  list_->SetStyle(v ? LVS_AUTOARRANGE : 0, LVS_AUTOARRANGE);
}

// ---- TCustomListView

const TClassInfo& TCustomListView::StaticClass() {
  using P = TProps<TCustomListView>;
  static const TClassInfo info{
      "TCustomListView", &TWinControl::StaticClass(), nullptr,
      {P::Bool("TabStop", &TCustomListView::TabStop, &TCustomListView::SetTabStop).WithDefault(true),
       P::Enum<TViewStyle>("ViewStyle", &kViewStyles, &TCustomListView::ViewStyle, &TCustomListView::SetViewStyle)
           .WithDefault(int64_t(0)),
       P::Bool("ShowColumnHeaders", &TCustomListView::ShowColumnHeaders, &TCustomListView::SetShowColumnHeaders)
           .WithDefault(true),
       P::Bool("ColumnClick", &TCustomListView::ColumnClick, &TCustomListView::SetColumnClick).WithDefault(true),
       P::Bool("MultiSelect", &TCustomListView::MultiSelect, &TCustomListView::SetMultiSelect).WithDefault(false),
       P::Bool("ReadOnly", &TCustomListView::ReadOnly, &TCustomListView::SetReadOnly).WithDefault(false),
       P::Bool("HideSelection", &TCustomListView::HideSelection, &TCustomListView::SetHideSelection)
           .WithDefault(true),
       P::Nested("IconOptions", [](TCustomListView& l) -> TPersistent& { return l.IconOptions(); }),
       P::Component<TImageList>("LargeImages", &TCustomListView::LargeImages, &TCustomListView::SetLargeImages),
       P::Component<TImageList>("SmallImages", &TCustomListView::SmallImages, &TCustomListView::SetSmallImages),
       P::Component<TImageList>("StateImages", &TCustomListView::StateImages, &TCustomListView::SetStateImages),
       P::Event("OnChange", &TCustomListView::OnChange),
       P::Event("OnChanging", &TCustomListView::OnChanging),
       P::Event("OnColumnClick", &TCustomListView::OnColumnClick),
       P::Event("OnDeletion", &TCustomListView::OnDeletion),
       P::Event("OnInsert", &TCustomListView::OnInsert),
       P::Event("OnEditing", &TCustomListView::OnEditing),
       P::Event("OnEdited", &TCustomListView::OnEdited)}};
  return info;
}

const TClassInfo& TListView::StaticClass() {
  static const TClassInfo info{"TListView", &TCustomListView::StaticClass(), Factory<TListView>(), {}};
  return info;
}

TCustomListView::TCustomListView(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 250, 150);
  SetTabStop(true);
}

TCustomListView::~TCustomListView() = default;

void TCustomListView::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = WC_LISTVIEWA;
  p.ExStyle |= WS_EX_CLIENTEDGE;
  p.Style |= ViewBits(viewStyle_) | LVS_SHAREIMAGELISTS;
  if (!showColumnHeaders_) p.Style |= LVS_NOCOLUMNHEADER;
  if (!columnClick_) p.Style |= LVS_NOSORTHEADER;
  if (!multiSelect_) p.Style |= LVS_SINGLESEL;
  if (!readOnly_) p.Style |= LVS_EDITLABELS;
  if (!hideSelection_) p.Style |= LVS_SHOWSELALWAYS;
  if (iconOptions_.AutoArrange()) p.Style |= LVS_AUTOARRANGE;
}

void TCustomListView::CreateWindowHandle() {
  ApplyImageLists();
  for (int i = 0; i < columns_.Count(); ++i) columns_.InsertIntoWindow(i);
  if (itemCount_) Send(Handle(), LVM_SETITEMCOUNT, WPARAM(std::max(itemCount_, items_.Count())));
  for (int i = 0; i < items_.Count(); ++i) items_.InsertIntoWindow(items_.items_[size_t(i)], i);
}

void TCustomListView::DestroyWnd() {
  if (HandleAllocated() && !IsDestroying()) {
    // The items outlive the window: keep what the window alone knows.
    for (TListItem* i : items_.items_) {
      UINT s = UINT(Send(Handle(), LVM_GETITEMSTATE, WPARAM(items_.IndexOf(i)),
                         LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED));
      i->state_ = s;
    }
    for (auto& c : columns_.columns_) c->width_ = c->Width();
    recreating_ = true;
  }
  struct Reset {
    TCustomListView& l;
    ~Reset() {
      l.recreating_ = false;
      for (TListItem* i : l.items_.items_) i->inWindow_ = false;
    }
  } reset{*this};
  TWinControl::DestroyWnd();
}

void TCustomListView::BeforeDestruction() {
  TWinControl::BeforeDestruction();
  std::vector<TListItem*> items;
  items.swap(items_.items_);
  for (TListItem* i : items) items_.Release(i, true);
}

void TCustomListView::ApplyImageLists() {
  if (!HandleAllocated()) return;
  auto handle = [](TImageList* l) { return reinterpret_cast<LPARAM>(l ? l->Handle() : nullptr); };
  Send(Handle(), LVM_SETIMAGELIST, LVSIL_NORMAL, handle(LargeImages()));
  Send(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, handle(SmallImages()));
  Send(Handle(), LVM_SETIMAGELIST, LVSIL_STATE, handle(StateImages()));
}

void TCustomListView::SetLargeImages(TImageList* images) {
  largeImages_ = images;
  ApplyImageLists();
}

void TCustomListView::SetSmallImages(TImageList* images) {
  smallImages_ = images;
  ApplyImageLists();
}

void TCustomListView::SetStateImages(TImageList* images) {
  stateImages_ = images;
  ApplyImageLists();
}

void TCustomListView::SetStyle(DWORD bits, DWORD mask) {
  if (!HandleAllocated()) return;
  LONG_PTR s = GetWindowLongPtrA(Handle(), GWL_STYLE);
  SetWindowLongPtrA(Handle(), GWL_STYLE, (s & ~LONG_PTR(mask)) | LONG_PTR(bits));
  Invalidate();
}

void TCustomListView::SetViewStyle(TViewStyle v) {
  viewStyle_ = v;
  SetStyle(ViewBits(v), LVS_TYPEMASK);
}
void TCustomListView::SetShowColumnHeaders(bool v) {
  showColumnHeaders_ = v;
  SetStyle(v ? 0 : LVS_NOCOLUMNHEADER, LVS_NOCOLUMNHEADER);
}
void TCustomListView::SetColumnClick(bool v) {
  columnClick_ = v;
  SetStyle(v ? 0 : LVS_NOSORTHEADER, LVS_NOSORTHEADER);
}
void TCustomListView::SetMultiSelect(bool v) {
  multiSelect_ = v;
  SetStyle(v ? 0 : LVS_SINGLESEL, LVS_SINGLESEL);
}
void TCustomListView::SetReadOnly(bool v) {
  readOnly_ = v;
  SetStyle(v ? 0 : LVS_EDITLABELS, LVS_EDITLABELS);
}
void TCustomListView::SetHideSelection(bool v) {
  hideSelection_ = v;
  SetStyle(v ? 0 : LVS_SHOWSELALWAYS, LVS_SHOWSELALWAYS);
}

TListItem* TCustomListView::Selected() const {
  if (!HandleAllocated()) {
    for (TListItem* i : items_.items_)
      if (i->state_ & LVIS_SELECTED) return i;
    return nullptr;
  }
  int i = int(Send(const_cast<TCustomListView*>(this)->Handle(), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
  return i >= 0 && i < items_.Count() ? items_.items_[size_t(i)] : nullptr;
}

void TCustomListView::SetSelected(TListItem* item) {
  for (TListItem* i : items_.items_)
    if (i != item && i->Selected()) i->SetSelected(false);
  if (item) item->SetSelected(true);
}

TListItem* TCustomListView::ItemFocused() const {
  if (!HandleAllocated()) {
    for (TListItem* i : items_.items_)
      if (i->state_ & LVIS_FOCUSED) return i;
    return nullptr;
  }
  int i = int(Send(const_cast<TCustomListView*>(this)->Handle(), LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
  return i >= 0 && i < items_.Count() ? items_.items_[size_t(i)] : nullptr;
}

int TCustomListView::SelCount() const {
  if (!HandleAllocated())
    return int(std::count_if(items_.items_.begin(), items_.items_.end(),
                             [](TListItem* i) { return (i->state_ & LVIS_SELECTED) != 0; }));
  return int(Send(const_cast<TCustomListView*>(this)->Handle(), LVM_GETSELECTEDCOUNT));
}

TListItem* TCustomListView::GetItemAt(int x, int y) const {
  if (!HandleAllocated()) return nullptr;
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  int i = int(Send(const_cast<TCustomListView*>(this)->Handle(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return i >= 0 && i < items_.Count() && (hit.flags & LVHT_ONITEM) ? items_.items_[size_t(i)] : nullptr;
}

bool TCustomListView::IsEditing() const {
  return HandleAllocated() && Send(const_cast<TCustomListView*>(this)->Handle(), LVM_GETEDITCONTROL) != 0;
}

void TCustomListView::CustomSort(const std::function<int(TListItem*, TListItem*)>& compare) {
  if (!HandleAllocated()) {
    std::stable_sort(items_.items_.begin(), items_.items_.end(),
                     [&](TListItem* a, TListItem* b) { return compare(a, b) < 0; });
    return;
  }
  TSortContext c{&compare, {}};
  Send(Handle(), LVM_SORTITEMS, reinterpret_cast<WPARAM>(&c), reinterpret_cast<LPARAM>(CompareItems));
  // The window's order is the order now, also when the comparison failed part way.
  for (int i = 0; i < items_.Count(); ++i) {
    LVITEMA it{};
    it.mask = LVIF_PARAM;
    it.iItem = i;
    if (Send(Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)))
      items_.items_[size_t(i)] = reinterpret_cast<TListItem*>(it.lParam);
  }
  c.Guard.RethrowIfFailed();
}

void TCustomListView::Scroll(int dx, int dy) {
  if (HandleAllocated()) Send(Handle(), LVM_SCROLL, WPARAM(dx), LPARAM(dy));
}

void TCustomListView::SetItemCount(int n) {
  itemCount_ = n;
  if (HandleAllocated()) Send(Handle(), LVM_SETITEMCOUNT, WPARAM(std::max(n, items_.Count())));
}

void TCustomListView::GetDisplayInfo(TListItem* item, int subItem, std::string* text, int* image) {
  if (text) {
    if (subItem == 0)
      *text = item->Caption();
    else if (subItem <= item->SubItems().Count())
      *text = item->SubItems()[subItem - 1];
    else
      text->clear();
  }
  if (image) *image = item->ImageIndex();
}

void TCustomListView::Delete(TListItem* item) {
  if (EventsAllowed()) OnDeletion(this, item);
}

void TCustomListView::InsertItem(TListItem* item) {
  if (EventsAllowed()) OnInsert(this, item);
}

bool TCustomListView::CanChange(TListItem* item, TItemChange change) {
  bool allow = true;
  if (EventsAllowed()) OnChanging(this, item, change, allow);
  return allow;
}

void TCustomListView::Change(TListItem* item, TItemChange change) {
  if (EventsAllowed()) OnChange(this, item, change);
}

void TCustomListView::ColClick(TListColumn* column) {
  if (EventsAllowed()) OnColumnClick(this, column);
}

bool TCustomListView::CanEdit(TListItem* item) {
  bool allow = true;
  if (EventsAllowed()) OnEditing(this, item, allow);
  return allow;
}

void TCustomListView::Edit(TListItem* item, std::string& S) {
  if (EventsAllowed()) OnEdited(this, item, S);
  item->SetCaption(S);
}

void TCustomListView::CNNotify(TMessage& m) {
  const auto& hdr = NotifyOf(m);
  auto* lv = reinterpret_cast<NMLISTVIEW*>(m.LParam);
  auto itemAt = [&](int i) { return i >= 0 && i < items_.Count() ? items_.items_[size_t(i)] : nullptr; };
  auto changeOf = [](UINT changed) {
    return changed & LVIF_TEXT ? TItemChange::ctText : changed & LVIF_IMAGE ? TItemChange::ctImage : TItemChange::ctState;
  };
  switch (int(hdr.code)) {
    case int(LVN_DELETEITEM): {
      auto* item = reinterpret_cast<TListItem*>(lv->lParam);
      if (!item) return;
      item->inWindow_ = false;
      if (!recreating_ && !item->deleted_) {
        item->deleted_ = true;
        Delete(item);
      }
      return;
    }
    case int(LVN_DELETEALLITEMS):
      m.Result = FALSE;  // one LVN_DELETEITEM for each item
      return;
    case int(LVN_INSERTITEM):
      if (!recreating_)
        if (TListItem* item = itemAt(lv->iItem)) InsertItem(item);
      return;
    case int(LVN_ITEMCHANGING):
      if (!recreating_)
        if (TListItem* item = itemAt(lv->iItem)) m.Result = !CanChange(item, changeOf(lv->uChanged));
      return;
    case int(LVN_ITEMCHANGED):
      if (!recreating_)
        if (TListItem* item = itemAt(lv->iItem)) Change(item, changeOf(lv->uChanged));
      return;
    case int(LVN_COLUMNCLICK):
      if (lv->iSubItem >= 0 && lv->iSubItem < columns_.Count()) ColClick(columns_.Item(lv->iSubItem));
      return;
    case int(LVN_GETDISPINFOA): {
      auto* di = reinterpret_cast<NMLVDISPINFOA*>(m.LParam);
      auto* item = reinterpret_cast<TListItem*>(di->item.lParam);
      if (!item) item = itemAt(di->item.iItem);
      if (!item) return;
      std::string text;
      int image = -1;
      bool wantText = (di->item.mask & LVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0;
      bool wantImage = (di->item.mask & LVIF_IMAGE) && di->item.iSubItem == 0;
      GetDisplayInfo(item, di->item.iSubItem, wantText ? &text : nullptr, wantImage ? &image : nullptr);
      if (wantText) {
        size_t n = std::min(text.size(), size_t(di->item.cchTextMax - 1));
        std::memcpy(di->item.pszText, text.data(), n);
        di->item.pszText[n] = '\0';
      }
      if (wantImage) di->item.iImage = image;
      return;
    }
    case int(LVN_BEGINLABELEDITA): {
      auto* di = reinterpret_cast<NMLVDISPINFOA*>(m.LParam);
      TListItem* item = itemAt(di->item.iItem);
      m.Result = !item || !CanEdit(item);
      return;
    }
    case int(LVN_ENDLABELEDITA): {
      auto* di = reinterpret_cast<NMLVDISPINFOA*>(m.LParam);
      TListItem* item = itemAt(di->item.iItem);
      if (item && di->item.pszText) {
        std::string s = di->item.pszText;
        Edit(item, s);
      }
      m.Result = FALSE;
      return;
    }
    case int(NM_CLICK):
      if (EventsAllowed()) Click();
      return;
    case int(NM_DBLCLK):
      if (EventsAllowed()) DblClick();
      return;
    default:
      return;
  }
}
