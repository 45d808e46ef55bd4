#include "framework/win/application.h"

#include <algorithm>
#include <cstdio>

#include "framework/core/seam.h"
#include "framework/core/sysutils.h"
#include "framework/win/firewall.h"
#include "framework/win/hints.h"
#include "framework/win/thread.h"

TApplication* Application = nullptr;

namespace {

DWORD mainThreadId = 0;
constexpr UINT_PTR kHintShowTimer = 1, kHintHideTimer = 2;

int DefaultMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
  return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

TSeam<TMessageBoxFunction>& MessageBoxSeam() {
  static TSeam<TMessageBoxFunction> seam{DefaultMessageBox};
  return seam;
}

const TMessageBoxFunction& MessageBoxFunction() { return MessageBoxSeam().Get(); }

// The framework control of a window of this process, or of its nearest ancestor (the
// edit inside a combo box belongs to the combo box).
TWinControl* ControlOf(HWND h) {
  for (; h; h = GetParent(h))
    if (TWinControl* c = TWinControl::FindControl(h)) return c;
  return nullptr;
}

TCustomForm* TopForm(TControl* c) {
  while (c && c->Parent()) c = c->Parent();
  return dynamic_cast<TCustomForm*>(c);
}

// The Windows locale and system colours for the portable core.
void InstallWin32Seams() {
  TLocale locale;
  char buf[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, sizeof buf) > 1) locale.ThousandSeparator = buf[0];
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf) > 1) locale.DecimalSeparator = buf[0];
  locale.Upper = [](const std::string& s) {
    std::string r = s;
    if (!r.empty()) CharUpperBuffA(r.data(), DWORD(r.size()));
    return r;
  };
  locale.Lower = [](const std::string& s) {
    std::string r = s;
    if (!r.empty()) CharLowerBuffA(r.data(), DWORD(r.size()));
    return r;
  };
  locale.IsLeadByte = [](uint8_t b) { return IsDBCSLeadByte(b) != 0; };
  SetLocale(std::move(locale));
  SetSysColorLookup([](int index) { return uint32_t(GetSysColor(index)); });
}

}  // namespace

TMessageBoxFunction SetMessageBoxFunction(TMessageBoxFunction fn) { return MessageBoxSeam().Set(std::move(fn)); }

void HandleEntryException(std::exception_ptr e, TObject* sender) noexcept {
  if (Application) {
    Application->HandleException(e, sender);
    return;
  }
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    std::fprintf(stderr, "%s\n", ex.what());
  } catch (...) {
    std::fprintf(stderr, "Unknown exception\n");
  }
}

LRESULT CALLBACK AppWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (!Application || Application->handle_ != h) return DefWindowProcA(h, msg, wp, lp);
  TMessage m{msg, wp, lp, 0};
  Firewall(Application, [&] { Application->AppMessage(m); });
  return m.Result;
}

void ShowMessage(const std::string& text) {
  if (Application)
    Application->MessageBox(text, Application->Title(), MB_OK);
  else
    MessageBoxFunction()(nullptr, text, "", MB_OK);
}

// ---- TApplication

const TClassInfo& TApplication::StaticClass() {
  static const TClassInfo info{"TApplication", &TComponent::StaticClass(), nullptr, {}};
  return info;
}

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  if (Application) throw EInvalidOperation("There is one application per program");
  Application = this;
  mainThreadId = GetCurrentThreadId();
  Screen = new TScreen(this);
  hintClass_ = &THintWindow::StaticClass();
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  title_ = ChangeFileExt(ExtractFileName(path), "");
  WNDCLASSA wc{};
  wc.lpfnWndProc = AppWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TApplication";
  RegisterClassA(&wc);
  handle_ = CreateWindowExA(0, "TApplication", title_.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!handle_) {
    Application = nullptr;
    throw EOutOfResources("Cannot create the application window");
  }
}

TApplication::~TApplication() {
  if (Application == this) Application = nullptr;
}

void TApplication::BeforeDestruction() {
  // Forms go first, while the application window that owns theirs still exists.
  while (ComponentCount() > 0) Components().back()->Free();
  Screen = nullptr;
  if (handle_) DestroyWindow(handle_);
  handle_ = nullptr;
  TComponent::BeforeDestruction();
}

void TApplication::Initialize() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  InstallWin32Seams();
}

bool TApplication::IsMainThread() { return GetCurrentThreadId() == mainThreadId; }

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  if (handle_) SetWindowTextA(handle_, title.c_str());
}

void TApplication::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op != opRemove) return;
  if (c == mainForm_) mainForm_ = nullptr;
  if (c == hintControl_) hintControl_ = nullptr;
  if (c == hintWindow_) hintWindow_ = nullptr;
  releasing_.erase(std::remove(releasing_.begin(), releasing_.end(), c), releasing_.end());
}

