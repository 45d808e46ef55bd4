// dialog_check: drives a dialog of another process the way a user would, for the tests of
// shell_run open|save. It finds the dialog by its caption and its controls by their
// component names (the window property every framework control carries), and answers
// message boxes by their buttons. Commands run in order; each prints what it reads:
//   wait CAPTION                 the dialog is up (within 20 s)
//   set NAME TEXT                types TEXT into the control
//   click NAME                   clicks a button or a speed button (posted, so a box it
//                                raises can be answered)
//   key NAME VK                  a key press (decimal virtual key) in the control
//   box FRAGMENT BUTTON          a message box whose text holds FRAGMENT is up: prints
//                                "box CAPTION<TAB>TEXT" and presses BUTTON (its caption)
//   nobox MS                     no message box comes within MS milliseconds
//   width NAME / text NAME       prints "width N" or "text T" of the control
//   size                         prints "size W H" of the dialog window
//   resize W H                   sizes the dialog window to W by H
//   drag NAME FROM TO            drags with the left button in the control along x, from
//                                FROM to TO at half its height (posted, as a user's mouse)
//   gone                         the dialog closes (within 20 s)
// Exit 0 when every command did what it says, 1 with a message on standard error when one
// did not, 2 for a bad command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND dialog = nullptr;
std::string caption;

std::string TextOf(HWND h) {
  char buf[1024] = {};
  SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
  return buf;
}

std::string NameOf(HWND h) {
  auto atom = ATOM(reinterpret_cast<UINT_PTR>(GetPropA(h, "FwName")));
  char buf[256] = {};
  if (atom && GlobalGetAtomNameA(atom, buf, sizeof buf)) return buf;
  return {};
}

struct TTopFind {
  const std::string& text;
  const char* cls;
  HWND found;
};

BOOL CALLBACK TopWindow(HWND h, LPARAM lp) {
  auto* find = reinterpret_cast<TTopFind*>(lp);
  if (!IsWindowVisible(h)) return TRUE;
  char kind[64] = {};
  GetClassNameA(h, kind, sizeof kind);
  if (find->cls && std::string(kind) != find->cls) return TRUE;
  if (!find->text.empty() && TextOf(h) != find->text) return TRUE;
  find->found = h;
  return FALSE;
}

