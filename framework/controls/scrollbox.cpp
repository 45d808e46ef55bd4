#include "framework/controls/scrollbox.h"

#include <algorithm>

namespace {
constexpr int kLineStep = 12;
}

const TClassInfo& TScrollBox::StaticClass() {
  using P = TProps<TScrollBox>;
  static const TClassInfo info{
      "TScrollBox", &TWinControl::StaticClass(), Factory<TScrollBox>(),
      {P::Int("Color", &TScrollBox::Color, &TScrollBox::SetColor, &ColorTypeInfo()).WithDefault(int64_t(clBtnFace))}};
  return info;
}

TScrollBox::TScrollBox(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(csAcceptsControls);
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TScrollBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= WS_VSCROLL | WS_HSCROLL | WS_CLIPCHILDREN;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TScrollBox::CreateWindowHandle() {
  TWinControl::CreateWindowHandle();
  ShowScrollInfo();
}

int TScrollBox::ContentHeight() const {
  int bottom = 0;
  for (TControl* c : ControlList())
    if (c->Visible()) bottom = std::max(bottom, c->Top() + c->Height() + position_);
  return bottom;
}

int TScrollBox::MaxPosition() const { return std::max(0, ContentHeight() - ClientHeight()); }

int TScrollBox::ContentWidth() const {
  int right = 0;
  for (TControl* c : ControlList())
    if (c->Visible()) right = std::max(right, c->Left() + c->Width() + horzPosition_);
  return right;
}

int TScrollBox::MaxHorzPosition() const { return std::max(0, ContentWidth() - ClientWidth()); }

void TScrollBox::SetHorzPosition(int position) {
  position = std::clamp(position, 0, MaxHorzPosition());
  const int delta = position - horzPosition_;
  if (delta != 0) {
    horzPosition_ = position;
    for (TControl* c : ControlList()) c->SetBounds(c->Left() - delta, c->Top(), c->Width(), c->Height());
    Invalidate();
  }
  ShowScrollInfo();
}

void TScrollBox::SetVertPosition(int position) {
  position = std::clamp(position, 0, MaxPosition());
  const int delta = position - position_;
  if (delta != 0) {
    position_ = position;
    for (TControl* c : ControlList()) c->SetBounds(c->Left(), c->Top() - delta, c->Width(), c->Height());
    Invalidate();
  }
  ShowScrollInfo();
}

void TScrollBox::UpdateScrollRange() {
  SetHorzPosition(horzPosition_);
  SetVertPosition(position_);
}

void TScrollBox::ScrollInView(const TControl& child) {
  if (child.Parent() != this) return;
  const int top = child.Top() + position_, bottom = top + child.Height();
  if (top < position_ || child.Height() > ClientHeight())
    SetVertPosition(top);
  else if (bottom > position_ + ClientHeight())
    SetVertPosition(bottom - ClientHeight());
}

void TScrollBox::ShowScrollInfo() {
  if (!HandleAllocated()) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, ContentHeight() - 1);
  si.nPage = UINT(std::max(0, ClientHeight()));
  si.nPos = position_;
  SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
  si.nMax = std::max(0, ContentWidth() - 1);
  si.nPage = UINT(std::max(0, ClientWidth()));
  si.nPos = horzPosition_;
  SetScrollInfo(Handle(), SB_HORZ, &si, TRUE);
}

void TScrollBox::BoundsChanged(bool resized) {
  TWinControl::BoundsChanged(resized);
  if (resized) UpdateScrollRange();
}

int TScrollBox::TargetOf(int bar, int code, int position, int page, int max) {
  switch (code) {
    case SB_LINEUP: return position - kLineStep;
    case SB_LINEDOWN: return position + kLineStep;
    case SB_PAGEUP: return position - page;
    case SB_PAGEDOWN: return position + page;
    case SB_TOP: return 0;
    case SB_BOTTOM: return max;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_TRACKPOS;
      GetScrollInfo(Handle(), bar, &si);
      return si.nTrackPos;
    }
    default: return position;
  }
}

void TScrollBox::WndProc(TMessage& m) {
  // The box's own bars (a scroll-bar child's messages carry its window and are reflected).
  if (m.Msg == WM_VSCROLL && m.LParam == 0) {
    SetVertPosition(TargetOf(SB_VERT, LOWORD(m.WParam), position_, ClientHeight(), MaxPosition()));
    m.Result = 0;
    return;
  }
  if (m.Msg == WM_HSCROLL && m.LParam == 0) {
    SetHorzPosition(TargetOf(SB_HORZ, LOWORD(m.WParam), horzPosition_, ClientWidth(), MaxHorzPosition()));
    m.Result = 0;
    return;
  }
  TWinControl::WndProc(m);
}
