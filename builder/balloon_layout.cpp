#include "builder/balloon_layout.h"

#include <cstddef>

TSize BalloonSize(TSize text, THintDirection direction) {
  return {text.Width + 16, text.Height + (OpensDown(direction) ? 29 : 20)};
}

TBalloonPlacement PlaceBalloon(TSize screen, TPoint mouse, TSize text, THintDirection preferred) {
  using D = THintDirection;
  TBalloonPlacement p{{}, preferred, 0};
  D direction = preferred;
  while (p.Tries < kMaxBalloonTries) {
    ++p.Tries;
    TSize size = BalloonSize(text, direction);
    int left = OpensRight(direction) ? mouse.X : mouse.X - size.Width + 6;
    int top = OpensDown(direction) ? mouse.Y + 15 : mouse.Y - 5 - size.Height;
    p.Bounds = Bounds(left, top, size.Width, size.Height);
    p.Direction = direction;
    D next = direction;
    switch (direction) {
      case D::hdUpRight:
        if (p.Bounds.Right > screen.Width) next = D::hdUpLeft;
        else if (top < 0) next = D::hdDownRight;
        break;
      case D::hdUpLeft:
        if (left < 0) next = D::hdUpRight;
        else if (top < 0) next = D::hdDownLeft;
        break;
      case D::hdDownRight:
        if (p.Bounds.Right > screen.Width) next = D::hdDownLeft;
        else if (p.Bounds.Bottom > screen.Height) next = D::hdUpRight;
        break;
      case D::hdDownLeft:
        if (left < 0) next = D::hdDownRight;
        else if (p.Bounds.Bottom > screen.Height) next = D::hdUpLeft;
        break;
    }
    if (next == direction) break;
    direction = next;
  }
  return p;
}

TBalloonShape BalloonShapeOf(TSize window, THintDirection direction) {
  const int w = window.Width, h = window.Height;
  const bool down = OpensDown(direction), right = OpensRight(direction);
  TBalloonShape s;
  s.Box = down ? TRect{0, 15, w - 6, h - 8} : TRect{0, 0, w - 6, h - 14};
  // The pointer's base lies on the box's edge nearest the mouse, its tip at the window's
  // edge above or below the mouse.
  const int baseY = down ? s.Box.Top : s.Box.Bottom - 1;
  const int tipY = down ? 0 : h - 1;
  if (right)
    s.Pointer = {TPoint{10, baseY}, TPoint{22, baseY}, TPoint{1, tipY}};
  else
    s.Pointer = {TPoint{w - 28, baseY}, TPoint{w - 16, baseY}, TPoint{w - 7, tipY}};
  s.Shadow = down ? TRect{10, 21, w, h - 1} : TRect{10, 6, w, h - 8};
  s.RightBand = {w - 15, 0, w, h};
  s.BottomBand = down ? TRect{0, h - 8, w, h - 1} : TRect{0, h - 14, w, h - 8};
  s.HasPointerShadow = !down;
  if (s.HasPointerShadow)
    for (std::size_t i = 0; i < s.Pointer.size(); ++i) s.PointerShadow[i] = {s.Pointer[i].X + 6, s.Pointer[i].Y};
  s.Text = down ? TRect{5, 18, w - 11, h - 11} : TRect{5, 3, w - 11, h - 17};
  return s;
}
