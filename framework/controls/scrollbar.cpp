#include "framework/controls/scrollbar.h"

#include <algorithm>

const TClassInfo& TScrollBar::StaticClass() {
  using P = TProps<TScrollBar>;
  static const TClassInfo info{"TScrollBar", &TWinControl::StaticClass(), Factory<TScrollBar>(),
                               {P::Int("Min", &TScrollBar::Min, &TScrollBar::SetMin).WithDefault(int64_t(0)),
                                P::Int("Max", &TScrollBar::Max, &TScrollBar::SetMax).WithDefault(int64_t(100)),
                                P::Int("Position", &TScrollBar::Position, &TScrollBar::SetPosition)
                                    .WithDefault(int64_t(0)),
                                P::Int("SmallChange", &TScrollBar::SmallChange, &TScrollBar::SetSmallChange)
                                    .WithDefault(int64_t(1)),
                                P::Int("LargeChange", &TScrollBar::LargeChange, &TScrollBar::SetLargeChange)
                                    .WithDefault(int64_t(1))}};
  return info;
}

TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
  SetTabStop(false);
}

void TScrollBar::SetKind(TScrollBarKind kind) {
  if (kind == kind_) return;
  kind_ = kind;
  SetBounds(Left(), Top(), Height(), Width());
  if (HandleAllocated()) RecreateWnd();
}

void TScrollBar::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.SysClassName = "SCROLLBAR";
  p.Style |= kind_ == TScrollBarKind::sbVertical ? SBS_VERT : SBS_HORZ;
}

void TScrollBar::CreateWindowHandle() { Apply(); }

void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min) max = min;
  min_ = min;
  max_ = max;
  position_ = std::clamp(position, min_, std::max(min_, max_ - std::max(pageSize_ - 1, 0)));
  Apply();
}

void TScrollBar::SetPageSize(int v) {
  pageSize_ = std::max(0, v);
  SetParams(position_, min_, max_);
}

void TScrollBar::Apply() {
  if (!HandleAllocated()) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = min_;
  si.nMax = max_;
  si.nPage = UINT(pageSize_);
  si.nPos = position_;
  SetScrollInfo(Handle(), SB_CTL, &si, TRUE);
}

void TScrollBar::Scrolled(UINT code) {
  int pos = position_;
  TScrollCode sc = TScrollCode::scEndScroll;
  switch (code) {
    case SB_LINEUP: sc = TScrollCode::scLineUp, pos -= smallChange_; break;
    case SB_LINEDOWN: sc = TScrollCode::scLineDown, pos += smallChange_; break;
    case SB_PAGEUP: sc = TScrollCode::scPageUp, pos -= largeChange_; break;
    case SB_PAGEDOWN: sc = TScrollCode::scPageDown, pos += largeChange_; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_TRACKPOS;
      GetScrollInfo(Handle(), SB_CTL, &si);
      pos = si.nTrackPos;
      sc = code == SB_THUMBTRACK ? TScrollCode::scTrack : TScrollCode::scPosition;
      break;
    }
    case SB_TOP: sc = TScrollCode::scTop, pos = min_; break;
    case SB_BOTTOM: sc = TScrollCode::scBottom, pos = max_; break;
    default: break;
  }
  if (OnScroll) OnScroll(this, sc, pos);
  if (sc != TScrollCode::scEndScroll) SetPosition(pos);
}

void TScrollBar::WndProc(TMessage& m) {
  if (m.Msg == CN_BASE + WM_HSCROLL || m.Msg == CN_BASE + WM_VSCROLL) {
    Scrolled(LOWORD(m.WParam));
    m.Result = 0;
    return;
  }
  TWinControl::WndProc(m);
}
