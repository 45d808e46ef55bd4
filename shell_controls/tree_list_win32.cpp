#include "shell_controls/tree_list_win32.h"

#include "shell_controls/shell_utils_win32.h"

namespace {

// The notification's device context for the result rules.
class TDcDevice : public shell::TCustomDrawDevice {
 public:
  explicit TDcDevice(HDC dc) : dc_(dc) {}
  uintptr_t CurrentFont() override { return reinterpret_cast<uintptr_t>(GetCurrentObject(dc_, OBJ_FONT)); }
  void SelectFont(uintptr_t font) override { SelectObject(dc_, reinterpret_cast<HGDIOBJ>(font)); }

 private:
  HDC dc_;
};

// Apps without a shift key, or Shift+F10 alone.
bool IsMenuKey(uint16_t key, TShiftState shift) {
  shift &= ssShift | ssCtrl | ssAlt;
  return (key == VK_APPS && shift == 0) || (key == VK_F10 && shift == ssShift);
}

LPARAM ColorParam(TColor c) { return c == clNone ? LPARAM(-1) : LPARAM(GdiColor(c)); }

TPoint Centre(const TRect& r) { return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }

TPoint CursorInClient(HWND h) {
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(h, &p);
  return {int(p.x), int(p.y)};
}

}  // namespace

// ---- TQsCustomDraw

TQsCustomDraw::TQsCustomDraw(NMCUSTOMDRAW* notification, LRESULT* result, TFont& controlFont) {
  Init(notification, result);
  controlFont_ = &controlFont;
  brush_.reset(CreateBrush());
  font_.reset(CreateFont());
}

TQsCustomDraw::~TQsCustomDraw() = default;

void TQsCustomDraw::Init(NMCUSTOMDRAW* notification, LRESULT* result) {
  notification_ = notification;
  result_ = result;
  ResultLocked = false;
  brush_.reset();
  font_.reset();
}

TFont* TQsCustomDraw::CreateFont() {
  auto* f = new TFont;
  f->Assign(*controlFont_);
  f->SetColor(TColor(GetTextColor(DC())));
  fontChanged_ = false;
  f->OnChange = TNotifyEvent([this](TObject*) { fontChanged_ = true; });
  return f;
}

TBrush* TQsCustomDraw::CreateBrush() {
  auto* b = new TBrush;
  b->SetStyle(TBrushStyle::bsSolid);
  b->SetColor(TColor(GetBkColor(DC())));
  brushChanged_ = false;
  b->OnChange = TNotifyEvent([this](TObject*) { brushChanged_ = true; });
  return b;
}

COLORREF& TQsCustomDraw::TextColor() const { return reinterpret_cast<NMTVCUSTOMDRAW*>(notification_)->clrText; }
COLORREF& TQsCustomDraw::TextBkColor() const { return reinterpret_cast<NMTVCUSTOMDRAW*>(notification_)->clrTextBk; }

void TQsCustomDraw::ApplyAs(shell::TCustomDrawView view) {
  shell::TCustomDrawState s;
  s.NotifyItems = NotifyItems;
  s.SkipDefault = SkipDefault;
  s.ResultLocked = ResultLocked;
  s.FontChanged = fontChanged_;
  s.HasFont = font_ != nullptr;
  if (font_) {
    s.FontHandle = reinterpret_cast<uintptr_t>(font_->Handle());
    s.FontRGB = GdiColor(font_->Color());
  }
  s.BrushChanged = brushChanged_;
  s.HasBrush = brush_ != nullptr;
  if (brush_) s.BrushRGB = GdiColor(brush_->Color());
  bool item = Stage() & shell::kStageItem;
  shell::TCustomDrawResult out{uint32_t(*result_), item ? uint32_t(TextColor()) : 0,
                               item ? uint32_t(TextBkColor()) : 0};
  TDcDevice dc(DC());
  skipped_ = shell::ApplyCustomDraw(view, Stage(), s, dc, out);
  *result_ = LRESULT(out.Result);
  if (item) {
    TextColor() = out.TextColor;
    TextBkColor() = out.TextBkColor;
  }
}

// ---- TQsCustomTreeView

const TClassInfo& TQsCustomTreeView::StaticClass() {
  static const TClassInfo info{"TQsCustomTreeView", &TCustomTreeView::StaticClass(), nullptr, {}};
  return info;
}

TQsCustomTreeView::TQsCustomTreeView(TComponent* owner) : TCustomTreeView(owner) {}
TQsCustomTreeView::~TQsCustomTreeView() = default;

void TQsCustomTreeView::CreateParams(TCreateParams& p) {
  TCustomTreeView::CreateParams(p);
  if (IsWinNT()) p.Style |= TVS_NOTOOLTIPS;
}

