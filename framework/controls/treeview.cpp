#include "framework/controls/treeview.h"

#include <algorithm>
#include <cstring>

#include "framework/core/sysutils.h"
#include "framework/win/firewall.h"

namespace {

const TTypeInfo kDragModes{{"dmManual", "dmAutomatic"}, {}};

LRESULT Send(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageA(h, msg, wp, lp); }

// TVM_GETITEMRECT: the item goes in the rectangle's first bytes.
bool ItemRect(HWND h, HTREEITEM item, bool textOnly, RECT& r) {
  std::memcpy(&r, &item, sizeof item);
  return Send(h, TVM_GETITEMRECT, textOnly, reinterpret_cast<LPARAM>(&r)) != 0;
}

UINT OverlayState(int overlay) { return overlay >= 0 ? UINT(INDEXTOOVERLAYMASK(overlay + 1)) : 0; }
UINT StateImageState(int index) { return index >= 0 ? UINT(INDEXTOSTATEIMAGEMASK(index)) : 0; }

struct TSortContext {
  const std::function<int(TTreeNode*, TTreeNode*)>* Compare;
  TCallbackGuard Guard;
};

int CALLBACK CompareNodes(LPARAM a, LPARAM b, LPARAM context) noexcept {
  auto* c = reinterpret_cast<TSortContext*>(context);
  int r = 0;
  c->Guard.Run([&] {
    r = (*c->Compare)(reinterpret_cast<TTreeNode*>(a), reinterpret_cast<TTreeNode*>(b));
    return true;
  });
  return r;
}

}  // namespace

const TTypeInfo& DragModeTypeInfo() { return kDragModes; }

// ---- TTreeNode

HWND TTreeNode::Window() const { return tree_->HandleAllocated() && item_ ? tree_->Handle() : nullptr; }

int TTreeNode::Index() const {
  const auto& s = parent_ ? parent_->children_ : tree_->items_.roots_;
  return int(std::find(s.begin(), s.end(), this) - s.begin());
}

int TTreeNode::Level() const {
  int n = 0;
  for (TTreeNode* p = parent_; p; p = p->parent_) ++n;
  return n;
}

TTreeNode* TTreeNode::GetNextSibling() const {
  const auto& s = parent_ ? parent_->children_ : tree_->items_.roots_;
  size_t i = size_t(Index()) + 1;
  return i < s.size() ? s[i] : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
  const auto& s = parent_ ? parent_->children_ : tree_->items_.roots_;
  int i = Index();
  return i > 0 ? s[size_t(i - 1)] : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
  if (!children_.empty()) return children_.front();
  for (const TTreeNode* n = this; n; n = n->parent_)
    if (TTreeNode* s = n->GetNextSibling()) return s;
  return nullptr;
}

