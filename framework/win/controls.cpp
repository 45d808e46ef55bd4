#include "framework/win/controls.h"

#include <ole2.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <map>

#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "framework/win/firewall.h"
#include "framework/win/forms.h"
#include "framework/win/menus.h"

namespace {

const char kObjectProp[] = "FwObj";
const char kNameProp[] = "FwName";
thread_local TWinControl* creating = nullptr;

std::map<std::string, WNDPROC>& WindowClasses() {
  static std::map<std::string, WNDPROC> classes;
  return classes;
}

// Registers the window class of p once and returns the procedure the class's messages
// default to.
WNDPROC RegisterWindowClass(const TCreateParams& p) {
  auto& classes = WindowClasses();
  std::string key = LowerCase(p.WinClassName);
  auto it = classes.find(key);
  if (it != classes.end()) return it->second;
  WNDCLASSA wc{};
  WNDPROC def = DefWindowProcA;
  if (!p.SysClassName.empty()) {
    if (!GetClassInfoA(nullptr, p.SysClassName.c_str(), &wc))
      throw EOutOfResources("Window class " + p.SysClassName + " is not available");
    def = wc.lpfnWndProc;
    wc.style &= ~UINT(CS_GLOBALCLASS);
  } else {
    wc.style = p.ClassStyle;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  }
  wc.lpfnWndProc = FwWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = p.WinClassName.c_str();
  if (!RegisterClassA(&wc)) throw EOutOfResources("Cannot register the window class " + p.WinClassName);
  classes.emplace(key, def);
  return def;
}

WNDPROC DefaultProcOf(HWND h) {
  char name[128] = {};
  GetClassNameA(h, name, sizeof name);
  auto it = WindowClasses().find(LowerCase(name));
  return it == WindowClasses().end() ? DefWindowProcA : it->second;
}

UINT NextControlId() {
  static UINT next = 100;
  if (next >= 0xFF00) next = 100;
  return next++;
}

bool IsGraphic(const TControl* c) { return dynamic_cast<const TGraphicControl*>(c) != nullptr; }

// BeginPaint/EndPaint as a scope, so a paint that throws still validates its region.
class TPaintScope {
 public:
  explicit TPaintScope(HWND h) : h_(h) { dc_ = BeginPaint(h, &ps_); }
  ~TPaintScope() { EndPaint(h_, &ps_); }
  HDC DC() const { return dc_; }
  TRect Area() const { return FromRECT(ps_.rcPaint); }

 private:
  HWND h_;
  HDC dc_;
  PAINTSTRUCT ps_{};
};

// Attaches a canvas to a DC for one scope.
class TCanvasScope {
 public:
  TCanvasScope(TCanvas& c, HDC dc) : c_(c) { c_.SetHandle(dc); }
  ~TCanvasScope() { c_.SetHandle(nullptr); }

 private:
  TCanvas& c_;
};

const TTypeInfo kAlign{{"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}, {}};

// Gives a device context back to its window at the end of a scope.
struct TReleaseDC {
  HWND h;
  HDC dc;
  ~TReleaseDC() { ReleaseDC(h, dc); }
};

}  // namespace

const TTypeInfo& AlignTypeInfo() { return kAlign; }

const TTypeInfo& CursorTypeInfo() {
  static const TTypeInfo info{{},
                              {{"crDefault", crDefault},
                               {"crNone", crNone},
                               {"crArrow", crArrow},
                               {"crCross", crCross},
                               {"crIBeam", crIBeam},
                               {"crSizeNESW", crSizeNESW},
                               {"crSizeNS", crSizeNS},
                               {"crSizeNWSE", crSizeNWSE},
                               {"crSizeWE", crSizeWE},
                               {"crUpArrow", crUpArrow},
                               {"crHourGlass", crHourGlass},
                               {"crHSplit", crHSplit},
                               {"crVSplit", crVSplit},
                               {"crNo", crNo},
                               {"crAppStart", crAppStart},
                               {"crHelp", crHelp},
                               {"crHandPoint", crHandPoint}}};
  return info;
}

// ---- the window procedure

LRESULT CALLBACK FwWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  auto* c = static_cast<TWinControl*>(GetPropA(h, kObjectProp));
  if (!c && creating) {
    // The first message of a window being made binds it to its object (for top-level
    // windows that is WM_GETMINMAXINFO, before WM_NCCREATE).
    c = creating;
    creating = nullptr;
    c->handle_ = h;
    SetPropA(h, kObjectProp, c);
  }
  if (!c) return CallWindowProcA(DefaultProcOf(h), h, msg, wp, lp);
  TMessage m{msg, wp, lp, 0};
  Firewall(c, [&] { c->WndProc(m); });
  if (msg == WM_NCDESTROY) c->Detach();
  return m.Result;
}

// ---- TControl

const TClassInfo& TControl::StaticClass() {
  using P = TProps<TControl>;
  static const TClassInfo info{
      "TControl", &TComponent::StaticClass(), nullptr,
      {P::Int("Left", &TControl::Left, &TControl::SetLeft),
       P::Int("Top", &TControl::Top, &TControl::SetTop),
       P::Int("Width", &TControl::Width, &TControl::SetWidth),
       P::Int("Height", &TControl::Height, &TControl::SetHeight),
       P::Enum<TAlign>("Align", &kAlign, &TControl::Align, &TControl::SetAlign).WithDefault(int64_t(0)),
       P::Bool("Visible", &TControl::Visible, &TControl::SetVisible).WithDefault(true),
       P::Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled).WithDefault(true),
       P::Int("Color", &TControl::Color, &TControl::SetColor, &ColorTypeInfo())
           .WithDefault(int64_t(clWindow))
           .WithStored([](const TPersistent& o) { return !static_cast<const TControl&>(o).ParentColor(); }),
       P::Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor).WithDefault(false),
       P::Nested("Font", [](TControl& c) -> TPersistent& { return c.Font(); })
           .WithStored([](const TPersistent& o) { return !static_cast<const TControl&>(o).ParentFont(); }),
       P::Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont).WithDefault(true),
       P::Str("Hint", [](const TControl& c) { return c.Hint(); }, &TControl::SetHint)
           .WithDefault(std::string()),
       P::Bool("ShowHint", &TControl::ShowHint, &TControl::SetShowHint)
           .WithDefault(false)
           .WithStored([](const TPersistent& o) { return !static_cast<const TControl&>(o).ParentShowHint(); }),
       P::Bool("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint).WithDefault(true),
       P::Int("Cursor", &TControl::Cursor, &TControl::SetCursor, &CursorTypeInfo()).WithDefault(int64_t(crDefault)),
       P::Component<TPopupMenu>("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu),
       P::Event("OnClick", &TControl::OnClick),
       P::Event("OnDblClick", &TControl::OnDblClick),
       P::Event("OnMouseDown", &TControl::OnMouseDown),
       P::Event("OnMouseUp", &TControl::OnMouseUp),
       P::Event("OnMouseMove", &TControl::OnMouseMove)}};
  return info;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.OnChange = TNotifyEvent([this](TObject*) { FontChanged(); });
}

