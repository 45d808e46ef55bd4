#include "framework/testing/gui_test.h"

#include <chrono>
#include <cstdlib>

#include "framework/core/clock.h"
#include "framework/core/streams.h"
#include "framework/controls/comctrls.h"
#include "framework/controls/stdctrls.h"
#include "framework/win/graphics.h"

int RunGuiTests(int argc, char** argv, void (*registerClasses)()) {
  ::testing::InitGoogleTest(&argc, argv);
  auto* app = new TApplication(nullptr);
  app->Initialize();
  app->SetTitle("Framework Tests");
  registerClasses();
  int result = RUN_ALL_TESTS();
  app->Free();
  return result;
}

// ---- message boxes, exceptions

void TMessageBoxScript::Expect(std::string fragment, int answer) { script_.push_back({std::move(fragment), answer}); }

int TMessageBoxScript::Answer(const std::string& text, const std::string& caption, UINT flags) {
  shown_.push_back({text, caption, flags});
  if (script_.empty() || text.find(script_.front().Fragment) == std::string::npos) {
    unexpected_.push_back("unscripted message box: " + caption + ": " + text);
    return IDCANCEL;
  }
  int answer = script_.front().Answer;
  script_.pop_front();
  return answer;
}

std::vector<std::string> TMessageBoxScript::Problems() const {
  std::vector<std::string> p = unexpected_;
  for (const Step& s : script_) p.push_back("expected message box never shown: " + s.Fragment);
  return p;
}

void TExceptionTrap::Record(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    seen_.push_back(ex.what());
  } catch (...) {
    seen_.push_back("(not a std::exception)");
  }
}

std::vector<std::string> TExceptionTrap::Take() {
  std::vector<std::string> s;
  s.swap(seen_);
  return s;
}

// ---- watchdog

namespace {
BOOL CALLBACK CloseVisible(HWND h, LPARAM) {
  if (IsWindowVisible(h)) PostMessageA(h, WM_CLOSE, 0, 0);
  return TRUE;
}
}  // namespace

TWatchdog::TWatchdog(int seconds) {
  DWORD gui = GetCurrentThreadId();
  thread_ = std::thread([this, seconds, gui] {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stop_.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopping_; })) return;
    fired_ = true;
    // Closing every window of the test ends modal loops and message boxes alike.
    EnumThreadWindows(gui, CloseVisible, 0);
    if (Application) Application->WakeMainThread();
  });
}

TWatchdog::~TWatchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  thread_.join();
}

// ---- fixture

void TGuiTest::SetUp() {
  previousBox_ = SetMessageBoxFunction(
      [this](HWND, const std::string& text, const std::string& caption, UINT flags) {
        return Boxes.Answer(text, caption, flags);
      });
  Application->ExceptionObserver = [this](std::exception_ptr e) { Exceptions.Record(e); };
  watchdog_ = std::make_unique<TWatchdog>(60);
}

void TGuiTest::TearDown() {
  for (auto it = tracked_.rbegin(); it != tracked_.rend(); ++it)
    if (TComponent* c = (*it)->Get()) c->Free();
  tracked_.clear();
  Pump();
  bool fired = watchdog_->Fired();
  watchdog_.reset();
  Application->ExceptionObserver = nullptr;
  SetMessageBoxFunction(previousBox_);
  if (fired) ADD_FAILURE() << "the watchdog ended a hanging test";
  for (const std::string& p : Boxes.Problems()) ADD_FAILURE() << p;
  for (const std::string& e : Exceptions.Take()) ADD_FAILURE() << "unexpected exception: " << e;
}

void TGuiTest::Track(TComponent* c) {
  tracked_.push_back(std::make_unique<TLink<TComponent>>(tracker_.get()));
  *tracked_.back() = c;
}

bool TGuiTest::PumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  // A timer message keeps the loop from sleeping past the time limit.
  UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
  uint32_t start = TickCount();
  bool ok = pred();
  while (!ok && !watchdog_->Fired() && int(TickCount() - start) < timeoutMs) {
    Application->HandleMessage();
    ok = pred();
  }
  KillTimer(nullptr, timer);
  return ok;
}

void TGuiTest::Pump() { Application->ProcessMessages(); }

// ---- drivers

void Click(TWinControl& control) {
  HWND h = control.Handle();
  char cls[64] = {};
  GetClassNameA(h, cls, sizeof cls);
  if (dynamic_cast<TButton*>(&control) || dynamic_cast<TCheckBox*>(&control) ||
      dynamic_cast<TRadioButton*>(&control)) {
    SendMessageA(h, BM_CLICK, 0, 0);
    return;
  }
  RECT r;
  GetClientRect(h, &r);
  LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(h, WM_LBUTTONUP, 0, at);
}

void SetText(TWinControl& edit, const std::string& text) {
  HWND h = edit.Handle();
  SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // A multi-line edit sends no EN_CHANGE for WM_SETTEXT; a user's typing would.
  if (GetWindowLongA(h, GWL_STYLE) & ES_MULTILINE)
    SendMessageA(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), EN_CHANGE), reinterpret_cast<LPARAM>(h));
}