void TTreeNode::SetText(const std::string& text) {
  text_ = text;
  if (HWND h = Window()) {
    TVITEMA it{};
    it.mask = TVIF_TEXT;
    it.hItem = item_;
    it.pszText = const_cast<char*>(text_.c_str());
    Send(h, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  }
}

void TTreeNode::SetState(UINT mask, UINT state) {
  if (HWND h = Window()) {
    TVITEMA it{};
    it.mask = TVIF_STATE;
    it.hItem = item_;
    it.stateMask = mask;
    it.state = state;
    Send(h, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  }
}

void TTreeNode::SetImageIndex(int i) {
  image_ = i;
  if (HWND h = Window()) {
    RECT r;
    if (ItemRect(h, item_, false, r)) InvalidateRect(h, &r, TRUE);
  }
}

void TTreeNode::SetSelectedIndex(int i) { selectedImage_ = i; SetImageIndex(image_); }

void TTreeNode::SetOverlayIndex(int i) {
  overlay_ = i;
  SetState(TVIS_OVERLAYMASK, OverlayState(i));
}

void TTreeNode::SetStateIndex(int i) {
  stateIndex_ = i;
  SetState(TVIS_STATEIMAGEMASK, StateImageState(i));
}

void TTreeNode::SetHasChildren(bool v) {
  hasChildren_ = v;
  if (HWND h = Window()) {
    TVITEMA it{};
    it.mask = TVIF_CHILDREN;
    it.hItem = item_;
    it.cChildren = v ? 1 : 0;
    Send(h, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  }
}

void TTreeNode::SetCut(bool v) {
  cut_ = v;
  SetState(TVIS_CUT, v ? TVIS_CUT : 0);
}

bool TTreeNode::DropTarget() const {
  if (HWND h = Window()) return HTREEITEM(Send(h, TVM_GETNEXTITEM, TVGN_DROPHILITE)) == item_;
  return dropTarget_;
}

void TTreeNode::SetDropTarget(bool v) {
  dropTarget_ = v;
  if (HWND h = Window()) {
    if (v)
      Send(h, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(item_));
    else if (DropTarget())
      Send(h, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
  }
}

bool TTreeNode::Expanded() const {
  if (HWND h = Window()) return Send(h, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item_), TVIS_EXPANDED) & TVIS_EXPANDED;
  return expanded_;
}

void TTreeNode::SetExpanded(bool v) {
  if (v)
    Expand(false);
  else
    Collapse(false);
}

void TTreeNode::Expand(bool recurse) {
  expanded_ = true;
  if (HWND h = Window()) Send(h, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item_));
  if (recurse) {
    std::vector<TTreeNode*> children = children_;
    for (TTreeNode* c : children) c->Expand(true);
  }
}

void TTreeNode::Collapse(bool recurse) {
  expanded_ = false;
  if (HWND h = Window()) Send(h, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(item_));
  if (recurse) {
    std::vector<TTreeNode*> children = children_;
    for (TTreeNode* c : children) c->Collapse(true);
  }
}

bool TTreeNode::Selected() const { return tree_->Selected() == this; }

void TTreeNode::SetSelected(bool v) {
  if (v)
    tree_->SetSelected(this);
  else if (Selected())
    tree_->SetSelected(nullptr);
}

bool TTreeNode::IsVisible() const {
  HWND h = Window();
  if (!h) return false;
  RECT r;
  return ItemRect(h, item_, true, r);
}

TRect TTreeNode::DisplayRect(bool textOnly) const {
  HWND h = Window();
  if (!h) return {};
  RECT r;
  if (!ItemRect(h, item_, textOnly, r)) return {};
  return FromRECT(r);
}

void TTreeNode::MakeVisible() {
  if (HWND h = Window()) Send(h, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item_));
}

bool TTreeNode::EditText() {
  HWND h = tree_->Handle();
  return item_ && Send(h, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(item_)) != 0;
}

void TTreeNode::EndEdit(bool cancel) {
  if (tree_->HandleAllocated()) Send(tree_->Handle(), TVM_ENDEDITLABELNOW, cancel, 0);
}

void TTreeNode::Delete() { tree_->items_.Delete(this); }

void TTreeNode::DeleteChildren() {
  while (!children_.empty()) tree_->items_.Delete(children_.back());
}

void TTreeNode::CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& compare) {
  HWND h = Window();
  if (!h) {
    std::stable_sort(children_.begin(), children_.end(),
                     [&](TTreeNode* a, TTreeNode* b) { return compare(a, b) < 0; });
    return;
  }
  TSortContext c{&compare, {}};
  TVSORTCB sort{item_, CompareNodes, reinterpret_cast<LPARAM>(&c)};
  Send(h, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
  // The window's order is the order now, also when the comparison failed part way.
  std::vector<TTreeNode*> order;
  for (auto item = HTREEITEM(Send(h, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item_))); item;
       item = HTREEITEM(Send(h, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item))))
    if (TTreeNode* n = tree_->items_.GetNode(item)) order.push_back(n);
  if (order.size() == children_.size()) children_ = order;
  c.Guard.RethrowIfFailed();
}

void TTreeNode::AlphaSort() {
  CustomSort([](TTreeNode* a, TTreeNode* b) { return AnsiCompareText(a->Text(), b->Text()); });
}

// ---- TTreeNodes