TControl::~TControl() = default;

TPopupMenu* TControl::PopupMenu() const { return popupMenu_.Get(); }
void TControl::SetPopupMenu(TPopupMenu* menu) { popupMenu_ = menu; }

TCustomForm* TControl::ParentForm() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (auto* f = dynamic_cast<const TCustomForm*>(c)) return const_cast<TCustomForm*>(f);
  return nullptr;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  for (TControl* p = parent; p; p = p->parent_)
    if (p == this) throw EInvalidOperation("A control cannot be its own parent");
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  Invalidate();
  bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  BoundsChanged(resized);
  Invalidate();
}

void TControl::BoundsChanged(bool) {
  if (parent_ && align_ != TAlign::alNone && !parent_->aligning_) parent_->Realign();
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (parent_) parent_->Realign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  VisibleChanged();
}

void TControl::VisibleChanged() {
  if (parent_) {
    if (align_ != TAlign::alNone) parent_->Realign();
    if (IsGraphic(this) && parent_->handle_) {
      RECT r = ToRECT(BoundsRect());
      InvalidateRect(parent_->handle_, &r, TRUE);
    }
  }
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  EnabledChanged();
}

void TControl::EnabledChanged() { Invalidate(); }

void TControl::SetColor(TColor color) {
  if (color == color_ && !parentColor_) return;
  color_ = color;
  parentColor_ = false;
  ColorChanged();
}

void TControl::ColorChanged() { Invalidate(); }

void TControl::SetParentColor(bool v) {
  parentColor_ = v;
  if (v) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  color_ = parent_->color_;
  ColorChanged();
}

void TControl::SetParentFont(bool v) {
  parentFont_ = v;
  if (v) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  inheriting_ = true;
  try {
    font_.Assign(parent_->font_);
  } catch (...) {
    inheriting_ = false;
    throw;
  }
  inheriting_ = false;
}

void TControl::FontChanged() {
  if (!inheriting_) parentFont_ = false;
  Invalidate();
}

void TControl::SetShowHint(bool v) {
  showHint_ = v;
  parentShowHint_ = false;
  ParentShowHintChanged();
}

void TControl::SetParentShowHint(bool v) {
  parentShowHint_ = v;
  if (v && parent_) showHint_ = parent_->showHint_;
  ParentShowHintChanged();
}

void TControl::ParentShowHintChanged() {
  if (parentShowHint_ && parent_) showHint_ = parent_->showHint_;
  if (auto* w = dynamic_cast<TWinControl*>(this))
    for (TControl* c : w->controls_)
      if (c->parentShowHint_) c->ParentShowHintChanged();
}

void TControl::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  TextChanged();
}

void TControl::TextChanged() { Invalidate(); }

void TControl::Invalidate() {
  if (parent_ && parent_->handle_ && visible_) {
    RECT r = ToRECT(BoundsRect());
    InvalidateRect(parent_->handle_, &r, TRUE);
  }
}

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (!parent_) return;
  auto& v = parent_->controls_;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
  v.push_back(this);
  Invalidate();
}

