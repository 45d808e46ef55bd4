#pragma once
// Panels: a custom-painted container with an outer and an inner bevel, a border between
// them and a centred caption. Children clip its painting (WS_CLIPCHILDREN) and are
// aligned inside the bevels and the border.
#include "framework/controls/stdctrls.h"
#include "framework/win/controls.h"

enum class TBevelCut { bvNone, bvLowered, bvRaised };

class TCustomPanel : public TCustomControl {
  FW_CLASS(TCustomPanel, TCustomControl)

 public:
  explicit TCustomPanel(TComponent* owner);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut b);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut b);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int w);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);

 protected:
  void Paint() override;
  void AdjustClientRect(TRect& r) const override;
  void WMEraseBkgnd(TMessage& m) override;

 private:
  TBevelCut bevelOuter_ = TBevelCut::bvRaised;
  TBevelCut bevelInner_ = TBevelCut::bvNone;
  int bevelWidth_ = 1;
  TAlignment alignment_ = TAlignment::taCenter;
};

class TPanel : public TCustomPanel {
  FW_CLASS(TPanel, TCustomPanel)

 public:
  explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};
