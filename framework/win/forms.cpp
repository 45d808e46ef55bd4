#include "framework/win/forms.h"

#include <algorithm>

#include "framework/core/form_reader.h"
#include "framework/win/application.h"
#include "framework/win/firewall.h"
#include "framework/win/menus.h"
#include "framework/win/resources.h"

TScreen* Screen = nullptr;

namespace {
const TTypeInfo kBorderStyles{{"bsNone", "bsSingle", "bsSizeable", "bsDialog"}, {}};
const TTypeInfo kBorderIcons{{"biSystemMenu", "biMinimize", "biMaximize"}, {}};
const TTypeInfo kPositions{{"poDesigned", "poScreenCenter"}, {}};
const TTypeInfo kFormStyles{{"fsNormal", "fsStayOnTop"}, {}};
const TTypeInfo kWindowStates{{"wsNormal", "wsMinimized", "wsMaximized"}, {}};

// Visits c and its children, depth first, until fn says stop.
bool Broadcast(TControl& c, const std::function<bool(TControl&)>& fn) {
  if (fn(c)) return true;
  if (auto* w = dynamic_cast<TWinControl*>(&c)) {
    std::vector<TControl*> children = w->ControlList();
    for (TControl* child : children)
      if (Broadcast(*child, fn)) return true;
  }
  return false;
}
}  // namespace

const TTypeInfo& ModalResultTypeInfo() {
  static const TTypeInfo info{{},
                              {{"mrNone", mrNone},
                               {"mrOk", mrOk},
                               {"mrCancel", mrCancel},
                               {"mrAbort", mrAbort},
                               {"mrRetry", mrRetry},
                               {"mrIgnore", mrIgnore},
                               {"mrYes", mrYes},
                               {"mrNo", mrNo}}};
  return info;
}

// ---- TCustomForm

const TClassInfo& TCustomForm::StaticClass() {
  static const TClassInfo info{"TCustomForm", &TCustomControl::StaticClass(), nullptr, {}};
  return info;
}

TCustomForm::TCustomForm(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(csAcceptsControls | csClickEvents);
  InitVisible(false);
  SetColor(clBtnFace);
  SetBounds(0, 0, 320, 240);
  if (Screen) Screen->forms_.push_back(this);
}

TCustomForm::~TCustomForm() = default;

void TCustomForm::AfterConstruction() {
  TCustomControl::AfterConstruction();
  std::string resource(ClassType().FormResource());
  if (!resource.empty()) ReadForm(*this, LoadFormText(resource), resource);
  AlignTree();
  // A failing OnCreate is shown; the form itself stands.
  Firewall(this, [&] { OnCreate(this); });
}

void TCustomForm::DoDestroy() {
  Firewall(this, [&] { OnDestroy(this); });
}

void TCustomForm::BeforeDestruction() {
  if (Screen) {
    auto& f = Screen->forms_;
    f.erase(std::remove(f.begin(), f.end(), this), f.end());
    if (Screen->active_ == this) Screen->active_ = nullptr;
  }
  TCustomControl::BeforeDestruction();
}

void TCustomForm::Loaded() {
  TCustomControl::Loaded();
  if (pendingClientWidth_ >= 0 || pendingClientHeight_ >= 0) {
    TRect c = ClientRect();
    ApplyClientSize(pendingClientWidth_ >= 0 ? pendingClientWidth_ : c.Width(),
                    pendingClientHeight_ >= 0 ? pendingClientHeight_ : c.Height());
    pendingClientWidth_ = pendingClientHeight_ = -1;
  }
}