TPoint TControl::ClientToScreen(TPoint p) const {
  // A window knows its client area's place (frames and edges included).
  if (auto* w = dynamic_cast<const TWinControl*>(this); w && w->handle_) {
    POINT pt{p.X, p.Y};
    ::ClientToScreen(w->handle_, &pt);
    return {int(pt.x), int(pt.y)};
  }
  if (parent_) return parent_->ClientToScreen({p.X + left_, p.Y + top_});
  return {p.X + left_, p.Y + top_};
}

TPoint TControl::ScreenToClient(TPoint p) const {
  TPoint origin = ClientToScreen({0, 0});
  return {p.X - origin.X, p.Y - origin.Y};
}

LRESULT TControl::Perform(UINT msg, WPARAM wp, LPARAM lp) {
  TMessage m{msg, wp, lp, 0};
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      TWMMouse mm = MouseOf(m);
      TMouseButton b = ButtonOf(m.Msg);
      if (m.Msg == WM_LBUTTONDOWN) mouseDown_ = true;
      if (EventsAllowed()) {
        MouseDown(b, mm.Shift | (m.Msg == WM_LBUTTONDBLCLK ? ssDouble : 0), mm.X, mm.Y);
        if (m.Msg == WM_LBUTTONDBLCLK && (style_ & csClickEvents)) DblClick();
      }
      break;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      TWMMouse mm = MouseOf(m);
      TMouseButton b = ButtonOf(m.Msg);
      bool click = m.Msg == WM_LBUTTONUP && mouseDown_;
      if (m.Msg == WM_LBUTTONUP) mouseDown_ = false;
      if (EventsAllowed()) {
        MouseUp(b, mm.Shift, mm.X, mm.Y);
        if (click && (style_ & csClickEvents) && ClientRect().Contains({mm.X, mm.Y}) && EventsAllowed())
          Click();
      }
      if (m.Msg == WM_RBUTTONUP && EventsAllowed() && PopupMenu() && PopupMenu()->AutoPopup()) {
        // The menu takes the click: the default handling would ask for it once more.
        TPoint at = ClientToScreen({mm.X, mm.Y});
        PopupMenu()->SetPopupComponent(this);
        PopupMenu()->Popup(at.X, at.Y);
        return;
      }
      break;
    }
    case WM_MOUSEMOVE: {
      TWMMouse mm = MouseOf(m);
      if (EventsAllowed()) MouseMove(mm.Shift, mm.X, mm.Y);
      break;
    }
    default:
      break;
  }
  DefaultHandler(m);
}

void TControl::Click() { OnClick(this); }
void TControl::DblClick() { OnDblClick(this); }
void TControl::MouseDown(TMouseButton b, TShiftState s, int x, int y) { OnMouseDown(this, b, s, x, y); }
void TControl::MouseUp(TMouseButton b, TShiftState s, int x, int y) { OnMouseUp(this, b, s, x, y); }
void TControl::MouseMove(TShiftState s, int x, int y) { OnMouseMove(this, s, x, y); }

void TControl::BeforeDestruction() {
  TComponent::BeforeDestruction();
  if (parent_) parent_->RemoveControl(this);
}

// ---- TWinControl

const TClassInfo& TWinControl::StaticClass() {
  using P = TProps<TWinControl>;
  static const TClassInfo info{
      "TWinControl", &TControl::StaticClass(), nullptr,
      {P::Int("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder)
           .WithStored([](const TPersistent& o) { return static_cast<const TWinControl&>(o).Parent() != nullptr; }),
       P::Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).WithDefault(false),
       P::Event("OnEnter", &TWinControl::OnEnter),
       P::Event("OnExit", &TWinControl::OnExit),
       P::Event("OnKeyDown", &TWinControl::OnKeyDown),
       P::Event("OnKeyUp", &TWinControl::OnKeyUp),
       P::Event("OnKeyPress", &TWinControl::OnKeyPress),
       P::Bool("AcceptFiles", &TWinControl::AcceptFiles, &TWinControl::SetAcceptFiles).WithDefault(false),
       P::Event("OnDropFiles", &TWinControl::OnDropFiles)}};
  return info;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) { brush_.SetColor(Color()); }

TWinControl* TWinControl::FindControl(HWND h) {
  return h ? static_cast<TWinControl*>(GetPropA(h, kObjectProp)) : nullptr;
}

HWND TWinControl::Handle() {
  if (!handle_) {
    if (Parent() && !Parent()->handle_) Parent()->Handle();
    if (!handle_) CreateHandleNow();
  }
  return handle_;
}

void TWinControl::CreateHandleNow() {
  if (IsDestroying()) throw EInvalidOperation("Control " + Name() + " is being destroyed");
  CreateWnd();
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Caption = text_;
  p.WinClassName = ClassName();
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (ControlStyle() & csAcceptsControls) p.Style |= WS_CLIPCHILDREN;
  if (Visible()) p.Style |= WS_VISIBLE;
  if (!Enabled()) p.Style |= WS_DISABLED;
  if (tabStop_) p.Style |= WS_TABSTOP;
  if (acceptFiles_) p.ExStyle |= WS_EX_ACCEPTFILES;
  p.X = left_;
  p.Y = top_;
  p.Width = width_;
  p.Height = height_;
  if (Parent()) p.WndParent = Parent()->handle_;
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  if ((p.Style & WS_CHILD) && !p.WndParent)
    throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  defProc_ = RegisterWindowClass(p);
  if (!id_) id_ = NextControlId();
  creating = this;
  HWND h = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y,
                           p.Width, p.Height, p.WndParent,
                           (p.Style & WS_CHILD) ? reinterpret_cast<HMENU>(UINT_PTR(id_)) : nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  creating = nullptr;
  if (!h) {
    handle_ = nullptr;
    throw EOutOfResources("Error creating window " + p.WinClassName);
  }
  if (!handle_) {
    handle_ = h;
    SetPropA(h, kObjectProp, this);
  }
  SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), 0);
  UpdateNameProperty();
  std::vector<TControl*> children = controls_;
  for (TControl* c : children)
    if (auto* w = dynamic_cast<TWinControl*>(c))
      if (!w->handle_) w->CreateHandleNow();
  CreateWindowHandle();
}

