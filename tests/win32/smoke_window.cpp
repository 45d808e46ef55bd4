// Proves the Windows tool chain end to end: a cross-built program creates a real window,
// pumps its messages until the window has been shown, painted and destroyed, and exits 0.
#include <windows.h>

#include <cstdio>

namespace {
bool painted = false;

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      painted = true;
      PostMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(7);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}
}  // namespace

int main() {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = inst;
  wc.lpszClassName = "QuiltorSmoke";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  if (!RegisterClassA(&wc)) {
    std::fprintf(stderr, "RegisterClassA failed: %lu\n", GetLastError());
    return 1;
  }
  HWND hwnd = CreateWindowA("QuiltorSmoke", "Smoke", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                            nullptr, nullptr, inst, nullptr);
  if (!hwnd) {
    std::fprintf(stderr, "CreateWindowA failed: %lu\n", GetLastError());
    return 1;
  }
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  SetTimer(hwnd, 1, 20000, nullptr);  // a window that never paints ends the loop too
  MSG m;
  int quitCode = -1;
  while (true) {
    BOOL r = GetMessageA(&m, nullptr, 0, 0);
    if (r == 0) {
      quitCode = int(m.wParam);
      break;
    }
    if (r < 0) break;
    if (m.message == WM_TIMER) DestroyWindow(hwnd);
    DispatchMessageA(&m);
  }
  if (!painted || quitCode != 7) {
    std::fprintf(stderr, "window was %s painted, quit code %d\n", painted ? "" : "not", quitCode);
    return 1;
  }
  std::printf("window created, painted and closed\n");
  return 0;
}