TTreeNodes::~TTreeNodes() {
  std::function<void(TTreeNode*)> free = [&](TTreeNode* n) {
    for (TTreeNode* c : n->children_) free(c);
    delete n;
  };
  for (TTreeNode* n : roots_) free(n);
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const std::string& text) {
  return AddObject(sibling, text, nullptr);
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const std::string& text, void* data) {
  return AddChildObject(sibling ? sibling->parent_ : nullptr, text, data);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::string& text) {
  return AddChildObject(parent, text, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const std::string& text, void* data) {
  auto* n = new TTreeNode(&tree_);
  n->parent_ = parent;
  n->text_ = text;
  n->data_ = data;
  Siblings(parent).push_back(n);
  if (parent && !parent->hasChildren_) parent->SetHasChildren(true);
  if (tree_.HandleAllocated() && (!parent || parent->item_)) Insert(n);
  return n;
}

void TTreeNodes::Insert(TTreeNode* n) {
  TVINSERTSTRUCTA ins{};
  ins.hParent = n->parent_ ? n->parent_->item_ : TVI_ROOT;
  TTreeNode* prev = n->GetPrevSibling();
  ins.hInsertAfter = prev && prev->item_ ? prev->item_ : TVI_FIRST;
  TVITEMA& it = ins.item;
  it.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_CHILDREN;
  it.pszText = const_cast<char*>(n->text_.c_str());
  it.lParam = reinterpret_cast<LPARAM>(n);
  it.iImage = I_IMAGECALLBACK;
  it.iSelectedImage = I_IMAGECALLBACK;
  it.cChildren = n->hasChildren_ ? 1 : 0;
  it.stateMask = TVIS_OVERLAYMASK | TVIS_STATEIMAGEMASK | TVIS_CUT;
  it.state = OverlayState(n->overlay_) | StateImageState(n->stateIndex_) | (n->cut_ ? TVIS_CUT : 0);
  n->item_ = HTREEITEM(Send(tree_.Handle(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
  if (!n->item_) throw EOutOfResources("Cannot add a node to " + tree_.Name());
  n->deleted_ = false;
}

void TTreeNodes::InsertAll(const std::vector<TTreeNode*>& nodes) {
  for (TTreeNode* n : nodes) {
    Insert(n);
    InsertAll(n->children_);
    if (n->expanded_) Send(tree_.Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(n->item_));
    if (n->dropTarget_) Send(tree_.Handle(), TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(n->item_));
  }
}

void TTreeNodes::Release(TTreeNode* n, bool runDelete) {
  std::vector<TTreeNode*> children = n->children_;
  for (TTreeNode* c : children) Release(c, runDelete);
  if (runDelete && !n->deleted_) {
    n->deleted_ = true;
    tree_.Delete(n);
  }
  delete n;
}

void TTreeNodes::Delete(TTreeNode* n) {
  if (HWND h = n->Window()) Send(h, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(n->item_));
  auto& s = Siblings(n->parent_);
  s.erase(std::remove(s.begin(), s.end(), n), s.end());
  Release(n, true);
}

void TTreeNodes::Clear() {
  BeginUpdate();
  struct End {
    TTreeNodes& n;
    ~End() { n.EndUpdate(); }
  } end{*this};
  while (!roots_.empty()) Delete(roots_.back());
}

int TTreeNodes::Count() const {
  int n = 0;
  for (TTreeNode* r = GetFirstNode(); r; r = r->GetNext()) ++n;
  return n;
}

TTreeNode* TTreeNodes::GetNode(HTREEITEM item) const {
  if (!item || !tree_.HandleAllocated()) return nullptr;
  TVITEMA it{};
  it.mask = TVIF_PARAM | TVIF_HANDLE;
  it.hItem = item;
  if (!Send(const_cast<TCustomTreeView&>(tree_).Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return nullptr;
  return reinterpret_cast<TTreeNode*>(it.lParam);
}

void TTreeNodes::BeginUpdate() {
  if (updates_++ == 0 && tree_.HandleAllocated()) Send(tree_.Handle(), WM_SETREDRAW, FALSE);
}

void TTreeNodes::EndUpdate() {
  if (updates_ > 0 && --updates_ == 0 && tree_.HandleAllocated()) {
    Send(tree_.Handle(), WM_SETREDRAW, TRUE);
    tree_.Invalidate();
  }
}

// ---- TCustomTreeView

const TClassInfo& TCustomTreeView::StaticClass() {
  using P = TProps<TCustomTreeView>;
  static const TClassInfo info{
      "TCustomTreeView", &TWinControl::StaticClass(), nullptr,
      {P::Bool("TabStop", &TCustomTreeView::TabStop, &TCustomTreeView::SetTabStop).WithDefault(true),
       P::Bool("ShowRoot", &TCustomTreeView::ShowRoot, &TCustomTreeView::SetShowRoot).WithDefault(true),
       P::Bool("ShowButtons", &TCustomTreeView::ShowButtons, &TCustomTreeView::SetShowButtons).WithDefault(true),
       P::Bool("ShowLines", &TCustomTreeView::ShowLines, &TCustomTreeView::SetShowLines).WithDefault(true),
       P::Bool("ReadOnly", &TCustomTreeView::ReadOnly, &TCustomTreeView::SetReadOnly).WithDefault(false),
       P::Bool("HideSelection", &TCustomTreeView::HideSelection, &TCustomTreeView::SetHideSelection)
           .WithDefault(true),
       P::Int("Indent", &TCustomTreeView::Indent, &TCustomTreeView::SetIndent).WithDefault(int64_t(19)),
       P::Enum<TDragMode>("DragMode", &kDragModes, &TCustomTreeView::DragMode, &TCustomTreeView::SetDragMode)
           .WithDefault(int64_t(0)),
       P::Component<TImageList>("Images", &TCustomTreeView::Images, &TCustomTreeView::SetImages),
       P::Component<TImageList>("StateImages", &TCustomTreeView::StateImages, &TCustomTreeView::SetStateImages),
       P::Event("OnChange", &TCustomTreeView::OnChange),
       P::Event("OnChanging", &TCustomTreeView::OnChanging),
       P::Event("OnExpanding", &TCustomTreeView::OnExpanding),
       P::Event("OnExpanded", &TCustomTreeView::OnExpanded),
       P::Event("OnCollapsing", &TCustomTreeView::OnCollapsing),
       P::Event("OnCollapsed", &TCustomTreeView::OnCollapsed),
       P::Event("OnEditing", &TCustomTreeView::OnEditing),
       P::Event("OnEdited", &TCustomTreeView::OnEdited),
       P::Event("OnDeletion", &TCustomTreeView::OnDeletion),
       P::Event("OnGetImageIndex", &TCustomTreeView::OnGetImageIndex),
       P::Event("OnGetSelectedIndex", &TCustomTreeView::OnGetSelectedIndex)}};
  return info;
}

const TClassInfo& TTreeView::StaticClass() {
  static const TClassInfo info{"TTreeView", &TCustomTreeView::StaticClass(), Factory<TTreeView>(), {}};
  return info;
}

TCustomTreeView::TCustomTreeView(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
}

TCustomTreeView::~TCustomTreeView() = default;

void TCustomTreeView::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = WC_TREEVIEWA;
  p.ExStyle |= WS_EX_CLIENTEDGE;
  if (showRoot_) p.Style |= TVS_LINESATROOT;
  if (showButtons_) p.Style |= TVS_HASBUTTONS;
  if (showLines_) p.Style |= TVS_HASLINES;
  if (!readOnly_) p.Style |= TVS_EDITLABELS;
  if (!hideSelection_) p.Style |= TVS_SHOWSELALWAYS;
  if (dragMode_ != TDragMode::dmAutomatic) p.Style |= TVS_DISABLEDRAGDROP;
}

void TCustomTreeView::CreateWindowHandle() {
  ApplyImageLists();
  Send(Handle(), TVM_SETINDENT, WPARAM(indent_));
  items_.InsertAll(items_.roots_);
  if (savedSelection_ && savedSelection_->item_) SetSelected(savedSelection_);
  savedSelection_ = nullptr;
}

void TCustomTreeView::DestroyWnd() {
  if (HandleAllocated() && !IsDestroying()) {
    // The nodes outlive the window: keep what the window alone knows.
    savedSelection_ = Selected();
    indent_ = Indent();
    for (TTreeNode* n = items_.GetFirstNode(); n; n = n->GetNext()) {
      n->expanded_ = n->Expanded();
      n->dropTarget_ = n->DropTarget();
    }
    recreating_ = true;
  }
  struct Reset {
    TCustomTreeView& t;
    ~Reset() {
      t.recreating_ = false;
      for (TTreeNode* n = t.items_.GetFirstNode(); n; n = n->GetNext()) n->item_ = nullptr;
    }
  } reset{*this};
  TWinControl::DestroyWnd();
}

void TCustomTreeView::BeforeDestruction() {
  TWinControl::BeforeDestruction();
  // The nodes the window did not hand to Delete (there was none) go now, the tree whole.
  for (TTreeNode* n : std::vector<TTreeNode*>(items_.roots_)) items_.Release(n, true);
  items_.roots_.clear();
}

void TCustomTreeView::ApplyImageLists() {
  if (!HandleAllocated()) return;
  Send(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(Images() ? Images()->Handle() : nullptr));
  Send(Handle(), TVM_SETIMAGELIST, TVSIL_STATE,
       reinterpret_cast<LPARAM>(StateImages() ? StateImages()->Handle() : nullptr));
}

void TCustomTreeView::SetImages(TImageList* images) {
  images_ = images;
  ApplyImageLists();
}

void TCustomTreeView::SetStateImages(TImageList* images) {
  stateImages_ = images;
  ApplyImageLists();
}

TTreeNode* TCustomTreeView::Selected() const {
  if (!HandleAllocated()) return nullptr;
  auto* self = const_cast<TCustomTreeView*>(this);
  return items_.GetNode(HTREEITEM(Send(self->Handle(), TVM_GETNEXTITEM, TVGN_CARET)));
}

void TCustomTreeView::SetSelected(TTreeNode* node) {
  if (node && !node->item_) return;
  Send(Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node ? node->item_ : nullptr));
}

TTreeNode* TCustomTreeView::DropTarget() const {
  if (!HandleAllocated()) return nullptr;
  auto* self = const_cast<TCustomTreeView*>(this);
  return items_.GetNode(HTREEITEM(Send(self->Handle(), TVM_GETNEXTITEM, TVGN_DROPHILITE)));
}

TTreeNode* TCustomTreeView::GetNodeAt(int x, int y) const {
  if (!HandleAllocated()) return nullptr;
  TVHITTESTINFO hit{};
  hit.pt = {x, y};
  auto* self = const_cast<TCustomTreeView*>(this);
  auto item = HTREEITEM(Send(self->Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return (hit.flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT)) ? items_.GetNode(item) : nullptr;
}

bool TCustomTreeView::IsEditing() const {
  return HandleAllocated() && Send(const_cast<TCustomTreeView*>(this)->Handle(), TVM_GETEDITCONTROL) != 0;
}

void TCustomTreeView::SetStyle(DWORD bit, bool on) {
  if (!HandleAllocated()) return;
  LONG_PTR s = GetWindowLongPtrA(Handle(), GWL_STYLE);
  SetWindowLongPtrA(Handle(), GWL_STYLE, on ? (s | LONG_PTR(bit)) : (s & ~LONG_PTR(bit)));
  Invalidate();
}

void TCustomTreeView::SetShowRoot(bool v) { showRoot_ = v; SetStyle(TVS_LINESATROOT, v); }
void TCustomTreeView::SetShowButtons(bool v) { showButtons_ = v; SetStyle(TVS_HASBUTTONS, v); }
void TCustomTreeView::SetShowLines(bool v) { showLines_ = v; SetStyle(TVS_HASLINES, v); }
void TCustomTreeView::SetReadOnly(bool v) { readOnly_ = v; SetStyle(TVS_EDITLABELS, !v); }
void TCustomTreeView::SetHideSelection(bool v) { hideSelection_ = v; SetStyle(TVS_SHOWSELALWAYS, !v); }
void TCustomTreeView::SetDragMode(TDragMode m) {
  dragMode_ = m;
  SetStyle(TVS_DISABLEDRAGDROP, m != TDragMode::dmAutomatic);
}

int TCustomTreeView::Indent() const {
  if (!HandleAllocated()) return indent_;
  return int(Send(const_cast<TCustomTreeView*>(this)->Handle(), TVM_GETINDENT));
}

void TCustomTreeView::SetIndent(int v) {
  indent_ = v;
  if (HandleAllocated()) Send(Handle(), TVM_SETINDENT, WPARAM(v));
}

void TCustomTreeView::Delete(TTreeNode* node) {
  if (EventsAllowed()) OnDeletion(this, node);
}

bool TCustomTreeView::CanChange(TTreeNode* node) {
  bool allow = true;
  if (EventsAllowed()) OnChanging(this, node, allow);
  return allow;
}

void TCustomTreeView::Change(TTreeNode* node) {
  if (EventsAllowed()) OnChange(this, node);
}

bool TCustomTreeView::CanExpand(TTreeNode* node) {
  bool allow = true;
  if (EventsAllowed()) OnExpanding(this, node, allow);
  return allow;
}

void TCustomTreeView::Expand(TTreeNode* node) {
  if (EventsAllowed()) OnExpanded(this, node);
}

bool TCustomTreeView::CanCollapse(TTreeNode* node) {
  bool allow = true;
  if (EventsAllowed()) OnCollapsing(this, node, allow);
  return allow;
}

void TCustomTreeView::Collapse(TTreeNode* node) {
  if (EventsAllowed()) OnCollapsed(this, node);
}

bool TCustomTreeView::CanEdit(TTreeNode* node) {
  bool allow = true;
  if (EventsAllowed()) OnEditing(this, node, allow);
  return allow;
}

void TCustomTreeView::Edit(TTreeNode* node, std::string& S) {
  if (EventsAllowed()) OnEdited(this, node, S);
  node->SetText(S);
}

void TCustomTreeView::CNNotify(TMessage& m) {
  const auto& hdr = NotifyOf(m);
  auto* tv = reinterpret_cast<NMTREEVIEWA*>(m.LParam);
  switch (int(hdr.code)) {
    case int(TVN_DELETEITEMA): {
      auto* node = reinterpret_cast<TTreeNode*>(tv->itemOld.lParam);
      if (!node) return;
      node->item_ = nullptr;
      if (!recreating_ && !node->deleted_) {
        node->deleted_ = true;
        Delete(node);
      }
      return;
    }
    case int(TVN_SELCHANGINGA):
      if (!recreating_ && tv->itemNew.hItem) m.Result = !CanChange(reinterpret_cast<TTreeNode*>(tv->itemNew.lParam));
      return;
    case int(TVN_SELCHANGEDA):
      if (!recreating_) Change(reinterpret_cast<TTreeNode*>(tv->itemNew.lParam));
      return;
    case int(TVN_ITEMEXPANDINGA): {
      auto* node = reinterpret_cast<TTreeNode*>(tv->itemNew.lParam);
      if (recreating_ || !node) return;
      m.Result = tv->action == TVE_EXPAND ? !CanExpand(node) : tv->action == TVE_COLLAPSE ? !CanCollapse(node) : 0;
      return;
    }
    case int(TVN_ITEMEXPANDEDA): {
      auto* node = reinterpret_cast<TTreeNode*>(tv->itemNew.lParam);
      if (recreating_ || !node) return;
      if (tv->action == TVE_EXPAND) Expand(node);
      if (tv->action == TVE_COLLAPSE) Collapse(node);
      return;
    }
    case int(TVN_GETDISPINFOA): {
      auto* di = reinterpret_cast<NMTVDISPINFOA*>(m.LParam);
      auto* node = reinterpret_cast<TTreeNode*>(di->item.lParam);
      if (!node) node = items_.GetNode(di->item.hItem);
      if (!node) return;
      if (di->item.mask & TVIF_IMAGE) {
        if (EventsAllowed()) OnGetImageIndex(this, node);
        di->item.iImage = node->ImageIndex();
      }
      if (di->item.mask & TVIF_SELECTEDIMAGE) {
        if (EventsAllowed()) OnGetSelectedIndex(this, node);
        di->item.iSelectedImage = node->SelectedIndex();
      }
      return;
    }
    case int(TVN_BEGINLABELEDITA): {
      auto* di = reinterpret_cast<NMTVDISPINFOA*>(m.LParam);
      auto* node = items_.GetNode(di->item.hItem);
      m.Result = !node || !CanEdit(node);
      return;
    }
    case int(TVN_ENDLABELEDITA): {
      auto* di = reinterpret_cast<NMTVDISPINFOA*>(m.LParam);
      auto* node = items_.GetNode(di->item.hItem);
      if (node && di->item.pszText) {
        std::string s = di->item.pszText;
        Edit(node, s);
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