void TWinControl::DestroyWnd() {
  if (!handle_) return;
  if (!IsDestroying()) {
    for (TControl* c : controls_)
      if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyWnd();
    text_ = Text();
  }
  DestroyHandle();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  HWND h = handle_;
  DestroyWindow(h);
  if (handle_ == h) Detach();  // a window that never reached WM_NCDESTROY
}

HRESULT TWinControl::RegisterDropTarget(IDropTarget* target) {
  RevokeDropTarget();
  HRESULT hr = RegisterDragDrop(Handle(), target);
  dropRegistered_ = SUCCEEDED(hr);
  return hr;
}

void TWinControl::RevokeDropTarget() {
  if (!dropRegistered_) return;
  dropRegistered_ = false;
  if (handle_) RevokeDragDrop(handle_);
}

void TWinControl::Detach() {
  if (!handle_) return;
  RevokeDropTarget();
  RemovePropA(handle_, kObjectProp);
  if (nameAtom_) {
    RemovePropA(handle_, kNameProp);
    GlobalDeleteAtom(nameAtom_);
    nameAtom_ = 0;
  }
  handle_ = nullptr;
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  DestroyWnd();
  CreateHandleNow();
}

void TWinControl::UpdateNameProperty() {
  if (!handle_) return;
  if (nameAtom_) {
    RemovePropA(handle_, kNameProp);
    GlobalDeleteAtom(nameAtom_);
    nameAtom_ = 0;
  }
  if (Name().empty()) return;
  nameAtom_ = GlobalAddAtomA(Name().c_str());
  if (nameAtom_) SetPropA(handle_, kNameProp, reinterpret_cast<HANDLE>(UINT_PTR(nameAtom_)));
}

void TWinControl::SetName(const std::string& name) {
  TComponent::SetName(name);
  UpdateNameProperty();
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (handle_) m.Result = CallWindowProcA(defProc_ ? defProc_ : DefWindowProcA, handle_, m.Msg, m.WParam, m.LParam);
}

std::string TWinControl::Text() const {
  if (!handle_) return text_;
  int n = GetWindowTextLengthA(handle_);
  std::string s(size_t(n) + 1, '\0');
  n = GetWindowTextA(handle_, s.data(), n + 1);
  s.resize(size_t(std::max(n, 0)));
  return s;
}

void TWinControl::SetText(const std::string& text) {
  if (text == Text()) return;
  text_ = text;
  if (handle_) {
    updatingText_ = true;
    SetWindowTextA(handle_, text.c_str());
    updatingText_ = false;
  }
  TextChanged();
}

TRect TWinControl::ClientRect() const {
  if (!handle_) return TControl::ClientRect();
  RECT r{};
  GetClientRect(handle_, &r);
  return FromRECT(r);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  if (!handle_) {
    TControl::SetBounds(left, top, width, height);
    return;
  }
  SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateBoundsFromWindow();
}

void TWinControl::UpdateBoundsFromWindow() {
  if (!handle_ || IsIconic(handle_)) return;
  RECT r{};
  GetWindowRect(handle_, &r);
  if (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD)
    MapWindowPoints(HWND_DESKTOP, GetParent(handle_), reinterpret_cast<POINT*>(&r), 2);
  TRect b = FromRECT(r);
  if (b == BoundsRect()) return;
  bool resized = b.Width() != width_ || b.Height() != height_;
  left_ = b.Left;
  top_ = b.Top;
  width_ = b.Width();
  height_ = b.Height();
  BoundsChanged(resized);
}

void TWinControl::BoundsChanged(bool resized) {
  if (resized) AlignControls();
  TControl::BoundsChanged(resized);
}

void TWinControl::SetVisible(bool visible) {
  if (visible == Visible()) return;
  TControl::SetVisible(visible);
  if (handle_) ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled == Enabled()) return;
  TControl::SetEnabled(enabled);
}

