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
  params.Style |= WS_VSCROLL | WS_CLIPCHILDREN;
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

void TScrollBox::UpdateScrollRange() { SetVertPosition(position_); }

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
}

void TScrollBox::BoundsChanged(bool resized) {
  TWinControl::BoundsChanged(resized);
  if (resized) UpdateScrollRange();
}

void TScrollBox::WndProc(TMessage& m) {
  // The box's own bar (a scroll-bar child's messages carry its window and are reflected).
  if (m.Msg == WM_VSCROLL && m.LParam == 0) {
    const int code = LOWORD(m.WParam);
    int target = position_;
    switch (code) {
      case SB_LINEUP: target -= kLineStep; break;
      case SB_LINEDOWN: target += kLineStep; break;
      case SB_PAGEUP: target -= ClientHeight(); break;
      case SB_PAGEDOWN: target += ClientHeight(); break;
      case SB_TOP: target = 0; break;
      case SB_BOTTOM: target = MaxPosition(); break;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION: {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(Handle(), SB_VERT, &si);
        target = si.nTrackPos;
        break;
      }
      default: break;
    }
    SetVertPosition(target);
    m.Result = 0;
    return;
  }
  TWinControl::WndProc(m);
}