DWORD TCustomForm::FrameStyle() const {
  DWORD s = WS_CLIPSIBLINGS;
  switch (borderStyle_) {
    case TFormBorderStyle::bsNone:
      return s | WS_POPUP;
    case TFormBorderStyle::bsSingle:
      s |= WS_CAPTION | WS_BORDER;
      break;
    case TFormBorderStyle::bsSizeable:
      s |= WS_CAPTION | WS_THICKFRAME;
      break;
    case TFormBorderStyle::bsDialog:
      s |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
      break;
  }
  if (borderIcons_ & biSystemMenu) {
    s |= WS_SYSMENU;
    if (borderStyle_ != TFormBorderStyle::bsDialog) {
      if (borderIcons_ & biMinimize) s |= WS_MINIMIZEBOX;
      if (borderIcons_ & biMaximize) s |= WS_MAXIMIZEBOX;
    }
  }
  return s;
}

DWORD TCustomForm::FrameExStyle() const {
  DWORD ex = 0;
  if (borderStyle_ == TFormBorderStyle::bsDialog) ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
  if (formStyle_ == TFormStyle::fsStayOnTop) ex |= WS_EX_TOPMOST;
  return ex;
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  if (Hosted()) {
    // Inside another form: a plain child without caption or border.
    p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (Visible() ? WS_VISIBLE : 0);
    p.ExStyle = 0;
    return;
  }
  p.Style = FrameStyle() | WS_CLIPCHILDREN;
  p.ExStyle = FrameExStyle();
  p.WndParent = Application ? Application->Handle() : nullptr;
}

TRect TCustomForm::ClientRect() const {
  if (HandleAllocated() || Hosted()) return TCustomControl::ClientRect();
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, FrameStyle(), FALSE, FrameExStyle());
  return {0, 0, std::max(0, Width() - int(frame.right - frame.left)),
          std::max(0, Height() - int(frame.bottom - frame.top))};
}

void TCustomForm::ApplyClientSize(int w, int h) {
  TRect c = ClientRect();
  SetBounds(Left(), Top(), Width() - c.Width() + w, Height() - c.Height() + h);
}

void TCustomForm::SetClientWidth(int w) {
  if (IsLoading()) {
    pendingClientWidth_ = w;
    return;
  }
  ApplyClientSize(w, ClientHeight());
}

void TCustomForm::SetClientHeight(int h) {
  if (IsLoading()) {
    pendingClientHeight_ = h;
    return;
  }
  ApplyClientSize(ClientWidth(), h);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  if (style == TFormBorderStyle::bsDialog) borderIcons_ &= biSystemMenu;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  if (icons == borderIcons_) return;
  borderIcons_ = icons;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle style) {
  if (style == formStyle_) return;
  formStyle_ = style;
  if (HandleAllocated() && !Hosted())
    SetWindowPos(Handle(), style == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetWindowState(TWindowState state) {
  if (state == windowState_) return;
  windowState_ = state;
  if (HandleAllocated() && Visible() && !Hosted())
    ShowWindow(Handle(), state == TWindowState::wsMaximized   ? SW_SHOWMAXIMIZED
                         : state == TWindowState::wsMinimized ? SW_MINIMIZE
                                                              : SW_RESTORE);
}

void TCustomForm::SetActiveControl(TWinControl* c) {
  activeControl_ = c;
  if (c && !IsLoading() && Visible() && HandleAllocated() && c->CanFocus()) c->SetFocus();
}

void TCustomForm::ApplyPosition() {
  positioned_ = true;
  if (position_ == TPosition::poScreenCenter && Screen)
    SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(), Height());
}

void TCustomForm::SetVisible(bool visible) {
  if (IsLoading()) {
    InitVisible(visible);
    return;
  }
  if (visible == Visible()) return;
  if (visible) {
    InitVisible(true);
    if (!Hosted() && !positioned_) ApplyPosition();
    HandleNeeded();
    // OnShow comes before the window appears and may run a whole modal dialog.
    if (EventsAllowed()) DoShow();
    if (!Visible() || !HandleAllocated()) return;
    if (Hosted()) {
      ShowWindow(Handle(), SW_SHOW);
    } else {
      ShowWindow(Handle(), windowState_ == TWindowState::wsMaximized   ? SW_SHOWMAXIMIZED
                           : windowState_ == TWindowState::wsMinimized ? SW_SHOWMINIMIZED
                                                                       : SW_SHOWNORMAL);
      if (ActiveControl() && ActiveControl()->CanFocus())
        ActiveControl()->SetFocus();
      else if (!focused_)
        SelectNext(nullptr, true);
    }
    VisibleChanged();
  } else {
    if (EventsAllowed()) DoHide();
    InitVisible(false);
    if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
    VisibleChanged();
  }
}

void TCustomForm::DoShow() { OnShow(this); }
void TCustomForm::DoHide() { OnHide(this); }
void TCustomForm::DoClose(TCloseAction& action) { OnClose(this, action); }

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (EventsAllowed()) OnCloseQuery(this, canClose);
  return canClose;
}