void TQsCustomTreeView::CreateWindowHandle() {
  TCustomTreeView::CreateWindowHandle();
  // Colours set before the window existed reach it too.
  if (Color() != clWindow) PushColors();
}

void TQsCustomTreeView::PushColors() {
  if (!HandleAllocated()) return;
  SendMessageA(Handle(), TVM_SETBKCOLOR, 0, ColorParam(Color()));
  SendMessageA(Handle(), TVM_SETTEXTCOLOR, 0, ColorParam(Font().Color()));
}

void TQsCustomTreeView::ColorChanged() {
  TCustomTreeView::ColorChanged();
  if (HandleAllocated()) SendMessageA(Handle(), TVM_SETBKCOLOR, 0, ColorParam(Color()));
}

void TQsCustomTreeView::FontChanged() {
  TCustomTreeView::FontChanged();
  if (HandleAllocated()) SendMessageA(Handle(), TVM_SETTEXTCOLOR, 0, ColorParam(Font().Color()));
}

TQsCustomDraw* TQsCustomTreeView::CreateCustomDraw(NMCUSTOMDRAW* notification, LRESULT* result) {
  auto* c = new TQsTvCustomDraw(notification, result, Font());
  c->NotifyItems = true;
  return c;
}

TQsCustomDraw* TQsCustomTreeView::CustomDraw(NMCUSTOMDRAW* nm, LRESULT* result) {
  shell::TCustomDrawRun run(shell::TCustomDrawView::Tree, nm->dwDrawStage, bool(OnCustomDraw), bool(OnCustomDrawEx));
  std::unique_ptr<TQsCustomDraw> context;
  TTreeNode* node = nullptr;
  if (run.LooksUpItem()) node = Items().GetNode(reinterpret_cast<HTREEITEM>(nm->dwItemSpec));
  if (run.CallEx()) {
    context.reset(CreateCustomDraw(nm, result));
    OnCustomDrawEx(this, context.get(), node);
  }
  if (run.CallItem()) {
    if (!context) context.reset(CreateCustomDraw(nm, result));
    OnCustomDraw(this, context.get(), node);
  }
  if (context) context->Apply();
  uint32_t r = uint32_t(*result);
  run.AddNotifyBits(context && context->Skipped(), r);
  *result = LRESULT(r);
  return context.release();
}

void TQsCustomTreeView::NodeDeleted(TTreeNode*) {}

void TQsCustomTreeView::GetImageIndex(TTreeNode* node) {
  if (EventsAllowed()) OnGetImageIndex(this, node);
}

void TQsCustomTreeView::GetSelectedIndex(TTreeNode* node) {
  if (EventsAllowed()) OnGetSelectedIndex(this, node);
}

void TQsCustomTreeView::ContextMenuRequest(TTreeNode* node, TPoint point, TPopupMenu*& menu) {
  if (EventsAllowed()) OnContextMenu(this, node, point, menu);
}

void TQsCustomTreeView::PopupAt(TPopupMenu* menu, TPoint client) {
  menu->SetPopupComponent(this);
  TPoint at = ClientToScreen(client);
  menu->Popup(at.X, at.Y);
}

void TQsCustomTreeView::KeyboardContextMenu() {
  if (TTreeNode* node = Selected()) {
    ShowContextMenu(node, Centre(node->DisplayRect(true)));
  } else if (TPopupMenu* menu = PopupMenu()) {
    PopupAt(menu, {0, 0});
  }
}

void TQsCustomTreeView::ShowContextMenu(TTreeNode* node, TPoint point) {
  TPopupMenu* menu = PopupMenu();
  ContextMenuRequest(node, point, menu);
  if (menu != PopupMenu()) menuShown_ = true;
  if (menu) PopupAt(menu, point);
}

void TQsCustomTreeView::KeyDown(uint16_t& key, TShiftState shift) {
  if (IsMenuKey(key, shift)) {
    key = 0;
    KeyboardContextMenu();
  }
  TCustomTreeView::KeyDown(key, shift);
}

