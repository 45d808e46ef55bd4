#pragma once
// The setup's decorations: the backdrop (a gradient over its whole area, drawn as the
// bands of decor_models.h) and the rotated 3D label (its caption at any whole-degree angle
// around its centre, raised, sunken or with a drop shadow, optionally on a rotated box).
// The label draws what lies beneath it first, so it sits on the backdrop.
#include "framework/controls/stdctrls.h"
#include "framework/win/controls.h"
#include "setup_ui/decor_models.h"

class TBackdrop : public TGraphicControl {
  FW_CLASS(TBackdrop, TGraphicControl)

 public:
  explicit TBackdrop(TComponent* owner);
  TDirection Direction() const { return direction_; }
  void SetDirection(TDirection d);
  TColor StartColor() const { return startColor_; }
  void SetStartColor(TColor c);
  TColor EndColor() const { return endColor_; }
  void SetEndColor(TColor c);

 protected:
  void Paint() override;

 private:
  TDirection direction_ = TDirection::bdUp;
  TColor startColor_ = clBlue;
  TColor endColor_ = clBlack;
};

class TRotate3DLabel : public TLabel {
  FW_CLASS(TRotate3DLabel, TLabel)

 public:
  explicit TRotate3DLabel(TComponent* owner);
  TLabelStyle& LabelStyle() { return style_; }
  // Copies style and repaints.
  void SetLabelStyle(const TLabelStyle& style);
  bool MyTransparent() const { return myTransparent_; }
  // False also takes the parent's colour and then puts the label's own colour back.
  void SetMyTransparent(bool v);

 protected:
  void Paint() override;
  void WMEraseBkgnd(TMessage& m) override;

 private:
  TLabelStyle style_;
  bool myTransparent_ = true;
  double cos_ = 1, sin_ = 0;
};

namespace setup_ui {

void RegisterDecorClasses();

}  // namespace setup_ui