void TApplication::Run() {
  if (mainForm_) mainForm_->Show();
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  terminated_ = true;
  if (handle_) PostMessageA(handle_, WM_QUIT, 0, 0);
}

void TApplication::WakeMainThread() {
  if (handle_) PostMessageA(handle_, WM_FW_WAKE, 0, 0);
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  if (!PreTranslate(msg)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

void TApplication::HandleMessage() {
  try {
    MSG msg;
    if (!ProcessMessage(msg)) {
      Idle();
      if (!terminated_) WaitMessage();
    }
  } catch (...) {
    HandleException(std::current_exception(), this);
  }
}

void TApplication::ProcessMessages() {
  try {
    MSG msg;
    while (ProcessMessage(msg)) {
    }
  } catch (...) {
    HandleException(std::current_exception(), this);
  }
}

void TApplication::Idle() {
  TComponent::ProcessReleases();
  TThread::CheckSynchronize();
}

bool TApplication::PreTranslate(MSG& msg) {
  if ((msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) || msg.message == WM_KEYDOWN ||
      msg.message == WM_SYSKEYDOWN || msg.message == WM_NCMOUSEMOVE)
    TrackHint(msg);
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      UINT vk = UINT(msg.wParam);
      DWORD mask = vk == VK_TAB ? DLGC_WANTTAB
                   : (vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_EXECUTE || vk == VK_CANCEL) ? DLGC_WANTALLKEYS
                                                                                                   : 0;
      if (!mask) return false;
      TWinControl* target = ControlOf(msg.hwnd);
      TCustomForm* form = TopForm(target);
      if (!form) return false;
      LRESULT code = SendMessageA(msg.hwnd, WM_GETDLGCODE, vk, reinterpret_cast<LPARAM>(&msg));
      if (code & (mask | DLGC_WANTMESSAGE)) return false;
      return form->DialogKey(uint16_t(vk), KeyboardShift());
    }
    case WM_SYSCHAR: {
      TCustomForm* form = TopForm(ControlOf(msg.hwnd));
      return form && form->DialogChar(char(msg.wParam));
    }
    default:
      return false;
  }
}

void TApplication::AppMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_FW_SYNC:
      TThread::CheckSynchronize();
      return;
    case WM_FW_WAKE:
      return;
    case WM_FW_RELEASE: {
      std::vector<TCustomForm*> forms;
      forms.swap(releasing_);
      for (TCustomForm* f : forms) f->Free();
      return;
    }
    case WM_TIMER:
      if (m.WParam == kHintShowTimer) {
        KillTimer(handle_, kHintShowTimer);
        ShowHintNow();
      } else if (m.WParam == kHintHideTimer) {
        HideHint();
      }
      return;
    case WM_SYSCOMMAND:
      if ((m.WParam & 0xFFF0) == SC_RESTORE) {
        Restore();
        return;
      }
      if ((m.WParam & 0xFFF0) == SC_MINIMIZE) {
        Minimize();
        return;
      }
      break;
    case WM_CLOSE:
      if (mainForm_) mainForm_->Close();
      return;
    default:
      break;
  }
  m.Result = DefWindowProcA(handle_, m.Msg, m.WParam, m.LParam);
}

void TApplication::ReleaseForm(TCustomForm* form) {
  if (std::find(releasing_.begin(), releasing_.end(), form) != releasing_.end()) return;
  releasing_.push_back(form);
  if (form->Owner() != this) FreeNotification(form);
  PostMessageA(handle_, WM_FW_RELEASE, 0, 0);
}

// ---- exceptions and message boxes

void TApplication::HandleException(std::exception_ptr e, TObject* sender) noexcept {
  try {
    if (ExceptionObserver) ExceptionObserver(e);
    try {
      std::rethrow_exception(e);
    } catch (const EAbort&) {
      return;
    } catch (const Exception& ex) {
      if (OnException)
        OnException(sender, ex);
      else
        ShowException(ex);
    } catch (const std::exception& ex) {
      Exception wrapped(ex.what());
      if (OnException)
        OnException(sender, wrapped);
      else
        ShowException(wrapped);
    } catch (...) {
      Exception wrapped("Unknown exception");
      if (OnException)
        OnException(sender, wrapped);
      else
        ShowException(wrapped);
    }
  } catch (const std::exception& failure) {
    // The handler itself failed: its failure gets the plain display; a third is dropped.
    ShowExceptionText(failure.what());
  } catch (...) {
    ShowExceptionText("Unknown exception");
  }
}