int TCustomForm::ShowModal() {
  if (Visible() || modal_) throw EInvalidOperation("Cannot make a visible window modal");
  if (HWND capture = GetCapture()) SendMessageA(capture, WM_CANCELMODE, 0, 0);
  ReleaseCapture();
  HWND previous = GetActiveWindow();
  std::vector<HWND> disabled;
  ForEachThreadWindow(GetCurrentThreadId(), [&](HWND h) {
    if (h != (HandleAllocated() ? Handle() : nullptr) && IsWindowVisible(h) && IsWindowEnabled(h))
      disabled.push_back(h);
    return true;
  });
  for (HWND h : disabled) EnableWindow(h, FALSE);
  modal_ = true;
  modalResult_ = mrNone;
  struct Restore {
    TCustomForm& f;
    std::vector<HWND>& disabled;
    HWND previous;
    ~Restore() {
      f.modal_ = false;
      for (HWND h : disabled)
        if (IsWindow(h)) EnableWindow(h, TRUE);
      if (!f.IsDestroying()) Firewall(&f, [&] { f.SetVisible(false); });
      if (previous && IsWindow(previous)) SetActiveWindow(previous);
    }
  } restore{*this, disabled, previous};
  Show();
  for (;;) {
    Application->HandleMessage();
    if (Application->Terminated()) {
      modalResult_ = mrCancel;
      break;
    }
    if (modalResult_ == mrNone) continue;
    // The close query may refuse: the dialog then stays up.
    bool canClose = CloseQuery();
    if (canClose) {
      TCloseAction action = TCloseAction::caHide;
      if (EventsAllowed()) DoClose(action);
      canClose = action != TCloseAction::caNone;
    }
    if (canClose) break;
    modalResult_ = mrNone;
  }
  return modalResult_;
}

void TCustomForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = TCloseAction::caHide;
  if (EventsAllowed()) DoClose(action);
  if (action == TCloseAction::caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case TCloseAction::caHide:
      Hide();
      break;
    case TCloseAction::caMinimize:
      SetWindowState(TWindowState::wsMinimized);
      break;
    case TCloseAction::caFree:
      Release();
      break;
    default:
      break;
  }
}

void TCustomForm::Release() {
  if (Application)
    Application->ReleaseForm(this);
  else
    ReleaseLater();
}

void TCustomForm::FocusChanged(TWinControl* c) {
  if (focused_.Get() == c) return;
  TWinControl* old = focused_.Get();
  focused_ = c;
  activeControl_ = c;
  if (old && old->EventsAllowed()) old->DoExit();
  if (c && c->EventsAllowed() && focused_.Get() == c) c->DoEnter();
}

void TCustomForm::SelectNext(TWinControl* current, bool forward) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return;
  auto it = std::find(list.begin(), list.end(), current);
  int n = int(list.size());
  int i = it == list.end() ? (forward ? -1 : n) : int(it - list.begin());
  i = ((forward ? i + 1 : i - 1) % n + n) % n;
  list[size_t(i)]->SetFocus();
}

