#pragma once
// The scroll box: a container whose children may reach past its bottom; a vertical scroll
// bar moves them. Child positions are those in the scrolled view (as a child's Top is
// read and set), so laying out rows means placing them below the current origin; the box
// takes the range from its children when UpdateScrollRange runs (after a layout) and on
// every resize, and keeps its position inside it.
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
  void ShowScrollInfo();

  int position_ = 0;
};