void TWinControl::EnabledChanged() {
  if (handle_) EnableWindow(handle_, Enabled());
  Invalidate();
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::BringToFront() {
  TControl::BringToFront();
  if (handle_) SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
  for (TControl* c : controls_) c->ParentFontChanged();
}

void TWinControl::ColorChanged() {
  brush_.SetColor(Color());
  TControl::ColorChanged();
  for (TControl* c : controls_) c->ParentColorChanged();
}

void TWinControl::InsertControl(TControl* c) {
  c->parent_ = this;
  controls_.push_back(c);
  auto* w = dynamic_cast<TWinControl*>(c);
  if (w) {
    tabList_.push_back(w);
    if (!w->IsLoading() && w->tabOrderPending_ >= 0) {
      int order = w->tabOrderPending_;
      w->tabOrderPending_ = -1;
      w->SetTabOrder(order);
    }
  }
  c->ParentFontChanged();
  c->ParentColorChanged();
  c->ParentShowHintChanged();
  if (w && handle_) w->CreateHandleNow();
  if (c->align_ != TAlign::alNone) Realign();
  if (!w) c->Invalidate();
}

void TWinControl::RemoveControl(TControl* c) {
  c->Invalidate();
  if (auto* w = dynamic_cast<TWinControl*>(c)) {
    if (w->handle_) w->DestroyWnd();
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
  }
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
  if (mouseTarget_ == c) mouseTarget_ = nullptr;
  c->parent_ = nullptr;
  if (c->align_ != TAlign::alNone && !IsDestroying()) Realign();
}

void TWinControl::AdoptChild(TComponent& child) {
  auto* c = dynamic_cast<TControl*>(&child);
  if (!c || !(ControlStyle() & csAcceptsControls)) TComponent::AdoptChild(child);
  c->SetParent(this);
}

void TWinControl::GetChildren(const std::function<void(TComponent&)>& fn) const {
  // Children this control made for itself (a radio group's buttons) are not written.
  std::vector<TControl*> children = controls_;
  for (TControl* c : children)
    if (c->Owner() != this) fn(*c);
}

void TWinControl::BeforeDestruction() {
  DestroyHandle();
  while (!controls_.empty()) controls_.back()->Free();
  TControl::BeforeDestruction();
}

void TWinControl::Loaded() {
  TControl::Loaded();
  // Children read their TabOrder before all their siblings existed; order them now.
  std::vector<std::pair<long long, TWinControl*>> keyed;
  for (size_t i = 0; i < tabList_.size(); ++i) {
    TWinControl* w = tabList_[i];
    long long key = w->tabOrderPending_ >= 0 ? w->tabOrderPending_ : INT_MAX + (long long)i;
    keyed.push_back({key, w});
    w->tabOrderPending_ = -1;
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < keyed.size(); ++i) tabList_[i] = keyed[i].second;
}

void TWinControl::SetTabStop(bool v) {
  tabStop_ = v;
  if (handle_) {
    LONG s = GetWindowLongA(handle_, GWL_STYLE);
    SetWindowLongA(handle_, GWL_STYLE, v ? (s | WS_TABSTOP) : (s & ~LONG(WS_TABSTOP)));
  }
}

int TWinControl::TabOrder() const {
  if (!Parent()) return tabOrderPending_;
  auto& l = Parent()->tabList_;
  auto it = std::find(l.begin(), l.end(), this);
  return it == l.end() ? -1 : int(it - l.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (IsLoading() || !Parent()) {
    tabOrderPending_ = order;
    return;
  }
  auto& l = Parent()->tabList_;
  l.erase(std::remove(l.begin(), l.end(), this), l.end());
  order = std::clamp(order, 0, int(l.size()));
  l.insert(l.begin() + order, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
  for (TWinControl* w : tabList_) {
    if (w->tabStop_ && w->CanFocus()) list.push_back(w);
    w->GetTabOrderList(list);
  }
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() const {
  if (!handle_) return false;
  HWND f = GetFocus();
  return f == handle_ || (f && IsChild(handle_, f));
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

void TWinControl::SetBorderWidth(int v) {
  if (v == borderWidth_) return;
  borderWidth_ = v;
  Realign();
  Invalidate();
}

void TWinControl::EnableAlign() {
  if (alignLevel_ > 0 && --alignLevel_ == 0) Realign();
}

void TWinControl::Realign() { AlignControls(); }

void TWinControl::AlignTree() {
  AlignControls();
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->AlignTree();
}

void TWinControl::AdjustClientRect(TRect& r) const {
  r.Left += borderWidth_;
  r.Top += borderWidth_;
  r.Right -= borderWidth_;
  r.Bottom -= borderWidth_;
}

void TWinControl::AlignControls() {
  if (alignLevel_ > 0 || aligning_ || IsLoading() || IsDestroying()) return;
  TRect r = ClientRect();
  AdjustClientRect(r);
  aligning_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{aligning_};
  for (TAlign a : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    std::vector<TControl*> list;
    for (TControl* c : controls_)
      if (c->align_ == a && c->Visible()) list.push_back(c);
    // Equal alignments keep their order on screen, then their order of creation.
    std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
      switch (a) {
        case TAlign::alTop:
          return x->top_ < y->top_;
        case TAlign::alBottom:
          return x->top_ + x->height_ > y->top_ + y->height_;
        case TAlign::alLeft:
          return x->left_ < y->left_;
        case TAlign::alRight:
          return x->left_ + x->width_ > y->left_ + y->width_;
        default:
          return false;
      }
    });
    for (TControl* c : list) {
      switch (a) {
        case TAlign::alTop:
          c->SetBounds(r.Left, r.Top, r.Width(), c->height_);
          r.Top += c->height_;
          break;
        case TAlign::alBottom:
          c->SetBounds(r.Left, r.Bottom - c->height_, r.Width(), c->height_);
          r.Bottom -= c->height_;
          break;
        case TAlign::alLeft:
          c->SetBounds(r.Left, r.Top, c->width_, r.Height());
          r.Left += c->width_;
          break;
        case TAlign::alRight:
          c->SetBounds(r.Right - c->width_, r.Top, c->width_, r.Height());
          r.Right -= c->width_;
          break;
        default:
          c->SetBounds(r.Left, r.Top, std::max(r.Width(), 0), std::max(r.Height(), 0));
          break;
      }
    }
  }
}

TControl* TWinControl::GraphicControlAt(TPoint p) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if (IsGraphic(*it) && (*it)->Visible() && (*it)->BoundsRect().Contains(p)) return *it;
  return nullptr;
}

TWinControl* TWinControl::ChildById(UINT id) const {
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c))
      if (w->id_ == id && w->handle_) return w;
  if (creating && creating->Parent() == this && creating->id_ == id) return creating;
  return nullptr;
}