bool TCustomForm::DialogKey(uint16_t key, TShiftState shift) {
  TWinControl* focused = nullptr;
  for (HWND h = GetFocus(); h && !focused; h = GetParent(h)) focused = TWinControl::FindControl(h);
  switch (key) {
    case VK_TAB:
      if (shift & (ssAlt | ssCtrl)) return false;
      SelectNext(focused, !(shift & ssShift));
      return true;
    case VK_RETURN:
    case VK_ESCAPE:
      if (shift & (ssAlt | ssCtrl)) return false;
      if (key == VK_RETURN && focused && focused->DialogKeyFor(key, true)) return true;
      return Broadcast(*this, [&](TControl& c) { return c.DialogKeyFor(key, false); });
    default:
      return false;
  }
}

bool TCustomForm::DialogChar(char c) {
  return Broadcast(*this, [&](TControl& control) { return control.DialogCharFor(c); });
}

void TCustomForm::AdoptChild(TComponent& child) {
  if (dynamic_cast<TControl*>(&child)) {
    TCustomControl::AdoptChild(child);
    return;
  }
  // Non-visual components (timers) sit on the form itself, with no parent.
  if (child.Owner() != this) TComponent::AdoptChild(child);
}

void TCustomForm::GetChildren(const std::function<void(TComponent&)>& fn) const {
  std::vector<TComponent*> comps = Components();
  // Menu items are written inside their menu.
  for (TComponent* c : comps)
    if (!dynamic_cast<TControl*>(c) && !dynamic_cast<TMenuItem*>(c)) fn(*c);
  std::vector<TControl*> children = ControlList();
  for (TControl* c : children) fn(*c);
}

void TCustomForm::BoundsChanged(bool resized) {
  TCustomControl::BoundsChanged(resized);
  if (resized && EventsAllowed()) OnResize(this);
}

TRect TCustomForm::NormalBounds() {
  if (!HandleAllocated()) return BoundsRect();
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!GetWindowPlacement(Handle(), &wp)) return BoundsRect();
  return FromRECT(wp.rcNormalPosition);
}

void TCustomForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETMINMAXINFO:
      DefaultHandler(m);
      if (minTrack_.Width > 0 || minTrack_.Height > 0) {
        auto* info = reinterpret_cast<MINMAXINFO*>(m.LParam);
        if (minTrack_.Width > 0) info->ptMinTrackSize.x = minTrack_.Width;
        if (minTrack_.Height > 0) info->ptMinTrackSize.y = minTrack_.Height;
      }
      return;
    case WM_CLOSE:
      Close();
      return;
    case WM_ACTIVATE:
      DefaultHandler(m);
      if (LOWORD(m.WParam) != WA_INACTIVE && !Hosted()) {
        if (Screen) Screen->active_ = this;
        if (focused_ && focused_->CanFocus() && focused_->HandleAllocated()) ::SetFocus(focused_->Handle());
      }
      return;
    case WM_SIZE:
      if (!Hosted()) {
        if (m.WParam == SIZE_MAXIMIZED) windowState_ = TWindowState::wsMaximized;
        else if (m.WParam == SIZE_MINIMIZED) windowState_ = TWindowState::wsMinimized;
        else if (m.WParam == SIZE_RESTORED) windowState_ = TWindowState::wsNormal;
      }
      break;
    case WM_SYSCOMMAND:
      if ((m.WParam & 0xFFF0) == SC_MINIMIZE && Application && Application->MainForm() == this) {
        Application->Minimize();
        return;
      }
      break;
    default:
      break;
  }
  TCustomControl::WndProc(m);
}

// ---- TForm

