#pragma once
// Balloon hints: TMoxHint, a component placed on the main window, carries the balloon's
// settings and makes TNewHint the application's hint window class.
//
// How it works: creating or loading the component, or changing its font, installs the
// class and has the application make its hint window anew, which takes the component's
// font. When a hint is due, TNewHint places itself with PlaceBalloon (balloon_layout.h) from
// the mouse position and the preferred direction (which OnSelectHintDirection may change
// for the control under the mouse), copies the screen beneath that rectangle, and paints
// the shadow, the balloon and the text into that copy before putting it on the screen, so
// the corners and the dither show what lies below.
#include "builder/balloon_layout.h"
#include "framework/win/graphics.h"
#include "framework/win/hints.h"

// (sender, the control under the mouse, var direction)
using TSelectHintDirectionEvent = TEvent<void(TObject* Sender, TControl* HintControl, THintDirection& Direction)>;

class TMoxHint : public TComponent {
  FW_CLASS(TMoxHint, TComponent)

 public:
  explicit TMoxHint(TComponent* owner);

  THintDirection HintDirection() const { return direction_; }
  void SetHintDirection(THintDirection d) { direction_ = d; }
  TColor HintColor() const { return color_; }
  void SetHintColor(TColor c) { color_ = c; }
  TColor HintShadowColor() const { return shadowColor_; }
  void SetHintShadowColor(TColor c) { shadowColor_ = c; }
  TFont& HintFont() { return font_; }
  const TFont& HintFont() const { return font_; }
  void SetHintFont(const TFont& font) { font_.Assign(font); }
  int HintPauseTime() const { return pauseTime_; }
  void SetHintPauseTime(int ms);

  TSelectHintDirectionEvent OnSelectHintDirection;

  // The component whose settings the balloons show (the last one installed), if any.
  static TMoxHint* Installed();

 protected:
  void Loaded() override;
  void BeforeDestruction() override;

 private:
  void Install();

  THintDirection direction_ = THintDirection::hdUpRight;
  TColor color_ = 0x00FFFF;
  TColor shadowColor_ = 0x800080;
  TFont font_;
  int pauseTime_ = 600;
};

class TNewHint : public THintWindow {
  FW_CLASS(TNewHint, THintWindow)

 public:
  explicit TNewHint(TComponent* owner);
  TRect CalcHintRect(int maxWidth, const std::string& hint) override;
  // Places the balloon by the mouse for a text of r's size; r's position is not used.
  void ActivateHint(const TRect& r, const std::string& hint) override;
  THintDirection Direction() const { return direction_; }

 protected:
  ~TNewHint() override;
  void CreateParams(TCreateParams& params) override;
  void WMEraseBkgnd(TMessage& m) override;
  void Paint() override;

 private:
  // Draws the balloon of shape s into mem (a DC compatible with dc) over the snapshot and
  // copies it to dc.
  void PaintBalloon(HDC dc, HDC mem, const TBalloonShape& s, COLORREF fill, COLORREF shadow);

  THintDirection direction_ = THintDirection::hdUpRight;
  HBITMAP snapshot_ = nullptr;  // the screen beneath the balloon
};

// Makes TMoxHint known to form texts.
void RegisterMoxHint();
