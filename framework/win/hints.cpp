#include "framework/win/hints.h"

#include "framework/win/application.h"

std::string GetShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

const TClassInfo& THintWindow::StaticClass() {
  static const TClassInfo info{"THintWindow", &TCustomControl::StaticClass(), Factory<THintWindow>(), {}};
  return info;
}

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  InitVisible(false);
  SetColor(clInfoBk);
  Font().SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  p.ClassStyle = CS_DBLCLKS | CS_SAVEBITS;
  p.WndParent = Application ? Application->Handle() : nullptr;
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  RECT r{0, 0, maxWidth, 0};
  DrawTextA(dc, hint.c_str(), int(hint.size()), &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return {0, 0, int(r.right) + 8, int(r.bottom) + 4};
}

void THintWindow::ActivateHint(const TRect& r, const std::string& hint) {
  SetText(hint);
  HandleNeeded();
  SetBounds(r.Left, r.Top, r.Width(), r.Height());
  SetWindowPos(Handle(), HWND_TOPMOST, r.Left, r.Top, r.Width(), r.Height(),
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
  InitVisible(true);
  Invalidate();
}

void THintWindow::HideHint() {
  if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
  InitVisible(false);
}

void THintWindow::Paint() {
  TRect r = ClientRect();
  Canvas().FillRect(r);
  r.Left += 2;
  r.Top += 1;
  Canvas().Brush().SetStyle(TBrushStyle::bsClear);
  Canvas().DrawText(Text(), r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}