TWinControl* TWinControl::ReflectTarget(HWND from) const {
  for (HWND h = from; h && h != handle_; h = GetParent(h))
    if (TWinControl* c = FindControl(h)) return c;
  return nullptr;
}

bool TWinControl::ReflectToChild(TMessage& m, HWND from) {
  TWinControl* c = ReflectTarget(from);
  if (!c) return false;
  m.Result = c->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
  return true;
}

void TWinControl::ForwardMouse(TMessage& m, TControl* target) {
  TWMMouse mm = MouseOf(m);
  TMessage fm{m.Msg, m.WParam, MAKELPARAM(mm.X - target->left_, mm.Y - target->top_), 0};
  target->WndProc(fm);
}

bool TWinControl::SetCursorFor(TPoint p) {
  TCursor c = Screen ? Screen->Cursor() : crDefault;
  if (c == crDefault) {
    TControl* g = GraphicControlAt(p);
    c = g ? g->Cursor() : Cursor();
  }
  if (c == crDefault || !Screen) return false;
  ::SetCursor(Screen->Cursors(c));
  return true;
}

bool TWinControl::DoKeyDown(uint16_t& key, TShiftState shift) {
  TCustomForm* f = ParentForm();
  if (f && f != this && f->KeyPreview() && f->DoKeyDown(key, shift)) return true;
  if (EventsAllowed()) KeyDown(key, shift);
  return key == 0;
}

bool TWinControl::DoKeyUp(uint16_t& key, TShiftState shift) {
  TCustomForm* f = ParentForm();
  if (f && f != this && f->KeyPreview() && f->DoKeyUp(key, shift)) return true;
  if (EventsAllowed()) KeyUp(key, shift);
  return key == 0;
}

bool TWinControl::DoKeyPress(char& key) {
  TCustomForm* f = ParentForm();
  if (f && f != this && f->KeyPreview() && f->DoKeyPress(key)) return true;
  if (EventsAllowed()) KeyPress(key);
  return key == 0;
}

void TWinControl::KeyDown(uint16_t& key, TShiftState shift) { OnKeyDown(this, key, shift); }
void TWinControl::KeyUp(uint16_t& key, TShiftState shift) { OnKeyUp(this, key, shift); }
void TWinControl::KeyPress(char& key) { OnKeyPress(this, key); }
void TWinControl::DoEnter() { OnEnter(this); }
void TWinControl::DoExit() { OnExit(this); }

void TWinControl::PaintBackground(HDC dc, const RECT& r) { FillRect(dc, &r, BrushHandle()); }

void TWinControl::PaintControls(HDC dc, const TRect& clip) {
  std::vector<TControl*> children = controls_;
  for (TControl* c : children) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->Visible() || !g->BoundsRect().Intersects(clip)) continue;
    int saved = SaveDC(dc);
    struct Restore {
      HDC dc;
      int saved;
      ~Restore() { RestoreDC(dc, saved); }
    } restore{dc, saved};
    OffsetViewportOrgEx(dc, g->Left(), g->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, g->Width(), g->Height());
    g->PaintOn(dc);
  }
}

void TWinControl::WMPaint(TMessage& m) {
  bool graphic = std::any_of(controls_.begin(), controls_.end(),
                             [](TControl* c) { return IsGraphic(c) && c->Visible(); });
  if (!graphic) {
    DefaultHandler(m);
    return;
  }
  if (m.WParam) {
    DefaultHandler(m);
    PaintControls(reinterpret_cast<HDC>(m.WParam), ClientRect());
    return;
  }
  TPaintScope scope(handle_);
  if (defProc_ && defProc_ != DefWindowProcA) {
    // The system control paints itself into our DC, then its graphic children go on top.
    TMessage inner{WM_PAINT, reinterpret_cast<WPARAM>(scope.DC()), 0, 0};
    DefaultHandler(inner);
  }
  PaintControls(scope.DC(), scope.Area());
}

void TWinControl::WMEraseBkgnd(TMessage& m) {
  RECT r{};
  GetClientRect(handle_, &r);
  PaintBackground(reinterpret_cast<HDC>(m.WParam), r);
  m.Result = 1;
}