void TQsCustomTreeView::CNNotify(TMessage& m) {
  const NMHDR& hdr = NotifyOf(m);
  switch (int(hdr.code)) {
    case int(NM_CUSTOMDRAW): {
      context_.reset();
      std::unique_ptr<TQsCustomDraw> c(CustomDraw(reinterpret_cast<NMCUSTOMDRAW*>(m.LParam), &m.Result));
      TCustomTreeView::CNNotify(m);
      context_ = std::move(c);
      return;
    }
    case int(NM_RCLICK): {
      TPoint p = CursorInClient(Handle());
      if (TTreeNode* node = GetNodeAt(p.X, p.Y)) {
        TPopupMenu* menu = PopupMenu();
        ContextMenuRequest(node, p, menu);
        if (menu) PopupAt(menu, p);
        menuShown_ = true;
      }
      TCustomTreeView::CNNotify(m);
      return;
    }
    case int(TVN_DELETEITEMA): {
      const TVITEMA& item = reinterpret_cast<NMTREEVIEWA*>(m.LParam)->itemOld;
      TTreeNode* node = (item.mask & TVIF_PARAM) ? reinterpret_cast<TTreeNode*>(item.lParam) : Items().GetNode(item.hItem);
      if (node && !Recreating()) NodeDeleted(node);
      TCustomTreeView::CNNotify(m);
      return;
    }
    case int(TVN_GETDISPINFOA): {
      TVITEMA& item = reinterpret_cast<NMTVDISPINFOA*>(m.LParam)->item;
      TTreeNode* node = (item.mask & TVIF_PARAM) ? reinterpret_cast<TTreeNode*>(item.lParam) : Items().GetNode(item.hItem);
      if (!node) node = reinterpret_cast<TTreeNode*>(item.lParam);
      if (node) {
        if (item.mask & TVIF_IMAGE) {
          GetImageIndex(node);
          item.iImage = node->ImageIndex();
        }
        if (item.mask & TVIF_SELECTEDIMAGE) {
          GetSelectedIndex(node);
          item.iSelectedImage = node->SelectedIndex();
        }
      }
      // The events fire through the virtual operations alone.
      struct Restore {
        TQsCustomTreeView& t;
        TTVExpandedEvent image, selected;
        ~Restore() {
          t.OnGetImageIndex = image;
          t.OnGetSelectedIndex = selected;
        }
      } restore{*this, OnGetImageIndex, OnGetSelectedIndex};
      OnGetImageIndex = {};
      OnGetSelectedIndex = {};
      TCustomTreeView::CNNotify(m);
      return;
    }
    default:
      TCustomTreeView::CNNotify(m);
  }
}

void TQsCustomTreeView::WMContextMenu(TMessage& m) {
  if (!Selected() && !menuShown_) {
    int x = int(int16_t(LOWORD(m.LParam))), y = int(int16_t(HIWORD(m.LParam)));
    if (x == -1 && y == -1)
      KeyboardContextMenu();
    else
      ShowContextMenu(nullptr, ScreenToClient({x, y}));
  }
  m.Result = 1;
}

void TQsCustomTreeView::WndProc(TMessage& m) {
  if (m.Msg == WM_RBUTTONUP && menuShown_ && PopupMenu()) {
    TPopupMenu* menu = PopupMenu();
    struct Restore {
      TQsCustomTreeView& t;
      TPopupMenu* menu;
      bool autoPopup;
      ~Restore() {
        if (t.PopupMenu() == menu) menu->SetAutoPopup(autoPopup);
        t.menuShown_ = false;
      }
    } restore{*this, menu, menu->AutoPopup()};
    menu->SetAutoPopup(false);
    TCustomTreeView::WndProc(m);
    return;
  }
  TCustomTreeView::WndProc(m);
}

// ---- TQsCustomListView

const TClassInfo& TQsCustomListView::StaticClass() {
  static const TClassInfo info{"TQsCustomListView", &TCustomListView::StaticClass(), nullptr, {}};
  return info;
}

TQsCustomListView::TQsCustomListView(TComponent* owner) : TCustomListView(owner) {}
TQsCustomListView::~TQsCustomListView() = default;

void TQsCustomListView::CreateWindowHandle() {
  TCustomListView::CreateWindowHandle();
  SendMessageA(Handle(), LVM_SETTEXTBKCOLOR, 0, ColorParam(Color()));
  SendMessageA(Handle(), LVM_SETBKCOLOR, 0, ColorParam(Color()));
}

void TQsCustomListView::ColorChanged() {
  TCustomListView::ColorChanged();
  if (!HandleAllocated()) return;
  SendMessageA(Handle(), LVM_SETBKCOLOR, 0, ColorParam(Color()));
  SendMessageA(Handle(), LVM_SETTEXTBKCOLOR, 0, ColorParam(Color()));
}

TQsCustomDraw* TQsCustomListView::CreateCustomDraw(NMCUSTOMDRAW* notification, LRESULT* result) {
  return new TQsLvCustomDraw(notification, result, Font());
}