void SelectItem(TWinControl& list, int index) {
  if (auto* group = dynamic_cast<TRadioGroup*>(&list)) {
    Click(*group->Button(index));
    return;
  }
  HWND h = list.Handle();
  if (dynamic_cast<TPageControl*>(&list)) {
    // A click on a tab, as the tab control tells its parent.
    SendMessageA(h, TCM_SETCURSEL, WPARAM(index), 0);
    NMHDR hdr{h, UINT_PTR(GetDlgCtrlID(h)), UINT(TCN_SELCHANGE)};
    SendMessageA(GetParent(h), WM_NOTIFY, WPARAM(hdr.idFrom), reinterpret_cast<LPARAM>(&hdr));
    return;
  }
  bool combo = dynamic_cast<TComboBox*>(&list) != nullptr;
  SendMessageA(h, combo ? CB_SETCURSEL : LB_SETCURSEL, WPARAM(index), 0);
  SendMessageA(GetParent(h), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(h), combo ? CBN_SELCHANGE : LBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
}

void PressKey(UINT vk, TShiftState shift) {
  HWND target = GetFocus();
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  BYTE saved[256];
  memcpy(saved, keys, sizeof keys);
  if (shift & ssShift) keys[VK_SHIFT] = 0x80;
  if (shift & ssCtrl) keys[VK_CONTROL] = 0x80;
  if (shift & ssAlt) keys[VK_MENU] = 0x80;
  SetKeyboardState(keys);
  bool alt = shift & ssAlt;
  PostMessageA(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, alt ? (1 << 29) | 1 : 1);
  Application->ProcessMessages();
  PostMessageA(target, alt ? WM_SYSKEYUP : WM_KEYUP, vk, (alt ? (1 << 29) : 0) | 0xC0000001);
  Application->ProcessMessages();
  SetKeyboardState(saved);
}

// ---- captures

uint32_t TCapture::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return 0xFFFFFFFF;
  return Pixels[size_t(y) * size_t(Width) + size_t(x)];
}

void TCapture::SaveBmp(const std::string& fileName) const {
  TBitmap b;
  b.SetSize(Width, Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      uint32_t p = PixelAt(x, y);
      ::SetPixel(b.Canvas().Handle(), x, y, RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
  b.SaveToFile(fileName);
}

namespace {

TCapture FromBitmap(TBitmap& b) {
  TCapture c;
  c.Width = b.Width();
  c.Height = b.Height();
  c.Pixels.resize(size_t(c.Width) * size_t(c.Height));
  for (int y = 0; y < c.Height; ++y)
    for (int x = 0; x < c.Width; ++x) c.Pixels[size_t(y) * size_t(c.Width) + size_t(x)] = b.PixelRGB(x, y);
  return c;
}

TCapture CopyFrom(HDC source, int x, int y, int w, int h) {
  TBitmap b;
  b.SetSize(w, h);
  BitBlt(b.Canvas().Handle(), 0, 0, w, h, source, x, y, SRCCOPY);
  return FromBitmap(b);
}

}  // namespace

TCapture CaptureWindow(TWinControl& control) {
  HWND h = control.Handle();
  UpdateWindow(h);
  RECT r;
  GetClientRect(h, &r);
  HDC dc = GetDC(h);
  TCapture c = CopyFrom(dc, 0, 0, int(r.right), int(r.bottom));
  ReleaseDC(h, dc);
  return c;
}

TCapture CaptureScreen(const TRect& sr) {
  HDC dc = GetDC(nullptr);
  TCapture c = CopyFrom(dc, sr.Left, sr.Top, sr.Width(), sr.Height());
  ReleaseDC(nullptr, dc);
  return c;
}

TCapture PaintToBitmap(TGraphicControl& control) {
  TBitmap b;
  b.SetSize(control.Width(), control.Height());
  control.PaintOn(b.Canvas().Handle());
  return FromBitmap(b);
}

TCapture PaintToBitmap(TCustomControl& control) {
  TBitmap b;
  b.SetSize(control.Width(), control.Height());
  control.PaintOn(b.Canvas().Handle());
  return FromBitmap(b);
}

uint32_t RGBOf(TColor color) {
  uint32_t bgr = ColorToRGB(color);
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

::testing::AssertionResult PixelNear(const TCapture& image, int x, int y, uint32_t rgb, int tolerance) {
  uint32_t p = image.PixelAt(x, y);
  if (p == 0xFFFFFFFF) return ::testing::AssertionFailure() << "(" << x << ", " << y << ") lies outside the image";
  for (int shift : {0, 8, 16}) {
    int a = int((p >> shift) & 0xFF), b = int((rgb >> shift) & 0xFF);
    if (std::abs(a - b) > tolerance) {
      char buf[96];
      snprintf(buf, sizeof buf, "pixel (%d, %d) is %06X, expected %06X", x, y, unsigned(p), unsigned(rgb));
      return ::testing::AssertionFailure() << buf;
    }
  }
  return ::testing::AssertionSuccess();
}
