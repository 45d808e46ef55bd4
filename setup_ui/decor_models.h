#pragma once
// The drawing rules of the setup's decorations, apart from any window: the backdrop's
// gradient as a list of filled bands, the rotated label's text origin and background box,
// and the label's style object with its change rules. The controls (decor_win32.h) draw
// exactly what these give.
#include <array>
#include <cstdint>
#include <vector>

#include "framework/core/color.h"
#include "framework/core/events.h"
#include "framework/core/geometry.h"
#include "framework/core/object.h"

enum class TDirection { bdUp, bdDown, bdLeft, bdRight, bdHorzIn, bdHorzOut, bdVertIn, bdVertOut };
enum class T3DEffectShort { A3dNormal, A3dResit, A3dRaised, A3dShadowed };
const TTypeInfo& DirectionTypeInfo();
const TTypeInfo& Effect3DTypeInfo();

namespace setup_ui {

// a * b / c rounded to the nearest integer, halves away from zero; c > 0.
int MulDiv(int a, int b, int c);

// One band of a gradient: its rectangle and its colour (0x00BBGGRR).
struct TBand {
  TRect Rect;
  uint32_t Color;
};
// The bands that fill a width x height area for direction between two RGB colours: 256
// bands ending on the second colour, or, mirrored, 128 from each edge meeting in it.
std::vector<TBand> BackdropBands(TDirection direction, uint32_t startColor, uint32_t endColor, int width,
                                 int height);

// Where the rotated label writes a caption of textWidth x textHeight (measured unrotated)
// in a control of width x height at angle degrees, and the corners of its background box.
struct TLabelGeometry {
  TPoint Origin;
  std::array<TPoint, 4> Box;
};
TLabelGeometry RotatedLabelGeometry(int angle, int textWidth, int textHeight, int width, int height);

}  // namespace setup_ui

// The rotated label's drawing options. Setters that change what is drawn fire OnChange
// (the label repaints); the rules per property are those of each setter.
class TLabelStyle : public TPersistent {
  FW_CLASS(TLabelStyle, TPersistent)

 public:
  int Angle() const { return angle_; }
  // Below 0 or from 360 up: 0. Fires on a change.
  void SetAngle(int angle);
  T3DEffectShort AStyle3D() const { return style_; }
  void SetAStyle3D(T3DEffectShort style);
  int AHShadeOffSet() const { return hOffset_; }
  // Stored always; fires only while the style is A3dShadowed.
  void SetAHShadeOffSet(int v);
  int AVShadeOffSet() const { return vOffset_; }
  void SetAVShadeOffSet(int v);
  TColor AShadeRightBottom() const { return rightBottom_; }
  void SetAShadeRightBottom(TColor c);
  TColor AShadeLeftTop() const { return leftTop_; }
  // Ignored while AShadeLTSet is True.
  void SetAShadeLeftTop(TColor c);
  bool AShadeLTSet() const { return ltSet_; }
  // True keeps the left-top colour aside and makes it white; False puts it back.
  void SetAShadeLTSet(bool v);

  TNotifyEvent OnChange;

  // Through the seven setters, then OnChange.
  void Assign(const TPersistent& src) override;

 private:
  void Changed() { OnChange(this); }

  int angle_ = 0;
  T3DEffectShort style_ = T3DEffectShort::A3dRaised;
  int hOffset_ = 5;
  int vOffset_ = -5;
  TColor rightBottom_ = 0x808080;
  TColor leftTop_ = clWhite;
  bool ltSet_ = false;
  TColor savedLeftTop_ = clWhite;
};