void TApplication::ShowExceptionText(const std::string& message) noexcept {
  try {
    ShowException(Exception(message));
  } catch (...) {
  }
}

void TApplication::ShowException(const Exception& e) {
  std::string text = e.Message();
  if (text.empty() || text.back() != '.') text += '.';
  MessageBox(text, title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  HWND owner = handle_;
  if (Screen && Screen->ActiveForm() && Screen->ActiveForm()->HandleAllocated())
    owner = Screen->ActiveForm()->Handle();
  return MessageBoxFunction()(owner, text, caption, flags);
}

// ---- help, minimising

bool TApplication::HelpCommand(uint16_t command, int data) {
  // Without a help file there is nothing to ask for; the programs set one so that their
  // help hook is reached.
  if (helpFile_.empty()) return false;
  bool callHelp = true;
  return OnHelp(command, data, callHelp);
}

void TApplication::Minimize() {
  if (!minimizedForms_.empty()) return;
  if (Screen)
    for (int i = 0; i < Screen->FormCount(); ++i) {
      TCustomForm* f = Screen->Forms(i);
      if (!f->Hosted() && f->HandleAllocated() && IsWindowVisible(f->Handle())) {
        minimizedForms_.push_back(f->Handle());
        ShowWindow(f->Handle(), SW_HIDE);
      }
    }
  ShowWindow(handle_, SW_SHOWMINNOACTIVE);
  OnMinimize(this);
}

void TApplication::Restore() {
  std::vector<HWND> forms;
  forms.swap(minimizedForms_);
  ShowWindow(handle_, SW_HIDE);
  for (HWND h : forms)
    if (IsWindow(h)) ShowWindow(h, SW_SHOW);
  OnRestore(this);
}

// ---- hints

void TApplication::SetShowHint(bool v) {
  if (v == showHint_) return;
  showHint_ = v;
  if (!v && hintWindow_) {
    HideHint();
    hintWindow_->Free();
  }
}

void TApplication::SetHintWindowClass(const TClassInfo* cls) {
  if (!cls || !cls->InheritsFrom(THintWindow::StaticClass()))
    throw EInvalidOperation("A hint window class must descend from THintWindow");
  hintClass_ = cls;
  if (hintWindow_) {
    HideHint();
    hintWindow_->Free();
  }
}

void TApplication::CancelHint() {
  KillTimer(handle_, kHintShowTimer);
  HideHint();
  hintControl_ = nullptr;
}

void TApplication::HideHint() {
  KillTimer(handle_, kHintHideTimer);
  if (hintWindow_ && hintShown_) hintWindow_->HideHint();
  hintShown_ = false;
}

void TApplication::TrackHint(const MSG& msg) {
  if (msg.message != WM_MOUSEMOVE) {
    if (msg.message != WM_NCMOUSEMOVE) CancelHint();
    return;
  }
  TWinControl* w = ControlOf(msg.hwnd);
  if (w && hintWindow_ && w == hintWindow_) return;
  TControl* c = w;
  if (w && TWinControl::FindControl(msg.hwnd) == w) {
    TPoint p{int(int16_t(LOWORD(msg.lParam))), int(int16_t(HIWORD(msg.lParam)))};
    if (TControl* g = w->GraphicControlAt(p)) c = g;
  }
  if (c == hintControl_) return;
  bool wasShown = hintShown_;
  HideHint();
  KillTimer(handle_, kHintShowTimer);
  if (hintControl_ && hintControl_->Owner() != this) RemoveFreeNotification(hintControl_);
  hintControl_ = c;
  if (!c || !showHint_ || !c->ShowHint() || GetShortHint(c->Hint()).empty()) return;
  FreeNotification(c);
  SetTimer(handle_, kHintShowTimer, wasShown ? 50 : UINT(std::max(hintPause_, 1)), nullptr);
}

void TApplication::ShowHintNow() {
  if (!hintControl_ || !showHint_) return;
  std::string text = GetShortHint(hintControl_->Hint());
  if (text.empty()) return;
  if (!hintWindow_) hintWindow_ = static_cast<THintWindow*>(hintClass_->Create(this));
  POINT pt;
  GetCursorPos(&pt);
  TRect r = hintWindow_->CalcHintRect(300, text);
  int x = int(pt.x), y = int(pt.y) + 20;
  if (Screen) {
    x = std::min(x, Screen->Width() - r.Width());
    if (y + r.Height() > Screen->Height()) y = int(pt.y) - r.Height() - 4;
  }
  hintWindow_->ActivateHint(Bounds(std::max(x, 0), std::max(y, 0), r.Width(), r.Height()), text);
  hintShown_ = true;
  SetTimer(handle_, kHintHideTimer, UINT(std::max(hintHidePause_, 1)), nullptr);
}
