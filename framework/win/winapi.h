#pragma once
// The one way into the Win32 headers: ANSI, lean, no min/max macros. The generic names of
// the A/W function pairs are removed, because the framework uses some of them as method
// names (GetObject, MessageBox, TextOut, RegisterClass ...) and always calls the A
// functions by their full names.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif
#include <windows.h>
#include <commctrl.h>

#include "framework/core/geometry.h"

#undef CallWindowProc
#undef CopyFile
#undef CreateDirectory
#undef CreateFont
#undef CreateWindow
#undef CreateWindowEx
#undef DefWindowProc
#undef DeleteFile
#undef DispatchMessage
#undef DrawText
#undef FindResource
#undef GetClassInfo
#undef GetClassName
#undef GetCurrentTime
#undef GetMessage
#undef GetObject
#undef GetProp
#undef GetWindowText
#undef LoadBitmap
#undef LoadCursor
#undef LoadIcon
#undef LoadImage
#undef LoadString
#undef MessageBox
#undef PeekMessage
#undef PostMessage
#undef RegisterClass
#undef RemoveProp
#undef SendMessage
#undef SetProp
#undef SetWindowText
#undef TextOut
#undef UnregisterClass
#undef Yield

inline RECT ToRECT(const TRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }
inline TRect FromRECT(const RECT& r) { return TRect{int(r.left), int(r.top), int(r.right), int(r.bottom)}; }