HWND FindTop(const std::string& text, const char* cls) {
  TTopFind f{text, cls, nullptr};
  EnumWindows(TopWindow, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

struct TNameFind {
  const std::string& name;
  HWND found;
};

BOOL CALLBACK NamedChild(HWND h, LPARAM lp) {
  auto* find = reinterpret_cast<TNameFind*>(lp);
  if (NameOf(h) != find->name) return TRUE;
  find->found = h;
  return FALSE;
}

HWND Control(const std::string& name) {
  TNameFind f{name, nullptr};
  EnumChildWindows(dialog, NamedChild, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "dialog_check: %s\n", why.c_str());
  std::exit(1);
}

HWND Need(const std::string& name) {
  HWND h = Control(name);
  if (!h) Fail("no control named " + name + " in \"" + caption + "\"");
  return h;
}

struct TBoxFind {
  const std::string& fragment;
  HWND found;
  std::string text;
};

BOOL CALLBACK StaticText(HWND c, LPARAM l) {
  char k[64] = {};
  GetClassNameA(c, k, sizeof k);
  if (std::string(k) == "Static") *reinterpret_cast<std::string*>(l) += TextOf(c);
  return TRUE;
}

BOOL CALLBACK BoxWindow(HWND h, LPARAM lp) {
  auto* find = reinterpret_cast<TBoxFind*>(lp);
  char kind[64] = {};
  GetClassNameA(h, kind, sizeof kind);
  if (!IsWindowVisible(h) || std::string(kind) != "#32770") return TRUE;
  std::string all;
  EnumChildWindows(h, StaticText, reinterpret_cast<LPARAM>(&all));
  if (all.find(find->fragment) == std::string::npos) return TRUE;
  find->found = h;
  find->text = all;
  return FALSE;
}

// The message box (a dialog-class window) holding fragment, within ms.
HWND WaitBox(const std::string& fragment, DWORD ms, std::string* textOut) {
  DWORD end = GetTickCount() + ms;
  do {
    TBoxFind f{fragment, nullptr, {}};
    EnumWindows(BoxWindow, reinterpret_cast<LPARAM>(&f));
    if (f.found) {
      if (textOut) *textOut = f.text;
      return f.found;
    }
    Sleep(50);
  } while (int(GetTickCount() - end) < 0);
  return nullptr;
}

struct TButtonFind {
  const std::string& button;
  HWND found;
};

BOOL CALLBACK ButtonNamed(HWND c, LPARAM l) {
  auto* find = reinterpret_cast<TButtonFind*>(l);
  std::string plain;
  for (char ch : TextOf(c))
    if (ch != '&') plain += ch;
  if (plain != find->button) return TRUE;
  find->found = c;
  return FALSE;
}

std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  for (size_t i = 0; i < a.size(); ++i) {
    auto arg = [&](size_t n) -> const std::string& {
      if (i + n >= a.size()) {
        std::fprintf(stderr, "dialog_check: %s needs %zu arguments\n", a[i].c_str(), n);
        std::exit(2);
      }
      return a[i + n];
    };
    const std::string& cmd = a[i];
    if (cmd == "wait") {
      caption = arg(1);
      DWORD end = GetTickCount() + 20000;
      while (!(dialog = FindTop(caption, nullptr)) && int(GetTickCount() - end) < 0) Sleep(100);
      if (!dialog) Fail("no window \"" + caption + "\"");
      Sleep(300);
      i += 1;
    } else if (cmd == "set") {
      HWND h = Need(arg(1));
      SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(2).c_str()));
      i += 2;
    } else if (cmd == "click") {
      HWND h = Need(arg(1));
      char kind[64] = {};
      GetClassNameA(h, kind, sizeof kind);
      if (std::string(kind) == "TButton" || std::string(kind) == "TCheckBox") {
        PostMessageA(h, BM_CLICK, 0, 0);
      } else {  // a control of our own drawing: a press and a release at its centre
        RECT r{};
        GetClientRect(h, &r);
        LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
        PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(h, WM_LBUTTONUP, 0, at);
      }
      Sleep(200);
      i += 1;
    } else if (cmd == "key") {
      HWND h = Need(arg(1));
      WPARAM vk = WPARAM(std::atoi(arg(2).c_str()));
      PostMessageA(h, WM_KEYDOWN, vk, 1);
      PostMessageA(h, WM_KEYUP, vk, LPARAM(0xC0000001u));
      Sleep(500);
      i += 2;
    } else if (cmd == "box") {
      std::string text;
      HWND box = WaitBox(arg(1), 10000, &text);
      if (!box) Fail("no message box with \"" + arg(1) + "\"");
      std::printf("box\t%s\t%s\n", TextOf(box).c_str(), OneLine(text).c_str());
      std::fflush(stdout);
      TButtonFind f{arg(2), nullptr};
      EnumChildWindows(box, ButtonNamed, reinterpret_cast<LPARAM>(&f));
      if (!f.found) Fail("the box has no button " + arg(2));
      PostMessageA(f.found, BM_CLICK, 0, 0);
      DWORD end = GetTickCount() + 5000;
      while (IsWindow(box) && int(GetTickCount() - end) < 0) Sleep(50);
      Sleep(300);
      i += 2;
    } else if (cmd == "nobox") {
      std::string text;
      if (WaitBox("", DWORD(std::atoi(arg(1).c_str())), &text)) Fail("a message box came: " + OneLine(text));
      i += 1;
    } else if (cmd == "width") {
      RECT r{};
      GetWindowRect(Need(arg(1)), &r);
      std::printf("width\t%ld\n", long(r.right - r.left));
      i += 1;
    } else if (cmd == "text") {
      std::printf("text\t%s\n", TextOf(Need(arg(1))).c_str());
      i += 1;
    } else if (cmd == "size") {
      RECT r{};
      GetWindowRect(dialog, &r);
      std::printf("size\t%ld\t%ld\n", long(r.right - r.left), long(r.bottom - r.top));
    } else if (cmd == "resize") {
      SetWindowPos(dialog, nullptr, 0, 0, std::atoi(arg(1).c_str()), std::atoi(arg(2).c_str()),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      Sleep(300);
      i += 2;
    } else if (cmd == "drag") {
      HWND h = Need(arg(1));
      RECT r{};
      GetClientRect(h, &r);
      int from = std::atoi(arg(2).c_str()), to = std::atoi(arg(3).c_str()), y = int(r.bottom / 2);
      PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from, y));
      for (int k = 1; k <= 4; ++k) PostMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(from + (to - from) * k / 4, y));
      PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(to, y));
      Sleep(300);
      i += 3;
    } else if (cmd == "gone") {
      DWORD end = GetTickCount() + 20000;
      while (IsWindow(dialog) && IsWindowVisible(dialog) && int(GetTickCount() - end) < 0) Sleep(100);
      if (IsWindow(dialog) && IsWindowVisible(dialog)) Fail("\"" + caption + "\" stayed open");
    } else {
      std::fprintf(stderr, "dialog_check: unknown command %s\n", cmd.c_str());
      return 2;
    }
    std::fflush(stdout);
  }
  return 0;
}