TQsCustomDraw* TQsCustomListView::CustomDraw(NMCUSTOMDRAW* nm, LRESULT* result) {
  shell::TCustomDrawRun run(shell::TCustomDrawView::List, nm->dwDrawStage, bool(OnCustomDraw), bool(OnCustomDrawEx));
  std::unique_ptr<TQsCustomDraw> context;
  TListItem* item = nullptr;
  if (run.LooksUpItem() && nm->dwItemSpec < DWORD_PTR(Items().Count())) item = Items()[int(nm->dwItemSpec)];
  if (run.CallEx()) {
    context.reset(CreateCustomDraw(nm, result));
    OnCustomDrawEx(this, context.get(), item);
  }
  if (run.CallItem()) {
    if (!context) context.reset(CreateCustomDraw(nm, result));
    OnCustomDraw(this, context.get(), item);
  }
  if (context) context->Apply();
  uint32_t r = uint32_t(*result);
  run.AddNotifyBits(context && context->Skipped(), r);
  *result = LRESULT(r);
  return context.release();
}

void TQsCustomListView::ContextMenuRequest(TListItem* item, TPoint point, TPopupMenu*& menu) {
  if (EventsAllowed()) OnContextMenu(this, item, point, menu);
}

void TQsCustomListView::ItemInserted(TListItem* item) {
  if (EventsAllowed()) OnInsert(this, item);
}

void TQsCustomListView::PopupAt(TPopupMenu* menu, TPoint client) {
  menu->SetPopupComponent(this);
  TPoint at = ClientToScreen(client);
  menu->Popup(at.X, at.Y);
}

void TQsCustomListView::KeyboardContextMenu(TPoint point) {
  TListItem* selected = Selected();
  if (!selected) {
    if (TPopupMenu* menu = PopupMenu()) PopupAt(menu, point);
    return;
  }
  if (selected->Focused()) {
    ShowContextMenu(Centre(selected->DisplayRect(TDisplayCode::drIcon)));
  } else if (TListItem* focused = SelCount() > 0 ? ItemFocused() : nullptr) {
    ShowContextMenu(Centre(focused->DisplayRect(TDisplayCode::drIcon)));
  } else if (TPopupMenu* menu = PopupMenu()) {
    PopupAt(menu, point);
  }
}

void TQsCustomListView::ShowContextMenu(TPoint point) {
  TPopupMenu* menu = PopupMenu();
  ContextMenuRequest(Selected(), point, menu);
  menuShown_ = true;
  if (menu) PopupAt(menu, point);
}

void TQsCustomListView::KeyDown(uint16_t& key, TShiftState shift) {
  if (IsMenuKey(key, shift)) {
    key = 0;
    KeyboardContextMenu({0, 0});
  }
  TCustomListView::KeyDown(key, shift);
}

void TQsCustomListView::CNNotify(TMessage& m) {
  const NMHDR& hdr = NotifyOf(m);
  switch (int(hdr.code)) {
    case int(NM_CUSTOMDRAW): {
      context_.reset();
      std::unique_ptr<TQsCustomDraw> c(CustomDraw(reinterpret_cast<NMCUSTOMDRAW*>(m.LParam), &m.Result));
      TCustomListView::CNNotify(m);
      context_ = std::move(c);
      return;
    }
    case int(NM_RCLICK):
      KeyboardContextMenu(CursorInClient(Handle()));
      return;
    case int(LVN_BEGINDRAG):
    case int(LVN_BEGINRDRAG):
      dragStarted_ = true;
      TCustomListView::CNNotify(m);
      return;
    case int(LVN_INSERTITEM): {
      int i = reinterpret_cast<NMLISTVIEW*>(m.LParam)->iItem;
      if (!Recreating() && i >= 0 && i < Items().Count()) ItemInserted(Items()[i]);
      TCustomListView::CNNotify(m);
      return;
    }
    default:
      TCustomListView::CNNotify(m);
  }
}

void TQsCustomListView::WMContextMenu(TMessage& m) {
  if (!menuShown_ && SelCount() > 0 && Selected()) {
    int x = int(int16_t(LOWORD(m.LParam))), y = int(int16_t(HIWORD(m.LParam)));
    if (x == -1 && y == -1)
      KeyboardContextMenu({0, 0});
    else
      ShowContextMenu(ScreenToClient({x, y}));
  }
  m.Result = 1;
}

void TQsCustomListView::WndProc(TMessage& m) {
  if (m.Msg == WM_RBUTTONUP && menuShown_ && PopupMenu()) {
    struct Restore {
      TQsCustomListView& l;
      TPopupMenu* menu;
      ~Restore() {
        l.SetPopupMenu(menu);
        l.menuShown_ = false;
      }
    } restore{*this, PopupMenu()};
    SetPopupMenu(nullptr);
    TCustomListView::WndProc(m);
    return;
  }
  if (m.Msg == WM_RBUTTONUP) menuShown_ = false;
  TCustomListView::WndProc(m);
}
