#pragma once
// The scroll box: a container whose children may reach past its bottom or its right edge;
// the vertical and the horizontal scroll bar move them (a bar shows only while the
// children reach past that edge). Child positions are those in the scrolled view (as a
// child's Top and Left are read and set), so laying out rows or columns means placing them
// from the current origin; the box takes the range from its children when
// UpdateScrollRange runs (after a layout) and on every resize, and keeps its positions
// inside it.
#include "framework/win/controls.h"

class TScrollBox : public TWinControl {
  FW_CLASS(TScrollBox, TWinControl)

 public:
  explicit TScrollBox(TComponent* owner);

  // How far the view is scrolled down, in pixels.
  int VertPosition() const { return position_; }
  // Clamped to the range.
  void SetVertPosition(int position);
  // The height the children need, measured from the unscrolled top.
  int ContentHeight() const;
  // How far the view is scrolled to the right, in pixels; clamped to the range.
  int HorzPosition() const { return horzPosition_; }
  void SetHorzPosition(int position);
  // The width the children need, measured from the unscrolled left.
  int ContentWidth() const;
  void UpdateScrollRange();
  // Scrolls so that the child is wholly in view (its top when it is taller than the box).
  void ScrollInView(const TControl& child);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void BoundsChanged(bool resized) override;
  void WndProc(TMessage& m) override;

 private:
  int MaxPosition() const;
  int MaxHorzPosition() const;
  void ShowScrollInfo();
  int TargetOf(int bar, int code, int position, int page, int max);

  int position_ = 0;
  int horzPosition_ = 0;
};
