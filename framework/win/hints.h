#pragma once
// The hint window: a borderless pop-up that shows a control's short hint near the mouse
// without taking activation. The application keeps one, of the class its
// HintWindowClass names; a descendant may place and paint it differently through the
// virtuals below.
#include <string>

#include "framework/win/controls.h"

class THintWindow : public TCustomControl {
  FW_CLASS(THintWindow, TCustomControl)

 public:
  explicit THintWindow(TComponent* owner);
  // The size the text needs (a screen rectangle at 0, 0), at most maxWidth wide.
  virtual TRect CalcHintRect(int maxWidth, const std::string& hint);
  // Shows the hint text at the screen rectangle r, above everything, not activated.
  virtual void ActivateHint(const TRect& r, const std::string& hint);
  void HideHint();

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
};

// The part of a hint before the first "|" (the whole hint when there is none).
std::string GetShortHint(const std::string& hint);