void TWinControl::WMContextMenu(TMessage& m) {
  TPopupMenu* menu = PopupMenu();
  if (!menu || !menu->AutoPopup() || !EventsAllowed()) {
    DefaultHandler(m);
    return;
  }
  int x = int(int16_t(LOWORD(m.LParam))), y = int(int16_t(HIWORD(m.LParam)));
  if (x == -1 && y == -1) {
    TPoint origin = ClientToScreen({0, 0});
    x = origin.X;
    y = origin.Y;
  }
  menu->SetPopupComponent(this);
  menu->Popup(x, y);
  m.Result = 1;
}

void TWinControl::CNCtlColor(TMessage& m) {
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  SetTextColor(dc, GdiColor(Font().Color()));
  SetBkColor(dc, GdiColor(Color()));
  m.Result = reinterpret_cast<LRESULT>(BrushHandle());
}

void TWinControl::SetAcceptFiles(bool v) {
  acceptFiles_ = v;
  if (HandleAllocated()) DragAcceptFiles(Handle(), v);
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_DROPFILES:
      if (acceptFiles_) {
        auto* drop = reinterpret_cast<HDROP>(m.WParam);
        std::vector<std::string> files;
        struct Finish {
          HDROP d;
          ~Finish() { DragFinish(d); }
        } finish{drop};
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
          std::string name(DragQueryFileA(drop, i, nullptr, 0) + 1, '\0');
          name.resize(DragQueryFileA(drop, i, name.data(), UINT(name.size())));
          files.push_back(std::move(name));
        }
        m.Result = 0;
        if (EventsAllowed()) OnDropFiles(this, files);
        return;
      }
      break;
    case WM_COMMAND:
      if (m.LParam && ReflectToChild(m, reinterpret_cast<HWND>(m.LParam))) return;
      break;
    case WM_NOTIFY:
      if (ReflectToChild(m, NotifyOf(m).hwndFrom)) return;
      break;
    case WM_NOTIFYFORMAT:
      m.Result = NFR_ANSI;
      return;
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      if (d->CtlType != ODT_MENU && ReflectToChild(m, d->hwndItem)) return;
      break;
    }
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (mi->CtlType != ODT_MENU)
        if (TWinControl* c = ChildById(mi->CtlID)) {
          m.Result = c->Perform(CN_MEASUREITEM, m.WParam, m.LParam);
          return;
        }
      break;
    }
    case WM_DELETEITEM:
      if (ReflectToChild(m, reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam)->hwndItem)) return;
      break;
    case WM_COMPAREITEM:
      if (ReflectToChild(m, reinterpret_cast<COMPAREITEMSTRUCT*>(m.LParam)->hwndItem)) return;
      break;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      if (ReflectToChild(m, reinterpret_cast<HWND>(m.LParam))) return;
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (m.LParam && ReflectToChild(m, reinterpret_cast<HWND>(m.LParam))) return;
      break;
    case CN_COMMAND:
      CNCommand(m);
      return;
    case CN_NOTIFY:
      CNNotify(m);
      return;
    case CN_DELETEITEM:
      CNDeleteItem(m);
      return;
    case CN_CTLCOLORMSGBOX:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORDLG:
    case CN_CTLCOLORSCROLLBAR:
    case CN_CTLCOLORSTATIC:
      CNCtlColor(m);
      return;
    case WM_PAINT:
      WMPaint(m);
      return;
    case WM_ERASEBKGND:
      WMEraseBkgnd(m);
      return;
    case WM_SIZE:
    case WM_MOVE:
      DefaultHandler(m);
      UpdateBoundsFromWindow();
      return;
    case WM_GETDLGCODE:
      WMGetDlgCode(m);
      return;
    case WM_CONTEXTMENU:
      WMContextMenu(m);
      return;
    case WM_SETFOCUS:
      DefaultHandler(m);
      if (TCustomForm* f = ParentForm())
        if (f != this) f->FocusChanged(this);
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      uint16_t key = uint16_t(m.WParam);
      if (DoKeyDown(key, KeyboardShift())) return;
      m.WParam = key;
      break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      uint16_t key = uint16_t(m.WParam);
      if (DoKeyUp(key, KeyboardShift())) return;
      m.WParam = key;
      break;
    }
    case WM_CHAR: {
      char key = char(m.WParam);
      if (DoKeyPress(key)) return;
      m.WParam = uint8_t(key);
      break;
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(m.WParam) == handle_ && LOWORD(m.LParam) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ::ScreenToClient(handle_, &pt);
        if (SetCursorFor({int(pt.x), int(pt.y)})) {
          m.Result = TRUE;
          return;
        }
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE: {
      TWMMouse mm = MouseOf(m);
      TControl* g = mouseTarget_ ? mouseTarget_ : GraphicControlAt({mm.X, mm.Y});
      if (g && g->Enabled()) {
        bool down = m.Msg == WM_LBUTTONDOWN || m.Msg == WM_RBUTTONDOWN || m.Msg == WM_MBUTTONDOWN ||
                    m.Msg == WM_LBUTTONDBLCLK;
        bool up = m.Msg == WM_LBUTTONUP || m.Msg == WM_RBUTTONUP || m.Msg == WM_MBUTTONUP;
        if (down) {
          mouseTarget_ = g;
          SetCapture(handle_);
        }
        if (up) {
          mouseTarget_ = nullptr;
          ReleaseCapture();
        }
        ForwardMouse(m, g);
        return;
      }
      break;
    }
    default:
      break;
  }
  TControl::WndProc(m);
}

