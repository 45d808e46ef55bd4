#pragma once
// Messages as the controls see them: TMessage carries the raw message through WndProc,
// and the helpers here unpack it once into typed values (signed mouse coordinates, shift
// state, key codes). Private framework messages live in WM_APP and up; notifications a
// parent reflects back to the child they came from are CN_BASE + the original message.
#include <cstdint>

#include "framework/win/winapi.h"

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// Served by the application window.
constexpr UINT WM_FW_SYNC = WM_APP + 0x100;     // run the queued synchronize steps
constexpr UINT WM_FW_WAKE = WM_APP + 0x101;     // only wakes a sleeping message loop
constexpr UINT WM_FW_RELEASE = WM_APP + 0x102;  // free the components released for later

// Reflected notifications.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_DELETEITEM = CN_BASE + WM_DELETEITEM;
constexpr UINT CN_COMPAREITEM = CN_BASE + WM_COMPAREITEM;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_CTLCOLORMSGBOX = CN_BASE + WM_CTLCOLORMSGBOX;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORDLG = CN_BASE + WM_CTLCOLORDLG;
constexpr UINT CN_CTLCOLORSCROLLBAR = CN_BASE + WM_CTLCOLORSCROLLBAR;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

using TShiftState = uint32_t;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16,
                      ssMiddle = 32, ssDouble = 64;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The button of a button-down, -up or double-click message.
inline TMouseButton ButtonOf(UINT msg) {
  switch (msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      return TMouseButton::mbRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return TMouseButton::mbMiddle;
    default:
      return TMouseButton::mbLeft;
  }
}

// Mouse messages: keys in WParam, signed client coordinates in LParam.
struct TWMMouse {
  TShiftState Shift;
  int X, Y;
};
inline TWMMouse MouseOf(const TMessage& m) {
  TShiftState s = 0;
  if (m.WParam & MK_SHIFT) s |= ssShift;
  if (m.WParam & MK_CONTROL) s |= ssCtrl;
  if (m.WParam & MK_LBUTTON) s |= ssLeft;
  if (m.WParam & MK_RBUTTON) s |= ssRight;
  if (m.WParam & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return {s, int(int16_t(LOWORD(m.LParam))), int(int16_t(HIWORD(m.LParam)))};
}

// The shift state of the keyboard now (key messages).
inline TShiftState KeyboardShift() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

// WM_COMMAND from a control.
struct TWMCommand {
  WORD NotifyCode, ItemId;
  HWND Ctl;
};
inline TWMCommand CommandOf(const TMessage& m) {
  return {HIWORD(m.WParam), LOWORD(m.WParam), reinterpret_cast<HWND>(m.LParam)};
}

inline const NMHDR& NotifyOf(const TMessage& m) { return *reinterpret_cast<const NMHDR*>(m.LParam); }
