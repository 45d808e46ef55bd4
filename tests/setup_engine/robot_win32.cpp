// robot.exe: drives another program's windows for the tests (a test tool, never shipped).
//   robot find CAPTION [SECONDS]          waits for a top-level window with that caption
//   robot controls CAPTION                one line per control: CLASS ID TEXT
//   robot click CAPTION TEXT              posts BM_CLICK to the visible button with that text
//   robot set CAPTION N TEXT              sets the N-th visible edit (from 0): WM_SETTEXT, EN_CHANGE
//   robot close CAPTION                   posts WM_CLOSE
// Every command waits up to SECONDS (10 unless given to find) for the window. A button's
// text matches with or without its "&". Exit 0 when done, 1 when the window or control
// was not found, 2 for a usage error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string TextOf(HWND w) {
  char buffer[1024] = {};
  GetWindowTextA(w, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND w) {
  char buffer[256] = {};
  GetClassNameA(w, buffer, sizeof buffer);
  return buffer;
}

std::string WithoutAmpersands(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != '&') out += c;
  return out;
}

// The system's buttons and the framework's (TButton, TBitBtn, TRadioButton and their
// descendants, which keep the button's behaviour under a class name of their own).
bool IsButton(HWND w) {
  const std::string name = ClassOf(w);
  return lstrcmpiA(name.c_str(), "Button") == 0 || name.find("Btn") != std::string::npos ||
         name.find("Button") != std::string::npos;
}

// The system's edits and the framework's TEdit.
bool IsEdit(HWND w) {
  const std::string name = ClassOf(w);
  return lstrcmpiA(name.c_str(), "Edit") == 0 || name == "TEdit";
}

struct TSearch {
  std::string caption;
  HWND found = nullptr;
};

BOOL CALLBACK FindTop(HWND w, LPARAM data) {
  auto* s = reinterpret_cast<TSearch*>(data);
  if (IsWindowVisible(w) && TextOf(w) == s->caption) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForWindow(const std::string& caption, int seconds) {
  for (int i = 0; i <= seconds * 10; ++i) {
    TSearch s{caption};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    Sleep(100);
  }
  return nullptr;
}

BOOL CALLBACK Collect(HWND w, LPARAM data) {
  reinterpret_cast<std::vector<HWND>*>(data)->push_back(w);
  return TRUE;
}

std::vector<HWND> Controls(HWND top) {
  std::vector<HWND> out;
  EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&out));
  return out;
}

int Run(const std::vector<std::string>& a) {
  if (a.size() < 2) return 2;
  const std::string& command = a[0];
  int seconds = command == "find" && a.size() == 3 ? std::atoi(a[2].c_str()) : 10;
  HWND top = WaitForWindow(a[1], seconds);
  if (!top) {
    std::fprintf(stderr, "no window \"%s\"\n", a[1].c_str());
    return 1;
  }
  if (command == "find" && a.size() <= 3) return 0;
  if (command == "close" && a.size() == 2) {
    PostMessageA(top, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == "controls" && a.size() == 2) {
    for (HWND c : Controls(top))
      std::printf("%s %d %s\n", ClassOf(c).c_str(), GetDlgCtrlID(c), TextOf(c).c_str());
    return 0;
  }
  if (command == "click" && a.size() == 3) {
    for (HWND c : Controls(top))
      if (IsButton(c) && IsWindowVisible(c) &&
          (TextOf(c) == a[2] || WithoutAmpersands(TextOf(c)) == WithoutAmpersands(a[2]))) {
        PostMessageA(c, BM_CLICK, 0, 0);
        return 0;
      }
    std::fprintf(stderr, "no button \"%s\"\n", a[2].c_str());
    return 1;
  }
  if (command == "set" && a.size() == 4) {
    int wanted = std::atoi(a[2].c_str()), n = 0;
    for (HWND c : Controls(top))
      if (IsEdit(c) && IsWindowVisible(c) && n++ == wanted) {
        SendMessageA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[3].c_str()));
        SendMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), EN_CHANGE), reinterpret_cast<LPARAM>(c));
        return 0;
      }
    std::fprintf(stderr, "no edit %s\n", a[2].c_str());
    return 1;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int code = Run(args);
  if (code == 2) std::fprintf(stderr, "usage: robot find|controls|click|set|close CAPTION ...\n");
  return code;
}