// ---- TGraphicControl, TCustomControl

const TClassInfo& TGraphicControl::StaticClass() {
  static const TClassInfo info{"TGraphicControl", &TControl::StaticClass(), nullptr, {}};
  return info;
}

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {
  SetControlStyle(csClickEvents);
  SetParentColor(true);
}

void TGraphicControl::PaintOn(HDC dc) {
  TCanvasScope scope(canvas_, dc);
  canvas_.Font().Assign(Font());
  canvas_.Brush().SetColor(Color());
  Paint();
}

void TGraphicControl::PaintDirect(const std::function<void(TCanvas&)>& fn) {
  TWinControl* p = Parent();
  if (!p || !Visible() || !p->HandleAllocated() || !IsWindowVisible(p->Handle())) return;
  HWND h = p->Handle();
  HDC dc = GetDC(h);
  if (!dc) return;
  TReleaseDC release{h, dc};
  SetViewportOrgEx(dc, Left(), Top(), nullptr);
  IntersectClipRect(dc, 0, 0, Width(), Height());
  TCanvasScope scope(canvas_, dc);
  canvas_.Font().Assign(Font());
  fn(canvas_);
}

bool IsAccel(char c, const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return AnsiSameText(std::string(1, caption[i + 1]), std::string(1, c));
  }
  return false;
}

void ForEachControl(TWinControl& root, const std::function<void(TControl&)>& fn) {
  std::vector<TControl*> children = root.ControlList();
  for (TControl* c : children) {
    fn(*c);
    if (auto* w = dynamic_cast<TWinControl*>(c)) ForEachControl(*w, fn);
  }
}

TControl* CloneControl(const TControl& src, TComponent* owner, TWinControl* parent, const std::string& name,
                       const std::vector<std::string>& except) {
  auto* c = static_cast<TControl*>(src.ClassType().Create(owner));
  try {
    CopyProperties(src, *c, except);
    if (!name.empty()) c->SetName(name);
    c->SetParent(parent);
  } catch (...) {
    c->Free();
    throw;
  }
  return c;
}

const TClassInfo& TCustomControl::StaticClass() {
  static const TClassInfo info{"TCustomControl", &TWinControl::StaticClass(), nullptr, {}};
  return info;
}

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

void TCustomControl::PaintOn(HDC dc) {
  TCanvasScope scope(canvas_, dc);
  canvas_.Font().Assign(Font());
  canvas_.Brush().SetColor(Color());
  Paint();
}

void TCustomControl::WndProc(TMessage& m) {
  if (!nonClientHooks_) {
    TWinControl::WndProc(m);
    return;
  }
  switch (m.Msg) {
    case WM_NCCALCSIZE: {
      DefaultHandler(m);
      RECT* first = m.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0] : reinterpret_cast<RECT*>(m.LParam);
      TRect client = FromRECT(*first);
      bool redraw = false;
      NCCalcSize(client, redraw);
      *first = ToRECT(client);
      if (m.WParam) {
        reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[1] = *first;
        if (redraw) m.Result |= WVR_REDRAW;
      }
      return;
    }
    case WM_NCPAINT: {
      DefaultHandler(m);
      HWND h = Handle();
      HDC dc = GetWindowDC(h);
      if (!dc) return;
      TReleaseDC release{h, dc};
      RECT window{}, client{};
      GetWindowRect(h, &window);
      GetClientRect(h, &client);
      MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&client), 2);
      OffsetRect(&client, -window.left, -window.top);
      ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
      HDC old = canvas_.HandleAllocated() ? canvas_.Handle() : nullptr;
      struct Restore {
        TCanvas& c;
        HDC old;
        ~Restore() { c.SetHandle(old); }
      } restore{canvas_, old};
      canvas_.SetHandle(dc);
      canvas_.Font().Assign(Font());
      canvas_.Brush().SetColor(Color());
      NCPaint(canvas_, {0, 0, int(window.right - window.left), int(window.bottom - window.top)});
      return;
    }
    default:
      TWinControl::WndProc(m);
  }
}

void TCustomControl::FrameChanged() {
  if (HandleAllocated())
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomControl::PaintParentBeneath(HDC dc) {
  TWinControl* parent = Parent();
  if (!parent) return;
  const int saved = SaveDC(dc);
  OffsetViewportOrgEx(dc, -Left(), -Top(), nullptr);
  const TRect area = BoundsRect();
  const RECT r{area.Left, area.Top, area.Right, area.Bottom};
  parent->PaintBackground(dc, r);
  parent->PaintControls(dc, area);
  RestoreDC(dc, saved);
}

void TCustomControl::WMPaint(TMessage& m) {
  if (m.WParam) {
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    PaintOn(dc);
    PaintControls(dc, ClientRect());
    return;
  }
  TPaintScope scope(Handle());
  PaintOn(scope.DC());
  PaintControls(scope.DC(), scope.Area());
}