const TClassInfo& TForm::StaticClass() {
  using P = TProps<TForm>;
  static const TClassInfo info{
      "TForm", &TCustomForm::StaticClass(), Factory<TForm>(),
      {P::Str("Caption", &TForm::Caption, &TForm::SetCaption).WithDefault(std::string()),
       P::Int("Width", &TForm::Width, &TForm::SetWidth).WithStored([](const TPersistent&) { return false; }),
       P::Int("Height", &TForm::Height, &TForm::SetHeight).WithStored([](const TPersistent&) { return false; }),
       P::Int("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth),
       P::Int("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight),
       P::Int("Color", &TForm::Color, &TForm::SetColor, &ColorTypeInfo()).WithDefault(int64_t(clBtnFace)),
       // A form is shown by Show or ShowModal, never by its text.
       P::Bool("Visible", &TForm::Visible, &TForm::SetVisible).AsHidden(),
       P::Enum<TFormBorderStyle>("BorderStyle", &kBorderStyles, &TForm::BorderStyle, &TForm::SetBorderStyle)
           .WithDefault(int64_t(TFormBorderStyle::bsSizeable)),
       P::Set("BorderIcons", &kBorderIcons, &TForm::BorderIcons, &TForm::SetBorderIcons)
           .WithDefault(int64_t(biSystemMenu | biMinimize | biMaximize)),
       P::Enum<TPosition>("Position", &kPositions, &TForm::Position, &TForm::SetPosition).WithDefault(int64_t(0)),
       P::Enum<TFormStyle>("FormStyle", &kFormStyles, &TForm::FormStyle, &TForm::SetFormStyle)
           .WithDefault(int64_t(0)),
       P::Enum<TWindowState>("WindowState", &kWindowStates, &TForm::WindowState, &TForm::SetWindowState)
           .WithDefault(int64_t(0)),
       P::Bool("KeyPreview", &TForm::KeyPreview, &TForm::SetKeyPreview).WithDefault(false),
       P::Component<TWinControl>("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl),
       P::Event("OnCreate", &TForm::OnCreate),
       P::Event("OnShow", &TForm::OnShow),
       P::Event("OnHide", &TForm::OnHide),
       P::Event("OnResize", &TForm::OnResize),
       P::Event("OnCloseQuery", &TForm::OnCloseQuery),
       P::Event("OnClose", &TForm::OnClose),
       P::Event("OnDestroy", &TForm::OnDestroy)}};
  return info;
}

// ---- TScreen

const TClassInfo& TScreen::StaticClass() {
  static const TClassInfo info{"TScreen", &TComponent::StaticClass(), nullptr, {}};
  return info;
}

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

void TScreen::SetCursor(TCursor c) {
  cursor_ = c;
  ::SetCursor(Cursors(c == crDefault ? crArrow : c));
}

HCURSOR TScreen::Cursors(TCursor id) const {
  for (const auto& [slot, h] : custom_)
    if (slot == id) return h;
  int sys = 32512;  // IDC_ARROW
  switch (id) {
    case crNone:
      return nullptr;
    case crIBeam:
      sys = 32513;
      break;
    case crHourGlass:
      sys = 32514;
      break;
    case crCross:
      sys = 32515;
      break;
    case crUpArrow:
      sys = 32516;
      break;
    case crSizeNWSE:
      sys = 32642;
      break;
    case crSizeNESW:
      sys = 32643;
      break;
    case crSizeWE:
    case crHSplit:
      sys = 32644;
      break;
    case crSizeNS:
    case crVSplit:
      sys = 32645;
      break;
    case crNo:
      sys = 32648;
      break;
    case crHandPoint:
      sys = 32649;
      break;
    case crAppStart:
      sys = 32650;
      break;
    case crHelp:
      sys = 32651;
      break;
    default:
      break;
  }
  return LoadCursorA(nullptr, MAKEINTRESOURCEA(sys));
}

void TScreen::SetCursors(TCursor id, HCURSOR cursor) {
  for (auto& [slot, h] : custom_)
    if (slot == id) {
      h = cursor;
      return;
    }
  custom_.push_back({id, cursor});
}
